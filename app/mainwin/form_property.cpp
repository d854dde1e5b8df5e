#include "form_property.h"

#include "cdserver_devices.h"
#include "central.h"

#include "cdh_net.h"
#include "cdrom.h"
#include "container.h"
#include "msgbox.h"
#include "utils.h"

#include "vcl/application.h"

#include <ctime>

TForm_Property* Form_Property = nullptr;

namespace {

constexpr int kContainerPanelBase = 65;
constexpr int kContainerLineHeight = 15;
constexpr std::size_t kSourceLineLength = 33;
constexpr std::size_t kSourceMaxCharacters = 256;

char LetterOf(const void* data) {
    return static_cast<char>(reinterpret_cast<std::intptr_t>(data) & 0xFF);
}

// The length of the UTF-8 sequence that starts with byte c (1 for a stray byte).
std::size_t SequenceLength(unsigned char c) {
    if (c >= 0xF0 && c < 0xF8) return 4;
    if (c >= 0xE0) return c < 0xF0 ? 3 : 1;
    if (c >= 0xC0) return 2;
    return 1;
}

} // namespace

TForm_Property::~TForm_Property() {
    if (Form_Property == this) Form_Property = nullptr;
}

void TForm_Property::Label_ContainerItemNameMouseMove(vcl::TObject*, vcl::TShiftState, int, int) {
    Label_ContainerItemName->SetHint(Label_ContainerItemName->GetCaption());
}

std::string TForm_Property::WrapSourceText(const std::string& source, int& lines) {
    std::string text;
    lines = 1;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < source.size() && characters < kSourceMaxCharacters;) {
        const std::size_t n =
            std::min(SequenceLength(static_cast<unsigned char>(source[i])), source.size() - i);
        text.append(source, i, n);
        i += n;
        if (++characters % kSourceLineLength == 0) {
            text += '\n';
            ++lines;
        }
    }
    return text;
}

std::string TForm_Property::SizeText(std::int64_t bytes) {
    return utils::FormatByteCount(0, bytes) + " ( " + utils::FormatByteCount(1, bytes) + " )";
}

std::string TForm_Property::DateTimeText(std::uint64_t fileTime) {
    const std::time_t seconds = static_cast<std::time_t>(fileTime / 10000000u) -
                                static_cast<std::time_t>(kCisFileTimeEpochOffset);
    std::tm local{};
    if (!localtime_r(&seconds, &local)) return {};
    const int hour12 = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %s %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour < 12 ? "AM" : "PM", hour12,
                  local.tm_min, local.tm_sec);
    return text;
}

std::optional<std::string> TForm_Property::ScheduleText(std::uint32_t kind, std::uint32_t minute,
                                                        std::uint32_t hour, std::uint32_t weekday,
                                                        std::uint32_t day) {
    // The values come from the server's catalogue: none is trusted to be in its range.
    if (kind > 2 || hour > 23 || minute > 59) return std::nullopt;
    const std::string time =
        std::to_string(hour) + ":" + (minute < 10 ? "0" : "") + std::to_string(minute);
    if (kind == 0) return time + GetMessageText(260);
    if (kind == 1) {
        if (weekday > 6) return std::nullopt;
        std::tm day0{};
        day0.tm_wday = static_cast<int>(weekday);
        char name[64];
        if (std::strftime(name, sizeof name, "%A", &day0) == 0) return std::nullopt;
        return std::string(name) + ", " + time + GetMessageText(261);
    }
    if (day < 1 || day > 31) return std::nullopt;
    return std::to_string(day) + ", " + time + GetMessageText(262);
}

bool TForm_Property::FillPages(int Kind, void* Data, void* ParentData) {
    if (IsCdhDeviceKind(Kind))
        return FillCdhDevice(ParentData, static_cast<int>(reinterpret_cast<std::intptr_t>(Data)));
    switch (Kind) {
    case 14:
        return FillCdhServers();
    case 15:
    case 16:
    case 17:
        return FillCdhServer(Kind, Data);
    case 29:
        FillShareFolder(Data);
        return true;
    case 34:
        FillDrive(LetterOf(Data));
        return true;
    case 35:
    case 36:
    case 37:
    case 38:
        FillDisc(LetterOf(Data));
        return true;
    case 2:
    case 3:
    case 4:
        FillContainerEntry(Data);
        return true;
    default:
        if (window_ && window_->ListView->Focused() && window_->ListView->SelCount() > 1)
            FillSelectedEntries();
        else
            FillContainerEntry(Data);
        return true;
    }
}

void TForm_Property::FillDrive(char letter) {
    CDH_LOGICAL_CDROM_CLASS& drives = CdromTable();
    Label_CdromName->SetCaption(drives.GetDriveCaption(letter));
    Label_CdromType->SetCaption(drives.GetMediaKindName(letter));
    Label_CdromProductName->SetCaption(drives.GetDeviceName(letter));
    Label_CdromBus->SetCaption(drives.GetInterfaceName(letter));
    PageControl_Property->SetActivePage(TabSheet_Cdrom);
}

void TForm_Property::FillDisc(char letter) {
    CDH_LOGICAL_CDROM_CLASS& drives = CdromTable();
    Label_DiscVolume->SetCaption(drives.GetVolumeLabel(letter));
    Label_DiscType->SetCaption(drives.GetDiscFormatName(letter));
    Label_DiscDrive->SetCaption(drives.GetDriveCaption(letter));
    Label_DiscSize->SetCaption(utils::FormatByteCount(0, drives.GetDiscBytes(letter)));
    Label_DiscFileSys->SetCaption(drives.GetVolumeInfo(letter));
    vcl::TListItems* rows = ListView_DiscTrack->Items();
    if (!drives.Reanalyse(letter)) {
        Label_DiscSessionCount->SetCaption("");
        Label_DiscTrackCount->SetCaption("");
        rows->Clear();
        PageControl_Property->SetActivePage(TabSheet_Disc);
        return;
    }
    Label_DiscSessionCount->SetCaption(std::to_string(drives.GetSessionCount(letter)));
    const int tracks = drives.GetLastTrack(letter);
    Label_DiscTrackCount->SetCaption(std::to_string(tracks));
    rows->BeginUpdate();
    rows->Clear();
    for (int i = 0; i < tracks; ++i) {
        vcl::TListItem* row = rows->Add();
        row->SetCaption(GetMessageText(257) +
                        std::to_string(drives.GetTrackEntryNumber(letter, i)));
        row->SubItems()->Add(drives.GetTrackKindText(letter, i));
        row->SubItems()->Add(GetMessageText(258) +
                             std::to_string(drives.GetTrackEntrySession(letter, i)));
        row->SubItems()->Add(
            utils::FormatByteCount(0, static_cast<std::int64_t>(drives.GetTrackBytes(letter, i))));
    }
    rows->EndUpdate();
    PageControl_Property->SetActivePage(TabSheet_Disc);
}

void TForm_Property::FillContainerEntry(void* data) {
    auto* record = static_cast<MIRROR_CONTAINER::Record*>(data);
    MIRROR_CONTAINER& container = MainContainer;
    if (!record) record = container.GetRoot();
    const std::uint32_t attributes = record ? container.GetAttributes(record) : 0;
    Label_ContainerItemName->SetCaption(record ? container.GetDisplayName(record) : "");
    Label1_ContainerType->SetCaption(GetMessageText((attributes & 0x10) ? 94 : 95));
    int lines = 1;
    Label_ContainerSourceName->SetCaption(
        WrapSourceText(record ? container.GetSourcePath(record) : std::string(), lines));
    Panel_MyContainerBelowSource->SetTop(kContainerPanelBase + kContainerLineHeight * lines);
    const bool folder = record && container.IsFolder(record);
    Label_ContainerAllFolderCount->SetCaption(
        std::to_string(folder ? container.GetTotalFolderCount(record) : 0));
    Label_ContainerAllFileCount->SetCaption(
        std::to_string(folder ? container.GetTotalFileCount(record) : 0));
    Label_ContainerRealSize->SetCaption(
        SizeText(record ? static_cast<std::int64_t>(container.GetTotalSize(record)) : 0));
    Label_ContainerAlocSize->SetCaption(
        SizeText(record ? static_cast<std::int64_t>(container.GetAllocatedSize(record)) : 0));
    Label_ContainerDateTime->SetCaption(record ? DateTimeText(container.GetTime(record)) : "");
    CheckBox_Archive->SetChecked(attributes & 0x20);
    CheckBox_Hidden->SetChecked(attributes & 0x02);
    CheckBox_ReadOnly->SetChecked(attributes & 0x01);
    CheckBox_System->SetChecked(attributes & 0x04);
    CheckBox_ContainerCreate->SetChecked(attributes & 0x10000);
    PageControl_Property->SetActivePage(TabSheet_Container);
}

void TForm_Property::FillSelectedEntries() {
    MIRROR_CONTAINER& container = MainContainer;
    std::uint64_t folders = 0, files = 0, real = 0, alloc = 0;
    vcl::TListView* list = window_->ListView;
    for (vcl::TListItem* item = list->GetNextItem(nullptr, vcl::sdAll, {vcl::isSelected}); item;
         item = list->GetNextItem(item, vcl::sdAll, {vcl::isSelected})) {
        auto* record = static_cast<MIRROR_CONTAINER::Record*>(item->GetData());
        if (!record) continue;
        if (container.IsFolder(record)) {
            folders += 1 + container.GetTotalFolderCount(record);
            files += container.GetTotalFileCount(record);
        } else {
            files += 1;
        }
        real += container.GetTotalSize(record);
        alloc += container.GetAllocatedSize(record);
    }
    vcl::TTreeNode* node = window_->TreeView->GetSelected();
    auto* parent = node ? static_cast<MIRROR_CONTAINER::Record*>(node->GetData()) : nullptr;
    std::string path;
    if (parent && window_->MyContainerNode) {
        path = window_->MyContainerNode->GetText();
        const std::string inside = container.GetEntryPath(parent);
        if (inside != "\\") path += inside;
    }
    Label_ContainerParentPath->SetCaption(path);
    Label_ContainerTotalSelectedFolders->SetCaption(std::to_string(folders));
    Label_ContainerTotalSelectedFiles->SetCaption(std::to_string(files));
    Label_ContainerTotalSelectedRealSize->SetCaption(SizeText(static_cast<std::int64_t>(real)));
    Label_ContainerTotalSelectedAlocSize->SetCaption(SizeText(static_cast<std::int64_t>(alloc)));
    PageControl_Property->SetActivePage(TabSheet_MultiContainerFile);
}

bool TForm_Property::FillCdhServers() {
    CDH_NET_CLASS net;
    Label_SvrCount->SetCaption(std::to_string(net.GetSeenServerCount()));
    vcl::TListItems* rows = ListView_SvrList->Items();
    rows->BeginUpdate();
    rows->Clear();
    for (int i = 0; i < net.GetServerCount(); ++i) {
        TCdhSvr* server = net.GetServer(i);
        if (!server || !net.IsServerSeen(server)) continue;
        vcl::TListItem* row = rows->Add();
        row->SetCaption(net.GetServerName(server));
        row->SetData(server);
        row->SubItems()->Add(net.GetIpText(server));
        row->SubItems()->Add(net.GetCommentText(server));
    }
    ListView_SvrList->AlphaSort();
    rows->EndUpdate();
    PageControl_Property->SetActivePage(TabSheet_NasNetwork);
    return true;
}

bool TForm_Property::FillCdhServer(int kind, void* data) {
    auto* server = static_cast<TCdhSvr*>(data);
    if (!server) return false;
    CDH_NET_CLASS net;
    Label_ServerName->SetCaption(net.GetServerName(server));
    CheckBox_MsNet->SetChecked(net.HasMsNetwork(server));
    CheckBox_NwNet->SetChecked(net.HasNetwareNetwork(server));
    CheckBox_MacNet->SetChecked(net.HasMacNetwork(server));
    CheckBox_NfsNet->SetChecked(net.HasNfsNetwork(server));
    CheckBox_Dhcp->SetChecked(net.HasDhcp(server));
    CheckBox_Bootp->SetChecked(net.HasBootp(server));
    CheckBox_Rarp->SetChecked(net.HasRarp(server));
    Label_Ip->SetCaption(net.GetIpText(server));
    Label_Mask->SetCaption(net.GetMaskText(server));
    Label_Gateway->SetCaption(net.GetGatewayText(server));
    Label_Mac->SetCaption(net.GetMacText(server));
    Label_Wins->SetCaption("");
    Label_SmbName->SetCaption(net.GetServerName(server));
    Label_SmbDomain->SetCaption(net.GetWorkgroupText(server));
    Label_FwVer->SetCaption(net.GetFirmwareText(server));
    if (window_ && window_->CdhRootNode) {
        vcl::TTreeNode* node = window_->FindChildNodeByData(window_->CdhRootNode, server);
        if (node && node->Count() == 0 && node->GetImageIndex() == 15 &&
            window_->RefreshCdhServerNode(server) < 0)
            return false;
    }
    const bool known = kind == 15;
    Label_NcpName->SetCaption(known ? net.GetNetwareNameText(server) : "");
    Label_AfpName->SetCaption(known ? net.GetMacintoshNameText(server) : "");
    Label_CpuSpeed->SetCaption(known ? net.GetCpuText(server) : "");
    Label_LanSpeed->SetCaption(known ? net.GetLanSpeedText(server) : "");
    Label_RamSize->SetCaption(known ? net.GetMemorySizeText(server) : "");
    Label_SvrDateTime->SetCaption(known ? net.GetDateText(server) : "");
    Label_CdromCount->SetCaption(known ? std::to_string(net.GetSlotCountA(server)) : "");
    Label_HdCount->SetCaption(known ? std::to_string(net.GetSlotCountB(server)) : "");
    Label_TdCount->SetCaption(known ? std::to_string(net.GetVolumeTableCount(server)) : "");
    Label_RaidCount->SetCaption(known ? std::to_string(net.GetRaidVolumeCount(server)) : "");
    PageControl_Property->SetActivePage(TabSheet_Server);
    return true;
}

bool TForm_Property::FillCdhDevice(void* data, int slot) {
    auto* server = static_cast<TCdhSvr*>(data);
    if (!server || !window_ || slot < 0 || slot > CDH_NET_CLASS::kLastRaidSlot) return false;
    const bool ready = window_->FormReady;
    window_->FormReady = false;
    const int refreshed = window_->RefreshCdhServerNode(server);
    window_->FormReady = ready;
    if (refreshed <= 0) {
        vcl::Application->MessageBox(GetMessageText(259), GetMessageText(9),
                                     vcl::MB_OK | vcl::MB_ICONSTOP);
        return false;
    }
    CDH_NET_CLASS net;
    const bool raid = net.IsRaidVolume(server, slot);
    if (!net.SlotExists(server, slot) && !net.SlotIsVolumeMember(server, slot) && !raid)
        return false;
    Label_CdhDeviceName->SetCaption(net.GetSlotLabel(server, slot));
    Label_CdhDeviceType->SetCaption(CdhDeviceTypeText(net, server, slot));
    Label_CdhDeviceTotalSpace->SetCaption(net.GetSlotCapacityText(server, slot));
    Label_CdhDeviceFreeSpace->SetCaption(net.GetSlotFreeText(server, slot));
    Label_CdhDeviceVolumeCount->SetCaption(std::to_string(net.GetSlotEntryCount(server, slot)));
    Label_CdhDeviceComment->SetCaption(net.GetSlotStateText(server, slot));
    PageControl_Property->SetActivePage(TabSheet_CdhDevice);
    if (net.SlotExists(server, slot))
        Label_DeviceStatus->SetCaption(net.GetVolumeStateText(server, slot));
    Label_CdhDeviceModel->SetCaption(net.GetSlotStatusText(server, slot));
    if (slot >= CDH_NET_CLASS::kFirstRaidSlot && net.GetSlotMode(server, slot) != 1) {
        Label_DeviceStatus->SetCaption(net.GetVolumeStateText(server, slot));
        Label_DeviceLocation->SetCaption(net.GetVolumeMemberText(server, slot));
        Label_FaultDrive->SetCaption(net.GetVolumeSlotsText(server, slot));
        Label_RaidLevel->SetCaption(std::to_string(net.GetRaidVolumeKind(server, slot)));
        Panel_Raid->SetVisible(true);
        Panel_TapeInfo->SetVisible(false);
        Panel_TapeSchedule->SetVisible(false);
        return true;
    }
    if (!net.SlotIsVolumeMember(server, slot)) {
        Panel_Raid->SetVisible(false);
        Panel_TapeInfo->SetVisible(false);
        Panel_TapeSchedule->SetVisible(false);
        return true;
    }
    Label_DeviceStatus->SetCaption(net.GetTapeStateText(server, slot));
    if (net.LoadTapeCatalog(server, slot) == 0 && net.GetTapeCatalogState(server, slot) == 0) {
        if (auto text = ScheduleText(net.GetTapeField0(server), net.GetTapeField1(server),
                                     net.GetTapeField2(server), net.GetTapeField3(server),
                                     net.GetTapeField4(server)))
            Label_TapeScheduleTime->SetCaption(*text);
        const std::uint32_t backup = net.GetTapeField6(server);
        Label_TapeBackupType->SetCaption(backup == 1   ? GetMessageText(263)
                                         : backup == 2 ? GetMessageText(264)
                                                       : "");
        Label_TapeBackupLabel->SetCaption(net.GetTapeLabel(server));
        const std::uint32_t count = net.GetTapeField5(server);
        Label_TapeBackupVolumeCount->SetCaption(std::to_string(count));
        ListBox_TapeBackupVolumes->Items()->BeginUpdate();
        ListBox_TapeBackupVolumes->Clear();
        for (std::uint32_t i = 0; i < count && i < 4096; ++i)
            ListBox_TapeBackupVolumes->Items()->Add(
                net.GetTapeEntryName(server, static_cast<int>(i)));
        ListBox_TapeBackupVolumes->Items()->EndUpdate();
        Panel_TapeSchedule->SetVisible(true);
    } else {
        Panel_TapeSchedule->SetVisible(false);
    }
    if (net.IsTapeReady(server, slot)) {
        net.RefreshSlot(server, slot);
        Label_CurrentTapeLabel->SetCaption(net.GetTapeName(server));
        Label_BackupVolumeCount->SetCaption(std::to_string(net.GetBackupSetCount(server)));
        Label_OnTapeVolumeCount->SetCaption(std::to_string(net.GetTapeCounter2555(server)));
        Panel_TapeInfo->SetVisible(true);
    } else {
        Panel_TapeInfo->SetVisible(false);
    }
    Panel_Raid->SetVisible(false);
    return true;
}

void TForm_Property::FillShareFolder(void* data) {
    auto* server = static_cast<TCdhSvr*>(data);
    vcl::TTreeNode* node = window_ ? window_->TreeView->GetSelected() : nullptr;
    if (node && node->GetData() == data && node->Parent() && node->Parent()->GetData() == data)
        Label_ShareCount->SetCaption(std::to_string(window_->ListView->Items()->Count()));
    else
        Label_ShareCount->SetCaption(
            std::to_string(server ? CDH_NET_CLASS().GetGroupCount(server) : 0));
    PageControl_Property->SetActivePage(TabSheet_ShareFolder);
}

// ---- The main window's entry

void TForm_Central::ShowPropertyDialog(int Kind, void* Data, void* ParentData) {
    if (Kind == nkMyComputer) {
        // The desktop has no properties sheet of its own for the optical drives: they are
        // listed, each with its caption.
        std::string text;
        for (int i = 0; MyComputerNode && i < MyComputerNode->Count(); ++i)
            text += MyComputerNode->Item(i)->GetText() + "\n";
        if (text.empty()) text = std::to_string(0) + GetMessageText(137);
        vcl::Application->MessageBox(text, GetMessageText(123),
                                     vcl::MB_OK | vcl::MB_ICONINFORMATION);
        return;
    }
    if (!Form_Property) {
        try {
            vcl::MakeForm<TForm_Property>(vcl::Application);
        } catch (const std::exception&) {
            return;
        }
        if (!Form_Property) return;
    }
    Form_Property->SetMainWindow(this);
    if (!Form_Property->FillPages(Kind, Data, ParentData)) return;
    Form_Property->Repaint();
    Form_Property->ShowModal();
}
