// Readers of the drive replies that the disc analysis and the capability probe take apart: the
// full TOC, the multi-session information, track information, the DVD physical format, the
// configuration's profile list and the capabilities mode page, and the small number routines they
// share. Every reader takes the reply as the bytes the drive returned and never reads beyond them:
// counts declared inside a reply are clamped to its length.
#pragma once

#include "disc_info.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

using Reply = std::span<const std::uint8_t>;

// Media states, results of the media-state query and of the disc analysis.
inline constexpr int kMediaBecomingReady = 1280;
inline constexpr int kMediaNoMedium = 1281;
inline constexpr int kMediaNoReferencePosition = 1282;
inline constexpr int kMediaIncompatible = 1283;
inline constexpr int kMediaBadToc = 1284;
inline constexpr int kMediaNoVolumeInfo = 1285;

// u32 sum of the bytes.
std::uint32_t DiscByteSum(Reply bytes);
// True when either nibble exceeds 9.
bool IsNotBcd(std::uint8_t value);
// Eight BCD nibbles to binary (nibbles above 9 count with their value).
std::uint32_t BcdToBin(std::uint32_t value);
// encoding 1: BCD minutes, seconds, frames; 2: M << 16 | S << 8 | F as it stands; any other:
// binary MSF. MSF 00:02:00 is LBA 0.
std::int64_t MsfToLba(int encoding, std::uint8_t m, std::uint8_t s, std::uint8_t f);
// "CDFS" 0, "HFS" 1, "UDF" 2, "EXT2" 3, "FAT" 4, "FAT32" 5, "NTFS" 6, "HPFS" 7 (any case); other
// names beginning with "UDF" 2; everything else 8.
std::uint8_t FileSystemCode(std::string_view name);

// What the full TOC says beyond the fields it writes into DiscInfo.
struct FullTocFacts {
    std::uint8_t kind = 0;             // disc kind from the TOC, before the volume descriptors
    std::uint64_t signature = 0;       // track starts + session lead-outs + (last track << 24)
    std::uint8_t lastSessionTrack = 0; // last track of the last session (A1h)
};

// The full TOC (READ TOC format 2, MSF) into `info`, whose endAddress (READ CAPACITY) and
// lastTrack (READ TOC format 0) are already set: first and last session, the time encoding, the
// total sectors and the track table. Returns 0; kMediaBadToc for a reply too short for its header,
// a track descriptor with a lead-in time of 00:00:00, a TOC without a lead-out, or track numbers
// that fall outside the track table; kMediaIncompatible when the TOC's last track differs from
// lastTrack (the table is then closed at the capacity as far as it goes).
int ReadFullToc(Reply reply, DiscInfo& info, FullTocFacts& facts);

// The start of the last session from the multi-session information (READ TOC format 1): bytes
// 8-11 when the first and last session numbers differ, else 0.
std::uint32_t LastSessionStart(Reply reply);

// Track information (READ TRACK INFORMATION): start (bytes 8-11) and size (bytes 24-27).
struct TrackInformation {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
};
TrackInformation ReadTrackInformation(Reply reply);

// DVD physical format (READ DISC STRUCTURE format 0).
struct DvdPhysicalFormat {
    std::uint8_t layers = 1;          // byte 6 bits 5-6, plus 1
    bool oppositeTrackPath = false;   // byte 6 bit 4
    std::uint32_t startingSector = 0; // bytes 9-11
};
DvdPhysicalFormat ReadDvdPhysicalFormat(Reply reply);

// The end of a DVD/BD track table: the entries run to the first one of length 0 (or all 99);
// totalSectors and endAddress become start + length of the last entry; unchanged when the first
// entry is empty. Returns the entry count.
int CloseSessionTable(DiscInfo& info);

// The configuration's profile list (GET CONFIGURATION, starting feature 0).
struct ProfileFacts {
    std::uint16_t currentProfile = 0; // header bytes 6-7
    bool bdRom = false;               // a BD-ROM or BD-R profile (40h-42h) is listed
    bool bdRe = false;                // the BD-RE profile (43h) is listed
};
ProfileFacts ReadProfiles(Reply reply);

// The capabilities mode page 2Ah as MODE SENSE(10) with DBD returns it (8-byte header, page at 8).
struct CapabilityPage {
    bool valid = false; // the page code is 2Ah
    std::uint8_t mediumType = 0;
    bool dvdRomRead = false;
    bool mode2Form1 = false;
    bool mode2Form2 = false;
    bool multiSession = false;
    bool cddaCommands = false;
    bool lockSupported = false;
    bool locked = false;
    bool ejectSupported = false;
    std::uint8_t loadingMechanism = 0; // bits 5-7 of page byte 6, shifted down
    // Media the drive writes (page byte 3 bits 0, 1, 4, 5).
    bool cdrWrite = false, cdrwWrite = false, dvdrWrite = false, dvdramWrite = false;
};
CapabilityPage ReadCapabilityPage(Reply reply);

// The volume descriptor of a CD-XA disc (user data of one sector, 2048 bytes): `kind` becomes
// CD-Video when the application identifier (offset 574) names "VCD" or "CDI_LOAD.APP" or the
// preparer (offset 446) names "VCD"; while it stays CD-XA, `cdBridge` is set when the system
// identifier (offset 8) names "CD-BRIDGE". Each text runs to its first NUL or the end of the
// sector; case is ignored.
void ExamineXaDescriptor(Reply userData, std::uint8_t& kind, std::uint8_t& cdBridge);
