// The source disc's track table as it travels in a mirror session, and its checksum.
#pragma once

#include "nasapi.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace nas {

inline constexpr size_t kCDTableSize = NAS_CD_TABLE_SIZE;

// The sum (mod 2^32) of the 99 track start addresses and the lead-out entry's start address, with
// the table's track count ORed into bits 24-31. 0 for no table.
uint32_t TocChecksum(const NasCDTable* table);
// The table field by field; all zero for no table.
std::array<uint8_t, kCDTableSize> EncodeCDTable(const NasCDTable* table);

} // namespace nas
