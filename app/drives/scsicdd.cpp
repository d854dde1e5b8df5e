#include "scsicdd.h"

#include "cache.h"
#include "disc_replies.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint8_t kOpStartStop = 0x1B;
constexpr std::uint8_t kOpPreventAllow = 0x1E;
constexpr std::uint8_t kOpReadCapacity = 0x25;
constexpr std::uint8_t kOpRead10 = 0x28;
constexpr std::uint8_t kOpReadToc = 0x43;
constexpr std::uint8_t kOpGetConfiguration = 0x46;
constexpr std::uint8_t kOpReadTrackInfo = 0x52;
constexpr std::uint8_t kOpReadDiscStructure = 0xAD;
constexpr std::uint8_t kOpReadCd = 0xBE;

constexpr std::uint8_t kCapabilityPage = 0x2A;
constexpr std::uint16_t kCapabilityLength = 34;
constexpr std::uint16_t kConfigurationLength = 908;
constexpr std::uint16_t kTocLength = 4096;
constexpr std::uint16_t kTrackInfoLength = 28;
constexpr std::uint16_t kDiscStructureLength = 2053;
constexpr std::uint32_t kCapacityLength = 8;

constexpr int kDoorTimeoutMs = 4000;
constexpr int kReadTimeoutMs = 8000;
constexpr int kAnalysisTimeoutMs = 2000;
constexpr int kConfigurationTimeoutMs = 4000;

// READ CD: any sector type; sync, all headers, user data, EDC/ECC.
constexpr std::uint8_t kReadCdRawFlags = 0xF8;
// User data of a Mode 2 Form 1 sector: after sync, header and subheader.
constexpr std::size_t kMode2UserDataOffset = 24;
// A DVD's data zone starts at physical sector 30000h.
constexpr std::uint32_t kDvdDataZoneStart = 0x30000;
constexpr std::uint64_t kVolumeDescriptorSector = 16;
// Volume descriptor sectors a CD-XA analysis looks at, and failed reads in a row it accepts.
constexpr int kXaDescriptorReads = 16;
constexpr int kDescriptorFailures = 3;

void PutBe16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}

void PutBe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

bool IsDeviceNode(const std::string& path) {
    return path.rfind("/dev/", 0) == 0;
}

} // namespace

std::mutex& ReadSectorMutex() {
    static std::mutex mutex;
    return mutex;
}

std::uint32_t VolumeSessionStart(const DiscInfo& d) {
    if (d.discKind == disc_kind::Dvd || d.discKind == disc_kind::BluRay) {
        std::uint32_t start = 0;
        for (int i = 1; i < DiscInfo::TrackCount; ++i)
            if (d.tracks[i].start != 0) start = d.tracks[i].start;
        return start;
    }
    return d.vdAddress >= kVolumeDescriptorSector
               ? static_cast<std::uint32_t>(d.vdAddress - kVolumeDescriptorSector)
               : 0;
}

TScsiCdd::TScsiCdd(std::uint32_t adapter_, std::uint32_t target_, std::uint32_t lun_)
    : TScsiDev(adapter_, target_, lun_, kDeviceTypeOptical) {
    driveLetter = 0;
    ProbeCapabilities();
}

TScsiCdd::~TScsiCdd() = default;

void TScsiCdd::SetState(std::uint8_t bit, bool on) {
    if (on)
        stateBits_.fetch_or(bit);
    else
        stateBits_.fetch_and(static_cast<std::uint8_t>(~bit));
}

// ---- command blocks ----

int TScsiCdd::StartStop(bool load) {
    const std::uint8_t cdb[6] = {
        kOpStartStop, 0, 0, 0, static_cast<std::uint8_t>(0x02 | (load ? 1 : 0)), 0};
    return Execute(cdb, 6, nullptr, 0, kSrbNoData, kDoorTimeoutMs);
}

int TScsiCdd::PreventAllow(bool prevent) {
    const std::uint8_t cdb[6] = {
        kOpPreventAllow, 0, 0, 0, static_cast<std::uint8_t>(prevent ? 1 : 0), 0};
    return Execute(cdb, 6, nullptr, 0, kSrbNoData, kDoorTimeoutMs);
}

int TScsiCdd::Read10(std::uint32_t lba, std::uint16_t count, std::uint8_t* buffer,
                     std::uint32_t length) {
    std::uint8_t cdb[10] = {kOpRead10};
    PutBe32(cdb + 2, lba);
    PutBe16(cdb + 7, count);
    return ReadCommand(cdb, 10, buffer, length);
}

int TScsiCdd::ReadCd(std::uint8_t sectorType, std::uint8_t flags, std::uint32_t lba,
                     std::uint16_t count, std::uint8_t* buffer, std::uint32_t length) {
    std::uint8_t cdb[12] = {kOpReadCd, static_cast<std::uint8_t>((sectorType & 7) << 2)};
    PutBe32(cdb + 2, lba);
    PutBe16(cdb + 7, count);
    cdb[9] = flags;
    return ReadCommand(cdb, 12, buffer, length);
}

int TScsiCdd::ReadCommand(const std::uint8_t* cdb, int cdbLength, std::uint8_t* buffer,
                          std::uint32_t length) {
    std::uint32_t moved = 0;
    const int code = Execute(cdb, cdbLength, buffer, length, kSrbDirIn, kReadTimeoutMs, &moved);
    if (code != kAspiOk || moved >= length) return code;
    // A read that ends well but moves less than the sectors asked for leaves the rest of the
    // buffer as it was: it failed, as a data under-run, so that the caller never takes what an
    // earlier read left there for the disc's bytes.
    lastCode = kAspiDataOverrun;
    return kAspiDataOverrun;
}

int TScsiCdd::ReadCapacity(std::uint8_t* buffer, std::uint32_t length, int timeoutMs) {
    const std::uint8_t cdb[10] = {kOpReadCapacity};
    return Execute(cdb, 10, buffer, std::min(length, kCapacityLength), kSrbDirIn, timeoutMs);
}

int TScsiCdd::ReadToc(bool msf, std::uint8_t format, std::uint8_t* buffer, std::uint16_t length,
                      int timeoutMs) {
    std::uint8_t cdb[10] = {kOpReadToc, static_cast<std::uint8_t>(msf ? 0x02 : 0)};
    PutBe16(cdb + 7, length);
    cdb[9] = static_cast<std::uint8_t>((format & 3) << 6);
    return Execute(cdb, 10, buffer, length, kSrbDirIn, timeoutMs);
}

int TScsiCdd::ReadTrackInfo(std::uint8_t* buffer, std::uint16_t length, std::uint8_t number,
                            int timeoutMs) {
    std::uint8_t cdb[10] = {kOpReadTrackInfo, 0x02};
    cdb[5] = number;
    PutBe16(cdb + 7, length);
    return Execute(cdb, 10, buffer, length, kSrbDirIn, timeoutMs);
}

int TScsiCdd::GetConfiguration(std::uint8_t* buffer, std::uint16_t length, int timeoutMs) {
    std::uint8_t cdb[10] = {kOpGetConfiguration, 0x02};
    PutBe16(cdb + 7, length);
    return Execute(cdb, 10, buffer, length, kSrbDirIn, timeoutMs);
}

int TScsiCdd::ReadDiscStructure(std::uint8_t layer, std::uint8_t format, std::uint8_t* buffer,
                                std::uint16_t length, int timeoutMs) {
    std::uint8_t cdb[12] = {kOpReadDiscStructure};
    cdb[6] = layer;
    cdb[7] = format;
    PutBe16(cdb + 8, length);
    return Execute(cdb, 12, buffer, length, kSrbDirIn, timeoutMs);
}

// ---- capabilities, media state, door ----

int TScsiCdd::ProbeCapabilities() {
    stateBits_ = 0;
    readBits = mechanism = mediaBits1 = mediaBits2 = 0;

    std::uint8_t page[kCapabilityLength] = {};
    if (ModeSense10(true, kCapabilityPage, page, kCapabilityLength) == kAspiOk) {
        const CapabilityPage c = ReadCapabilityPage(page);
        if (c.valid) {
            mediumType = c.mediumType;
            SetState(kStateCapabilityPage, true);
            TestUnitReady();
            SetState(kStateTrayClosed, mediumType == 0x70 || mediumType == 0x72);
            if (c.dvdRomRead) mediaBits1 |= kMediaDvdRom;
            if (c.cdrWrite) mediaBits1 |= kMediaCdr;
            if (c.cdrwWrite) mediaBits1 |= kMediaCdrw;
            if (c.dvdrWrite) mediaBits1 |= kMediaDvdr;
            if (c.dvdramWrite) mediaBits2 |= kMedia2DvdRam;
            if (c.mode2Form1) readBits |= kReadsMode2Form1;
            if (c.mode2Form2) readBits |= kReadsMode2Form2;
            if (c.multiSession) readBits |= kReadsMultiSession;
            if (c.cddaCommands) readBits |= kReadsCdda;
            SetState(kStateLockSupported, c.lockSupported);
            SetState(kStateLocked, c.locked);
            SetState(kStateEjectSupported, c.ejectSupported);
            mechanism = static_cast<std::uint8_t>((c.loadingMechanism & 7) << 1);
        }
        std::vector<std::uint8_t> config(kConfigurationLength);
        if (GetConfiguration(config.data(), kConfigurationLength, kConfigurationTimeoutMs) !=
            kAspiOk)
            return kAspiOk;
        const ProfileFacts p = ReadProfiles(config);
        if (p.bdRom) mediaBits2 |= kMedia2BdRom;
        if (p.bdRe) mediaBits2 |= kMedia2BdRe;
        return kAspiOk;
    }
    std::uint8_t page6[kCapabilityLength] = {};
    const int code = ModeSense6(kCapabilityPage, page6, kCapabilityLength);
    if (code == kAspiOk) SetState(kStateCapabilityPage, true);
    return code;
}

int TScsiCdd::TestUnitReady() {
    const int code = TScsiDev::TestUnitReady();
    SetState(kStateUnitReady, code == kAspiOk);
    if (code != kAspiCheckCondition) return code;
    const std::uint32_t key = (lastSense >> 16) & 0x0F;
    const std::uint32_t asc = (lastSense >> 8) & 0xFF;
    if (key != 2) return code;
    switch (asc) {
    case 0x04:
        return kMediaBecomingReady;
    case 0x3A:
        return kMediaNoMedium;
    case 0x06:
        return kMediaNoReferencePosition;
    case 0x30:
        return kMediaIncompatible;
    default:
        return code;
    }
}

int TScsiCdd::Lock(bool prevent) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    const int code = PreventAllow(prevent);
    if (code == kAspiOk) SetState(kStateLocked, prevent);
    return code;
}

void TScsiCdd::OpenDoor() {
    if (IsDeviceNode(hardwareKey)) {
        const int fd = ::open(hardwareKey.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return;
        ::ioctl(fd, CDROMEJECT, 0);
        ::close(fd);
    } else {
        StartStop(false);
    }
}

int TScsiCdd::Eject(bool load) {
    std::shared_ptr<TCache> cache;
    int code;
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        code = StartStop(load);
        if (code == kAspiOk) SetState(kStateTrayClosed, load);
        if (!load) OpenDoor();
        cache = cache_;
    }
    if (cache) cache->Invalidate(index);
    return code;
}

// ---- readers ----

bool TScsiCdd::AddReader(bool lockDoor) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (readers_ >= kMaxReaders) return false;
    ++readers_;
    if (lockDoor) {
        ++lockCount_;
        if (!IsDoorLocked()) Lock(true);
    }
    return true;
}

void TScsiCdd::RemoveReader(bool lockDoor, bool eject) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (readers_ > 0) --readers_;
    if (lockDoor && lockCount_ > 0) {
        --lockCount_;
        if (lockCount_ == 0 && IsDoorLocked()) Lock(false);
    }
    if (eject && readers_ == 0) Eject(false);
}

int TScsiCdd::ReaderCount() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return readers_;
}

int TScsiCdd::LockCount() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return lockCount_;
}

void TScsiCdd::SetCache(std::shared_ptr<TCache> cache) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    cache_ = std::move(cache);
}

DiscInfo TScsiCdd::Disc() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return disc_;
}

// ---- sector reads ----

int TScsiCdd::ReadRun(int mode, std::uint32_t lba, std::uint32_t count, std::uint8_t* buffer) {
    const auto n = static_cast<std::uint16_t>(count);
    if (mode == kReadUserData) return Read10(lba, n, buffer, count * kUserSectorBytes);
    const int code = ReadCd(0, kReadCdRawFlags, lba, n, buffer, count * kRawSectorBytes);
    if (code != kAspiOk || mode != kReadMode2) return code;
    for (std::uint32_t i = 0; i < count; ++i)
        std::memmove(buffer + std::size_t{i} * kUserSectorBytes,
                     buffer + std::size_t{i} * kRawSectorBytes + kMode2UserDataOffset,
                     kUserSectorBytes);
    return code;
}

int TScsiCdd::ReadCached(TCache& cache, int mode, std::uint32_t lba, std::uint32_t count,
                         std::uint8_t* buffer) {
    const bool raw = mode == kReadRaw;
    const std::uint32_t size = raw ? kRawSectorBytes : kUserSectorBytes;
    std::lock_guard<std::mutex> guard(ReadSectorMutex());
    int result = kAspiOk;
    std::uint32_t runStart = 0, runLength = 0;
    std::vector<std::uint8_t> scratch;
    auto readRun = [&]() {
        for (std::uint32_t k = 0; k < runLength; ++k)
            cache.Reserve(index, raw, runStart + k);
        std::uint8_t* target = buffer + std::size_t{runStart - lba} * size;
        int code;
        if (mode == kReadMode2) {
            scratch.assign(std::size_t{runLength} * kRawSectorBytes, 0);
            code = ReadRun(mode, runStart, runLength, scratch.data());
            if (code == kAspiOk)
                std::memcpy(target, scratch.data(), std::size_t{runLength} * kUserSectorBytes);
        } else {
            code = ReadRun(mode, runStart, runLength, target);
        }
        for (std::uint32_t k = 0; k < runLength; ++k) {
            if (code == kAspiOk)
                cache.Fill(index, raw, runStart + k, target + std::size_t{k} * size);
            else
                cache.Abandon(index, raw, runStart + k);
        }
        if (code != kAspiOk) result = code;
        runLength = 0;
    };
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint32_t sector = lba + k;
        const bool hit =
            cache.Lookup(index, raw, sector, buffer + std::size_t{k} * size) == TCache::kOk;
        if (!hit) {
            if (runLength == 0) runStart = sector;
            ++runLength;
        }
        if ((hit || k + 1 == count) && runLength > 0) readRun();
    }
    return result;
}

int TScsiCdd::ReadSectors(int mode, std::uint32_t lba, std::uint32_t count, std::uint8_t* buffer,
                          std::size_t bufferLength) {
    if (mode != kReadUserData && mode != kReadRaw && mode != kReadMode2) return kAspiOk;
    // READ(10) and READ CD carry a 16-bit count here.
    if (count > 0xFFFF) return kAspiInvalidCdb;
    const std::uint64_t needed =
        std::uint64_t{count} * (mode == kReadUserData ? kUserSectorBytes : kRawSectorBytes);
    if (needed > bufferLength || (count > 0 && buffer == nullptr)) return kAspiBufferTooBig;

    std::shared_ptr<TCache> cache;
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        cache = cache_;
    }
    if (cache && cache->enabled) return ReadCached(*cache, mode, lba, count, buffer);
    return ReadRun(mode, lba, count, buffer);
}

// ---- volume ----

bool TScsiCdd::ReadVolumeOf(const DiscInfo& d, VolumeInfo& out) {
    std::vector<std::uint8_t> raw(kRawSectorBytes);
    auto read = [&](std::uint32_t lba, std::span<std::uint8_t, 2048> sector) {
        if (ReadSectors(kReadUserData, lba, 1, sector.data(), sector.size()) == kAspiOk)
            return true;
        // Drives that refuse READ(10) on Mode 2 sectors still give the raw sector.
        if (ReadSectors(kReadMode2, lba, 1, raw.data(), raw.size()) != kAspiOk) return false;
        std::memcpy(sector.data(), raw.data(), sector.size());
        return true;
    };
    if (::ReadVolumeInfo(read, VolumeSessionStart(d), out)) return true;
    // A CD without any data track has no volume descriptors, yet is a disc the program reads.
    const bool isCd = d.discKind != disc_kind::Dvd && d.discKind != disc_kind::BluRay;
    const int tracks = std::min<int>(d.lastTrack, DiscInfo::TrackCount);
    bool anyData = false;
    for (int i = 0; i < tracks; ++i)
        anyData = anyData || d.tracks[i].dataFlag;
    if (isCd && tracks > 0 && !anyData) {
        out = {};
        out.fileSystemName = "CDFS";
        return true;
    }
    return false;
}

bool TScsiCdd::ReadVolumeInfo(VolumeInfo& out) {
    return ReadVolumeOf(Disc(), out);
}

bool TScsiCdd::FillVolume(DiscInfo& d) {
    VolumeInfo v;
    if (!ReadVolumeOf(d, v)) return false;
    d.volumeLabel = CutUtf8(v.label, DiscInfo::LabelWidth - 1);
    d.fileSystemName = CutUtf8(v.fileSystemName, DiscInfo::FileSystemNameWidth - 1);
    d.fileSystemCode = FileSystemCode(d.fileSystemName);
    if (d.volumeLabel.empty()) d.volumeLabel = DiscInfo::NoTitle;
    return true;
}

// ---- analysis ----

int TScsiCdd::Analyse() {
    DiscInfo d;
    const int code = Analyse(d);
    std::lock_guard<std::recursive_mutex> guard(lock_);
    disc_ = d;
    return code;
}

int TScsiCdd::Analyse(DiscInfo& out) {
    std::uint8_t page[kCapabilityLength] = {};
    const bool sensed = ModeSense10(true, kCapabilityPage, page, kCapabilityLength) == kAspiOk;
    const CapabilityPage c = ReadCapabilityPage(page);
    if (!sensed || !c.valid || (c.mediumType != 0 && c.mediumType != 0x41)) return AnalyseCd(out);

    std::vector<std::uint8_t> config(kConfigurationLength);
    if (GetConfiguration(config.data(), kConfigurationLength, kConfigurationTimeoutMs) != kAspiOk)
        return 1;
    const std::uint16_t profile = ReadProfiles(config).currentProfile;
    if (profile >= 0x40 && profile <= 0x43) return AnalyseBd(out);
    if (AnalyseDvd(out) == kAspiOk) return kAspiOk;
    return AnalyseCd(out);
}

int TScsiCdd::AnalyseCd(DiscInfo& d) {
    d = DiscInfo{};
    std::uint8_t capacity[kCapacityLength] = {};
    int code = ReadCapacity(capacity, kCapacityLength, kAnalysisTimeoutMs);
    if (code != kAspiOk) return code;
    d.endAddress = std::uint64_t{Be32(capacity)} + 1;

    std::vector<std::uint8_t> toc(kTocLength);
    code = ReadToc(false, 0, toc.data(), kTocLength, kAnalysisTimeoutMs);
    if (code != kAspiOk) return code;
    d.lastTrack = toc[3];

    std::vector<std::uint8_t> sessions(kTocLength);
    code = ReadToc(false, 1, sessions.data(), kTocLength, kAnalysisTimeoutMs);
    if (code != kAspiOk) return code;
    d.vdAddress = std::uint64_t{LastSessionStart(sessions)} + kVolumeDescriptorSector;

    std::fill(toc.begin(), toc.end(), 0);
    code = ReadToc(true, 2, toc.data(), kTocLength, kAnalysisTimeoutMs);
    if (code != kAspiOk) return code;
    FullTocFacts facts;
    code = ReadFullToc(toc, d, facts);
    if (code != 0) return code;

    std::uint8_t kind = facts.kind;
    const bool oneSession = d.firstSession == d.lastSession;
    d.readState = (kind == disc_kind::Data && oneSession) ? 1 : 0;
    int result = kAspiOk;
    if (d.readState == 0 && kind != disc_kind::Unknown) {
        std::vector<std::uint8_t> sector(2 * kUserSectorBytes);
        std::uint64_t address = d.vdAddress;
        int attempts = 0, failures = 0;
        bool lastRead = false;
        while (attempts < (kind == disc_kind::XA ? kXaDescriptorReads : 1)) {
            ++attempts;
            result = address <= 0xFFFFFFFFu
                         ? ReadSectors(kReadRaw, static_cast<std::uint32_t>(address), 1,
                                       sector.data(), sector.size())
                         : kAspiInvalidCdb;
            lastRead = result == kAspiOk;
            if (!lastRead) {
                if (++failures >= kDescriptorFailures) break;
                continue;
            }
            failures = 0;
            ++address;
            ExamineXaDescriptor(std::span<const std::uint8_t>(sector.data() + kMode2UserDataOffset,
                                                              kUserSectorBytes),
                                kind, d.cdBridge);
        }
        d.readState = lastRead ? 2 : 0;
    }
    if (d.lastSession > d.firstSession) kind |= disc_kind::MultiSession;
    d.discKind = kind;
    d.trackPath = 0;
    d.layers = 1;
    d.tocSignature = facts.signature;
    d.readStateLess1 = d.readState > 0 ? static_cast<std::uint8_t>(d.readState - 1) : 0;
    d.tocChecksum = DiscByteSum(sessions);

    if (!FillVolume(d)) return kMediaNoVolumeInfo;
    return result;
}

std::uint32_t TScsiCdd::ReadSessionTable(DiscInfo& d) {
    std::uint32_t lastSum = 0;
    int n = 0;
    while (n < DiscInfo::TrackCount) {
        std::uint8_t reply[kTrackInfoLength] = {};
        if (ReadTrackInfo(reply, kTrackInfoLength, static_cast<std::uint8_t>(n + 1),
                          kAnalysisTimeoutMs) != kAspiOk)
            break;
        const TrackInformation t = ReadTrackInformation(reply);
        const auto number = static_cast<std::uint8_t>(n + 1);
        d.tracks[n] = {number, number, 1, 0x14, t.start, t.length};
        lastSum = DiscByteSum(reply);
        ++n;
    }
    d.readState = 1;
    d.firstSession = 1;
    d.lastSession = d.sessionCount = d.lastTrack = static_cast<std::uint8_t>(n);
    return lastSum;
}

int TScsiCdd::AnalyseDvd(DiscInfo& d) {
    d = DiscInfo{};
    ReadSessionTable(d);

    std::vector<std::uint8_t> structure(kDiscStructureLength);
    int code = ReadDiscStructure(0, 0, structure.data(), kDiscStructureLength, kAnalysisTimeoutMs);
    if (code != kAspiOk) return code;
    const DvdPhysicalFormat f = ReadDvdPhysicalFormat(structure);
    // A starting sector before the data zone is read as none.
    d.vdAddress = f.startingSector >= kDvdDataZoneStart
                      ? f.startingSector - kDvdDataZoneStart + kVolumeDescriptorSector
                      : kVolumeDescriptorSector;
    for (std::uint8_t layer = 1; layer < f.layers; ++layer) {
        std::fill(structure.begin(), structure.end(), 0);
        code =
            ReadDiscStructure(layer, 0, structure.data(), kDiscStructureLength, kAnalysisTimeoutMs);
        if (code != kAspiOk) return code;
    }
    d.discKind = disc_kind::Dvd;
    d.timeEncoding = 2;
    d.readStateLess1 = 0;
    d.trackPath = f.oppositeTrackPath ? 2 : 1;
    d.layers = f.layers;
    CloseSessionTable(d);
    d.tocSignature = d.tocChecksum = DiscByteSum(structure);

    if (!FillVolume(d)) return kMediaNoVolumeInfo;
    if (d.fileSystemCode == 0) {
        const std::uint32_t start = VolumeSessionStart(d);
        if (start != 0) d.vdAddress = std::uint64_t{start} + kVolumeDescriptorSector;
    }
    return kAspiOk;
}

int TScsiCdd::AnalyseBd(DiscInfo& d) {
    d = DiscInfo{};
    std::uint8_t capacity[kCapacityLength] = {};
    const int code = ReadCapacity(capacity, kCapacityLength, kAnalysisTimeoutMs);
    if (code != kAspiOk) return code;
    const std::uint32_t sum = ReadSessionTable(d);
    d.discKind = disc_kind::BluRay;
    d.timeEncoding = 2;
    d.readStateLess1 = 0;
    d.trackPath = 1;
    d.layers = d.lastTrack;
    CloseSessionTable(d);
    d.tocSignature = d.tocChecksum = sum;

    if (!FillVolume(d)) return kMediaNoVolumeInfo;
    // The volume descriptors of the last session; the first session's for file systems other
    // than the CD file system.
    const std::uint32_t start = d.fileSystemCode == 0 ? VolumeSessionStart(d) : 0;
    d.vdAddress = std::uint64_t{start} + kVolumeDescriptorSector;
    return kAspiOk;
}
