#include "disc_replies.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

namespace {

constexpr std::size_t kTocHeaderSize = 4;
constexpr std::size_t kTocDescriptorSize = 11;

std::uint32_t Be16(Reply r, std::size_t at) {
    return at + 2 <= r.size() ? (std::uint32_t{r[at]} << 8) | r[at + 1] : 0;
}

std::uint32_t Be32(Reply r, std::size_t at) {
    if (at + 4 > r.size()) return 0;
    return (std::uint32_t{r[at]} << 24) | (std::uint32_t{r[at + 1]} << 16) |
           (std::uint32_t{r[at + 2]} << 8) | r[at + 3];
}

std::uint8_t At(Reply r, std::size_t at) {
    return at < r.size() ? r[at] : 0;
}

// The reply cut to the length its header declares: `headerBytes` length bytes at the start count
// what follows them.
Reply CutToDeclared(Reply r, std::size_t declared, std::size_t headerBytes) {
    return r.first(std::min(r.size(), declared + headerBytes));
}

// One descriptor of the full TOC.
struct TocDescriptor {
    std::uint8_t session, adrControl, tno, point, min, sec, frame, zero, pmin, psec, pframe;

    bool isData() const { return (adrControl & 0x04) != 0; }
};

TocDescriptor DescriptorAt(Reply r, std::size_t k) {
    const std::uint8_t* p = r.data() + kTocHeaderSize + k * kTocDescriptorSize;
    return {p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8], p[9], p[10]};
}

// Addresses land in 32-bit fields; an address before 00:02:00 wraps as it always has.
std::uint32_t Lba32(std::int64_t lba) {
    return static_cast<std::uint32_t>(lba);
}

bool ContainsNoCase(Reply data, std::size_t offset, std::string_view needle) {
    if (offset >= data.size()) return false;
    const std::uint8_t* begin = data.data() + offset;
    const void* nul = std::memchr(begin, 0, data.size() - offset);
    const std::uint8_t* end =
        nul ? static_cast<const std::uint8_t*>(nul) : data.data() + data.size();
    auto it = std::search(begin, end, needle.begin(), needle.end(), [](std::uint8_t a, char b) {
        return std::toupper(a) == static_cast<unsigned char>(b);
    });
    return it != end;
}

} // namespace

std::uint32_t DiscByteSum(Reply bytes) {
    std::uint32_t sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    return sum;
}

bool IsNotBcd(std::uint8_t value) {
    return (value & 0x0F) > 9 || (value >> 4) > 9;
}

std::uint32_t BcdToBin(std::uint32_t value) {
    std::uint32_t result = 0;
    std::uint32_t scale = 1;
    for (int i = 0; i < 8; ++i) {
        result += (value & 0x0F) * scale;
        value >>= 4;
        scale *= 10;
    }
    return result;
}

std::int64_t MsfToLba(int encoding, std::uint8_t m, std::uint8_t s, std::uint8_t f) {
    switch (encoding) {
    case 1:
        return (60 * std::int64_t{BcdToBin(m)} + BcdToBin(s) - 2) * 75 + BcdToBin(f);
    case 2:
        return (std::int64_t{m} << 16) + (std::int64_t{s} << 8) + f;
    default:
        return (60 * std::int64_t{m} + s - 2) * 75 + f;
    }
}

std::uint8_t FileSystemCode(std::string_view name) {
    static constexpr std::string_view kNames[] = {"CDFS", "HFS",   "UDF",  "EXT2",
                                                  "FAT",  "FAT32", "NTFS", "HPFS"};
    for (std::uint8_t code = 0; code < std::size(kNames); ++code) {
        const std::string_view known = kNames[code];
        if (name.size() == known.size() &&
            std::equal(name.begin(), name.end(), known.begin(), [](char a, char b) {
                return std::toupper(static_cast<unsigned char>(a)) == b;
            }))
            return code;
    }
    if (name.starts_with("UDF")) return 2;
    return 8;
}

int ReadFullToc(Reply reply, DiscInfo& info, FullTocFacts& facts) {
    facts = {};
    if (reply.size() < kTocHeaderSize) return kMediaBadToc;
    info.firstSession = reply[2];
    info.lastSession = reply[3];
    info.sessionCount = reply[3];
    const std::size_t count = std::min<std::size_t>(
        Be16(reply, 0) / kTocDescriptorSize, (reply.size() - kTocHeaderSize) / kTocDescriptorSize);

    // First pass: how the times are encoded, the lead-out descriptor and the track count.
    int e = 0;
    std::optional<std::size_t> leadOut;
    int trackCount = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const TocDescriptor d = DescriptorAt(reply, k);
        if (d.point == 0 || d.point > 0xA2) continue;
        if (d.point > 1) {
            if (d.pmin + d.psec + d.pframe == 0) return kMediaBadToc;
            if (IsNotBcd(d.min) || IsNotBcd(d.sec) || IsNotBcd(d.frame)) e |= 2;
        }
        if (d.point == 0xA0 || d.point == 0xA1) continue;
        if (d.point == 1 && d.pmin + d.psec != 0) e |= 1;
        if (IsNotBcd(d.pmin) || IsNotBcd(d.psec) || IsNotBcd(d.pframe)) e |= 2;
        if (e == 1 && (d.pmin > 0x80 || d.psec >= 0x60 || d.pframe >= 0x75)) e |= 2;
        if (e == 3 && (d.pmin > 80 || d.psec >= 60 || d.pframe >= 75)) e &= ~1;
        if (d.point == 0xA2)
            leadOut = k;
        else
            ++trackCount;
    }
    // Without a lead-out the disc has no end to measure tracks against.
    if (!leadOut) return kMediaBadToc;
    // More track descriptors than the table holds cannot describe a disc.
    if (trackCount > DiscInfo::TrackCount) return kMediaBadToc;

    // A lead-out that reads as BCD but ends before the capacity was binary after all.
    const TocDescriptor l = DescriptorAt(reply, *leadOut);
    int rechosen = 0;
    if (!(e & 2) &&
        MsfToLba(e, l.pmin, l.psec, l.pframe) < static_cast<std::int64_t>(info.endAddress)) {
        e ^= 2;
        rechosen = 1;
    }
    info.totalSectors = Lba32(MsfToLba(e, l.pmin, l.psec, l.pframe));
    info.timeEncoding = static_cast<std::uint8_t>((rechosen << 7) | e);

    auto indexOf = [e](std::uint8_t point) {
        return static_cast<int>((e & 2) ? point : BcdToBin(point)) - 1;
    };

    // Second pass: the track table, the lead-out entry after the last track.
    for (std::size_t k = 0; k < count; ++k) {
        const TocDescriptor d = DescriptorAt(reply, k);
        int i;
        if (d.point >= 1 && d.point <= 0x9F) {
            i = indexOf(d.point);
            if (i >= DiscInfo::TrackCount) return kMediaBadToc;
        } else if (d.point == 0xA2) {
            i = trackCount;
            if (i >= DiscInfo::TrackCount) continue; // a full table has no room for the lead-out
        } else {
            continue;
        }
        DiscTrackEntry& entry = info.tracks[i];
        entry.session = d.session;
        entry.track = i == trackCount ? kLeadOutTrack : static_cast<std::uint8_t>(i + 1);
        entry.dataFlag = d.isData() ? 1 : 0;
        entry.adrControl = d.adrControl;
        entry.start = Lba32(MsfToLba(e, d.pmin, d.psec, d.pframe));
        entry.length = 0;
    }

    // Third pass: the disc kind, track lengths and the signature.
    std::uint8_t kind = 0;
    std::uint64_t signature = 0;
    std::uint32_t sessionEnd = static_cast<std::uint32_t>(info.totalSectors);
    int lastTrack = 0;
    int lastHandled = -1;
    const bool oneSession = info.firstSession == info.lastSession;
    for (std::size_t k = 0; k < count; ++k) {
        const TocDescriptor d = DescriptorAt(reply, k);
        if (d.point == 0xA0) {
            switch (d.psec) {
            case 0x00:
                if (kind == 0)
                    kind = d.isData() ? disc_kind::Data : disc_kind::Audio;
                else if (kind == disc_kind::Audio)
                    kind = disc_kind::Extra;
                break;
            case 0x10:
                kind = disc_kind::CdI;
                break;
            case 0x20:
                kind = (info.lastSession == 2 && kind == disc_kind::Audio) ? disc_kind::Extra
                                                                           : disc_kind::XA;
                break;
            default:
                kind = disc_kind::Unknown;
                break;
            }
        } else if (d.point == 0xA1) {
            lastTrack = static_cast<int>((e & 2) ? d.pmin : BcdToBin(d.pmin));
            signature |= static_cast<std::uint64_t>(lastTrack) << 24;
            if (d.isData()) {
                if (kind == disc_kind::Audio) kind = disc_kind::Data;
            } else if (oneSession && kind == disc_kind::Data) {
                kind = disc_kind::Mixed;
            } else if (kind == disc_kind::XA) {
                kind = disc_kind::Photo;
            }
        } else if (d.point == 0xA2) {
            sessionEnd = Lba32(MsfToLba(e, d.pmin, d.psec, d.pframe));
            signature += sessionEnd;
        } else if (d.point >= 1 && d.point <= 0x9F) {
            const int i = indexOf(d.point);
            DiscTrackEntry& entry = info.tracks[i];
            const bool endsSession = i + 1 == lastTrack || i + 1 >= DiscInfo::TrackCount;
            const std::uint32_t end = endsSession ? sessionEnd : info.tracks[i + 1].start;
            entry.length = end - entry.start;
            signature += entry.start;
            lastHandled = i;
            if (i == 1 && info.lastSession == 1 && kind == disc_kind::Audio &&
                info.tracks[0].dataFlag == 1 && info.tracks[1].dataFlag == 0)
                kind = disc_kind::Mixed;
        }
    }
    facts.kind = kind;
    facts.signature = signature;
    facts.lastSessionTrack = static_cast<std::uint8_t>(lastTrack);

    // A TOC that disagrees with the drive's own track count: close the table at the capacity.
    if (info.lastTrack != lastTrack) {
        const std::uint32_t capacity = static_cast<std::uint32_t>(info.endAddress);
        if (lastHandled >= 0)
            info.tracks[lastHandled].length = capacity - info.tracks[lastHandled].start;
        info.totalSectors = info.endAddress;
        if (lastTrack >= 0 && lastTrack < DiscInfo::TrackCount)
            info.tracks[lastTrack].start = capacity;
        info.lastTrack = static_cast<std::uint8_t>(trackCount);
        return kMediaIncompatible;
    }
    return 0;
}

std::uint32_t LastSessionStart(Reply reply) {
    if (At(reply, 2) == At(reply, 3)) return 0;
    return Be32(reply, 8);
}

TrackInformation ReadTrackInformation(Reply reply) {
    const Reply r = CutToDeclared(reply, Be16(reply, 0), 2);
    return {Be32(r, 8), Be32(r, 24)};
}

DvdPhysicalFormat ReadDvdPhysicalFormat(Reply reply) {
    const Reply r = CutToDeclared(reply, Be16(reply, 0), 2);
    DvdPhysicalFormat f;
    const std::uint8_t b6 = At(r, 6);
    f.layers = static_cast<std::uint8_t>(((b6 >> 5) & 3) + 1);
    f.oppositeTrackPath = (b6 & 0x10) != 0;
    f.startingSector =
        (std::uint32_t{At(r, 9)} << 16) | (std::uint32_t{At(r, 10)} << 8) | At(r, 11);
    return f;
}

int CloseSessionTable(DiscInfo& info) {
    int n = 0;
    while (n < DiscInfo::TrackCount && info.tracks[n].length != 0)
        ++n;
    if (n > 0)
        info.totalSectors = std::uint64_t{info.tracks[n - 1].start} + info.tracks[n - 1].length;
    info.endAddress = info.totalSectors;
    return n;
}

ProfileFacts ReadProfiles(Reply reply) {
    ProfileFacts facts;
    const Reply r = CutToDeclared(reply, Be32(reply, 0), 4);
    facts.currentProfile = static_cast<std::uint16_t>(Be16(r, 6));
    constexpr std::size_t kHead = 12;
    constexpr std::size_t kMaxDescriptors = 224;
    if (r.size() <= kHead) return facts;
    // The profile list's own length (byte 11) bounds its descriptors too.
    const std::size_t bytes = std::min<std::size_t>(r.size() - kHead, At(r, 11));
    const std::size_t n = std::min(kMaxDescriptors, bytes / 4);
    for (std::size_t k = 0; k < n && !(facts.bdRom && facts.bdRe); ++k) {
        const std::uint32_t profile = Be16(r, kHead + 4 * k);
        if (profile == 0x43)
            facts.bdRe = true;
        else if (profile >= 0x40 && profile <= 0x42)
            facts.bdRom = true;
    }
    return facts;
}

CapabilityPage ReadCapabilityPage(Reply reply) {
    CapabilityPage c;
    constexpr std::size_t kPage = 8;
    if (reply.size() <= kPage || (reply[kPage] & 0x3F) != 0x2A) return c;
    c.valid = true;
    c.mediumType = At(reply, 2);
    const std::uint8_t b2 = At(reply, kPage + 2), b3 = At(reply, kPage + 3);
    const std::uint8_t b4 = At(reply, kPage + 4), b5 = At(reply, kPage + 5);
    const std::uint8_t b6 = At(reply, kPage + 6);
    c.dvdRomRead = b2 & 0x08;
    c.cdrWrite = b3 & 0x01;
    c.cdrwWrite = b3 & 0x02;
    c.dvdrWrite = b3 & 0x10;
    c.dvdramWrite = b3 & 0x20;
    c.mode2Form1 = b4 & 0x10;
    c.mode2Form2 = b4 & 0x20;
    c.multiSession = b4 & 0x40;
    c.cddaCommands = b5 & 0x01;
    c.lockSupported = b6 & 0x01;
    c.locked = b6 & 0x02;
    c.ejectSupported = b6 & 0x08;
    c.loadingMechanism = static_cast<std::uint8_t>(b6 >> 5);
    return c;
}

void ExamineXaDescriptor(Reply userData, std::uint8_t& kind, std::uint8_t& cdBridge) {
    if (kind != disc_kind::XA) return;
    if (ContainsNoCase(userData, 574, "VCD") || ContainsNoCase(userData, 574, "CDI_LOAD.APP") ||
        ContainsNoCase(userData, 446, "VCD"))
        kind = disc_kind::Video;
    else if (ContainsNoCase(userData, 8, "CD-BRIDGE"))
        cdBridge = 1;
}
