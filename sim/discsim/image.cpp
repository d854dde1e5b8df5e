#include "image.h"

#include "sector.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace discsim {
namespace {

// The last LBA whose address (150 frames ahead) still fits 99:59:74.
constexpr std::uint32_t kCdMaxLba = 99 * 60 * 75 + 59 * 75 + 74 - kMsfOffset;
constexpr std::uint32_t kDvdMaxSectors = 4173824; // two layers of 8.5 GB
constexpr std::size_t kMaxDescriptionSize = 64 * 1024;

bool Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Opens a regular file for reading; its size goes to *size.
std::optional<std::shared_ptr<Fd>> OpenRegular(const std::string& path, std::uint64_t* size,
                                               std::string* error) {
    auto fd = std::make_shared<Fd>(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd->get() < 0) {
        Fail(error, path + ": " + std::strerror(errno));
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd->get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        Fail(error, path + ": not a regular file");
        return std::nullopt;
    }
    *size = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

// Strict decimal number of at most nine digits.
bool ParseNumber(const std::string& text, std::uint32_t& value) {
    if (text.empty() || text.size() > 9) return false;
    value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return true;
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

ImageFile::ImageFile(int fd, Layout layout, std::uint64_t size)
    : fd_(fd), layout_(layout), size_(size) {}

ImageFile::~ImageFile() {
    ::close(fd_);
}

bool ImageFile::read(std::uint64_t offset, std::uint8_t* out, std::size_t length) const {
    constexpr std::size_t kWindow = 256 * 1024;
    std::memset(out, 0, length);
    if (offset >= size_) return true;
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(length, size_ - offset));
    if (wanted > kWindow) return readFile(offset, out, wanted);

    const std::lock_guard lock(windowLock_);
    if (offset < windowStart_ || offset + wanted > windowStart_ + window_.size()) {
        const auto size =
            static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, size_ - offset));
        window_.resize(size);
        if (!readFile(offset, window_.data(), size)) {
            window_.clear();
            return false;
        }
        windowStart_ = offset;
    }
    std::memcpy(out, window_.data() + (offset - windowStart_), wanted);
    return true;
}

bool ImageFile::readFile(std::uint64_t offset, std::uint8_t* out, std::size_t length) const {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n =
            ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::uint8_t CdMediumType(const std::vector<Session>& sessions) {
    bool audio = false, data = false;
    for (const Session& s : sessions)
        for (const Track& t : s.tracks)
            (t.mode == TrackMode::Audio ? audio : data) = true;
    return audio && data ? 0x03 : audio ? 0x02 : 0x01;
}

std::optional<Disc> LoadIsoImage(const std::string& path, std::string* error) {
    std::uint64_t size = 0;
    auto fd = OpenRegular(path, &size, error);
    if (!fd) return std::nullopt;
    const std::uint64_t sectors = (size + kUserDataSize - 1) / kUserDataSize;
    if (sectors == 0) {
        Fail(error, path + ": empty image");
        return std::nullopt;
    }
    if (sectors > 0xFFFFFFF0u) {
        Fail(error, path + ": image too large");
        return std::nullopt;
    }
    const auto count = static_cast<std::uint32_t>(sectors);
    // A CD as long as the addresses fit, else a DVD, else a BD.
    Disc disc = count <= kCdMaxLba        ? Disc{}
                : count <= kDvdMaxSectors ? MakeDvd(count, count > kDvdMaxSectors / 2 ? 2 : 1)
                                          : MakeBd(count);
    disc.sectors.clear();
    disc.sessions = {Session{1, SessionFormat::CdDaOrRom, {Track{1, TrackMode::Mode1, 0}}, count}};
    if (disc.kind == MediumKind::Cd) disc.mediumType = 0x01;
    disc.image =
        std::make_shared<ImageFile>((*fd)->release(), ImageFile::Layout::UserData2048, size);
    return disc;
}

std::optional<Disc> LoadRawImage(const std::string& descriptionPath, std::string* error) {
    std::uint64_t descriptionSize = 0;
    auto descriptionFd = OpenRegular(descriptionPath, &descriptionSize, error);
    if (!descriptionFd) return std::nullopt;
    if (descriptionSize > kMaxDescriptionSize) {
        Fail(error, descriptionPath + ": description too large");
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(descriptionSize), '\0');
    {
        ImageFile reader((*descriptionFd)->release(), ImageFile::Layout::Raw2352, descriptionSize);
        if (!reader.read(0, reinterpret_cast<std::uint8_t*>(text.data()), text.size())) {
            Fail(error, descriptionPath + ": cannot read");
            return std::nullopt;
        }
    }

    Disc disc;
    std::string imageName;
    bool sessionOpen = false;
    std::vector<std::optional<SessionFormat>> formats;
    std::istringstream lines(text);
    std::string line;
    unsigned lineNumber = 0;
    const auto bad = [&](const std::string& what) {
        Fail(error, descriptionPath + ":" + std::to_string(lineNumber) + ": " + what);
        return std::nullopt;
    };
    while (std::getline(lines, line)) {
        ++lineNumber;
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;)
            w.push_back(word);
        if (w.empty()) continue;
        const std::string keyword = Lower(w[0]);
        if (keyword == "image") {
            if (w.size() != 2) return bad("expected: image <file>");
            if (!imageName.empty()) return bad("second image line");
            imageName = w[1];
        } else if (keyword == "session") {
            std::uint32_t n = 0;
            if (w.size() < 2 || w.size() > 3 || !ParseNumber(w[1], n))
                return bad("expected: session <number> [cdda|cdi|xa]");
            if (sessionOpen) return bad("session without leadout");
            if (n != disc.sessions.size() + 1) return bad("sessions must be numbered 1, 2, ...");
            if (n > 99) return bad("too many sessions");
            std::optional<SessionFormat> format;
            if (w.size() == 3) {
                const std::string f = Lower(w[2]);
                if (f == "cdda")
                    format = SessionFormat::CdDaOrRom;
                else if (f == "cdi")
                    format = SessionFormat::CdI;
                else if (f == "xa")
                    format = SessionFormat::CdXa;
                else
                    return bad("unknown session type '" + w[2] + "'");
            }
            disc.sessions.push_back(Session{static_cast<std::uint8_t>(n), {}, {}, 0});
            formats.push_back(format);
            sessionOpen = true;
        } else if (keyword == "track") {
            std::uint32_t n = 0, start = 0;
            if (w.size() != 4 || !ParseNumber(w[1], n) || !ParseNumber(w[3], start))
                return bad("expected: track <number> audio|mode1|mode2 <lba>");
            if (!sessionOpen) return bad("track outside a session");
            const std::string m = Lower(w[2]);
            TrackMode mode = TrackMode::Audio;
            if (m == "audio")
                mode = TrackMode::Audio;
            else if (m == "mode1")
                mode = TrackMode::Mode1;
            else if (m == "mode2")
                mode = TrackMode::Mode2;
            else
                return bad("unknown track mode '" + w[2] + "'");
            const Track* previous = nullptr;
            for (const Session& s : disc.sessions)
                if (!s.tracks.empty()) previous = &s.tracks.back();
            const std::uint32_t expected = previous ? previous->number + 1u : 1u;
            if (n != expected) return bad("track number " + std::to_string(expected) + " expected");
            if (n > 99) return bad("more than 99 tracks");
            Session& session = disc.sessions.back();
            const std::uint32_t floor = !session.tracks.empty() ? session.tracks.back().start + 1
                                        : disc.sessions.size() > 1
                                            ? disc.sessions[disc.sessions.size() - 2].leadOut
                                            : 0;
            if (start < floor) return bad("track starts before the end of the one before");
            if (start > kCdMaxLba) return bad("track start beyond 99:59:74");
            session.tracks.push_back(Track{static_cast<std::uint8_t>(n), mode, start});
        } else if (keyword == "leadout") {
            std::uint32_t lba = 0;
            if (w.size() != 2 || !ParseNumber(w[1], lba)) return bad("expected: leadout <lba>");
            if (!sessionOpen || disc.sessions.back().tracks.empty())
                return bad("leadout without a track");
            if (lba <= disc.sessions.back().tracks.back().start)
                return bad("leadout before the end of the last track");
            if (lba > kCdMaxLba) return bad("leadout beyond 99:59:74");
            disc.sessions.back().leadOut = lba;
            sessionOpen = false;
        } else {
            return bad("unknown keyword '" + w[0] + "'");
        }
    }
    lineNumber = 0;
    if (disc.sessions.empty()) return bad("no session");
    if (sessionOpen) return bad("last session has no leadout");
    if (imageName.empty()) return bad("no image line");

    std::uint64_t sectors = 0;
    std::vector<std::pair<std::uint32_t, std::uint64_t>> offsets;
    for (std::size_t s = 0; s < disc.sessions.size(); ++s) {
        Session& session = disc.sessions[s];
        bool mode2 = false;
        for (std::size_t i = 0; i < session.tracks.size(); ++i) {
            offsets.emplace_back(session.tracks[i].start, sectors);
            const std::uint32_t end =
                i + 1 < session.tracks.size() ? session.tracks[i + 1].start : session.leadOut;
            sectors += end - session.tracks[i].start;
            mode2 = mode2 || session.tracks[i].mode == TrackMode::Mode2;
        }
        session.format =
            formats[s].value_or(mode2 ? SessionFormat::CdXa : SessionFormat::CdDaOrRom);
    }

    std::string imagePath = imageName;
    if (imagePath.front() != '/') {
        const auto slash = descriptionPath.rfind('/');
        if (slash != std::string::npos)
            imagePath = descriptionPath.substr(0, slash + 1) + imagePath;
    }
    std::uint64_t imageSize = 0;
    auto imageFd = OpenRegular(imagePath, &imageSize, error);
    if (!imageFd) return std::nullopt;
    if (imageSize != sectors * kRawSectorSize) {
        Fail(error, imagePath + ": " + std::to_string(imageSize) +
                        " bytes, the description needs " +
                        std::to_string(sectors * kRawSectorSize));
        return std::nullopt;
    }
    disc.mediumType = CdMediumType(disc.sessions);
    disc.image =
        std::make_shared<ImageFile>((*imageFd)->release(), ImageFile::Layout::Raw2352, imageSize);
    disc.image->trackOffsets = std::move(offsets);
    return disc;
}

std::optional<Disc> LoadImage(const std::string& path, std::string* error) {
    if (path.size() >= 4 && Lower(path.substr(path.size() - 4)) == ".iso")
        return LoadIsoImage(path, error);
    return LoadRawImage(path, error);
}

} // namespace discsim
