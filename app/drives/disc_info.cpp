#include "disc_info.h"

#include <cstring>

namespace {

namespace off = disc_info_offset;

static_assert(off::Tracks + DiscInfo::TrackCount * off::TrackEntrySize == off::Reserved);
static_assert(off::Reserved + 12 == off::CdBridge);
static_assert(off::CdBridge + 1 == DiscInfo::Size);
static_assert(off::VolumeLabel + DiscInfo::LabelWidth == off::FileSystemName);
static_assert(off::FileSystemName + DiscInfo::FileSystemNameWidth == off::Tracks);
static_assert(off::TocChecksum + 8 == off::VolumeLabel);

void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutU64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t GetU32(const std::uint8_t* p) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

std::uint64_t GetU64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

// Writes the text into a field of width bytes, always leaving a terminating NUL.
void PutText(std::uint8_t* p, std::size_t width, const std::string& text) {
    const std::string_view cut = CutUtf8(text, width - 1);
    std::memcpy(p, cut.data(), cut.size());
}

std::string GetText(const std::uint8_t* p, std::size_t width) {
    const void* nul = std::memchr(p, 0, width);
    std::size_t n = nul ? static_cast<const std::uint8_t*>(nul) - p : width;
    return std::string(reinterpret_cast<const char*>(p), n);
}

} // namespace

DiscInfoBytes EncodeDiscInfo(const DiscInfo& info) {
    DiscInfoBytes b{};
    b[off::ReadState] = info.readState;
    b[off::FileSystemCode] = info.fileSystemCode;
    b[off::DiscKind] = info.discKind;
    b[off::ReadStateLess1] = info.readStateLess1;
    b[off::TimeEncoding] = info.timeEncoding;
    b[off::Layers] = info.layers;
    b[off::TrackPath] = info.trackPath;
    b[off::FirstSession] = info.firstSession;
    b[off::LastSession] = info.lastSession;
    b[off::SessionCount] = info.sessionCount;
    b[off::LastTrack] = info.lastTrack;
    PutU64(&b[off::VdAddress], info.vdAddress);
    PutU64(&b[off::EndAddress], info.endAddress);
    PutU64(&b[off::TotalSectors], info.totalSectors);
    PutU64(&b[off::TocSignature], info.tocSignature);
    PutU64(&b[off::TocChecksum], info.tocChecksum);
    PutText(&b[off::VolumeLabel], DiscInfo::LabelWidth, info.volumeLabel);
    PutText(&b[off::FileSystemName], DiscInfo::FileSystemNameWidth, info.fileSystemName);
    for (int i = 0; i < DiscInfo::TrackCount; ++i) {
        std::uint8_t* p = &b[off::Tracks + i * off::TrackEntrySize];
        const DiscTrackEntry& e = info.tracks[i];
        p[0] = e.session;
        p[1] = e.track;
        p[2] = e.dataFlag;
        p[3] = e.adrControl;
        PutU32(p + 4, e.start);
        PutU32(p + 8, e.length);
    }
    b[off::CdBridge] = info.cdBridge;
    return b;
}

DiscInfo DecodeDiscInfo(std::span<const std::uint8_t, DiscInfo::Size> b) {
    DiscInfo info;
    info.readState = b[off::ReadState];
    info.fileSystemCode = b[off::FileSystemCode];
    info.discKind = b[off::DiscKind];
    info.readStateLess1 = b[off::ReadStateLess1];
    info.timeEncoding = b[off::TimeEncoding];
    info.layers = b[off::Layers];
    info.trackPath = b[off::TrackPath];
    info.firstSession = b[off::FirstSession];
    info.lastSession = b[off::LastSession];
    info.sessionCount = b[off::SessionCount];
    info.lastTrack = b[off::LastTrack];
    info.vdAddress = GetU64(&b[off::VdAddress]);
    info.endAddress = GetU64(&b[off::EndAddress]);
    info.totalSectors = GetU64(&b[off::TotalSectors]);
    info.tocSignature = GetU64(&b[off::TocSignature]);
    info.tocChecksum = GetU64(&b[off::TocChecksum]);
    info.volumeLabel = GetText(&b[off::VolumeLabel], DiscInfo::LabelWidth);
    info.fileSystemName = GetText(&b[off::FileSystemName], DiscInfo::FileSystemNameWidth);
    for (int i = 0; i < DiscInfo::TrackCount; ++i) {
        const std::uint8_t* p = &b[off::Tracks + i * off::TrackEntrySize];
        DiscTrackEntry& e = info.tracks[i];
        e.session = p[0];
        e.track = p[1];
        e.dataFlag = p[2];
        e.adrControl = p[3];
        e.start = GetU32(p + 4);
        e.length = GetU32(p + 8);
    }
    info.cdBridge = b[off::CdBridge];
    return info;
}
