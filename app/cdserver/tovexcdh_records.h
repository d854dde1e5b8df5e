// Layouts of the CD-server records (status block, slot block, entries, groups, volume table, RAID
// volumes, tape header, tape catalogue) and the parsers that copy replies into a server record.
// Every parser is bounded by the bytes it is given.
#pragma once

#include "tovexcdh_frame.h"

#include <cstddef>
#include <cstdint>
#include <string>

class TCdhSvr;

// Status block (command 5).
inline constexpr std::size_t kStOffMemoryMb = 0; // u16
inline constexpr std::size_t kStOffCpuMhz = 2;   // u16
inline constexpr std::size_t kStOffLanSpeed = 4; // u16: 0 auto-sensing, 10, 100
inline constexpr std::size_t kStOffClock = 8;    // u32 seconds since 1970
inline constexpr std::size_t kStOffText36 = 36;  // 18 bytes
inline constexpr std::size_t kStOffText54 = 54;  // 18 bytes
inline constexpr std::size_t kStTextWidth = 18;
inline constexpr std::size_t kStOffSlotsInUse = 72; // u16
inline constexpr std::size_t kStOffCountA = 74;     // u16
inline constexpr std::size_t kStOffCountB = 76;     // u16
inline constexpr std::size_t kStOffGroupCount = 78; // u16
inline constexpr std::size_t kStOffMaskA = 82;      // u32, drive slots
inline constexpr std::size_t kStOffMaskB = 86;      // u32
static_assert(kStOffMaskB + 4 == kCdhStatusSize);

// Slot block (command 6) and volume-table entry (command 26) share their first fields.
inline constexpr std::size_t kSlOffLabel = 0; // 18 bytes
inline constexpr std::size_t kSlLabelWidth = 18;
inline constexpr std::size_t kSlOffStatus = 18; // 42 bytes
inline constexpr std::size_t kSlStatusWidth = 42;
inline constexpr std::size_t kSlOffState = 60; // 20 bytes
inline constexpr std::size_t kSlStateWidth = 20;
inline constexpr std::size_t kSlOffKind = 80;       // u16: 1 hard disk, 2/3 CD, 4 tape (table)
inline constexpr std::size_t kSlOffEntryCount = 86; // u16
inline constexpr std::size_t kSlOffFlags88 = 88;    // bit 3: records CDs
inline constexpr std::size_t kSlOffMode89 = 89;     // low nibble: mode
inline constexpr std::size_t kSlOffState90 = 90;    // high nibble: state
inline constexpr std::size_t kSlOffCapacity = 92;   // u32 sectors of 2048 bytes
inline constexpr std::size_t kSlOffFree = 100;      // u32 sectors
inline constexpr std::size_t kVtOffSlot = 82;       // u16 slot number
inline constexpr std::size_t kVtOffActivity = 108;  // u32
inline constexpr std::size_t kVtOffMedia = 112;     // u32
inline constexpr std::size_t kVtOffFlags115 = 115;  // top byte of the media word; bit 7: no tape
static_assert(kSlOffLabel + kSlLabelWidth == kSlOffStatus);
static_assert(kSlOffStatus + kSlStatusWidth == kSlOffState);
static_assert(kSlOffState + kSlStateWidth == kSlOffKind);
static_assert(kSlOffFree + 4 <= kCdhSlotInfoSize && kVtOffFlags115 < kCdhVolumeEntrySize);

// Slot entry (command 8).
inline constexpr std::size_t kEnOffName = 0; // 34 bytes
inline constexpr std::size_t kEnNameWidth = 34;
inline constexpr std::size_t kEnOffByte34 = 34;
inline constexpr std::size_t kEnOffByte37 = 37;
inline constexpr std::size_t kEnOffKind = 38;    // 0 title, 1 image, 2 cache, 3 file
inline constexpr std::size_t kEnOffFlags = 39;   // bit 0: image of a mirror
inline constexpr std::size_t kEnOffId = 40;      // u16
inline constexpr std::size_t kEnOffSectors = 44; // u32
static_assert(kEnOffSectors + 4 <= kCdhEntrySize);

// Group entry (command 10).
inline constexpr std::size_t kGrOffName = 0; // 18 bytes
inline constexpr std::size_t kGrNameWidth = 18;
inline constexpr std::size_t kGrOffId = 18; // u16; 251 and above: system groups
inline constexpr std::size_t kGrOffKind = 20;
inline constexpr std::size_t kGrOffFlags = 23; // bit 1: "Yes"
static_assert(kGrOffFlags < kCdhGroupSize);

// RAID volume entry (command 29), volumes 8-11.
inline constexpr std::size_t kRdOffLevel = 4;
inline constexpr std::size_t kRdOffMemberCount = 5; // 0: no volume
inline constexpr std::size_t kRdOffSlotMask = 20;   // u32, bits 0-3
inline constexpr std::size_t kRdOffState = 26;
inline constexpr std::size_t kRdOffKind = 27;       // 1 mirror, 2 file, else no init
inline constexpr std::size_t kRdOffCapacityMb = 30; // u32
inline constexpr std::size_t kRdOffFreeMb = 34;     // u32
inline constexpr std::size_t kRdOffMembers = 46;    // one byte per member
inline constexpr std::size_t kRdOffEntryCount = 58; // u16
inline constexpr std::size_t kRdMembersMax = kRdOffEntryCount - kRdOffMembers;
static_assert(kRdOffEntryCount + 2 <= kCdhRaidEntrySize);

// Tape header (command 27).
inline constexpr std::size_t kThOffKind = 12;     // 1 image backup, 2 file backup
inline constexpr std::size_t kThOffSetCount = 33; // u16
inline constexpr std::size_t kThOffOnTape = 35;   // u16, sets on this tape
inline constexpr std::size_t kThOffSpanMode = 39; // u16
inline constexpr std::size_t kThOffFirstSet = 41; // u16
inline constexpr std::size_t kThOffSets = 80;     // 75-byte backup sets
inline constexpr std::size_t kThSetSize = 75;
inline constexpr std::size_t kThSetOffSectors = 0; // u32
inline constexpr std::size_t kThSetOffName = 5;
inline constexpr std::size_t kThSetNameWidth = kThSetSize - kThSetOffName;
inline constexpr std::size_t kThOffName = 75043; // tape name
inline constexpr std::size_t kThNameWidth = kCdhTapeHeaderSize - kThOffName;
inline constexpr char kThSignature[] = "TAPE@CDH"; // the header's first 8 bytes
inline constexpr std::size_t kThMaxSets = (kCdhTapeHeaderSize - kThOffSets) / kThSetSize;

// Tape catalogue (command 28).
inline constexpr std::size_t kTcOffCount = 3;  // u32 entry count
inline constexpr std::size_t kTcOffType = 7;   // u32 backup type
inline constexpr std::size_t kTcOffLabel = 11; // 20 bytes
inline constexpr std::size_t kTcLabelWidth = 20;
inline constexpr std::size_t kTcMarkerFrom = 32; // the "////" search starts here
inline constexpr std::size_t kTcMarkerTries = 8001;
inline constexpr std::size_t kTcNameSize = 17; // 16 characters and a terminator
inline constexpr std::size_t kTcMaxNames = 1000;

// Copies a fixed-width text field: at most width bytes, stopped at a terminator, trailing blanks
// removed when trim is set.
std::string CdhFieldText(const std::uint8_t* field, std::size_t width, bool trim = false);
// The same into a character array of width + 1 bytes, terminated.
void CdhCopyField(char* out, const std::uint8_t* field, std::size_t width, bool trim);

// Copies the identity of a discovery reply (at least kCdhAnnounceSize bytes) into a record.
void CdhApplyAnnounce(TCdhSvr& record, const std::uint8_t* reply);
// Recounts bits 0-7 of the two slot masks of a status block into its counts.
void CdhRecountStatus(std::uint8_t* status);
// A command-26 reply of size bytes replaces the volume table.
void CdhApplyVolumeTable(TCdhSvr& record, const std::uint8_t* data, std::size_t size);
// A command-29 reply of size bytes replaces the RAID volumes.
void CdhApplyRaidVolumes(TCdhSvr& record, const std::uint8_t* data, std::size_t size);
// A command-28 reply of size bytes for slot replaces the tape catalogue.
void CdhApplyTapeCatalog(TCdhSvr& record, std::uint32_t slot, const std::uint8_t* data,
                         std::size_t size);
