#include "iso9660_records.h"

#include "disc_info.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>

namespace iso {
namespace {

std::size_t RoundUpEven(std::size_t n) {
    return (n + 1) & ~std::size_t{1};
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

void PutDigits(std::uint8_t* destination, unsigned value, int digits) {
    for (int i = digits - 1; i >= 0; --i) {
        destination[i] = static_cast<std::uint8_t>('0' + value % 10);
        value /= 10;
    }
}

} // namespace

void StoreIsoNumber(ByteOrder order, int width, std::uint32_t value, std::uint8_t* destination) {
    for (int i = 0; i < width; ++i) {
        const int shift = order == ByteOrder::Little ? 8 * i : 8 * (width - 1 - i);
        destination[i] = static_cast<std::uint8_t>(value >> shift);
    }
}

void StoreBothEndian16(std::uint16_t value, std::uint8_t* destination) {
    StoreIsoNumber(ByteOrder::Little, 2, value, destination);
    StoreIsoNumber(ByteOrder::Big, 2, value, destination + 2);
}

void StoreBothEndian32(std::uint32_t value, std::uint8_t* destination) {
    StoreIsoNumber(ByteOrder::Little, 4, value, destination);
    StoreIsoNumber(ByteOrder::Big, 4, value, destination + 4);
}

void StoreDirectoryDate(std::uint8_t* destination, CisFileTime time) {
    std::memset(destination, 0, kDrDateWidth);
    const std::int64_t seconds =
        static_cast<std::int64_t>(time / 10000000) - kCisFileTimeEpochOffset;
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (::gmtime_r(&t, &tm) == nullptr) return;
    if (tm.tm_year < 0 || tm.tm_year > 255) return;
    destination[0] = static_cast<std::uint8_t>(tm.tm_year);
    destination[1] = static_cast<std::uint8_t>(tm.tm_mon + 1);
    destination[2] = static_cast<std::uint8_t>(tm.tm_mday);
    destination[3] = static_cast<std::uint8_t>(tm.tm_hour);
    destination[4] = static_cast<std::uint8_t>(tm.tm_min);
    destination[5] = static_cast<std::uint8_t>(tm.tm_sec);
    destination[6] = 0; // the time is UTC
}

void StoreVolumeDate(int yearOffset, std::uint8_t* destination,
                     std::chrono::system_clock::time_point now) {
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    if (::localtime_r(&t, &tm) == nullptr) {
        StoreUnspecifiedVolumeDate(destination);
        return;
    }
    int year = tm.tm_year + 1900 + yearOffset;
    if (year < 1 || year > 9999) {
        StoreUnspecifiedVolumeDate(destination);
        return;
    }
    int day = tm.tm_mday;
    if (tm.tm_mon == 1 && day == 29 && !IsLeapYear(year)) day = 28;
    PutDigits(destination, static_cast<unsigned>(year), 4);
    PutDigits(destination + 4, static_cast<unsigned>(tm.tm_mon + 1), 2);
    PutDigits(destination + 6, static_cast<unsigned>(day), 2);
    PutDigits(destination + 8, static_cast<unsigned>(tm.tm_hour), 2);
    PutDigits(destination + 10, static_cast<unsigned>(tm.tm_min), 2);
    PutDigits(destination + 12, static_cast<unsigned>(std::min(tm.tm_sec, 59)), 2);
    PutDigits(destination + 14, 0, 2); // hundredths
    long quarters = tm.tm_gmtoff / (15 * 60);
    if (quarters < -48 || quarters > 52) quarters = 0;
    destination[16] = static_cast<std::uint8_t>(static_cast<std::int8_t>(quarters));
}

void StoreUnspecifiedVolumeDate(std::uint8_t* destination) {
    std::memset(destination, '0', kVdDateWidth - 1);
    destination[kVdDateWidth - 1] = 0;
}

void StoreBlankPadded(std::uint8_t* destination, std::string_view text, std::size_t width) {
    const std::string_view cut = CutUtf8(text, width);
    std::memset(destination, ' ', width);
    std::memcpy(destination, cut.data(), cut.size());
}

std::size_t IdentifierLength(const _CDH_CIS_RECORD_& record) {
    return record.name.size();
}

std::size_t PathTableRecordLength(const _CDH_CIS_RECORD_& record) {
    return RoundUpEven(kPtIdAt + IdentifierLength(record));
}

std::size_t DirectoryRecordLength(const _CDH_CIS_RECORD_& record) {
    return RoundUpEven(kDrIdAt + IdentifierLength(record) + (record.IsFolder() ? 0 : 2));
}

std::size_t WritePathTableRecord(std::uint8_t* destination, ByteOrder order,
                                 std::string_view identifier, std::uint32_t extent,
                                 std::uint16_t parent) {
    const std::size_t length = RoundUpEven(kPtIdAt + identifier.size());
    std::memset(destination, 0, length);
    destination[kPtIdLengthAt] = static_cast<std::uint8_t>(identifier.size());
    destination[kPtExtAttrLengthAt] = 0;
    StoreIsoNumber(order, 4, extent, destination + kPtExtentAt);
    StoreIsoNumber(order, 2, parent, destination + kPtParentAt);
    std::memcpy(destination + kPtIdAt, identifier.data(), identifier.size());
    return length;
}

std::size_t WriteRootPathTableRecord(std::uint8_t* destination, ByteOrder order,
                                     std::uint32_t rootExtent) {
    static constexpr char zero[1] = {0};
    return WritePathTableRecord(destination, order, std::string_view(zero, 1), rootExtent, 1);
}

bool ConvertPathTableToBigEndian(const std::uint8_t* little, std::uint8_t* big, std::size_t size) {
    std::size_t at = 0;
    while (at < size) {
        if (size - at < kPtIdAt) return false;
        const std::size_t idLength = little[at + kPtIdLengthAt];
        const std::size_t length = RoundUpEven(kPtIdAt + idLength);
        if (idLength == 0 || length > size - at) return false;
        std::memcpy(big + at, little + at, length);
        const std::uint8_t* e = little + at + kPtExtentAt;
        const std::uint8_t* p = little + at + kPtParentAt;
        StoreIsoNumber(ByteOrder::Big, 4,
                       std::uint32_t{e[0]} | std::uint32_t{e[1]} << 8 | std::uint32_t{e[2]} << 16 |
                           std::uint32_t{e[3]} << 24,
                       big + at + kPtExtentAt);
        StoreIsoNumber(ByteOrder::Big, 2, std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8,
                       big + at + kPtParentAt);
        at += length;
    }
    return true;
}

std::size_t WriteDirectoryRecord(std::uint8_t* destination, const DirectoryEntry& entry) {
    const bool dot = entry.identifier.empty();
    const std::size_t idLength = dot ? 1 : entry.identifier.size() + (entry.folder ? 0 : 2);
    const std::size_t length = RoundUpEven(kDrIdAt + idLength);
    std::memset(destination, 0, length);
    destination[kDrLengthAt] = static_cast<std::uint8_t>(length);
    destination[kDrExtAttrLengthAt] = 0;
    StoreBothEndian32(entry.extent, destination + kDrExtentAt);
    StoreBothEndian32(entry.dataLength, destination + kDrDataLengthAt);
    StoreDirectoryDate(destination + kDrDateAt, entry.time);
    destination[kDrFlagsAt] = entry.folder ? kFlagDirectory : 0;
    destination[kDrUnitSizeAt] = 0;
    destination[kDrGapSizeAt] = 0;
    StoreBothEndian16(1, destination + kDrSequenceAt);
    destination[kDrIdLengthAt] = static_cast<std::uint8_t>(idLength);
    if (dot) {
        destination[kDrIdAt] = entry.dotIdentifier;
    } else {
        std::memcpy(destination + kDrIdAt, entry.identifier.data(), entry.identifier.size());
        if (!entry.folder) std::memcpy(destination + kDrIdAt + entry.identifier.size(), ";1", 2);
    }
    return length;
}

std::size_t WriteDotRecords(std::uint8_t* destination, const DirectoryEntry& self,
                            const DirectoryEntry& parent) {
    DirectoryEntry dot = self;
    dot.identifier = {};
    dot.folder = true;
    dot.dotIdentifier = 0;
    DirectoryEntry dotDot = parent;
    dotDot.identifier = {};
    dotDot.folder = true;
    dotDot.dotIdentifier = 1;
    const std::size_t first = WriteDirectoryRecord(destination, dot);
    return first + WriteDirectoryRecord(destination + first, dotDot);
}

std::uint64_t RecordStart(std::uint64_t position, std::size_t length) {
    const std::uint64_t inSector = position % kSectorSize;
    if (inSector != 0 && kSectorSize - inSector < length) return position - inSector + kSectorSize;
    return position;
}

std::uint64_t PlaceRecord(std::uint64_t position, std::size_t length) {
    return RecordStart(position, length) + length;
}

std::uint64_t NextSectorBoundary(std::uint64_t size) {
    return (size / kSectorSize + 1) * kSectorSize;
}

} // namespace iso
