#include "cdserver_devices.h"

#include "cdh_net.h"
#include "msgbox.h"
#include "tovexcdh_records.h"

#include <algorithm>
#include <cstdint>

int CdhDeviceKind(const CDH_NET_CLASS& net, const TCdhSvr* server, int slot) {
    if (!server || slot < 0 || slot > CDH_NET_CLASS::kLastRaidSlot) return 0;
    if (slot >= CDH_NET_CLASS::kFirstRaidSlot) {
        if (!net.IsRaidVolume(server, slot)) return 0;
        switch (net.GetSlotMode(server, slot)) {
        case 2:
            return kCdhVolumeTarget;
        case 3:
            return kCdhVolumeFile;
        default:
            return kCdhVolumeNoInit;
        }
    }
    if (slot >= net.GetMaxSlots()) return 0;
    const int kind = net.GetSlotKind(server, slot);
    if (kind == 4 && net.SlotIsVolumeMember(server, slot)) return kCdhTape;
    if (!net.SlotExists(server, slot)) return 0;
    switch (kind) {
    case 1:
        switch (net.GetSlotMode(server, slot)) {
        case 2:
            return kCdhDiskTarget;
        case 3:
            return kCdhDiskFile;
        default:
            return kCdhDiskNoInit;
        }
    case 3:
        return kCdhCdWriter;
    default:
        return kCdhCdrom;
    }
}

std::vector<CdhDevice> CdhDevicesOf(const CDH_NET_CLASS& net, const TCdhSvr* server) {
    std::vector<CdhDevice> devices;
    for (int slot = 0; slot <= CDH_NET_CLASS::kLastRaidSlot; ++slot)
        if (const int kind = CdhDeviceKind(net, server, slot)) devices.push_back({slot, kind});
    return devices;
}

bool IsCdhDeviceKind(int kind) {
    return (kind >= kCdhDiskTarget && kind <= 24) || (kind >= kCdhTape && kind <= kCdhVolumeNoInit);
}

bool IsCdhImageListKind(int kind) {
    return IsCdhDeviceKind(kind) && kind != kCdhDiskNoInit && kind != kCdhVolumeNoInit;
}

std::string CdhDeviceTypeText(const CDH_NET_CLASS& net, const TCdhSvr* server, int slot) {
    switch (net.GetSlotKind(server, slot)) {
    case 1: {
        const int mode = net.GetSlotMode(server, slot);
        return GetMessageText(mode == 2 ? 103 : mode == 3 ? 104 : 105);
    }
    case 3:
        return GetMessageText(106);
    case 4:
        return GetMessageText(111);
    case 5:
        return net.GetRaidText(server, slot);
    default:
        switch (net.GetSlotKindByte(server, slot)) {
        case 0:
            return GetMessageText(107);
        case 1:
            return GetMessageText(108);
        case 2:
            return GetMessageText(109);
        case 4:
            return GetMessageText(830);
        default:
            return GetMessageText(110);
        }
    }
}

std::string CdhDeviceText(const CDH_NET_CLASS& net, const TCdhSvr* server, int slot) {
    std::string label = net.GetSlotLabel(server, slot);
    return label.empty() ? CdhDeviceTypeText(net, server, slot) : label;
}

int CdhEntryRowKind(const std::string& kindText) {
    if (kindText == "Image" || kindText == "Image[M]") return kCdhImageRow;
    if (kindText == "File") return kCdhFileRow;
    if (kindText == "CD Cache") return kCdhCacheRow;
    return kCdhTitleRow;
}

int CdhBackupSetRowKind(int setKind, int place) {
    const int base = setKind == 2 ? kCdhFirstTapeRow + 3 : kCdhFirstTapeRow;
    return base + (place == 3 ? 2 : place == 2 ? 1 : 0);
}

int CdhListedEntryCount(const CDH_NET_CLASS& net, const TCdhSvr* server, int slot) {
    return std::max(0,
                    std::min(net.GetEntryCountLoaded(server), net.GetSlotEntryCount(server, slot)));
}

int CdhListedBackupSetCount(const CDH_NET_CLASS& net, const TCdhSvr* server) {
    return std::min(net.GetBackupSetCount(server), static_cast<int>(kThMaxSets));
}

void* CdhSlotData(int slot) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(slot));
}

int CdhSlotOf(const void* data) {
    const auto value = reinterpret_cast<std::intptr_t>(data);
    return value >= 0 && value <= CDH_NET_CLASS::kLastRaidSlot ? static_cast<int>(value) : -1;
}
