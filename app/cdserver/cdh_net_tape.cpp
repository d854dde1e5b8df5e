// The facade's entries, groups, backup sets and tapes, and the entry and group changes.
#include "cdh_net.h"

#include "msgbox.h"
#include "tovexcdh_records.h"

#include <algorithm>

#include <cstring>

namespace {

constexpr std::int64_t kSectorBytes = 2048;
// Group ids from here on are the server's own groups.
constexpr int kFirstSystemGroup = 251;

} // namespace

// ---- Entries and groups ----

const std::uint8_t* CDH_NET_CLASS::Entry(const TCdhSvr* server, int index) const {
    if (server == nullptr || index < 0 || index >= GetEntryCountLoaded(server)) return nullptr;
    return server->SlotEntries.data() + static_cast<std::size_t>(index) * kCdhEntrySize;
}

int CDH_NET_CLASS::GetEntryCountLoaded(const TCdhSvr* server) const {
    if (server == nullptr) return 0;
    return static_cast<int>(std::min(server->SlotEntryBytes, server->SlotEntries.size()) /
                            kCdhEntrySize);
}

std::string CDH_NET_CLASS::GetEntryName(const TCdhSvr* server, int index) const {
    const std::uint8_t* e = Entry(server, index);
    return e != nullptr ? CdhFieldText(e + kEnOffName, kEnNameWidth) : "";
}

int CDH_NET_CLASS::GetEntryByte34(const TCdhSvr* server, int index) const {
    const std::uint8_t* e = Entry(server, index);
    return e != nullptr ? e[kEnOffByte34] : 0;
}

std::int64_t CDH_NET_CLASS::GetEntrySize(const TCdhSvr* server, int index) const {
    const std::uint8_t* e = Entry(server, index);
    return e != nullptr ? CdhGetU32(e + kEnOffSectors) * kSectorBytes : 0;
}

std::string CDH_NET_CLASS::GetEntrySizeText(const TCdhSvr* server, int index) const {
    if (Entry(server, index) == nullptr) return "";
    const std::int64_t size = GetEntrySize(server, index);
    return size == 0 ? std::string("0 MB") : CdhSizeText(size);
}

std::string CDH_NET_CLASS::GetEntryKindText(const TCdhSvr* server, int index) const {
    const std::uint8_t* e = Entry(server, index);
    if (e == nullptr) return "";
    switch (e[kEnOffKind]) {
    case 0:
        return "CD Title";
    case 1:
        return (e[kEnOffFlags] & 1) != 0 ? "Image[M]" : "Image";
    case 2:
        return "CD Cache";
    case 3:
        return "File";
    default:
        return "";
    }
}

int CDH_NET_CLASS::GetGroupCountLoaded(const TCdhSvr* server) const {
    if (server == nullptr) return 0;
    return static_cast<int>(std::min(server->GroupEntryBytes, server->GroupEntries.size()) /
                            kCdhGroupSize);
}

const std::uint8_t* CDH_NET_CLASS::Group(const TCdhSvr* server, int index) const {
    if (server == nullptr || index < 0 || index >= GetGroupCountLoaded(server)) return nullptr;
    return server->GroupEntries.data() + static_cast<std::size_t>(index) * kCdhGroupSize;
}

std::string CDH_NET_CLASS::GetGroupName(const TCdhSvr* server, int index) const {
    const std::uint8_t* g = Group(server, index);
    return g != nullptr ? CdhFieldText(g + kGrOffName, kGrNameWidth) : "";
}

int CDH_NET_CLASS::GetGroupId(const TCdhSvr* server, int index) const {
    const std::uint8_t* g = Group(server, index);
    return g != nullptr ? CdhGetU16(g + kGrOffId) : 0;
}

std::string CDH_NET_CLASS::GetGroupKindText(const TCdhSvr* server, int index) const {
    const std::uint8_t* g = Group(server, index);
    if (g == nullptr) return "";
    if (CdhGetU16(g + kGrOffId) >= kFirstSystemGroup) return "System";
    switch (g[kGrOffKind]) {
    case 1:
        return "Grouping";
    case 2:
        return "Volume";
    default:
        return "";
    }
}

std::string CDH_NET_CLASS::GetGroupFlagText(const TCdhSvr* server, int index) const {
    const std::uint8_t* g = Group(server, index);
    if (g == nullptr) return "";
    return GetMessageText((g[kGrOffFlags] & 0x02) != 0 ? 11 : 12);
}

bool CDH_NET_CLASS::ChangeSlotEntries(TCdhSvr* server, int slot, const std::string& entryName) {
    if (server == nullptr || slot < 0 || slot > kLastRaidSlot) return false;
    // RAID volumes count their entries in the volume, drive slots in the slot block.
    int count = 0;
    if (slot >= kFirstRaidSlot) {
        const std::uint8_t* r = RaidEntry(server, slot);
        count = r != nullptr ? CdhGetU16(r + kRdOffEntryCount) : 0;
    } else {
        count = CdhGetU16(server->SlotInfo[slot] + kSlOffEntryCount);
    }
    count = std::min(count, GetEntryCountLoaded(server));
    for (int i = 0; i < count; ++i) {
        if (GetEntryName(server, i) != entryName) continue;
        const std::uint8_t* e = Entry(server, i);
        std::uint8_t block[kCdhEntryChangeSize] = {};
        CdhPutU16(block, CdhGetU16(e + kEnOffId));
        block[2] = e[kEnOffKind];
        block[kCdhEcOffSlot] = static_cast<std::uint8_t>(slot);
        block[4] = e[kEnOffByte37];
        block[kCdhEcOffFlags] = 0x02 | ((e[kEnOffFlags] & 1) != 0 ? kCdhEcSecondPassword : 0);
        return server->WriteSlotEntries(static_cast<std::uint32_t>(slot), block, sizeof block) ==
               kCdhOk;
    }
    return false;
}

bool CDH_NET_CLASS::ChangeGroupEntries(TCdhSvr* server, const std::string& groupName) {
    if (server == nullptr) return false;
    const int count = GetGroupCount(server);
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* g = Group(server, i);
        if (g == nullptr) break;
        const int id = CdhGetU16(g + kGrOffId);
        if (id >= kFirstSystemGroup || GetGroupName(server, i) != groupName) continue;
        std::uint8_t block[kCdhGroupChangeSize] = {};
        CdhPutU16(block, static_cast<std::uint16_t>(id));
        block[2] = g[kGrOffKind];
        block[3] = 0x02;
        std::memcpy(block + kCdhGcOffText, server->ThirdPassword,
                    std::strlen(server->ThirdPassword));
        return server->WriteGroupEntries(block, sizeof block) == kCdhOk;
    }
    return false;
}

// ---- Backup sets of the tape header ----

int CDH_NET_CLASS::GetBackupSetCount(const TCdhSvr* server) const {
    return server != nullptr ? CdhGetU16(server->TapeHeader.data() + kThOffSetCount) : 0;
}

int CDH_NET_CLASS::GetTapeCounter2555(const TCdhSvr* server) const {
    return server != nullptr ? CdhGetU16(server->TapeHeader.data() + kThOffOnTape) : 0;
}

const std::uint8_t* CDH_NET_CLASS::BackupSet(const TCdhSvr* server, int index) const {
    if (server == nullptr || index < 0 || index >= GetBackupSetCount(server) ||
        static_cast<std::size_t>(index) >= kThMaxSets)
        return nullptr;
    return server->TapeHeader.data() + kThOffSets + static_cast<std::size_t>(index) * kThSetSize;
}

std::int64_t CDH_NET_CLASS::GetBackupSetSize(const TCdhSvr* server, int index) const {
    const std::uint8_t* set = BackupSet(server, index);
    return set != nullptr ? CdhGetU32(set + kThSetOffSectors) * kSectorBytes : 0;
}

std::string CDH_NET_CLASS::GetBackupSetSizeText(const TCdhSvr* server, int index) const {
    if (BackupSet(server, index) == nullptr) return "";
    const std::int64_t size = GetBackupSetSize(server, index);
    return size == 0 ? std::string("0 MB") : CdhSizeText(size);
}

std::string CDH_NET_CLASS::GetBackupSetName(const TCdhSvr* server, int index) const {
    const std::uint8_t* set = BackupSet(server, index);
    return set != nullptr ? CdhFieldText(set + kThSetOffName, kThSetNameWidth) : "";
}

int CDH_NET_CLASS::GetBackupSetKind(const TCdhSvr* server, int index) const {
    if (BackupSet(server, index) == nullptr) return 0;
    const int kind = server->TapeHeader[kThOffKind];
    return kind == 1 || kind == 2 ? kind : 0;
}

std::string CDH_NET_CLASS::GetBackupSetKindText(const TCdhSvr* server, int index) const {
    switch (GetBackupSetKind(server, index)) {
    case 1:
        return GetMessageText(16);
    case 2:
        return GetMessageText(17);
    default:
        return "";
    }
}

int CDH_NET_CLASS::GetBackupSetPlace(const TCdhSvr* server, int index) const {
    if (BackupSet(server, index) == nullptr) return 0;
    const std::uint8_t* h = server->TapeHeader.data();
    const int first = CdhGetU16(h + kThOffFirstSet);
    const int last = first + CdhGetU16(h + kThOffOnTape) - 1;
    if (index < first || index > last) return 1;
    switch (CdhGetU16(h + kThOffSpanMode)) {
    case 0:
        return 2;
    case 1:
        return index == first ? 3 : 2;
    case 2:
        return index == last ? 3 : 2;
    case 3:
        return first == last || index == first || index == last ? 3 : 2;
    default:
        return 0;
    }
}

std::string CDH_NET_CLASS::GetBackupSetPlaceText(const TCdhSvr* server, int index) const {
    switch (GetBackupSetPlace(server, index)) {
    case 1:
        return GetMessageText(18);
    case 2:
        return GetMessageText(501);
    case 3:
        return GetMessageText(19);
    default:
        return "";
    }
}

std::string CDH_NET_CLASS::GetTapeName(const TCdhSvr* server) const {
    if (server == nullptr ||
        std::memcmp(server->TapeHeader.data(), kThSignature, sizeof kThSignature - 1) != 0)
        return "";
    return CdhFieldText(server->TapeHeader.data() + kThOffName, kThNameWidth);
}

// ---- Tape catalogue ----

int CDH_NET_CLASS::GetTapeCatalogState(const TCdhSvr* server, int slot) const {
    if (server == nullptr || !Firmware2(server) || slot < 0 ||
        server->TapeCatalog.slot != static_cast<std::uint32_t>(slot))
        return 0;
    return server->TapeCatalog.valid;
}

std::uint32_t CDH_NET_CLASS::GetTapeField0(const TCdhSvr* s) const {
    return s != nullptr ? s->TapeCatalog.fields[0] : 0;
}
std::uint32_t CDH_NET_CLASS::GetTapeField1(const TCdhSvr* s) const {
    return s != nullptr ? s->TapeCatalog.fields[1] : 0;
}
std::uint32_t CDH_NET_CLASS::GetTapeField2(const TCdhSvr* s) const {
    return s != nullptr ? s->TapeCatalog.fields[2] : 0;
}
std::uint32_t CDH_NET_CLASS::GetTapeField3(const TCdhSvr* s) const {
    return s != nullptr ? s->TapeCatalog.fields[3] : 0;
}
std::uint32_t CDH_NET_CLASS::GetTapeField4(const TCdhSvr* s) const {
    return s != nullptr ? s->TapeCatalog.fields[4] : 0;
}
std::uint32_t CDH_NET_CLASS::GetTapeField5(const TCdhSvr* s) const {
    return s != nullptr ? s->TapeCatalog.fields[5] : 0;
}
std::uint32_t CDH_NET_CLASS::GetTapeField6(const TCdhSvr* s) const {
    return s != nullptr ? s->TapeCatalog.fields[6] : 0;
}

std::string CDH_NET_CLASS::GetTapeEntryName(const TCdhSvr* server, int index) const {
    if (server == nullptr || index < 0 || static_cast<std::size_t>(index) >= kTcMaxNames) return "";
    return server->TapeCatalog.names[index];
}

std::string CDH_NET_CLASS::GetTapeLabel(const TCdhSvr* server) const {
    return server != nullptr ? server->TapeCatalog.label : "";
}

// ---- Tape state of a volume-table slot ----

bool CDH_NET_CLASS::IsTapeReady(const TCdhSvr* server, int slot) const {
    if (server == nullptr || slot < 0 || slot >= kMaxSlots) return false;
    const std::uint8_t* e = server->VolumeTable[slot];
    return e[0] != 0 && CdhGetU16(e + kVtOffSlot) == slot && CdhGetU32(e + kVtOffActivity) == 0 &&
           CdhGetU32(e + kVtOffMedia) == 0;
}

int CDH_NET_CLASS::GetTapeState(const TCdhSvr* server, int slot) const {
    if (server == nullptr || slot < 0 || slot >= kMaxSlots) return 0;
    const std::uint8_t* e = server->VolumeTable[slot];
    const std::uint32_t activity = CdhGetU32(e + kVtOffActivity);
    const std::uint32_t media = CdhGetU32(e + kVtOffMedia);
    if (activity == 0 && media == 0) return 0;
    if (activity & 0x300u) return 1; // changing tape
    if (activity & 0x0C0u) return 2; // restoring
    if (activity & 0x030u) return 3; // backing up
    if (activity & 0x00Cu) return 4; // erasing
    if (activity & 0x003u) return 5; // retensioning
    if (activity != 0 || (media & 0x41u) != 0) return 6;
    if (media & 0x002u) return 100;
    if (media & 0x008u) return 101;
    if (media & 0x010u) return 102;
    if (media & 0x100u) return 103;
    if (media & 0x80000000u) return 104;
    return 105;
}

std::string CDH_NET_CLASS::GetTapeStateText(const TCdhSvr* server, int slot) const {
    const int state = GetTapeState(server, slot);
    if (state >= 0 && state <= 6) return GetMessageText(20 + state);
    if (state >= 100 && state <= 105) return GetMessageText(27 + (state - 100));
    return GetMessageText(9);
}
