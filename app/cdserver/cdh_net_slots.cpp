// The facade's slot questions: drive slots 0-7 (a slot block each, or a volume-table entry for a
// tape), RAID volumes 8-11.
#include "cdh_net.h"

#include "msgbox.h"
#include "tovexcdh_records.h"

#include <algorithm>

namespace {

constexpr std::int64_t kSectorBytes = 2048;
constexpr std::int64_t kMegabyte = 1024 * 1024;

int StateNibble(const std::uint8_t* block) {
    return block[kSlOffState90] >> 4;
}

int ModeNibble(const std::uint8_t* block) {
    return block[kSlOffMode89] & 0x0F;
}

std::string SizeOrZero(std::int64_t bytes) {
    return bytes == 0 ? std::string("0 MB") : CdhSizeText(bytes);
}

// "hd01, hd03": each number written after "hd0", joined by ", ".
void AppendDisk(std::string& text, int number) {
    if (!text.empty()) text += ", ";
    text += "hd0";
    text += std::to_string(number);
}

} // namespace

const std::uint8_t* CDH_NET_CLASS::VolumeEntry(const TCdhSvr* server, int slot) const {
    if (server == nullptr || slot < 0 || slot >= kMaxSlots || !Firmware2(server)) return nullptr;
    for (const auto& entry : server->VolumeTable) {
        if (entry[0] != 0 && CdhGetU16(entry + kVtOffSlot) == slot &&
            (entry[kVtOffFlags115] & 0x80) == 0)
            return entry;
    }
    return nullptr;
}

const std::uint8_t* CDH_NET_CLASS::RaidEntry(const TCdhSvr* server, int slot) const {
    if (server == nullptr || slot < kFirstRaidSlot || slot > kLastRaidSlot || !Firmware2(server))
        return nullptr;
    const std::uint8_t* entry = server->RaidVolumes[slot - kFirstRaidSlot];
    return entry[kRdOffMemberCount] != 0 ? entry : nullptr;
}

const std::uint8_t* CDH_NET_CLASS::PresentSlot(const TCdhSvr* server, int slot) const {
    if (slot < 0 || slot >= kMaxSlots || !SlotExists(server, slot)) return nullptr;
    return server->SlotInfo[slot];
}

bool CDH_NET_CLASS::SlotExists(const TCdhSvr* server, int slot) const {
    if (server == nullptr || slot < 0 || slot >= 32) return false;
    const std::uint32_t masks =
        CdhGetU32(server->Status + kStOffMaskA) | CdhGetU32(server->Status + kStOffMaskB);
    return ((masks >> slot) & 1) != 0;
}

bool CDH_NET_CLASS::IsRaidVolume(const TCdhSvr* server, int slot) const {
    return RaidEntry(server, slot) != nullptr;
}

bool CDH_NET_CLASS::SlotIsVolumeMember(const TCdhSvr* server, int slot) const {
    return VolumeEntry(server, slot) != nullptr;
}

std::string CDH_NET_CLASS::GetSlotLabel(const TCdhSvr* server, int slot) const {
    if (RaidEntry(server, slot) != nullptr)
        return std::string("RAID-") + static_cast<char>('A' + slot - kFirstRaidSlot);
    if (const std::uint8_t* e = VolumeEntry(server, slot))
        return CdhFieldText(e + kSlOffLabel, kSlLabelWidth);
    if (const std::uint8_t* b = PresentSlot(server, slot))
        return CdhFieldText(b + kSlOffLabel, kSlLabelWidth);
    return "";
}

std::string CDH_NET_CLASS::GetSlotStateText(const TCdhSvr* server, int slot) const {
    if (RaidEntry(server, slot) != nullptr) return "";
    if (const std::uint8_t* e = VolumeEntry(server, slot))
        return CdhFieldText(e + kSlOffState, kSlStateWidth);
    if (const std::uint8_t* b = PresentSlot(server, slot))
        return CdhFieldText(b + kSlOffState, kSlStateWidth);
    return "";
}

std::string CDH_NET_CLASS::GetSlotStatusText(const TCdhSvr* server, int slot) const {
    if (RaidEntry(server, slot) != nullptr) return "";
    if (const std::uint8_t* e = VolumeEntry(server, slot))
        return CdhFieldText(e + kSlOffStatus, kSlStatusWidth);
    if (const std::uint8_t* b = PresentSlot(server, slot))
        return CdhFieldText(b + kSlOffStatus, kSlStatusWidth);
    return "";
}

int CDH_NET_CLASS::GetSlotKind(const TCdhSvr* server, int slot) const {
    if (RaidEntry(server, slot) != nullptr) return 5;
    const std::uint8_t* e = VolumeEntry(server, slot);
    if (e != nullptr && CdhGetU16(e + kSlOffKind) == 4) return 4;
    if (server == nullptr || slot < 0 || slot >= kMaxSlots) return 0;
    const std::uint8_t* b = server->SlotInfo[slot];
    switch (CdhGetU16(b + kSlOffKind)) {
    case 1:
        return 1;
    case 2:
    case 3:
        return ModeNibble(b) == 3 && (b[kSlOffFlags88] & 0x08) != 0 ? 3 : 2;
    default:
        return 0;
    }
}

int CDH_NET_CLASS::GetSlotKindByte(const TCdhSvr* server, int slot) const {
    if (server == nullptr || slot < 0 || slot >= kMaxSlots) return -1;
    const int mode = ModeNibble(server->SlotInfo[slot]);
    return mode < 5 ? mode : -1;
}

int CDH_NET_CLASS::GetSlotMode(const TCdhSvr* server, int slot) const {
    if (const std::uint8_t* r = RaidEntry(server, slot)) {
        if (r[kRdOffKind] == 1) return 2;
        if (r[kRdOffKind] == 2) return 3;
        return 1;
    }
    if (server == nullptr || slot < 0 || slot >= kMaxSlots) return 0;
    const std::uint8_t* b = server->SlotInfo[slot];
    if (CdhGetU16(b + kSlOffKind) != 1) return 0;
    switch (ModeNibble(b)) {
    case 1:
        return 2;
    case 2:
        return 3;
    default:
        return 1;
    }
}

int CDH_NET_CLASS::GetSlotEntryCount(const TCdhSvr* server, int slot) const {
    if (const std::uint8_t* r = RaidEntry(server, slot)) return CdhGetU16(r + kRdOffEntryCount);
    if (const std::uint8_t* e = VolumeEntry(server, slot)) return CdhGetU16(e + kSlOffEntryCount);
    if (const std::uint8_t* b = PresentSlot(server, slot)) return CdhGetU16(b + kSlOffEntryCount);
    return 0;
}

std::string CDH_NET_CLASS::GetSlotCapacityText(const TCdhSvr* server, int slot) const {
    if (const std::uint8_t* r = RaidEntry(server, slot))
        return SizeOrZero(CdhGetU32(r + kRdOffCapacityMb) * kMegabyte);
    if (const std::uint8_t* e = VolumeEntry(server, slot))
        return SizeOrZero(CdhGetU32(e + kSlOffCapacity) * kSectorBytes);
    if (const std::uint8_t* b = PresentSlot(server, slot))
        return SizeOrZero(CdhGetU32(b + kSlOffCapacity) * kSectorBytes);
    return "";
}

std::string CDH_NET_CLASS::GetSlotFreeText(const TCdhSvr* server, int slot) const {
    if (const std::uint8_t* r = RaidEntry(server, slot))
        return SizeOrZero(CdhGetU32(r + kRdOffFreeMb) * kMegabyte);
    if (VolumeEntry(server, slot) != nullptr) return "- - - - - - -";
    if (const std::uint8_t* b = PresentSlot(server, slot))
        return SizeOrZero(CdhGetU32(b + kSlOffFree) * kSectorBytes);
    return "";
}

bool CDH_NET_CLASS::IsInitializing(const TCdhSvr* server, int slot) const {
    if (const std::uint8_t* r = RaidEntry(server, slot)) return r[kRdOffState] == 4;
    if (server == nullptr || slot < 0 || slot >= kMaxSlots) return false;
    return StateNibble(server->SlotInfo[slot]) == 4;
}

int CDH_NET_CLASS::GetVolumeState(const TCdhSvr* server, int slot) const {
    if (const std::uint8_t* r = RaidEntry(server, slot)) return r[kRdOffState];
    if (const std::uint8_t* b = PresentSlot(server, slot)) return StateNibble(b);
    return 1;
}

std::string CDH_NET_CLASS::GetVolumeStateText(const TCdhSvr* server, int slot) const {
    static constexpr int texts[] = {20, 37, 38, 39, 40, 41};
    const int state = GetVolumeState(server, slot);
    return GetMessageText(state >= 0 && state < 6 ? texts[state] : 42);
}

int CDH_NET_CLASS::GetRaidVolumeKind(const TCdhSvr* server, int slot) const {
    const std::uint8_t* r = RaidEntry(server, slot);
    return r != nullptr ? r[kRdOffLevel] : -1;
}

std::string CDH_NET_CLASS::GetRaidText(const TCdhSvr* server, int slot) const {
    if (server == nullptr || slot < kFirstRaidSlot || slot > kLastRaidSlot) return "";
    const int kind = server->RaidVolumes[slot - kFirstRaidSlot][kRdOffKind];
    return JoinStrings2(GetMessageText(33), GetMessageText(kind == 1 ? 34 : kind == 2 ? 35 : 36));
}

std::string CDH_NET_CLASS::GetVolumeMemberText(const TCdhSvr* server, int slot) const {
    const std::uint8_t* r = RaidEntry(server, slot);
    if (r == nullptr) return "";
    // The member list ends where the entry count begins.
    const std::size_t members = std::min<std::size_t>(r[kRdOffMemberCount], kRdMembersMax);
    std::string text;
    for (std::size_t i = 0; i < members; ++i)
        AppendDisk(text, r[kRdOffMembers + i] + 1);
    return text;
}

std::string CDH_NET_CLASS::GetVolumeSlotsText(const TCdhSvr* server, int slot) const {
    const std::uint8_t* r = RaidEntry(server, slot);
    if (r == nullptr) return "";
    const std::uint32_t mask = CdhGetU32(r + kRdOffSlotMask);
    std::string text;
    for (int bit = 0; bit < 4; ++bit)
        if ((mask >> bit) & 1) AppendDisk(text, bit + 1);
    return text;
}
