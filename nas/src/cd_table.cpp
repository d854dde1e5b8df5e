#include "cd_table.h"

#include "wire_bytes.h"

#include <cstring>

namespace nas {

namespace {

constexpr size_t kOffTracks = 10;
constexpr size_t kOffLeadOut = 802;
constexpr size_t kEntrySize = 8;
static_assert(kOffTracks + NAS_CD_TRACK_SLOTS * kEntrySize == kOffLeadOut);
static_assert(kOffLeadOut + kEntrySize + 2 == kCDTableSize);

void PutEntry(uint8_t* out, const NasCDTrackEntry& entry) {
    out[0] = entry.trackNumber;
    out[1] = entry.controlAdr;
    out[2] = entry.one;
    PutU32(out + 3, entry.startAddress);
    out[7] = entry.session;
}

} // namespace

uint32_t TocChecksum(const NasCDTable* table) {
    if (!table) return 0;
    uint32_t sum = table->leadOut.startAddress;
    for (const NasCDTrackEntry& entry : table->tracks)
        sum += entry.startAddress;
    return sum | static_cast<uint32_t>(table->trackCount) << 24;
}

std::array<uint8_t, kCDTableSize> EncodeCDTable(const NasCDTable* table) {
    std::array<uint8_t, kCDTableSize> out{};
    if (!table) return out;
    out[0] = table->one;
    out[1] = table->trackCount;
    out[2] = table->discByte2;
    out[3] = table->discByte3;
    PutU32(out.data() + 4, table->leadOutAddress);
    out[8] = table->multiSession;
    out[9] = table->one9;
    for (size_t i = 0; i < NAS_CD_TRACK_SLOTS; ++i)
        PutEntry(out.data() + kOffTracks + i * kEntrySize, table->tracks[i]);
    PutEntry(out.data() + kOffLeadOut, table->leadOut);
    out[810] = table->reserved810[0];
    out[811] = table->reserved810[1];
    return out;
}

} // namespace nas
