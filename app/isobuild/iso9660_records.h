// The byte layout of the ISO 9660 structures the image builder writes: the volume descriptors,
// directory records and path-table records, each field at its explicit offset, and the small
// operations that store numbers, dates and texts into them.
#pragma once

#include "container_names.h"
#include "container_record.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace iso {

inline constexpr std::size_t kSectorSize = 2048;
inline constexpr std::uint32_t kSystemAreaSectors = 16;
inline constexpr std::uint32_t kPrimaryDescriptorSector = 16;
inline constexpr std::uint32_t kTerminatorSector = 17;
inline constexpr std::uint32_t kPathTableSector = 18; // the type L table; the type M table follows

inline constexpr char kStandardId[] = "CD001";
inline constexpr std::uint8_t kPrimaryDescriptorType = 1;
inline constexpr std::uint8_t kTerminatorType = 255;

// Volume descriptor (one sector).
inline constexpr std::size_t kVdTypeAt = 0;
inline constexpr std::size_t kVdStandardIdAt = 1; // "CD001"
inline constexpr std::size_t kVdVersionAt = 6;    // 1
inline constexpr std::size_t kVdSystemIdAt = 8;
inline constexpr std::size_t kVdSystemIdWidth = 32;
inline constexpr std::size_t kVdVolumeIdAt = 40;
inline constexpr std::size_t kVdVolumeIdWidth = 32;
inline constexpr std::size_t kVdSpaceSizeAt = 80;      // both-endian u32
inline constexpr std::size_t kVdSetSizeAt = 120;       // both-endian u16
inline constexpr std::size_t kVdSequenceAt = 124;      // both-endian u16
inline constexpr std::size_t kVdBlockSizeAt = 128;     // both-endian u16
inline constexpr std::size_t kVdPathTableSizeAt = 132; // both-endian u32
inline constexpr std::size_t kVdTypeLPathAt = 140;     // u32 little-endian
inline constexpr std::size_t kVdOptionalLPathAt = 144;
inline constexpr std::size_t kVdTypeMPathAt = 148; // u32 big-endian
inline constexpr std::size_t kVdOptionalMPathAt = 152;
inline constexpr std::size_t kVdRootRecordAt = 156;
inline constexpr std::size_t kVdVolumeSetIdAt = 190;
inline constexpr std::size_t kVdPublisherIdAt = 318;
inline constexpr std::size_t kVdPreparerIdAt = 446;
inline constexpr std::size_t kVdApplicationIdAt = 574;
inline constexpr std::size_t kVdLongIdWidth = 128;
inline constexpr std::size_t kVdCopyrightFileAt = 702;
inline constexpr std::size_t kVdAbstractFileAt = 739;
inline constexpr std::size_t kVdBibliographicFileAt = 776;
inline constexpr std::size_t kVdFileIdWidth = 37;
inline constexpr std::size_t kVdCreationDateAt = 813;
inline constexpr std::size_t kVdModificationDateAt = 830;
inline constexpr std::size_t kVdExpirationDateAt = 847;
inline constexpr std::size_t kVdEffectiveDateAt = 864;
inline constexpr std::size_t kVdDateWidth = 17;
inline constexpr std::size_t kVdStructureVersionAt = 881;

// Directory record.
inline constexpr std::size_t kDrLengthAt = 0;
inline constexpr std::size_t kDrExtAttrLengthAt = 1;
inline constexpr std::size_t kDrExtentAt = 2;      // both-endian u32
inline constexpr std::size_t kDrDataLengthAt = 10; // both-endian u32
inline constexpr std::size_t kDrDateAt = 18;
inline constexpr std::size_t kDrDateWidth = 7;
inline constexpr std::size_t kDrFlagsAt = 25;
inline constexpr std::size_t kDrUnitSizeAt = 26;
inline constexpr std::size_t kDrGapSizeAt = 27;
inline constexpr std::size_t kDrSequenceAt = 28; // both-endian u16
inline constexpr std::size_t kDrIdLengthAt = 32;
inline constexpr std::size_t kDrIdAt = 33;
inline constexpr std::size_t kDotRecordLength = 34; // "." and ".."
inline constexpr std::size_t kMaxRecordLength = 255;
inline constexpr std::uint8_t kFlagDirectory = 2;

// Path-table record.
inline constexpr std::size_t kPtIdLengthAt = 0;
inline constexpr std::size_t kPtExtAttrLengthAt = 1;
inline constexpr std::size_t kPtExtentAt = 2; // u32 in the table's byte order
inline constexpr std::size_t kPtParentAt = 6; // u16 in the table's byte order
inline constexpr std::size_t kPtIdAt = 8;
inline constexpr std::size_t kRootPathRecordLength = 10;

static_assert(kVdVolumeIdAt + kVdVolumeIdWidth + 8 == kVdSpaceSizeAt);
static_assert(kVdRootRecordAt + kDotRecordLength == kVdVolumeSetIdAt);
static_assert(kVdApplicationIdAt + kVdLongIdWidth == kVdCopyrightFileAt);
static_assert(kVdBibliographicFileAt + kVdFileIdWidth == kVdCreationDateAt);
static_assert(kVdEffectiveDateAt + kVdDateWidth == kVdStructureVersionAt);
static_assert(kDrDateAt + kDrDateWidth == kDrFlagsAt);
static_assert(kDrSequenceAt + 4 == kDrIdLengthAt);
static_assert(kPtParentAt + 2 == kPtIdAt);
static_assert(kPtIdAt + 2 == kRootPathRecordLength);

// Longest identifier a directory record can carry: a folder's name, and a file's name before
// its ";1". A record's length is even (a pad byte follows an identifier of even length) and its
// length byte holds at most 255, so the record is at most 254 bytes long.
inline constexpr std::size_t kMaxFolderIdentifier = kMaxRecordLength - 1 - kDrIdAt;
inline constexpr std::size_t kMaxFileName = kMaxFolderIdentifier - 2;
static_assert(kMaxFolderIdentifier == 221 && kMaxFileName == 219);
// The container refuses the names these limits refuse, when they enter it.
static_assert(kMaxFolderIdentifier == kCisMaxImageFolderName &&
              kMaxFileName == kCisMaxImageFileName);
// Largest file a directory record can describe (32-bit data length).
inline constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFull;
// Directory numbers of the path table are 16 bits.
inline constexpr std::uint32_t kMaxFolders = 0xFFFF;

enum class ByteOrder { Little = 0, Big = 1 };

// value in width (2 or 4) bytes.
void StoreIsoNumber(ByteOrder order, int width, std::uint32_t value, std::uint8_t* destination);
// Little-endian, then big-endian.
void StoreBothEndian16(std::uint16_t value, std::uint8_t* destination);
void StoreBothEndian32(std::uint32_t value, std::uint8_t* destination);

// 7 bytes: years since 1900, month, day, hour, minute, second (of the time taken as UTC) and a
// zone offset of 0; all zero ("not specified") for a time outside 1900-2155.
void StoreDirectoryDate(std::uint8_t* destination, CisFileTime time);
// 17 bytes: the local time of `now` moved on by yearOffset years as "YYYYMMDDhhmmss00" and the
// local offset from UTC in 15-minute units.
void StoreVolumeDate(int yearOffset, std::uint8_t* destination,
                     std::chrono::system_clock::time_point now);
// 17 bytes meaning "not specified": sixteen '0' digits and a zero offset.
void StoreUnspecifiedVolumeDate(std::uint8_t* destination);
// The text cut to width bytes at a character boundary, the rest blanks.
void StoreBlankPadded(std::uint8_t* destination, std::string_view text, std::size_t width);

// The identifier an entry carries in the image: the UTF-8 bytes of its display name.
std::size_t IdentifierLength(const _CDH_CIS_RECORD_& record);
// 8 + identifier length, rounded up to even.
std::size_t PathTableRecordLength(const _CDH_CIS_RECORD_& record);
// 33 + identifier length (a file's with its ";1"), rounded up to even.
std::size_t DirectoryRecordLength(const _CDH_CIS_RECORD_& record);

// A path-table record (the root's is 10 bytes: an identifier of one zero byte); its length.
std::size_t WritePathTableRecord(std::uint8_t* destination, ByteOrder order,
                                 std::string_view identifier, std::uint32_t extent,
                                 std::uint16_t parent);
std::size_t WriteRootPathTableRecord(std::uint8_t* destination, ByteOrder order,
                                     std::uint32_t rootExtent);
// Converts a whole type L path table into the same table of type M (numbers big-endian).
// False when the records do not fill the size exactly.
bool ConvertPathTableToBigEndian(const std::uint8_t* little, std::uint8_t* big, std::size_t size);

// One directory record; its length.
struct DirectoryEntry {
    std::uint32_t extent = 0;
    std::uint32_t dataLength = 0;
    CisFileTime time = 0;
    bool folder = false;
    std::string_view identifier;    // a file's name without ";1"; for "." and ".." unused
    std::uint8_t dotIdentifier = 0; // "." (0) or ".." (1) when identifier is empty and folder
};
std::size_t WriteDirectoryRecord(std::uint8_t* destination, const DirectoryEntry& entry);
// "." describing the folder, ".." describing its parent (the root's parent is the root); 68.
std::size_t WriteDotRecords(std::uint8_t* destination, const DirectoryEntry& self,
                            const DirectoryEntry& parent);

// Where a record of `length` bytes goes when the next free byte is at `position`: there, or at
// the next sector start when it would cross a sector boundary.
std::uint64_t RecordStart(std::uint64_t position, std::size_t length);
// The position after a record placed by RecordStart.
std::uint64_t PlaceRecord(std::uint64_t position, std::size_t length);
// The size advanced to the next sector boundary, by a whole sector when it is on one already.
std::uint64_t NextSectorBoundary(std::uint64_t size);

} // namespace iso
