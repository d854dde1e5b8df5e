// The facade's discovery, refresh, server questions and server commands.
#include "cdh_net.h"

#include "brandinfo.h"
#include "msgbox.h"
#include "tcpsocket.h"
#include "tovexcdh_records.h"
#include "utils.h"
#include "vcl/dialog_host.h"
#include "vcl/modal_host.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

namespace {

// The version of the sockets layer the client asks for (1.1).
constexpr std::uint16_t kSocketsVersion = 0x0101;
// The address of a server that was never configured.
constexpr std::uint8_t kDefaultAddress[4] = {192, 168, 1, 1};

std::string Dotted(const std::uint8_t* a) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
    return text;
}

void ClearMasks(std::uint8_t* status) {
    CdhPutU32(status + kStOffMaskA, 0);
    CdhPutU32(status + kStOffMaskB, 0);
    CdhPutU16(status + kStOffSlotsInUse, 0);
    CdhPutU16(status + kStOffCountA, 0);
    CdhPutU16(status + kStOffCountB, 0);
}

void LowerCount(std::uint8_t* field) {
    const std::uint16_t n = CdhGetU16(field);
    if (n > 0) CdhPutU16(field, static_cast<std::uint16_t>(n - 1));
}

// Takes a slot out of the masks that hold it and lowers their counts.
void RemoveSlot(std::uint8_t* status, int slot) {
    const std::uint32_t bit = 1u << slot;
    const std::uint32_t a = CdhGetU32(status + kStOffMaskA);
    const std::uint32_t b = CdhGetU32(status + kStOffMaskB);
    if (a & bit) {
        CdhPutU32(status + kStOffMaskA, a & ~bit);
        LowerCount(status + kStOffCountA);
        LowerCount(status + kStOffSlotsInUse);
    }
    if (b & bit) {
        CdhPutU32(status + kStOffMaskB, b & ~bit);
        LowerCount(status + kStOffCountB);
        LowerCount(status + kStOffSlotsInUse);
    }
}

} // namespace

int CdhFacadeCodeOf(int code) {
    if (code == kCdhOk) return kCdhfOk;
    if (code >= 1 && code <= 4) return kCdhfNoMemory;
    if ((code >= 9 && code <= 19) || code == 24) return kCdhfConnection;
    switch (code) {
    case 5:
        return kCdhfRelease;
    case kCdhPasswordRefused:
        return kCdhfPassword;
    case kCdhSecondRefused:
        return kCdhfSecondPassword;
    case kCdhChangeRefused:
        return kCdhfChangeRefused;
    default:
        return kCdhfFailure;
    }
}

std::string CdhSizeText(std::int64_t bytes) {
    return utils::FormatByteCount(0, bytes);
}

CDH_NET_CLASS& CdhNetClass() {
    static CDH_NET_CLASS facade;
    return facade;
}

CDH_NET_CLASS::CDH_NET_CLASS() = default;

// ---- Discovery and refresh ----

int CDH_NET_CLASS::DiscoverServers() {
    if (CdhServerList == nullptr) {
        // The list's constructor runs the first discovery; its outcome is the answer.
        CdhServerList = new (std::nothrow) TCdhNet;
        if (CdhServerList == nullptr) return kCdhfNoMemory;
        if (TcpSocketManager == nullptr) return kCdhfConnection;
        return CdhFacadeCodeOf(static_cast<int>(CdhServerList->LastError));
    }
    if (TcpSocketManager == nullptr) {
        TcpSocketManager = new (std::nothrow) TTcpSocket(kSocketsVersion);
        if (TcpSocketManager == nullptr) return kCdhfConnection;
    }
    return CdhFacadeCodeOf(CdhServerList->Discover());
}

int CDH_NET_CLASS::RefreshServer(TCdhSvr* server) {
    if (server == nullptr) return kCdhfFailure;
    std::uint8_t status[kCdhStatusSize];
    int result = server->ReadStatus(status);
    if (result != kCdhOk) return CdhFacadeCodeOf(result);
    std::memcpy(server->Status, status, sizeof status);

    for (int slot = 0; slot < kMaxSlots; ++slot) {
        const std::uint32_t masks =
            CdhGetU32(server->Status + kStOffMaskA) | CdhGetU32(server->Status + kStOffMaskB);
        if ((masks >> slot & 1) == 0) continue;
        std::uint8_t block[kCdhSlotInfoSize];
        result = server->ReadSlotInfo(static_cast<std::uint32_t>(slot), block);
        if (result != kCdhOk) {
            ClearMasks(server->Status);
            return CdhFacadeCodeOf(result);
        }
        const int state = block[kSlOffState90] >> 4;
        const std::uint16_t kind = CdhGetU16(block + kSlOffKind);
        if (block[0] == 0 || kind == 0 || state == 3) RemoveSlot(server->Status, slot);
        if (kind == 2 && state != 0) CdhPutU16(block + kSlOffEntryCount, 0);
        std::memcpy(server->SlotInfo[slot], block, sizeof block);
    }
    if (Firmware2(server)) {
        result = server->ReadVolumeTable();
        if (result != kCdhOk) return CdhFacadeCodeOf(result);
        result = server->ReadRaidVolumes();
        if (result != kCdhOk) return CdhFacadeCodeOf(result);
    }
    return kCdhfOk;
}

void CDH_NET_CLASS::ClearEntryCount(TCdhSvr* server, int slot) {
    if (slot >= kFirstRaidSlot && slot <= kLastRaidSlot) {
        CdhPutU16(server->RaidVolumes[slot - kFirstRaidSlot] + kRdOffEntryCount, 0);
    } else if (slot >= 0 && slot < kMaxSlots) {
        if (VolumeEntry(server, slot) != nullptr)
            CdhPutU16(server->TapeHeader.data() + kThOffSetCount, 0);
        else
            CdhPutU16(server->SlotInfo[slot] + kSlOffEntryCount, 0);
    }
}

int CDH_NET_CLASS::RefreshSlot(TCdhSvr* server, int slot) {
    if (server == nullptr || slot < 0 || slot > kLastRaidSlot) return kCdhfFailure;
    int result = kCdhOk;
    if (slot >= kFirstRaidSlot) {
        // Volumes 8-11 exist only from firmware 2.0 on; there is no slot block to read.
        if (!Firmware2(server)) return kCdhfFailure;
        result = server->ReadRaidVolumes();
    } else {
        bool tapeSlot = false;
        if (Firmware2(server)) {
            result = server->ReadVolumeTable();
            tapeSlot = result == kCdhOk && VolumeEntry(server, slot) != nullptr;
        }
        if (result == kCdhOk && !tapeSlot) {
            std::uint8_t* block = server->SlotInfo[slot];
            result = server->ReadSlotInfo(static_cast<std::uint32_t>(slot), block);
            if (result == kCdhOk && CdhGetU16(block + kSlOffKind) == 2 && block[kSlOffState90] > 15)
                CdhPutU16(block + kSlOffEntryCount, 0);
        }
    }
    int code = CdhFacadeCodeOf(result);
    if (code == kCdhfOk) code = LoadSlotEntries(server, slot);
    if (code != kCdhfOk) ClearEntryCount(server, slot);
    return code;
}

int CDH_NET_CLASS::LoadSlotEntries(TCdhSvr* server, int slot) {
    if (server == nullptr || slot < 0 || slot > kLastRaidSlot) return kCdhfFailure;
    auto load = [server, slot](std::size_t count) {
        try {
            server->SlotEntries.assign(count * kCdhEntrySize, 0);
        } catch (const std::bad_alloc&) {
            server->SlotEntryBytes = 0;
            return static_cast<int>(kCdhfNoMemory);
        }
        std::size_t size = server->SlotEntries.size();
        const int result = server->ReadSlotEntries(static_cast<std::uint32_t>(slot),
                                                   server->SlotEntries.data(), size);
        server->SlotEntryBytes = size;
        return CdhFacadeCodeOf(result);
    };

    if (slot >= kFirstRaidSlot) {
        if (RaidEntry(server, slot) == nullptr) return kCdhfFailure;
        std::uint8_t* raid = server->RaidVolumes[slot - kFirstRaidSlot];
        const int code = load(CdhGetU16(raid + kRdOffEntryCount) + std::size_t{10});
        if (code != kCdhfOk) return code;
        std::size_t leading = 0;
        while ((leading + 1) * kCdhEntrySize <= server->SlotEntryBytes &&
               server->SlotEntries[leading * kCdhEntrySize] != 0)
            ++leading;
        CdhPutU16(raid + kRdOffEntryCount, static_cast<std::uint16_t>(leading));
        return kCdhfOk;
    }
    if (VolumeEntry(server, slot) != nullptr) {
        if (!IsTapeReady(server, slot)) return kCdhfNotReady;
        return CdhFacadeCodeOf(server->ReadTapeHeader(static_cast<std::uint32_t>(slot)));
    }
    const std::size_t count = CdhGetU16(server->SlotInfo[slot] + kSlOffEntryCount);
    server->SlotEntryBytes = 0;
    if (count == 0) return kCdhfOk;
    return load(count);
}

int CDH_NET_CLASS::RefreshGroupList(TCdhSvr* server) {
    if (server == nullptr) return kCdhfFailure;
    int result = server->ReadStatus(server->Status);
    if (result == kCdhOk) {
        const std::size_t count = CdhGetU16(server->Status + kStOffGroupCount);
        try {
            server->GroupEntries.assign(count * kCdhGroupSize, 0);
        } catch (const std::bad_alloc&) {
            server->GroupEntryBytes = 0;
            CdhPutU16(server->Status + kStOffGroupCount, 0);
            return kCdhfNoMemory;
        }
        std::size_t size = server->GroupEntries.size();
        result = server->ReadGroupList(server->GroupEntries.data(), size);
        server->GroupEntryBytes = size;
    }
    if (result != kCdhOk) CdhPutU16(server->Status + kStOffGroupCount, 0);
    return CdhFacadeCodeOf(result);
}

int CDH_NET_CLASS::LoadTapeCatalog(TCdhSvr* server, int slot) {
    if (server == nullptr) return kCdhfFailure;
    if (!Firmware2(server)) return kCdhfOk;
    if (slot < 0 || slot >= kMaxSlots || VolumeEntry(server, slot) == nullptr) return kCdhfFailure;
    return CdhFacadeCodeOf(server->ReadTapeCatalog(static_cast<std::uint32_t>(slot)));
}

// ---- Server questions ----

int CDH_NET_CLASS::GetServerCount() const {
    return CdhServerList != nullptr ? static_cast<int>(CdhServerList->Count) : 0;
}

int CDH_NET_CLASS::GetSeenServerCount() const {
    return CdhServerList != nullptr ? static_cast<int>(CdhServerList->SeenCount) : 0;
}

TCdhSvr* CDH_NET_CLASS::GetServer(int index) const {
    if (CdhServerList == nullptr || index < 0 ||
        static_cast<std::size_t>(index) >= CdhServerList->Array.size())
        return nullptr;
    return CdhServerList->Array[static_cast<std::size_t>(index)];
}

int CDH_NET_CLASS::CheckServerSeen(const TCdhSvr* server) const {
    if (CdhServerList == nullptr) return 1;
    return server != nullptr && (server->Flags & kCdhFlagSeen) != 0 ? 0 : 2;
}

bool CDH_NET_CLASS::IsServerSeen(const TCdhSvr* server) const {
    return CheckServerSeen(server) == 0;
}

bool CDH_NET_CLASS::HasNonDefaultAddress(const TCdhSvr* server) const {
    return server != nullptr && std::memcmp(server->IpAddress, kDefaultAddress, 4) != 0;
}

int CDH_NET_CLASS::GetSlotCountA(const TCdhSvr* server) const {
    return server != nullptr ? CdhGetU16(server->Status + kStOffCountA) : 0;
}

int CDH_NET_CLASS::GetSlotCountB(const TCdhSvr* server) const {
    return server != nullptr ? CdhGetU16(server->Status + kStOffCountB) : 0;
}

int CDH_NET_CLASS::GetGroupCount(const TCdhSvr* server) const {
    return server != nullptr ? CdhGetU16(server->Status + kStOffGroupCount) : 0;
}

std::uint32_t CDH_NET_CLASS::GetSlotMaskB(const TCdhSvr* server) const {
    return server != nullptr ? CdhGetU32(server->Status + kStOffMaskB) : 0;
}

int CDH_NET_CLASS::GetVolumeTableCount(const TCdhSvr* server) const {
    return server != nullptr ? static_cast<int>(server->VolumeTableCount) : 0;
}

int CDH_NET_CLASS::GetRaidVolumeCount(const TCdhSvr* server) const {
    return server != nullptr ? static_cast<int>(server->RaidVolumeCount) : 0;
}

int CDH_NET_CLASS::CompareFirmware(const TCdhSvr* server, std::uint16_t major,
                                   std::uint16_t minor) const {
    if (server == nullptr) return -2;
    if (server->FirmwareMajor != major) return server->FirmwareMajor < major ? -1 : 1;
    if (server->FirmwareMinor != minor) return server->FirmwareMinor < minor ? -1 : 1;
    return 0;
}

bool CDH_NET_CLASS::Firmware2(const TCdhSvr* server) const {
    return CompareFirmware(server, 2, 0) >= 0;
}

int CDH_NET_CLASS::CheckFirmware(const TCdhSvr* server) const {
    const int result = CompareFirmware(server, 1, 0x10);
    if (result == -1) {
        const std::string incompatible =
            ReplaceFirst(kProductWord, BrandInfo.APPNAME, GetMessageText(13));
        const std::string upgrade =
            ReplaceFirst("%02X", "10", ReplaceFirst("%d", "1", GetMessageText(14)));
        vcl::TMessageBoxRequest box;
        box.Caption = GetMessageText(15);
        box.Text = JoinStrings3(incompatible, "\n", upgrade);
        box.Icon = vcl::TBoxIcon::Warning;
        box.Buttons = vcl::TBoxButtons::Ok;
        vcl::TModalScope modal;
        vcl::DialogHost().MessageBox(box);
    }
    return result;
}

// ---- Capability bits ----

namespace {
bool Bit(const TCdhSvr* server, std::uint32_t TCdhSvr::*field, int bit) {
    return server != nullptr && ((server->*field >> bit) & 1) != 0;
}
} // namespace

bool CDH_NET_CLASS::HasFeature96Bit0(const TCdhSvr* s) const {
    return Bit(s, &TCdhSvr::Capabilities, 0);
}
bool CDH_NET_CLASS::HasFeature96Bit3(const TCdhSvr* s) const {
    return Bit(s, &TCdhSvr::Capabilities, 3);
}
bool CDH_NET_CLASS::HasFeature96Bit4(const TCdhSvr* s) const {
    return Bit(s, &TCdhSvr::Capabilities, 4);
}
bool CDH_NET_CLASS::HasFeature96Bit5(const TCdhSvr* s) const {
    return Bit(s, &TCdhSvr::Capabilities, 5);
}
bool CDH_NET_CLASS::HasFeature99Bit5(const TCdhSvr* s) const {
    return Bit(s, &TCdhSvr::Capabilities, 29);
}
bool CDH_NET_CLASS::HasFeature100Bit6(const TCdhSvr* s) const {
    return Bit(s, &TCdhSvr::FurtherFlags, 6);
}
bool CDH_NET_CLASS::HasFeature101Bit2(const TCdhSvr* s) const {
    return Bit(s, &TCdhSvr::FurtherFlags, 10);
}
bool CDH_NET_CLASS::HasFeature101Bit3(const TCdhSvr* s) const {
    return Bit(s, &TCdhSvr::FurtherFlags, 11);
}
bool CDH_NET_CLASS::HasFeature102Bit5(const TCdhSvr* s) const {
    return Bit(s, &TCdhSvr::FurtherFlags, 21);
}

// ---- Server texts ----

std::string CDH_NET_CLASS::GetServerName(const TCdhSvr* s) const {
    return s != nullptr ? s->Name : "";
}
std::string CDH_NET_CLASS::GetServerText206(const TCdhSvr* s) const {
    return s != nullptr ? s->SecondName : "";
}
std::string CDH_NET_CLASS::GetServerText224(const TCdhSvr* s) const {
    return s != nullptr ? s->Description : "";
}
std::string CDH_NET_CLASS::GetServerText404(const TCdhSvr* s) const {
    return s != nullptr ? CdhFieldText(s->Status + kStOffText36, kStTextWidth, true) : "";
}
std::string CDH_NET_CLASS::GetServerText422(const TCdhSvr* s) const {
    return s != nullptr ? CdhFieldText(s->Status + kStOffText54, kStTextWidth, true) : "";
}
std::string CDH_NET_CLASS::GetIpText(const TCdhSvr* s) const {
    return s != nullptr ? Dotted(s->IpAddress) : "";
}
std::string CDH_NET_CLASS::GetMaskText(const TCdhSvr* s) const {
    return s != nullptr ? Dotted(s->SubnetMask) : "";
}
std::string CDH_NET_CLASS::GetGatewayText(const TCdhSvr* s) const {
    return s != nullptr ? Dotted(s->Gateway) : "";
}

std::string CDH_NET_CLASS::GetMacText(const TCdhSvr* s) const {
    if (s == nullptr) return "";
    const std::uint8_t* m = s->HardwareAddress;
    char text[18];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", m[0], m[1], m[2], m[3], m[4],
                  m[5]);
    return text;
}

std::string CDH_NET_CLASS::GetFixedText(const TCdhSvr*) const {
    return "";
}

std::string CDH_NET_CLASS::GetNumberText184(const TCdhSvr* s) const {
    return s != nullptr ? std::to_string(CdhGetU16(s->Status + kStOffMemoryMb)) + " MB" : "";
}

std::string CDH_NET_CLASS::GetCpuText(const TCdhSvr* s) const {
    return s != nullptr ? std::to_string(CdhGetU16(s->Status + kStOffCpuMhz)) + " Mhz" : "";
}

std::string CDH_NET_CLASS::GetLanSpeedText(const TCdhSvr* s) const {
    if (s == nullptr) return "";
    switch (CdhGetU16(s->Status + kStOffLanSpeed)) {
    case 0:
        return GetMessageText(10);
    case 10:
        return "10 ";
    case 100:
        return "100 ";
    default:
        return "";
    }
}

std::uint32_t CDH_NET_CLASS::GetTimeValue(const TCdhSvr* s) const {
    return s != nullptr ? CdhGetU32(s->Status + kStOffClock) : 0;
}

std::string CDH_NET_CLASS::GetDateText(const TCdhSvr* s) const {
    if (s == nullptr) return "";
    const std::time_t seconds = static_cast<std::time_t>(GetTimeValue(s));
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) return "";
    char text[64];
    std::snprintf(text, sizeof text, "%d/%2d/%2d %2d:%2d:%2d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string CDH_NET_CLASS::GetFirmwareText(const TCdhSvr* s) const {
    if (s == nullptr) return "";
    char text[32];
    std::snprintf(text, sizeof text, "V%u.%02X ", unsigned{s->FirmwareMajor},
                  unsigned{s->FirmwareMinor});
    return std::string(text) + s->FirmwareSuffix;
}

std::string CDH_NET_CLASS::GetFeatureText(const TCdhSvr* s) const {
    if (s == nullptr) return "";
    return (s->Capabilities & 1) != 0 ? "Yes" : "No";
}

// ---- Passwords and server commands ----

int CDH_NET_CLASS::SendPasswordCommand(TCdhSvr* server, const std::string& text, int kind,
                                       int argument) {
    if (server == nullptr || text.size() >= kCdhPwTextWidth || kind < 0 || kind > 2) return -1;
    std::uint8_t block[kCdhPasswordBlockSize] = {};
    CdhPutU16(block + kCdhPwOffKind, static_cast<std::uint16_t>(kind));
    CdhPutU16(block + kCdhPwOffArgument, kind == 2 ? static_cast<std::uint16_t>(argument) : 0);
    std::memcpy(block + kCdhPwOffText, text.data(), text.size());
    const int result = server->SendPassword(block);
    if (result == kCdhOk) {
        if (kind == 2) SetThirdPasswordText(server, text);
        return 1;
    }
    if (result == kCdhPasswordRefused || result == kCdhChangeRefused || result == kCdhSecondRefused)
        return 0;
    return -1;
}

std::string CDH_NET_CLASS::GetPasswordText(const TCdhSvr* s) const {
    return s != nullptr ? s->Password : "";
}

std::string CDH_NET_CLASS::GetSecondPasswordText(const TCdhSvr* s) const {
    return s != nullptr ? s->SecondPassword : "";
}

void CDH_NET_CLASS::SetSecondPasswordText(TCdhSvr* s, const std::string& text) {
    if (s == nullptr || text.size() >= sizeof s->SecondPassword) return;
    std::memset(s->SecondPassword, 0, sizeof s->SecondPassword);
    std::memcpy(s->SecondPassword, text.data(), text.size());
}

void CDH_NET_CLASS::SetThirdPasswordText(TCdhSvr* s, const std::string& text) {
    if (s == nullptr || text.size() >= sizeof s->ThirdPassword) return;
    std::memset(s->ThirdPassword, 0, sizeof s->ThirdPassword);
    std::memcpy(s->ThirdPassword, text.data(), text.size());
}

namespace {
void KeptPasswordBlock(const TCdhSvr* s, std::uint8_t* block) {
    std::memset(block, 0, kCdhPasswordBlockSize);
    std::memcpy(block + kCdhPwOffText, s->Password, std::strlen(s->Password));
}
} // namespace

int CDH_NET_CLASS::ShutdownServer(TCdhSvr* server) {
    if (server == nullptr) return kCdhfFailure;
    std::uint8_t block[kCdhPasswordBlockSize];
    KeptPasswordBlock(server, block);
    return CdhFacadeCodeOf(server->Shutdown(block));
}

int CDH_NET_CLASS::RestartServer(TCdhSvr* server) {
    if (server == nullptr) return kCdhfFailure;
    std::uint8_t block[kCdhPasswordBlockSize];
    KeptPasswordBlock(server, block);
    return CdhFacadeCodeOf(server->Restart(block));
}
