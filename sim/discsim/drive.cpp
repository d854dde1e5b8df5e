#include "discsim.h"
#include "image.h"
#include "replies.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace discsim {
namespace {

enum Opcode : std::uint8_t {
    kTestUnitReady = 0x00,
    kInquiry = 0x12,
    kModeSense6 = 0x1A,
    kStartStopUnit = 0x1B,
    kPreventAllow = 0x1E,
    kReadCapacity = 0x25,
    kRead10 = 0x28,
    kReadToc = 0x43,
    kGetConfiguration = 0x46,
    kReadTrackInformation = 0x52,
    kModeSense10 = 0x5A,
    kReadDiscStructure = 0xAD,
    kReadCd = 0xBE,
};

// Command block length of each command answered; 0 for anything else.
std::size_t BlockLength(std::uint8_t opcode) {
    switch (opcode) {
    case kTestUnitReady:
    case kInquiry:
    case kModeSense6:
    case kStartStopUnit:
    case kPreventAllow:
        return 6;
    case kReadCapacity:
    case kRead10:
    case kReadToc:
    case kGetConfiguration:
    case kReadTrackInformation:
    case kModeSense10:
        return 10;
    case kReadDiscStructure:
    case kReadCd:
        return 12;
    default:
        return 0;
    }
}

// Commands that need a readable disc.
bool NeedsMedium(std::uint8_t opcode) {
    switch (opcode) {
    case kTestUnitReady:
    case kReadCapacity:
    case kRead10:
    case kReadToc:
    case kReadTrackInformation:
    case kReadDiscStructure:
    case kReadCd:
        return true;
    default:
        return false;
    }
}

std::uint32_t Be16(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 8 | p[1];
}
std::uint32_t Be24(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 16 | Be16(p + 1);
}
std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | Be24(p + 1);
}

constexpr std::size_t kMaxBlockLength = 16;
constexpr std::size_t kUnlimited = static_cast<std::size_t>(-1);

} // namespace

struct Drive::Answer {
    std::vector<std::uint8_t> data;
    std::size_t allocation = kUnlimited; // allocation length of the command block
    std::uint8_t status = kStatusGood;
    std::optional<SenseCode> error;
    std::optional<std::uint32_t> information; // sense information field (failing LBA)

    static Answer Error(SenseCode code, std::optional<std::uint32_t> info = {}) {
        Answer a;
        a.error = code;
        a.information = info;
        return a;
    }
};

Drive::Drive(std::optional<Disc> disc, DriveConfig config)
    : config_(std::move(config)), disc_(std::move(disc)) {}

Drive::~Drive() {
    std::unique_lock lock(mutex_);
    closing_ = true;
    released_.notify_all();
    released_.wait(lock, [this] { return pending_ == 0; });
}

Completion Drive::execute(const std::uint8_t* cdb, std::size_t cdbLength, Direction direction,
                          std::uint8_t* buffer, std::size_t bufferLength) {
    std::vector<std::uint8_t> block;
    if (cdb != nullptr) block.assign(cdb, cdb + std::min(cdbLength, kMaxBlockLength));
    const int opcode = block.empty() ? -1 : block[0];
    const std::size_t capacity = direction == Direction::In && buffer ? bufferLength : 0;

    Sleeper sleeper;
    std::chrono::milliseconds delay{0};
    {
        std::lock_guard lock(mutex_);
        log_.push_back({block, direction, bufferLength});
        for (const auto& [op, d] : delays_)
            if (op == -1 || op == opcode) delay += d;
        sleeper = sleeper_;
    }
    if (delay.count() > 0) {
        if (sleeper)
            sleeper(delay);
        else
            std::this_thread::sleep_for(delay);
    }

    Answer answered;
    ReplyFilter filter;
    {
        std::unique_lock lock(mutex_);
        auto hang = std::find_if(hangs_.begin(), hangs_.end(),
                                 [&](const auto& h) { return h.first == -1 || h.first == opcode; });
        if (hang != hangs_.end()) {
            if (--hang->second == 0) hangs_.erase(hang);
            ++pending_;
            const std::uint64_t generation = abortGeneration_;
            released_.wait(lock, [&] { return closing_ || abortGeneration_ != generation; });
            --pending_;
            released_.notify_all();
            Completion aborted;
            aborted.aborted = true;
            return aborted;
        }
        answered = answer(block, capacity);
        filter = filter_;
    }
    if (filter && direction == Direction::In && answered.status == kStatusGood)
        filter(block, answered.data);

    Completion c;
    c.status = answered.error ? kStatusCheckCondition : answered.status;
    if (answered.error) c.sense = SenseBytes(*answered.error, answered.information);
    const std::size_t n = std::min({answered.data.size(), answered.allocation, capacity});
    if (n > 0) std::memcpy(buffer, answered.data.data(), n);
    c.transferred = n;
    return c;
}

namespace {

// A layout the replies can describe: sessions with tracks in ascending order, each session ending
// after its last track and before the next session.
bool Usable(const Disc& disc) {
    if (disc.sessions.empty()) return false;
    std::uint32_t floor = 0;
    for (const Session& session : disc.sessions) {
        if (session.tracks.empty()) return false;
        for (const Track& track : session.tracks) {
            if (track.start < floor) return false;
            floor = track.start + 1;
        }
        if (session.leadOut < floor) return false;
        floor = session.leadOut;
    }
    return true;
}

} // namespace

bool Drive::mediumPresent() const {
    return !trayOpen_ && disc_ && Usable(*disc_) &&
           std::find(config_.profiles.begin(), config_.profiles.end(), disc_->profile) !=
               config_.profiles.end();
}

Drive::Answer Drive::answer(const std::vector<std::uint8_t>& cdb, std::size_t capacity) {
    if (cdb.empty()) return Answer::Error(kInvalidOpcode);
    const std::uint8_t op = cdb[0];

    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->opcode != -1 && it->opcode != op) continue;
        Answer a;
        if (it->status == kStatusCheckCondition)
            a.error = SenseCode{it->senseKey, it->asc, it->ascq};
        else
            a.status = it->status;
        if (it->count > 0 && --it->count == 0) faults_.erase(it);
        return a;
    }

    const std::size_t length = BlockLength(op);
    if (length == 0) return Answer::Error(kInvalidOpcode);
    if (cdb.size() < length) return Answer::Error(kInvalidField);

    if (unitAttention_ && op != kInquiry && op != kGetConfiguration) {
        const SenseCode code{0x06, unitAttention_->first, unitAttention_->second};
        unitAttention_.reset();
        return Answer::Error(code);
    }

    if (NeedsMedium(op)) {
        if (trayOpen_) return Answer::Error(kNoMediumTrayOpen);
        if (!disc_) return Answer::Error(kNoMediumTrayClosed);
        if (becomingReady_ > 0) {
            --becomingReady_;
            return Answer::Error(kBecomingReady);
        }
        if (!mediumPresent()) return Answer::Error(kIncompatibleMedium);
    }

    const std::uint8_t* b = cdb.data();
    Answer a;
    const auto built = [&a](Built r, std::size_t allocation) {
        a.data = std::move(r.data);
        a.error = r.error;
        a.allocation = allocation;
        return std::move(a);
    };
    switch (op) {
    case kTestUnitReady:
        return a;
    case kInquiry:
        if ((b[1] & 0x01) != 0 || b[2] != 0) return Answer::Error(kInvalidField); // no VPD pages
        return built({InquiryData(config_), {}}, Be16(b + 3));
    case kModeSense6:
    case kModeSense10: {
        const bool ten = op == kModeSense10;
        const bool dbd = (b[1] & 0x08) != 0;
        const std::uint8_t pageControl = b[2] >> 6;
        const std::uint8_t page = b[2] & 0x3F;
        if (pageControl == 3) return Answer::Error(kSavingNotSupported);
        if (page != 0x2A && page != 0x3F) return Answer::Error(kInvalidField);
        const std::uint8_t mediumType = trayOpen_          ? 0x71
                                        : !disc_           ? 0x70
                                        : !mediumPresent() ? 0x72
                                                           : disc_->mediumType;
        return built(
            {ModeSenseData(ten, !dbd, mediumType, CapabilitiesPage(config_, locked_, pageControl)),
             {}},
            ten ? Be16(b + 7) : b[4]);
    }
    case kStartStopUnit: {
        const bool loadEject = (b[4] & 0x02) != 0;
        const bool start = (b[4] & 0x01) != 0;
        if (!loadEject) return a; // spinning up or down changes nothing here
        if (!config_.ejectSupported) return Answer::Error(kInvalidField);
        if (!start) {
            if (locked_) return Answer::Error(kRemovalPrevented);
            trayOpen_ = true;
        } else if (trayOpen_) {
            trayOpen_ = false;
            if (disc_) unitAttention_ = {kMediumChanged.asc, kMediumChanged.ascq};
        }
        return a;
    }
    case kPreventAllow: {
        const bool prevent = (b[4] & 0x01) != 0;
        if (prevent && !config_.lockSupported) return Answer::Error(kInvalidField);
        locked_ = prevent;
        return a;
    }
    case kReadCapacity:
        return built({CapacityData(disc_->capacity() - 1), {}}, kUnlimited);
    case kReadToc: {
        const std::uint8_t format = (b[2] & 0x0F) != 0 ? b[2] & 0x0F : b[9] >> 6;
        return built(TocData(*disc_, format, (b[1] & 0x02) != 0, b[6], config_.tocInBcd),
                     Be16(b + 7));
    }
    case kGetConfiguration: {
        const std::uint16_t profile = mediumPresent() ? disc_->profile : kProfileNone;
        return built(ConfigurationData(config_, profile, b[1] & 0x03,
                                       static_cast<std::uint16_t>(Be16(b + 2))),
                     Be16(b + 7));
    }
    case kReadTrackInformation:
        return built(TrackInformationData(*disc_, b[1] & 0x03, Be32(b + 2)), Be16(b + 7));
    case kReadDiscStructure:
        return built(DiscStructureData(*disc_, b[1] & 0x0F, b[6], b[7]), Be16(b + 8));
    case kRead10:
    case kReadCd:
        return answerRead(cdb, capacity);
    default:
        return Answer::Error(kInvalidOpcode);
    }
}

Drive::Answer Drive::answerRead(const std::vector<std::uint8_t>& cdb, std::size_t capacity) {
    const std::uint8_t* b = cdb.data();
    const bool readCd = b[0] == kReadCd;
    const std::uint32_t lba = Be32(b + 2);
    std::uint32_t count = 0;
    std::uint8_t expected = 0;  // READ CD expected sector type, 0 any
    std::uint8_t fields = 0x10; // READ CD byte 9: sync, header codes, user data, EDC/ECC
    if (readCd) {
        expected = (b[1] >> 2) & 0x07;
        count = Be24(b + 6);
        fields = b[9];
        if (expected > 5 || (fields & 0x06) != 0 || (b[10] & 0x07) != 0)
            return Answer::Error(kInvalidField); // C2 errors and sub-channel data not offered
        if (disc_->kind != MediumKind::Cd) return Answer::Error(kIncompatibleFormat);
    } else {
        count = Be16(b + 7);
    }
    const std::uint32_t end = disc_->capacity();
    if (lba >= end ? count > 0 : count > end - lba) return Answer::Error(kLbaOutOfRange, lba);

    Answer a;
    Sector sector;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t at = lba + i;
        if (readErrors_.count(at) != 0)
            return a.error = kUnrecoveredReadError, a.information = at, a;
        const Track* track = disc_->findTrack(at);
        if (track == nullptr) return a.error = kLbaOutOfRange, a.information = at, a;
        if (a.data.size() >= capacity) {
            // The buffer is full: nothing more can be delivered, but the sectors are still
            // checked so that an error further on is reported.
            if (track->mode == TrackMode::Audio && !readCd)
                return a.error = kIllegalModeForTrack, a.information = at, a;
            continue;
        }
        if (!FetchSector(*disc_, *track, at, readCd, sector))
            return a.error = kUnrecoveredReadError, a.information = at, a;
        using Type = Sector::Type;
        const std::uint8_t* raw = sector.raw;
        const auto append = [&a, raw](std::size_t from, std::size_t size) {
            a.data.insert(a.data.end(), raw + from, raw + from + size);
        };
        if (!readCd) {
            if (sector.type == Type::Audio || sector.type == Type::Mode2Form2)
                return a.error = kIllegalModeForTrack, a.information = at, a;
            append(sector.userOffset(), sector.userSize());
            continue;
        }
        static constexpr std::uint8_t kExpectedType[] = {1, 2, 4, 5}; // by Sector::Type
        if (expected != 0 && expected != kExpectedType[static_cast<int>(sector.type)])
            return a.error = kIllegalModeForTrack, a.information = at, a;
        if (sector.type == Type::Audio) {
            if ((fields & 0xF8) != 0) append(0, kRawSectorSize);
            continue;
        }
        const std::uint8_t headers = (fields >> 5) & 0x03;
        if ((fields & 0x80) != 0) append(0, 12);                                // sync
        if ((headers & 0x01) != 0) append(12, 4);                               // header
        if ((headers & 0x02) != 0 && sector.type != Type::Mode1) append(16, 8); // subheader
        if ((fields & 0x10) != 0) append(sector.userOffset(), sector.userSize());
        if ((fields & 0x08) != 0) { // EDC and ECC
            const std::size_t from = sector.userOffset() + sector.userSize();
            append(from, kRawSectorSize - from);
        }
    }
    return a;
}

TrayState Drive::trayState() const {
    std::lock_guard lock(mutex_);
    return trayOpen_ ? TrayState::Open : disc_ ? TrayState::ClosedLoaded : TrayState::ClosedEmpty;
}

bool Drive::locked() const {
    std::lock_guard lock(mutex_);
    return locked_;
}

bool Drive::openTray() {
    std::lock_guard lock(mutex_);
    if (locked_) return false;
    trayOpen_ = true;
    return true;
}

void Drive::closeTray() {
    std::lock_guard lock(mutex_);
    if (!trayOpen_) return;
    trayOpen_ = false;
    if (disc_) unitAttention_ = {kMediumChanged.asc, kMediumChanged.ascq};
}

void Drive::setDisc(std::optional<Disc> disc) {
    std::lock_guard lock(mutex_);
    disc_ = std::move(disc);
    if (!trayOpen_ && disc_) unitAttention_ = {kMediumChanged.asc, kMediumChanged.ascq};
}

bool Drive::hasDisc() const {
    std::lock_guard lock(mutex_);
    return disc_.has_value();
}

void Drive::injectFault(const Fault& fault) {
    std::lock_guard lock(mutex_);
    faults_.push_back(fault);
}

void Drive::addReadError(std::uint32_t lba) {
    std::lock_guard lock(mutex_);
    readErrors_.insert(lba);
}

void Drive::setBecomingReady(unsigned commands) {
    std::lock_guard lock(mutex_);
    becomingReady_ = commands;
}

void Drive::raiseUnitAttention(std::uint8_t asc, std::uint8_t ascq) {
    std::lock_guard lock(mutex_);
    unitAttention_ = {asc, ascq};
}

void Drive::setDelay(int opcode, std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    delays_[opcode] = delay;
}

void Drive::setSleeper(Sleeper sleeper) {
    std::lock_guard lock(mutex_);
    sleeper_ = std::move(sleeper);
}

void Drive::setReplyFilter(ReplyFilter filter) {
    std::lock_guard lock(mutex_);
    filter_ = std::move(filter);
}

void Drive::hangCommands(int opcode, unsigned count) {
    std::lock_guard lock(mutex_);
    if (count > 0) hangs_.emplace_back(opcode, count);
}

void Drive::abortPending() {
    std::lock_guard lock(mutex_);
    ++abortGeneration_;
    released_.notify_all();
}

std::size_t Drive::pendingCount() const {
    std::lock_guard lock(mutex_);
    return pending_;
}

void Drive::clearFaults() {
    std::lock_guard lock(mutex_);
    faults_.clear();
    readErrors_.clear();
    delays_.clear();
    hangs_.clear();
    becomingReady_ = 0;
}

std::vector<LoggedCommand> Drive::commandLog() const {
    std::lock_guard lock(mutex_);
    return log_;
}

void Drive::clearLog() {
    std::lock_guard lock(mutex_);
    log_.clear();
}

} // namespace discsim
