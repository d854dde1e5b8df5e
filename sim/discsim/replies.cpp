#include "replies.h"

#include "sector.h"

#include <algorithm>
#include <cstring>

namespace discsim {
namespace {

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}
void Put24(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v >> 16);
    Put16(b, at + 1, v);
}
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v >> 24);
    Put24(b, at + 1, v);
}
void PutPadded(std::vector<std::uint8_t>& b, std::size_t at, std::size_t width,
               const std::string& text) {
    std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(at), width, ' ');
    std::copy_n(text.begin(), std::min(width, text.size()),
                b.begin() + static_cast<std::ptrdiff_t>(at));
}

constexpr std::uint8_t kAdrQ = 0x10; // ADR 1: Q sub-channel encodes the current position

std::uint8_t Control(const Track& track) {
    return track.mode == TrackMode::Audio ? 0x00 : 0x04;
}

std::uint32_t TrackEnd(const Session& session, std::size_t index) {
    return index + 1 < session.tracks.size() ? session.tracks[index + 1].start : session.leadOut;
}

struct TrackRef {
    const Session* session;
    std::size_t index;
    const Track& track() const { return session->tracks[index]; }
};
std::vector<TrackRef> AllTracks(const Disc& disc) {
    std::vector<TrackRef> all;
    for (const Session& s : disc.sessions)
        for (std::size_t i = 0; i < s.tracks.size(); ++i)
            all.push_back({&s, i});
    return all;
}

// TOC address field: LBA, or 0, M, S, F.
void PutAddress(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t lba, bool msf) {
    if (!msf) return Put32(b, at, lba);
    const Msf m = LbaToMsf(lba);
    b[at] = 0;
    b[at + 1] = m.minute;
    b[at + 2] = m.second;
    b[at + 3] = m.frame;
}

constexpr std::size_t kTocHeader = 4;
constexpr std::size_t kTocDescriptor = 8;
constexpr std::size_t kFullTocDescriptor = 11;

Built FormattedToc(const Disc& disc, bool msf, std::uint8_t startTrack) {
    const auto tracks = AllTracks(disc);
    const std::uint8_t first = tracks.front().track().number;
    const std::uint8_t last = tracks.back().track().number;
    if (startTrack > last && startTrack != 0xAA) return {{}, kInvalidField};
    std::vector<TrackRef> listed;
    for (const TrackRef& t : tracks)
        if (startTrack != 0xAA && t.track().number >= startTrack) listed.push_back(t);
    std::vector<std::uint8_t> b(kTocHeader + (listed.size() + 1) * kTocDescriptor, 0);
    Put16(b, 0, static_cast<std::uint32_t>(b.size() - 2));
    b[2] = first;
    b[3] = last;
    std::size_t at = kTocHeader;
    for (const TrackRef& t : listed) {
        b[at + 1] = kAdrQ | Control(t.track());
        b[at + 2] = t.track().number;
        PutAddress(b, at + 4, t.track().start, msf);
        at += kTocDescriptor;
    }
    b[at + 1] = kAdrQ | Control(tracks.back().track());
    b[at + 2] = 0xAA;
    PutAddress(b, at + 4, disc.capacity(), msf);
    return {std::move(b), {}};
}

Built SessionToc(const Disc& disc, bool msf) {
    const Session& lastSession = disc.sessions.back();
    const Track& firstTrack = lastSession.tracks.front();
    std::vector<std::uint8_t> b(kTocHeader + kTocDescriptor, 0);
    Put16(b, 0, static_cast<std::uint32_t>(b.size() - 2));
    b[2] = disc.sessions.front().number;
    b[3] = lastSession.number;
    b[kTocHeader + 1] = kAdrQ | Control(firstTrack);
    b[kTocHeader + 2] = firstTrack.number;
    PutAddress(b, kTocHeader + 4, firstTrack.start, msf);
    return {std::move(b), {}};
}

// Full TOC: per session the A0h, A1h and A2h points, then one point per track. Track numbers
// and times are binary, or BCD for drives that pass the sub-channel values through.
Built FullToc(const Disc& disc, bool bcd) {
    const auto code = [bcd](std::uint8_t v) { return bcd ? ToBcd(v) : v; };
    std::vector<std::uint8_t> b(kTocHeader, 0);
    const auto add = [&](const Session& s, std::uint8_t control, std::uint8_t point,
                         std::uint8_t pmin, std::uint8_t psec, std::uint8_t pframe) {
        const std::size_t at = b.size();
        b.resize(at + kFullTocDescriptor, 0);
        b[at] = s.number;
        b[at + 1] = kAdrQ | control;
        b[at + 3] = point;
        b[at + 8] = pmin;
        b[at + 9] = psec;
        b[at + 10] = pframe;
    };
    for (const Session& s : disc.sessions) {
        const Track& first = s.tracks.front();
        const Track& last = s.tracks.back();
        add(s, Control(first), 0xA0, code(first.number), static_cast<std::uint8_t>(s.format), 0);
        add(s, Control(last), 0xA1, code(last.number), 0, 0);
        const Msf out = LbaToMsf(s.leadOut);
        add(s, Control(last), 0xA2, code(out.minute), code(out.second), code(out.frame));
        for (const Track& t : s.tracks) {
            const Msf m = LbaToMsf(t.start);
            add(s, Control(t), code(t.number), code(m.minute), code(m.second), code(m.frame));
        }
    }
    Put16(b, 0, static_cast<std::uint32_t>(b.size() - 2));
    b[2] = disc.sessions.front().number;
    b[3] = disc.sessions.back().number;
    return {std::move(b), {}};
}

// Feature descriptor head: code, version/persistent/current, additional length.
void AddFeature(std::vector<std::uint8_t>& b, std::uint16_t code, std::uint8_t version,
                bool persistent, bool current, const std::vector<std::uint8_t>& body) {
    const std::size_t at = b.size();
    b.resize(at + 4 + body.size(), 0);
    Put16(b, at, code);
    b[at + 2] = static_cast<std::uint8_t>(version << 2 | (persistent ? 2 : 0) | (current ? 1 : 0));
    b[at + 3] = static_cast<std::uint8_t>(body.size());
    std::copy(body.begin(), body.end(), b.begin() + static_cast<std::ptrdiff_t>(at + 4));
}

bool IsCdProfile(std::uint16_t p) {
    return p >= kProfileCdRom && p <= kProfileCdRw;
}
bool IsDvdProfile(std::uint16_t p) {
    return p >= kProfileDvdRom && p <= 0x002B;
}

} // namespace

std::array<std::uint8_t, kSenseSize> SenseBytes(SenseCode code,
                                                std::optional<std::uint32_t> information) {
    std::array<std::uint8_t, kSenseSize> s{};
    s[0] = 0x70;
    s[2] = code.key;
    if (information) {
        s[0] |= 0x80;
        s[3] = static_cast<std::uint8_t>(*information >> 24);
        s[4] = static_cast<std::uint8_t>(*information >> 16);
        s[5] = static_cast<std::uint8_t>(*information >> 8);
        s[6] = static_cast<std::uint8_t>(*information);
    }
    s[7] = static_cast<std::uint8_t>(kSenseSize - 8); // additional sense length
    s[12] = code.asc;
    s[13] = code.ascq;
    return s;
}

std::vector<std::uint8_t> InquiryData(const DriveConfig& config) {
    constexpr std::size_t kSize = 96;
    std::vector<std::uint8_t> b(kSize, 0);
    b[0] = config.deviceType & 0x1F;
    b[1] = config.removable ? 0x80 : 0x00;
    b[2] = config.versionByte;
    b[3] = config.formatByte;
    b[4] = static_cast<std::uint8_t>(kSize - 5); // additional length
    b[7] = config.flagsByte;
    PutPadded(b, 8, 8, config.vendor);
    PutPadded(b, 16, 16, config.product);
    PutPadded(b, 32, 4, config.revision);
    return b;
}

std::vector<std::uint8_t> CapabilitiesPage(const DriveConfig& config, bool locked,
                                           std::uint8_t pageControl) {
    constexpr std::size_t kSize = 30; // page length 1Ch, no write speed descriptors
    std::vector<std::uint8_t> b(kSize, 0);
    b[0] = 0x2A;
    b[1] = static_cast<std::uint8_t>(kSize - 2);
    if (pageControl == 1) return b; // nothing in this page can be changed
    const bool cdr = std::count(config.profiles.begin(), config.profiles.end(), kProfileCdR) > 0;
    const bool cdrw = std::count(config.profiles.begin(), config.profiles.end(), kProfileCdRw) > 0;
    b[2] = static_cast<std::uint8_t>((cdr ? 0x01 : 0) | (cdrw ? 0x02 : 0) |
                                     (config.dvdRomRead ? 0x08 : 0));
    b[4] =
        static_cast<std::uint8_t>((config.mode2Form1 ? 0x10 : 0) | (config.mode2Form2 ? 0x20 : 0) |
                                  (config.multiSession ? 0x40 : 0));
    b[5] = config.cddaCommands ? 0x01 : 0x00;
    b[6] = static_cast<std::uint8_t>(
        (config.lockSupported ? 0x01 : 0) | (locked && pageControl == 0 ? 0x02 : 0) |
        (config.ejectSupported ? 0x08 : 0) | (config.loadingMechanism & 0x07) << 5);
    Put16(b, 8, 7056);  // maximum read speed, kB/s
    Put16(b, 10, 256);  // volume levels
    Put16(b, 12, 2048); // buffer size, kB
    Put16(b, 14, 7056); // current read speed, kB/s
    return b;
}

std::vector<std::uint8_t> ModeSenseData(bool tenByte, bool withBlockDescriptor,
                                        std::uint8_t mediumType,
                                        const std::vector<std::uint8_t>& page) {
    const std::size_t header = tenByte ? 8 : 4;
    const std::size_t descriptor = withBlockDescriptor ? 8 : 0;
    std::vector<std::uint8_t> b(header + descriptor + page.size(), 0);
    if (tenByte) {
        Put16(b, 0, static_cast<std::uint32_t>(b.size() - 2));
        b[2] = mediumType;
        Put16(b, 6, static_cast<std::uint32_t>(descriptor));
    } else {
        b[0] = static_cast<std::uint8_t>(b.size() - 1);
        b[1] = mediumType;
        b[3] = static_cast<std::uint8_t>(descriptor);
    }
    if (withBlockDescriptor) Put24(b, header + 5, static_cast<std::uint32_t>(kUserDataSize));
    std::copy(page.begin(), page.end(),
              b.begin() + static_cast<std::ptrdiff_t>(header + descriptor));
    return b;
}

Built ConfigurationData(const DriveConfig& config, std::uint16_t currentProfile,
                        std::uint8_t requestType, std::uint16_t start) {
    if (requestType > 2) return {{}, kInvalidField};
    constexpr std::size_t kHeader = 8;
    std::vector<std::uint8_t> b(kHeader, 0);
    const auto wanted = [&](std::uint16_t code, bool current) {
        if (requestType == 2) return code == start;
        return code >= start && (requestType == 0 || current);
    };
    std::vector<std::uint8_t> profiles;
    for (std::uint16_t p : config.profiles) {
        profiles.push_back(static_cast<std::uint8_t>(p >> 8));
        profiles.push_back(static_cast<std::uint8_t>(p));
        profiles.push_back(p == currentProfile ? 0x01 : 0x00);
        profiles.push_back(0);
    }
    if (wanted(0x0000, true)) AddFeature(b, 0x0000, 0, true, true, profiles);
    // Core: ATAPI physical interface.
    if (wanted(0x0001, true)) AddFeature(b, 0x0001, 2, true, true, {0, 0, 0, 2, 0, 0, 0, 0});
    // Removable medium: loading mechanism, eject, lock.
    const std::uint8_t removable = static_cast<std::uint8_t>((config.loadingMechanism & 0x07) << 5 |
                                                             (config.ejectSupported ? 0x08 : 0) |
                                                             (config.lockSupported ? 0x01 : 0));
    if (wanted(0x0003, true)) AddFeature(b, 0x0003, 0, true, true, {removable, 0, 0, 0});
    const bool cd = std::any_of(config.profiles.begin(), config.profiles.end(), IsCdProfile);
    const bool dvd = std::any_of(config.profiles.begin(), config.profiles.end(), IsDvdProfile);
    if (cd && wanted(0x001E, IsCdProfile(currentProfile)))
        AddFeature(b, 0x001E, 2, false, IsCdProfile(currentProfile), {0, 0, 0, 0});
    if (dvd && wanted(0x001F, IsDvdProfile(currentProfile)))
        AddFeature(b, 0x001F, 1, false, IsDvdProfile(currentProfile), {0, 0, 0, 0});
    Put32(b, 0, static_cast<std::uint32_t>(b.size() - 4));
    Put16(b, 6, currentProfile);
    return {std::move(b), {}};
}

std::vector<std::uint8_t> CapacityData(std::uint32_t lastLba) {
    std::vector<std::uint8_t> b(8, 0);
    Put32(b, 0, lastLba);
    Put32(b, 4, static_cast<std::uint32_t>(kUserDataSize));
    return b;
}

Built TocData(const Disc& disc, std::uint8_t format, bool msf, std::uint8_t startTrack, bool bcd) {
    if (disc.sessions.empty() || disc.sessions.front().tracks.empty())
        return {{}, kIncompatibleFormat};
    switch (format) {
    case 0:
        return FormattedToc(disc, msf, startTrack);
    case 1:
        return SessionToc(disc, msf);
    case 2:
        if (disc.kind != MediumKind::Cd) return {{}, kInvalidField};
        return FullToc(disc, bcd);
    default:
        return {{}, kInvalidField};
    }
}

Built TrackInformationData(const Disc& disc, std::uint8_t addressType, std::uint32_t address) {
    if (addressType > 2) return {{}, kInvalidField};
    std::optional<TrackRef> found;
    for (const TrackRef& t : AllTracks(disc)) {
        const bool match =
            addressType == 0 ? address >= t.track().start && address < TrackEnd(*t.session, t.index)
            : addressType == 1 ? address == t.track().number
                               : address == t.session->number && t.index == 0;
        if (match) {
            found = t;
            break;
        }
    }
    if (!found) return {{}, addressType == 0 ? kLbaOutOfRange : kInvalidField};

    constexpr std::size_t kSize = 48;
    const Track& track = found->track();
    const std::uint32_t size = TrackEnd(*found->session, found->index) - track.start;
    std::vector<std::uint8_t> b(kSize, 0);
    Put16(b, 0, kSize - 2);
    b[2] = track.number;
    b[3] = found->session->number;
    b[5] = Control(track); // track mode
    b[6] = track.mode == TrackMode::Audio ? 0x0F : track.mode == TrackMode::Mode1 ? 0x01 : 0x02;
    Put32(b, 8, track.start);
    Put32(b, 24, size);
    return {std::move(b), {}};
}

Built DiscStructureData(const Disc& disc, std::uint8_t mediaType, std::uint8_t layer,
                        std::uint8_t format) {
    if (mediaType > 1) return {{}, kInvalidField};
    if (disc.kind == MediumKind::Cd || (mediaType == 1) != (disc.kind == MediumKind::Bd))
        return {{}, kIncompatibleFormat};
    if (disc.kind == MediumKind::Bd || format != 0 || layer >= disc.layers)
        return {{}, kInvalidField};

    // DVD physical format information of one layer.
    constexpr std::size_t kHeader = 4, kBody = 2048;
    constexpr std::uint32_t kFirstPsn = 0x030000;
    std::vector<std::uint8_t> b(kHeader + kBody, 0);
    Put16(b, 0, kHeader + kBody - 2);
    std::uint8_t* d = &b[kHeader];
    d[0] = 0x01; // book type DVD-ROM, part version 1
    d[1] = 0x02; // 120 mm, maximum rate 10.08 Mbit/s
    d[2] = static_cast<std::uint8_t>((disc.layers - 1) << 5 | (disc.oppositeTrackPath ? 0x10 : 0) |
                                     0x01); // layer type: embossed
    d[3] = 0x10;                            // linear density 0.267 um, track density 0.74 um
    const std::uint32_t total = disc.capacity();
    const std::uint32_t layer0 = std::min(disc.layer0Sectors ? disc.layer0Sectors : total, total);
    std::uint32_t end = 0, layer0End = 0;
    if (disc.oppositeTrackPath) {
        // Layer 1 numbers its sectors as the complement of the layer 0 sector at the same radius.
        layer0End = kFirstPsn + layer0 - 1;
        end = ((~layer0End) & 0xFFFFFFu) + (total - layer0) - 1;
    } else {
        const std::uint32_t size = disc.layers == 2 && layer == 1 ? total - layer0 : layer0;
        end = kFirstPsn + size - 1;
    }
    Put24(b, kHeader + 5, kFirstPsn);
    Put24(b, kHeader + 9, end & 0xFFFFFFu);
    Put24(b, kHeader + 13, layer0End & 0xFFFFFFu);
    return {std::move(b), {}};
}

} // namespace discsim
