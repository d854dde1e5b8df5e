// CDH_NET_CLASS: the one object through which the user interface reaches the CD servers. It
// starts discovery, refreshes a server's devices, answers questions on a server, a slot (drive
// slots 0-7, RAID volumes 8-11), an entry, a group, a backup set or a tape, formats the answers as
// display texts, and sends the password, change, restart and shut-down requests. It holds no data:
// it works on the global CD-server list and its records. Questions on a missing record answer 0,
// false or an empty text.
#pragma once

#include "tovexcdh_net.h"
#include "tovexcdh_svr.h"

#include <cstdint>
#include <string>

// Facade result codes, as the user interface shows them.
enum CdhFacadeCode : int {
    kCdhfOk = 0,
    kCdhfNoMemory = 1,       // out of memory, or the sockets layer could not start
    kCdhfConnection = 2,     // socket or connection failure, or no list yet
    kCdhfRelease = 3,        // socket release failure
    kCdhfPassword = 4,       // password refused
    kCdhfSecondPassword = 5, // second password refused
    kCdhfChangeRefused = 6,
    kCdhfNotReady = 7, // device (tape) not ready
    kCdhfFailure = 9,  // every other failure, bad arguments among them
};
// The facade code of a code of the socket or frame layer.
int CdhFacadeCodeOf(int layerCode);

// The size rule of every size text: bytes, KB, MB or GB by size; empty for a negative size or
// one of 2^50 bytes and more.
std::string CdhSizeText(std::int64_t bytes);

class CDH_NET_CLASS {
public:
    // Drive slots 0-7, RAID volumes 8-11.
    static constexpr int kMaxSlots = 8;
    static constexpr int kFirstRaidSlot = 8;
    static constexpr int kLastRaidSlot = 11;

    CDH_NET_CLASS();

    // ---- Discovery and refresh ----
    int DiscoverServers();
    int RefreshServer(TCdhSvr* server);
    int RefreshSlot(TCdhSvr* server, int slot);
    int LoadSlotEntries(TCdhSvr* server, int slot);
    int RefreshGroupList(TCdhSvr* server);
    int LoadTapeCatalog(TCdhSvr* server, int slot);

    // ---- Server questions ----
    int GetServerCount() const;
    int GetSeenServerCount() const;
    TCdhSvr* GetServer(int index) const;              // index into the name-sorted array
    int CheckServerSeen(const TCdhSvr* server) const; // 0 seen, 1 no list, 2 not seen
    bool IsServerSeen(const TCdhSvr* server) const;
    bool HasNonDefaultAddress(const TCdhSvr* server) const; // false at 192.168.1.1
    int GetMaxSlots() const { return kMaxSlots; }
    int GetSlotCountA(const TCdhSvr* server) const;
    int GetSlotCountB(const TCdhSvr* server) const;
    int GetGroupCount(const TCdhSvr* server) const;
    std::uint32_t GetSlotMaskB(const TCdhSvr* server) const;
    int GetVolumeTableCount(const TCdhSvr* server) const;
    int GetRaidVolumeCount(const TCdhSvr* server) const;
    bool ReturnFalse() const { return false; }
    // -2 without a record, -1 when its firmware is older than major.minor, 0 equal, 1 newer.
    int CompareFirmware(const TCdhSvr* server, std::uint16_t major, std::uint16_t minor) const;
    // The comparison with 1.10; an older firmware is reported in a warning box first.
    int CheckFirmware(const TCdhSvr* server) const;

    // ---- Capability bits ----
    bool HasFeature96Bit0(const TCdhSvr* server) const; // capability flags bit 0
    bool HasFeature96Bit3(const TCdhSvr* server) const;
    bool HasFeature96Bit4(const TCdhSvr* server) const;
    bool HasFeature96Bit5(const TCdhSvr* server) const;
    bool HasFeature99Bit5(const TCdhSvr* server) const;  // capability flags bit 29
    bool HasFeature100Bit6(const TCdhSvr* server) const; // further flags bit 6
    bool HasFeature101Bit2(const TCdhSvr* server) const; // further flags bit 10
    bool HasFeature101Bit3(const TCdhSvr* server) const; // further flags bit 11
    bool HasFeature102Bit5(const TCdhSvr* server) const; // further flags bit 21

    // ---- Server texts ----
    std::string GetServerName(const TCdhSvr* server) const;
    std::string GetServerText206(const TCdhSvr* server) const; // second name (workgroup)
    std::string GetServerText224(const TCdhSvr* server) const; // description (comment)
    std::string GetServerText404(const TCdhSvr* server) const; // status block text at 36
    std::string GetServerText422(const TCdhSvr* server) const; // status block text at 54
    std::string GetIpText(const TCdhSvr* server) const;
    std::string GetMaskText(const TCdhSvr* server) const;
    std::string GetGatewayText(const TCdhSvr* server) const;
    std::string GetMacText(const TCdhSvr* server) const; // "00-1A-2B-3C-4D-5E"
    std::string GetFixedText(const TCdhSvr* server) const;
    std::string GetNumberText184(const TCdhSvr* server) const; // memory size and " MB"
    std::string GetCpuText(const TCdhSvr* server) const;
    std::string GetLanSpeedText(const TCdhSvr* server) const;
    std::string GetDateText(const TCdhSvr* server) const; // the server clock, local time
    std::uint32_t GetTimeValue(const TCdhSvr* server) const;
    std::string GetFirmwareText(const TCdhSvr* server) const;
    std::string GetFeatureText(const TCdhSvr* server) const;

    // ---- Slots ----
    bool SlotExists(const TCdhSvr* server, int slot) const;
    bool IsRaidVolume(const TCdhSvr* server, int slot) const;
    bool SlotIsVolumeMember(const TCdhSvr* server, int slot) const;
    std::string GetSlotLabel(const TCdhSvr* server, int slot) const;
    std::string GetSlotStateText(const TCdhSvr* server, int slot) const;
    // 1 hard disk, 2 CD-ROM, 3 CD writer, 4 tape, 5 RAID volume, 0 other.
    int GetSlotKind(const TCdhSvr* server, int slot) const;
    int GetSlotKindByte(const TCdhSvr* server, int slot) const;
    // 1 no init, 2 mirror, 3 file; 0 for a slot that has no mode.
    int GetSlotMode(const TCdhSvr* server, int slot) const;
    int GetSlotEntryCount(const TCdhSvr* server, int slot) const;
    std::string GetSlotCapacityText(const TCdhSvr* server, int slot) const;
    std::string GetSlotFreeText(const TCdhSvr* server, int slot) const;
    bool IsInitializing(const TCdhSvr* server, int slot) const;
    int GetVolumeState(const TCdhSvr* server, int slot) const;
    std::string GetVolumeStateText(const TCdhSvr* server, int slot) const;
    int GetRaidVolumeKind(const TCdhSvr* server, int slot) const;
    std::string GetRaidText(const TCdhSvr* server, int slot) const;
    std::string GetVolumeMemberText(const TCdhSvr* server, int slot) const;
    std::string GetVolumeSlotsText(const TCdhSvr* server, int slot) const;
    std::string GetSlotStatusText(const TCdhSvr* server, int slot) const;

    // ---- Entries of the slot loaded last, and groups ----
    int GetEntryCountLoaded(const TCdhSvr* server) const; // whole entries received
    std::string GetEntryName(const TCdhSvr* server, int index) const;
    int GetEntryByte34(const TCdhSvr* server, int index) const;
    std::int64_t GetEntrySize(const TCdhSvr* server, int index) const;
    std::string GetEntrySizeText(const TCdhSvr* server, int index) const;
    std::string GetEntryKindText(const TCdhSvr* server, int index) const;
    int GetGroupCountLoaded(const TCdhSvr* server) const; // whole group entries received
    std::string GetGroupName(const TCdhSvr* server, int index) const;
    int GetGroupId(const TCdhSvr* server, int index) const;
    std::string GetGroupKindText(const TCdhSvr* server, int index) const;
    std::string GetGroupFlagText(const TCdhSvr* server, int index) const;
    bool ChangeSlotEntries(TCdhSvr* server, int slot, const std::string& entryName);
    bool ChangeGroupEntries(TCdhSvr* server, const std::string& groupName);

    // ---- Backup sets and tapes ----
    int GetBackupSetCount(const TCdhSvr* server) const;
    int GetTapeCounter2555(const TCdhSvr* server) const; // sets on the current tape
    std::int64_t GetBackupSetSize(const TCdhSvr* server, int index) const;
    std::string GetBackupSetSizeText(const TCdhSvr* server, int index) const;
    std::string GetBackupSetName(const TCdhSvr* server, int index) const;
    int GetBackupSetKind(const TCdhSvr* server, int index) const; // 1 image, 2 file, else 0
    std::string GetBackupSetKindText(const TCdhSvr* server, int index) const;
    // 1 not on this tape, 2 full volume, 3 span volume, 0 unknown span mode.
    int GetBackupSetPlace(const TCdhSvr* server, int index) const;
    std::string GetBackupSetPlaceText(const TCdhSvr* server, int index) const;
    int GetTapeCatalogState(const TCdhSvr* server, int slot) const;
    std::uint32_t GetTapeField0(const TCdhSvr* server) const; // schedule kind
    std::uint32_t GetTapeField1(const TCdhSvr* server) const; // minute
    std::uint32_t GetTapeField2(const TCdhSvr* server) const; // hour
    std::uint32_t GetTapeField3(const TCdhSvr* server) const; // weekday, 0 Sunday
    std::uint32_t GetTapeField4(const TCdhSvr* server) const; // day of the month
    std::uint32_t GetTapeField5(const TCdhSvr* server) const; // catalogue entries
    std::uint32_t GetTapeField6(const TCdhSvr* server) const; // backup type
    std::string GetTapeEntryName(const TCdhSvr* server, int index) const;
    std::string GetTapeLabel(const TCdhSvr* server) const;
    std::string GetTapeName(const TCdhSvr* server) const;
    bool IsTapeReady(const TCdhSvr* server, int slot) const;
    int GetTapeState(const TCdhSvr* server, int slot) const;
    std::string GetTapeStateText(const TCdhSvr* server, int slot) const;

    // ---- Passwords and server commands ----
    // 1 accepted, 0 refused, -1 for a text of 16 characters or more, an unknown kind or any
    // other failure.
    int SendPasswordCommand(TCdhSvr* server, const std::string& text, int kind, int argument);
    std::string GetPasswordText(const TCdhSvr* server) const;
    std::string GetSecondPasswordText(const TCdhSvr* server) const;
    void SetSecondPasswordText(TCdhSvr* server, const std::string& text);
    void SetThirdPasswordText(TCdhSvr* server, const std::string& text);
    int ShutdownServer(TCdhSvr* server);
    int RestartServer(TCdhSvr* server);

    // ---- The names the windows and the wizard use ----
    std::string GetWorkgroupText(const TCdhSvr* s) const { return GetServerText206(s); }
    std::string GetCommentText(const TCdhSvr* s) const { return GetServerText224(s); }
    std::string GetNetwareNameText(const TCdhSvr* s) const { return GetServerText404(s); }
    std::string GetMacintoshNameText(const TCdhSvr* s) const { return GetServerText422(s); }
    std::string GetMemorySizeText(const TCdhSvr* s) const { return GetNumberText184(s); }
    bool HasMsNetwork(const TCdhSvr* s) const { return HasFeature96Bit3(s); }
    bool HasNetwareNetwork(const TCdhSvr* s) const { return HasFeature96Bit4(s); }
    bool HasMacNetwork(const TCdhSvr* s) const { return HasFeature96Bit5(s); }
    bool HasNfsNetwork(const TCdhSvr* s) const { return HasFeature100Bit6(s); }
    bool HasDhcp(const TCdhSvr* s) const { return HasFeature101Bit2(s); }
    bool HasBootp(const TCdhSvr* s) const { return HasFeature101Bit3(s); }
    bool HasRarp(const TCdhSvr* s) const { return HasFeature102Bit5(s); }
    std::uint32_t GetScheduleKind(const TCdhSvr* s) const { return GetTapeField0(s); }
    std::uint32_t GetScheduleMinute(const TCdhSvr* s) const { return GetTapeField1(s); }
    std::uint32_t GetScheduleHour(const TCdhSvr* s) const { return GetTapeField2(s); }
    std::uint32_t GetScheduleWeekday(const TCdhSvr* s) const { return GetTapeField3(s); }
    std::uint32_t GetScheduleDay(const TCdhSvr* s) const { return GetTapeField4(s); }
    std::uint32_t GetCatalogVolumeCount(const TCdhSvr* s) const { return GetTapeField5(s); }
    std::uint32_t GetBackupType(const TCdhSvr* s) const { return GetTapeField6(s); }
    int GetOnTapeVolumeCount(const TCdhSvr* s) const { return GetTapeCounter2555(s); }
    bool IsTapeSlot(const TCdhSvr* s, int slot) const { return IsInitializing(s, slot); }
    int Login(TCdhSvr* s) { return RestartServer(s); }
    int LoginSecondary(TCdhSvr* s) { return ShutdownServer(s); }

private:
    // The slot's volume-table entry (drive slot 0-7 on firmware 2.0 or later), or null.
    const std::uint8_t* VolumeEntry(const TCdhSvr* server, int slot) const;
    // The present RAID entry of a slot 8-11 on firmware 2.0 or later, or null.
    const std::uint8_t* RaidEntry(const TCdhSvr* server, int slot) const;
    // The slot block of a drive slot 0-7 present in a mask, or null.
    const std::uint8_t* PresentSlot(const TCdhSvr* server, int slot) const;
    const std::uint8_t* Entry(const TCdhSvr* server, int index) const;
    const std::uint8_t* Group(const TCdhSvr* server, int index) const;
    const std::uint8_t* BackupSet(const TCdhSvr* server, int index) const;
    bool Firmware2(const TCdhSvr* server) const;
    void ClearEntryCount(TCdhSvr* server, int slot);
};

// The program's one facade.
CDH_NET_CLASS& CdhNetClass();
