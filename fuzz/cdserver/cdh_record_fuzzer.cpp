// Replies that fill a CD-server record (status, slot blocks, entries, groups, volume table, RAID
// volumes, tape header, tape catalogue), then every question of the facade on that record.
#include "cdh_net.h"
#include "tovexcdh_records.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

// Copies the next part of the input (its length from two bytes) into out, at most max bytes.
std::size_t Take(const std::uint8_t*& data, std::size_t& size, std::uint8_t* out, std::size_t max) {
    if (size < 2) return 0;
    std::size_t n = std::size_t{data[0]} | std::size_t{data[1]} << 8;
    data += 2;
    size -= 2;
    n = std::min({n, size, max});
    if (out != nullptr) std::memcpy(out, data, n);
    data += n;
    size -= n;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    auto r = std::make_unique<TCdhSvr>();
    r->FirmwareMajor = data[0] & 3;
    r->FirmwareMinor = data[0] >> 2;
    ++data;
    --size;

    Take(data, size, r->Status, sizeof r->Status);
    CdhRecountStatus(r->Status);
    Take(data, size, &r->SlotInfo[0][0], sizeof r->SlotInfo);
    r->SlotEntries.assign(4096, 0);
    r->SlotEntryBytes = Take(data, size, r->SlotEntries.data(), r->SlotEntries.size());
    r->GroupEntries.assign(1024, 0);
    r->GroupEntryBytes = Take(data, size, r->GroupEntries.data(), r->GroupEntries.size());
    std::uint8_t table[kCdhVolumeTableSize] = {};
    CdhApplyVolumeTable(*r, table, Take(data, size, table, sizeof table));
    std::uint8_t raid[kCdhRaidTableSize] = {};
    CdhApplyRaidVolumes(*r, raid, Take(data, size, raid, sizeof raid));
    Take(data, size, r->TapeHeader.data(), 4096);
    if (size >= 4) {
        // The rest of the header's tail and the catalogue come from the remaining bytes.
        std::memcpy(r->TapeHeader.data() + kThOffName, data, std::min<std::size_t>(size, 44));
    }
    if (size > 0) CdhApplyTapeCatalog(*r, data[0] % 8, data, size);

    CDH_NET_CLASS& f = CdhNetClass();
    std::size_t total = 0;
    for (int slot = -1; slot <= 12; ++slot) {
        total +=
            f.GetSlotLabel(r.get(), slot).size() + f.GetSlotStateText(r.get(), slot).size() +
            f.GetSlotStatusText(r.get(), slot).size() +
            f.GetSlotCapacityText(r.get(), slot).size() + f.GetSlotFreeText(r.get(), slot).size() +
            f.GetVolumeStateText(r.get(), slot).size() + f.GetRaidText(r.get(), slot).size() +
            f.GetVolumeMemberText(r.get(), slot).size() +
            f.GetVolumeSlotsText(r.get(), slot).size() + f.GetTapeStateText(r.get(), slot).size();
        total += static_cast<std::size_t>(
            f.GetSlotKind(r.get(), slot) + f.GetSlotMode(r.get(), slot) +
            f.GetSlotEntryCount(r.get(), slot) + f.GetTapeCatalogState(r.get(), slot));
        total += f.IsTapeReady(r.get(), slot) + f.IsInitializing(r.get(), slot);
    }
    for (int i = -1; i < 100; ++i) {
        total += f.GetEntryName(r.get(), i).size() + f.GetEntryKindText(r.get(), i).size() +
                 f.GetEntrySizeText(r.get(), i).size() + f.GetGroupName(r.get(), i).size() +
                 f.GetGroupKindText(r.get(), i).size() + f.GetGroupFlagText(r.get(), i).size();
    }
    const int sets = f.GetBackupSetCount(r.get());
    for (int i = 0; i <= std::min(sets, 1100); ++i) {
        total += f.GetBackupSetName(r.get(), i).size() + f.GetBackupSetSizeText(r.get(), i).size() +
                 f.GetBackupSetPlaceText(r.get(), i).size() +
                 f.GetBackupSetKindText(r.get(), i).size();
    }
    for (int i = 0; i <= 1000; ++i)
        total += f.GetTapeEntryName(r.get(), i).size();
    total += f.GetTapeName(r.get()).size() + f.GetTapeLabel(r.get()).size() +
             f.GetServerText404(r.get()).size() + f.GetDateText(r.get()).size() +
             f.GetLanSpeedText(r.get()).size();
    if (f.GetTapeLabel(r.get()).size() > 20 || f.GetTapeEntryName(r.get(), 0).size() > 16)
        __builtin_trap();
    if (total == SIZE_MAX) __builtin_trap(); // keeps the answers from being optimised away
    return 0;
}
