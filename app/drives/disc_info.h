// DiscInfo: the 1333-byte description of the disc in an optical drive, as the disc analysis fills
// it and the drive table, the tasks and the wizard read it. Held here as typed fields; the byte
// record is produced and read field by field at fixed offsets (little-endian).
#pragma once

#include "textcodec.h" // CutUtf8: how texts are cut to their fields

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// One entry of the track table (12 bytes). CD: one per track, followed by the lead-out entry.
// DVD and BD: one per session, with session and track both the entry number.
struct DiscTrackEntry {
    std::uint8_t session = 0;
    std::uint8_t track = 0;      // 1-based; kLeadOutTrack for the lead-out entry
    std::uint8_t dataFlag = 0;   // 1 when the control nibble has bit 2 set
    std::uint8_t adrControl = 0; // ADR in the high nibble, control in the low nibble
    std::uint32_t start = 0;     // LBA
    std::uint32_t length = 0;    // sectors

    friend bool operator==(const DiscTrackEntry&, const DiscTrackEntry&) = default;
};

// Disc kinds (offset 2). Bit kMultiSession marks a disc whose last session number exceeds its
// first.
namespace disc_kind {
inline constexpr std::uint8_t Data = 1;
inline constexpr std::uint8_t Audio = 2;
inline constexpr std::uint8_t Mixed = 3;
inline constexpr std::uint8_t XA = 4;
inline constexpr std::uint8_t CdI = 5;
inline constexpr std::uint8_t Video = 6;
inline constexpr std::uint8_t Photo = 7;
inline constexpr std::uint8_t MultiSession = 16;
inline constexpr std::uint8_t Extra = 24;
inline constexpr std::uint8_t Dvd = 64;
inline constexpr std::uint8_t BluRay = 65;
inline constexpr std::uint8_t Unknown = 255;
} // namespace disc_kind

inline constexpr std::uint8_t kLeadOutTrack = 0xAA;

struct DiscInfo {
    static constexpr std::size_t Size = 1333;
    static constexpr int TrackCount = 99;
    static constexpr std::size_t LabelWidth = 64;
    static constexpr std::size_t FileSystemNameWidth = 16;
    // "NO_TITLE" stands for an empty volume label.
    static constexpr const char* NoTitle = "NO_TITLE";

    std::uint8_t readState = 0;      // 1 single-session data disc, 2 volume descriptors read
    std::uint8_t fileSystemCode = 0; // FileSystemCode of fileSystemName
    std::uint8_t discKind = 0;       // disc_kind
    std::uint8_t readStateLess1 = 0; // readState - 1, 0 when readState is 0
    std::uint8_t timeEncoding = 0;   // bits 0-1 MSF encoding of the TOC, bit 7 encoding re-chosen
    std::uint8_t layers = 0;         // CD 1; DVD layer count; BD entry count
    std::uint8_t trackPath = 0;      // DVD: 2 opposite track path, 1 parallel; BD 1
    std::uint8_t firstSession = 0;
    std::uint8_t lastSession = 0;
    std::uint8_t sessionCount = 0; // the last session number again
    std::uint8_t lastTrack = 0;
    std::uint64_t vdAddress = 0;    // volume descriptor address: last session's start + 16
    std::uint64_t endAddress = 0;   // READ CAPACITY last LBA + 1 (DVD/BD: total sectors)
    std::uint64_t totalSectors = 0; // lead-out of the last session (DVD/BD: end of last entry)
    std::uint64_t tocSignature = 0;
    std::uint64_t tocChecksum = 0;
    std::string volumeLabel;    // at most LabelWidth - 1 bytes are kept
    std::string fileSystemName; // at most FileSystemNameWidth - 1 bytes are kept
    std::array<DiscTrackEntry, TrackCount> tracks{};
    std::uint8_t cdBridge = 0; // 1 when a CD-XA disc names "CD-BRIDGE" in its system identifier

    friend bool operator==(const DiscInfo&, const DiscInfo&) = default;
};

// Field offsets of the byte record.
namespace disc_info_offset {
inline constexpr std::size_t ReadState = 0;
inline constexpr std::size_t FileSystemCode = 1;
inline constexpr std::size_t DiscKind = 2;
inline constexpr std::size_t ReadStateLess1 = 3;
inline constexpr std::size_t TimeEncoding = 4;
inline constexpr std::size_t Layers = 5;
inline constexpr std::size_t TrackPath = 6;
inline constexpr std::size_t FirstSession = 8;
inline constexpr std::size_t LastSession = 9;
inline constexpr std::size_t SessionCount = 10;
inline constexpr std::size_t LastTrack = 11;
inline constexpr std::size_t VdAddress = 12;
inline constexpr std::size_t EndAddress = 20;
inline constexpr std::size_t TotalSectors = 28;
inline constexpr std::size_t TocSignature = 36;
inline constexpr std::size_t TocChecksum = 44;
inline constexpr std::size_t VolumeLabel = 52;
inline constexpr std::size_t FileSystemName = 116;
inline constexpr std::size_t Tracks = 132;
inline constexpr std::size_t TrackEntrySize = 12;
inline constexpr std::size_t Reserved = 1320; // 12 zero bytes
inline constexpr std::size_t CdBridge = 1332;
} // namespace disc_info_offset

using DiscInfoBytes = std::array<std::uint8_t, DiscInfo::Size>;

DiscInfoBytes EncodeDiscInfo(const DiscInfo& info);
// Texts are read up to their first NUL within the field.
DiscInfo DecodeDiscInfo(std::span<const std::uint8_t, DiscInfo::Size> bytes);
