// TForm_Property: the read-only property sheet of one item of the main window. A page control
// whose tabs are hidden shows one page: a local drive, the disc in it with its tracks, a
// container entry, several container entries, or (for the CD-server branch) the CD-server list,
// one CD server, one of its devices or its share folders. OK and Cancel only close it.
#pragma once

#include "vcl/com_controls.h"
#include "vcl/ext_controls.h"
#include "vcl/form.h"
#include "vcl/list_box.h"
#include "vcl/list_view.h"
#include "vcl/std_controls.h"

#include <cstdint>
#include <optional>
#include <string>

class TForm_Central;

class TForm_Property : public vcl::TForm {
public:
    // Makes the components (the form's description, app/forms/property.cpp).
    explicit TForm_Property(vcl::TComponent* Owner);
    ~TForm_Property() override;

    vcl::TPageControl* PageControl_Property = nullptr;
    vcl::TButton* Button_Ok = nullptr;
    vcl::TButton* Button_Cancel = nullptr;

    // Local drive.
    vcl::TTabSheet* TabSheet_Cdrom = nullptr;
    vcl::TLabel *Label_CdromName = nullptr, *Label15 = nullptr, *Label_CdromType = nullptr,
                *Label16 = nullptr, *Label_CdromProductName = nullptr, *Label17 = nullptr,
                *Label_CdromBus = nullptr;
    // Disc.
    vcl::TTabSheet* TabSheet_Disc = nullptr;
    vcl::TLabel *Label_DiscVolume = nullptr, *Label18 = nullptr, *Label_DiscType = nullptr,
                *Label19 = nullptr, *Label_DiscDrive = nullptr, *Label20 = nullptr,
                *Label_DiscSize = nullptr, *Label14 = nullptr, *Label_DiscFileSys = nullptr,
                *Label21 = nullptr, *Label_DiscSessionCount = nullptr, *Label22 = nullptr,
                *Label_DiscTrackCount = nullptr;
    vcl::TListView* ListView_DiscTrack = nullptr;
    // One container entry.
    vcl::TTabSheet* TabSheet_Container = nullptr;
    vcl::TLabel *Label_ContainerItemName = nullptr, *Label13 = nullptr,
                *Label1_ContainerType = nullptr, *Label1 = nullptr,
                *Label_ContainerSourceName = nullptr;
    vcl::TPanel* Panel_MyContainerBelowSource = nullptr;
    vcl::TLabel *Label3 = nullptr, *Label_ContainerAllFolderCount = nullptr, *Label4 = nullptr,
                *Label_ContainerAllFileCount = nullptr, *Label5 = nullptr,
                *Label_ContainerRealSize = nullptr, *Label6 = nullptr,
                *Label_ContainerAlocSize = nullptr, *Label7 = nullptr,
                *Label_ContainerDateTime = nullptr, *Label2 = nullptr;
    vcl::TCheckBox *CheckBox_ReadOnly = nullptr, *CheckBox_Archive = nullptr,
                   *CheckBox_ContainerCreate = nullptr, *CheckBox_Hidden = nullptr,
                   *CheckBox_System = nullptr;
    vcl::TLabel *Label8 = nullptr, *Label9 = nullptr, *Label12 = nullptr, *Label11 = nullptr,
                *Label10 = nullptr;
    // Several container entries.
    vcl::TTabSheet* TabSheet_MultiContainerFile = nullptr;
    vcl::TLabel *Label60 = nullptr, *Label61 = nullptr, *Label_ContainerParentPath = nullptr,
                *Label62 = nullptr, *Label_ContainerTotalSelectedFolders = nullptr,
                *Label63 = nullptr, *Label_ContainerTotalSelectedFiles = nullptr,
                *Label64 = nullptr, *Label_ContainerTotalSelectedRealSize = nullptr,
                *Label65 = nullptr, *Label_ContainerTotalSelectedAlocSize = nullptr;
    // CD-server list.
    vcl::TTabSheet* TabSheet_NasNetwork = nullptr;
    vcl::TLabel *Label27 = nullptr, *Label28 = nullptr, *Label_SvrCount = nullptr;
    vcl::TListView* ListView_SvrList = nullptr;
    // One CD server.
    vcl::TTabSheet* TabSheet_Server = nullptr;
    vcl::TLabel* Label_ServerName = nullptr;
    vcl::TCheckBox *CheckBox_MsNet = nullptr, *CheckBox_NwNet = nullptr, *CheckBox_MacNet = nullptr,
                   *CheckBox_NfsNet = nullptr, *CheckBox_Dhcp = nullptr, *CheckBox_Bootp = nullptr,
                   *CheckBox_Rarp = nullptr;
    vcl::TLabel *Label_SmbName = nullptr, *Label_SmbDomain = nullptr, *Label_NcpName = nullptr,
                *Label_AfpName = nullptr, *Label_Ip = nullptr, *Label_Mask = nullptr,
                *Label_Gateway = nullptr, *Label_Wins = nullptr, *Label_CpuSpeed = nullptr,
                *Label_RamSize = nullptr, *Label_Mac = nullptr, *Label_CdromCount = nullptr,
                *Label_HdCount = nullptr, *Label_TdCount = nullptr, *Label_RaidCount = nullptr,
                *Label_LanSpeed = nullptr, *Label_FwVer = nullptr, *Label_SvrDateTime = nullptr;
    // One device of a CD server.
    vcl::TTabSheet* TabSheet_CdhDevice = nullptr;
    vcl::TLabel *Label_CdhDeviceName = nullptr, *Label_CdhDeviceType = nullptr,
                *Label_CdhDeviceModel = nullptr, *Label_CdhDeviceTotalSpace = nullptr,
                *Label_CdhDeviceFreeSpace = nullptr, *Label_CdhDeviceVolumeCount = nullptr,
                *Label_DeviceStatus = nullptr, *Label_CdhDeviceComment = nullptr;
    vcl::TPanel *Panel_TapeSchedule = nullptr, *Panel_TapeInfo = nullptr, *Panel_Raid = nullptr;
    vcl::TLabel *Label_TapeScheduleTime = nullptr, *Label_TapeBackupType = nullptr,
                *Label_TapeBackupLabel = nullptr, *Label_TapeBackupVolumeCount = nullptr,
                *Label_CurrentTapeLabel = nullptr, *Label_BackupVolumeCount = nullptr,
                *Label_OnTapeVolumeCount = nullptr, *Label_RaidLevel = nullptr,
                *Label_DeviceLocation = nullptr, *Label_FaultDrive = nullptr;
    vcl::TListBox* ListBox_TapeBackupVolumes = nullptr;
    // A CD server's share folders.
    vcl::TTabSheet* TabSheet_ShareFolder = nullptr;
    vcl::TLabel *Label53 = nullptr, *Label56 = nullptr, *Label_ShareCount = nullptr;

    void SetMainWindow(TForm_Central* window) { window_ = window; }
    void FormCreate(vcl::TObject* Sender);
    void Label_ContainerItemNameMouseMove(vcl::TObject* Sender, vcl::TShiftState Shift, int X,
                                          int Y);
    // Fills and activates the page of a kind; false when there is nothing to show (the dialog is
    // not shown then).
    bool FillPages(int Kind, void* Data, void* ParentData);

    // The source text with a line feed after every 33rd character (at most 256 characters), and
    // its line count.
    static std::string WrapSourceText(const std::string& source, int& lines);
    // "32.5 MB ( 34,078,720 bytes )".
    static std::string SizeText(std::int64_t bytes);
    // A container time as "yyyy/mm/dd AM hh:nn:ss" in local time (12-hour clock).
    static std::string DateTimeText(std::uint64_t fileTime);
    // A tape's backup schedule: kind 0 daily, 1 weekly, 2 monthly; nothing for another kind or
    // for an hour, minute, weekday or day outside its range.
    static std::optional<std::string> ScheduleText(std::uint32_t kind, std::uint32_t minute,
                                                   std::uint32_t hour, std::uint32_t weekday,
                                                   std::uint32_t day);

private:
    void FillDrive(char letter);
    void FillDisc(char letter);
    void FillContainerEntry(void* record);
    void FillSelectedEntries();
    bool FillCdhServers();
    bool FillCdhServer(int kind, void* server);
    bool FillCdhDevice(void* server, int slot);
    void FillShareFolder(void* server);

    TForm_Central* window_ = nullptr;
};

extern TForm_Property* Form_Property;
