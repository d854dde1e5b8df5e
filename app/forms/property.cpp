// The property sheet: a page control without tabs over OK and Cancel. Each page has a framed
// title across the top, then rows of a caption on the left and a value on the right.
#include "form_property.h"

#include "msgbox.h"

using namespace vcl;

namespace {

constexpr int kCaptionLeft = 24, kCaptionWidth = 170, kValueLeft = 200, kValueWidth = 250;
constexpr int kRowHeight = 22;

TLabel* MakeLabel(TForm_Property* form, TWinControl* parent, const char* name, int left, int top,
                  int width, int captionId = 0) {
    TLabel* label = Make<TLabel>(form, parent, name);
    label->SetAutoSize(false);
    label->SetBounds(left, top, width, 18);
    if (captionId) label->SetCaption(GetMessageText(captionId));
    return label;
}

TTabSheet* MakePage(TForm_Property* form, TPageControl* pages, const char* name, int captionId) {
    TTabSheet* page = Make<TTabSheet>(form, pages, name);
    page->SetPageControl(pages);
    page->SetTabVisible(false);
    page->SetCaption(GetMessageText(captionId));
    return page;
}

// The framed title of a page.
TLabel* MakeTitle(TForm_Property* form, TTabSheet* page, const char* name, int captionId = 0) {
    TBevel* frame = Make<TBevel>(form, page, (std::string(name) + "_Frame").c_str());
    frame->SetBounds(8, 8, 452, 34);
    TLabel* title = MakeLabel(form, page, name, 18, 16, 432, captionId);
    title->Font()->SetStyle({fsBold});
    return title;
}

// A caption and its value on one row; the caption label is returned through caption.
TLabel* MakeRow(TForm_Property* form, TWinControl* parent, const char* captionName, int captionId,
                const char* valueName, int top, TLabel** caption = nullptr,
                int left = kCaptionLeft) {
    TLabel* c = MakeLabel(form, parent, captionName, left, top, kCaptionWidth, captionId);
    if (caption) *caption = c;
    return MakeLabel(form, parent, valueName, left + kValueLeft - kCaptionLeft, top, kValueWidth);
}

TCheckBox* MakeBox(TForm_Property* form, TWinControl* parent, const char* name, int left, int top,
                   int width, const std::string& caption = {}) {
    TCheckBox* box = Make<TCheckBox>(form, parent, name);
    box->SetBounds(left, top, width, 18);
    box->SetEnabled(false);
    if (!caption.empty()) box->SetCaption(caption);
    return box;
}

} // namespace

TForm_Property::TForm_Property(TComponent* Owner) : TForm(Owner) {
    Name = "Form_Property";
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetClientWidth(482);
    SetClientHeight(436);
    SetShowHint(true);

    PageControl_Property = Make<TPageControl>(this, this, "PageControl_Property");
    PageControl_Property->SetBounds(4, 4, 474, 388);
    Button_Ok = Make<TButton>(this, this, "Button_Ok");
    Button_Ok->SetBounds(296, 400, 84, 28);
    Button_Ok->SetModalResult(mrOk);
    Button_Ok->SetDefault(true);
    Button_Cancel = Make<TButton>(this, this, "Button_Cancel");
    Button_Cancel->SetBounds(388, 400, 84, 28);
    Button_Cancel->SetModalResult(mrCancel);
    Button_Cancel->SetCancel(true);
    TPageControl* pages = PageControl_Property;

    // The local drive.
    TabSheet_Cdrom = MakePage(this, pages, "TabSheet_Cdrom", 684);
    Label_CdromName = MakeTitle(this, TabSheet_Cdrom, "Label_CdromName");
    Label_CdromType =
        MakeRow(this, TabSheet_Cdrom, "Label15", 600, "Label_CdromType", 60, &Label15);
    Label_CdromProductName =
        MakeRow(this, TabSheet_Cdrom, "Label16", 603, "Label_CdromProductName", 82, &Label16);
    Label_CdromBus = MakeRow(this, TabSheet_Cdrom, "Label17", 604, "Label_CdromBus", 104, &Label17);

    // The disc and its tracks.
    TabSheet_Disc = MakePage(this, pages, "TabSheet_Disc", 689);
    Label_DiscVolume = MakeTitle(this, TabSheet_Disc, "Label_DiscVolume");
    Label_DiscType = MakeRow(this, TabSheet_Disc, "Label18", 600, "Label_DiscType", 52, &Label18);
    Label_DiscDrive = MakeRow(this, TabSheet_Disc, "Label19", 605, "Label_DiscDrive", 74, &Label19);
    Label_DiscSize = MakeRow(this, TabSheet_Disc, "Label20", 606, "Label_DiscSize", 96, &Label20);
    Label_DiscFileSys =
        MakeRow(this, TabSheet_Disc, "Label14", 602, "Label_DiscFileSys", 118, &Label14);
    Label_DiscSessionCount =
        MakeRow(this, TabSheet_Disc, "Label21", 607, "Label_DiscSessionCount", 140, &Label21);
    Label_DiscTrackCount =
        MakeRow(this, TabSheet_Disc, "Label22", 608, "Label_DiscTrackCount", 162, &Label22);
    ListView_DiscTrack = Make<TListView>(this, TabSheet_Disc, "ListView_DiscTrack");
    ListView_DiscTrack->SetBounds(12, 190, 444, 160);
    ListView_DiscTrack->SetViewStyle(vsReport);
    ListView_DiscTrack->SetReadOnly(true);
    ListView_DiscTrack->SetRowSelect(true);
    for (auto [id, width, right] : {std::tuple{800, 100, false}, std::tuple{801, 120, false},
                                    std::tuple{802, 90, false}, std::tuple{803, 100, true}}) {
        TListColumn* column = ListView_DiscTrack->Columns()->Add();
        column->SetCaption(GetMessageText(id));
        column->SetWidth(width);
        if (right) column->SetAlignment(taRightJustify);
    }

    // One container entry.
    TabSheet_Container = MakePage(this, pages, "TabSheet_Container", 685);
    Label_ContainerItemName = MakeTitle(this, TabSheet_Container, "Label_ContainerItemName");
    Label1_ContainerType =
        MakeRow(this, TabSheet_Container, "Label13", 600, "Label1_ContainerType", 48, &Label13);
    Label1 = MakeLabel(this, TabSheet_Container, "Label1", kCaptionLeft, 66, kCaptionWidth, 599);
    Label_ContainerSourceName =
        MakeLabel(this, TabSheet_Container, "Label_ContainerSourceName", kValueLeft, 66, 311);
    Label_ContainerSourceName->SetWordWrap(true);
    Label_ContainerSourceName->SetHeight(15 * 9);
    Panel_MyContainerBelowSource =
        Make<TPanel>(this, TabSheet_Container, "Panel_MyContainerBelowSource");
    Panel_MyContainerBelowSource->SetBevelOuter(bvNone);
    Panel_MyContainerBelowSource->SetBounds(0, 80, 466, 200);
    TPanel* below = Panel_MyContainerBelowSource;
    Label_ContainerAllFolderCount =
        MakeRow(this, below, "Label3", 631, "Label_ContainerAllFolderCount", 4, &Label3);
    Label_ContainerAllFileCount =
        MakeRow(this, below, "Label4", 632, "Label_ContainerAllFileCount", 26, &Label4);
    Label_ContainerRealSize =
        MakeRow(this, below, "Label5", 815, "Label_ContainerRealSize", 48, &Label5);
    Label_ContainerAlocSize =
        MakeRow(this, below, "Label6", 633, "Label_ContainerAlocSize", 70, &Label6);
    Label_ContainerDateTime =
        MakeRow(this, below, "Label7", 634, "Label_ContainerDateTime", 92, &Label7);
    Label2 = MakeLabel(this, below, "Label2", kCaptionLeft, 118, kCaptionWidth, 630);
    struct Attribute {
        TCheckBox** box;
        const char* boxName;
        TLabel** label;
        const char* labelName;
        int id, left, top;
    };
    const Attribute attributes[] = {
        {&CheckBox_ReadOnly, "CheckBox_ReadOnly", &Label8, "Label8", 635, 200, 118},
        {&CheckBox_Archive, "CheckBox_Archive", &Label9, "Label9", 636, 330, 118},
        {&CheckBox_ContainerCreate, "CheckBox_ContainerCreate", &Label12, "Label12", 638, 200, 140},
        {&CheckBox_Hidden, "CheckBox_Hidden", &Label11, "Label11", 816, 330, 140},
        {&CheckBox_System, "CheckBox_System", &Label10, "Label10", 637, 200, 162},
    };
    for (const Attribute& a : attributes) {
        *a.box = MakeBox(this, below, a.boxName, a.left, a.top, 18);
        *a.label = MakeLabel(this, below, a.labelName, a.left + 20, a.top, 110, a.id);
    }

    // Several container entries.
    TabSheet_MultiContainerFile = MakePage(this, pages, "TabSheet_MultiContainerFile", 688);
    TabSheet_MultiContainerFile->SetCaption(GetMessageText(688));
    Label60 = MakeTitle(this, TabSheet_MultiContainerFile, "Label60", 648);
    Label60->SetShowAccelChar(false);
    TTabSheet* multi = TabSheet_MultiContainerFile;
    Label_ContainerParentPath =
        MakeRow(this, multi, "Label61", 605, "Label_ContainerParentPath", 52, &Label61);
    Label_ContainerTotalSelectedFolders =
        MakeRow(this, multi, "Label62", 631, "Label_ContainerTotalSelectedFolders", 74, &Label62);
    Label_ContainerTotalSelectedFiles =
        MakeRow(this, multi, "Label63", 649, "Label_ContainerTotalSelectedFiles", 96, &Label63);
    Label_ContainerTotalSelectedRealSize =
        MakeRow(this, multi, "Label64", 650, "Label_ContainerTotalSelectedRealSize", 118, &Label64);
    Label_ContainerTotalSelectedAlocSize =
        MakeRow(this, multi, "Label65", 633, "Label_ContainerTotalSelectedAlocSize", 140, &Label65);

    // The CD servers.
    TabSheet_NasNetwork = MakePage(this, pages, "TabSheet_NasNetwork", 612);
    Label27 = MakeTitle(this, TabSheet_NasNetwork, "Label27", 612);
    Label_SvrCount =
        MakeRow(this, TabSheet_NasNetwork, "Label28", 613, "Label_SvrCount", 52, &Label28);
    ListView_SvrList = Make<TListView>(this, TabSheet_NasNetwork, "ListView_SvrList");
    ListView_SvrList->SetBounds(12, 80, 444, 270);
    ListView_SvrList->SetViewStyle(vsReport);
    ListView_SvrList->SetReadOnly(true);
    ListView_SvrList->SetRowSelect(true);
    for (auto [id, width] : {std::pair{126, 140}, std::pair{128, 140}, std::pair{118, 150}}) {
        TListColumn* column = ListView_SvrList->Columns()->Add();
        column->SetCaption(GetMessageText(id));
        column->SetWidth(width);
    }

    // One CD server: services, names, addresses, hardware and system, in two columns.
    TabSheet_Server = MakePage(this, pages, "TabSheet_Server", 690);
    Label_ServerName = MakeTitle(this, TabSheet_Server, "Label_ServerName");
    TTabSheet* server = TabSheet_Server;
    CheckBox_MsNet = MakeBox(this, server, "CheckBox_MsNet", 12, 48, 110, GetMessageText(626));
    CheckBox_NwNet = MakeBox(this, server, "CheckBox_NwNet", 124, 48, 110, GetMessageText(627));
    CheckBox_MacNet = MakeBox(this, server, "CheckBox_MacNet", 236, 48, 110, GetMessageText(628));
    CheckBox_NfsNet = MakeBox(this, server, "CheckBox_NfsNet", 348, 48, 110, GetMessageText(641));
    struct Value {
        TLabel** value;
        const char* caption;
        int id;
        const char* name;
        int left, top;
    };
    const Value values[] = {
        {&Label_SmbName, "Label29", 614, "Label_SmbName", 12, 72},
        {&Label_SmbDomain, "Label32", 617, "Label_SmbDomain", 12, 92},
        {&Label_NcpName, "Label30", 615, "Label_NcpName", 12, 112},
        {&Label_AfpName, "Label31", 616, "Label_AfpName", 12, 132},
        {&Label_Ip, "Label33", 618, "Label_Ip", 12, 160},
        {&Label_Mask, "Label34", 619, "Label_Mask", 12, 180},
        {&Label_Gateway, "Label35", 620, "Label_Gateway", 12, 200},
        {&Label_Wins, "Label44", 625, "Label_Wins", 12, 220},
        {&Label_CpuSpeed, "Label36", 621, "Label_CpuSpeed", 12, 250},
        {&Label_RamSize, "Label49", 629, "Label_RamSize", 12, 270},
        {&Label_Mac, "Label43", 624, "Label_Mac", 12, 290},
        {&Label_CdromCount, "Label41", 622, "Label_CdromCount", 240, 250},
        {&Label_HdCount, "Label42", 623, "Label_HdCount", 240, 270},
        {&Label_TdCount, "Label66", 651, "Label_TdCount", 240, 290},
        {&Label_RaidCount, "Label67", 0, "Label_RaidCount", 240, 310},
        {&Label_LanSpeed, "Label38", 639, "Label_LanSpeed", 12, 320},
        {&Label_FwVer, "Label37", 640, "Label_FwVer", 12, 340},
        {&Label_SvrDateTime, "Label40", 642, "Label_SvrDateTime", 240, 340},
    };
    for (const Value& v : values) {
        TLabel* caption = MakeLabel(this, server, v.caption, v.left, v.top, 120, v.id);
        if (!v.id) caption->SetCaption(GetMessageText(941));
        *v.value = MakeLabel(this, server, v.name, v.left + 122, v.top, v.left == 12 ? 100 : 100);
        if (v.value == &Label_Wins) {
            caption->SetVisible(false);
            Label_Wins->SetVisible(false);
        }
    }
    CheckBox_Dhcp = MakeBox(this, server, "CheckBox_Dhcp", 240, 160, 70, "DHCP");
    CheckBox_Bootp = MakeBox(this, server, "CheckBox_Bootp", 240, 180, 70, "BOOTP");
    CheckBox_Rarp = MakeBox(this, server, "CheckBox_Rarp", 240, 200, 70, "RARP");

    // One device of a CD server, with its tape and RAID panels.
    TabSheet_CdhDevice = MakePage(this, pages, "TabSheet_CdhDevice", 687);
    Label_CdhDeviceName = MakeTitle(this, TabSheet_CdhDevice, "Label_CdhDeviceName");
    TTabSheet* device = TabSheet_CdhDevice;
    Label_CdhDeviceType = MakeRow(this, device, "Label48", 600, "Label_CdhDeviceType", 48);
    Label_CdhDeviceModel = MakeRow(this, device, "Label82", 665, "Label_CdhDeviceModel", 68);
    Label_CdhDeviceTotalSpace =
        MakeRow(this, device, "Label51", 643, "Label_CdhDeviceTotalSpace", 88);
    Label_CdhDeviceFreeSpace =
        MakeRow(this, device, "Label52", 644, "Label_CdhDeviceFreeSpace", 108);
    Label_CdhDeviceVolumeCount = MakeRow(this, device, "c", 818, "Label_CdhDeviceVolumeCount", 128);
    Label_DeviceStatus = MakeRow(this, device, "Label71", 655, "Label_DeviceStatus", 148);
    Label_CdhDeviceComment = MakeRow(this, device, "Label55", 647, "Label_CdhDeviceComment", 168);
    const auto panel = [&](const char* name, int top, int height) {
        TPanel* p = Make<TPanel>(this, device, name);
        p->SetBevelOuter(bvLowered);
        p->SetBounds(8, top, 452, height);
        p->SetVisible(false);
        return p;
    };
    Panel_TapeSchedule = panel("Panel_TapeSchedule", 192, 96);
    MakeLabel(this, Panel_TapeSchedule, "Label73", 8, 4, 200, 657);
    Label_TapeScheduleTime =
        MakeRow(this, Panel_TapeSchedule, "Label68", 652, "Label_TapeScheduleTime", 22, nullptr, 8);
    Label_TapeBackupType =
        MakeRow(this, Panel_TapeSchedule, "Label70", 654, "Label_TapeBackupType", 40, nullptr, 8);
    Label_TapeBackupLabel =
        MakeRow(this, Panel_TapeSchedule, "Label69", 653, "Label_TapeBackupLabel", 58, nullptr, 8);
    Label_TapeBackupVolumeCount = MakeRow(this, Panel_TapeSchedule, "Label72", 656,
                                          "Label_TapeBackupVolumeCount", 76, nullptr, 8);
    ListBox_TapeBackupVolumes =
        Make<TListBox>(this, Panel_TapeSchedule, "ListBox_TapeBackupVolumes");
    ListBox_TapeBackupVolumes->SetBounds(330, 22, 116, 70);
    Panel_Raid = panel("Panel_Raid", 192, 96);
    MakeLabel(this, Panel_Raid, "Label78", 8, 4, 200, 661);
    Label_RaidLevel = MakeRow(this, Panel_Raid, "Label79", 662, "Label_RaidLevel", 22, nullptr, 8);
    Label_DeviceLocation =
        MakeRow(this, Panel_Raid, "Label80", 663, "Label_DeviceLocation", 40, nullptr, 8);
    Label_FaultDrive =
        MakeRow(this, Panel_Raid, "Label81", 664, "Label_FaultDrive", 58, nullptr, 8);
    Panel_TapeInfo = panel("Panel_TapeInfo", 292, 76);
    MakeLabel(this, Panel_TapeInfo, "Label74", 8, 4, 200, 658);
    Label_CurrentTapeLabel =
        MakeRow(this, Panel_TapeInfo, "Label75", 653, "Label_CurrentTapeLabel", 22, nullptr, 8);
    Label_BackupVolumeCount =
        MakeRow(this, Panel_TapeInfo, "Label76", 659, "Label_BackupVolumeCount", 38, nullptr, 8);
    Label_OnTapeVolumeCount =
        MakeRow(this, Panel_TapeInfo, "Label77", 660, "Label_OnTapeVolumeCount", 54, nullptr, 8);

    // A CD server's share folders.
    TabSheet_ShareFolder = MakePage(this, pages, "TabSheet_ShareFolder", 101);
    Label53 = MakeTitle(this, TabSheet_ShareFolder, "Label53", 101);
    Label56 = MakeRow(this, TabSheet_ShareFolder, "Label54", 600, "Label56", 52);
    Label56->SetCaption(GetMessageText(646));
    Label_ShareCount = MakeRow(this, TabSheet_ShareFolder, "Label50", 645, "Label_ShareCount", 74);

    OnCreate = Method(this, &TForm_Property::FormCreate);
    Label_ContainerItemName->OnMouseMove =
        Method(this, &TForm_Property::Label_ContainerItemNameMouseMove);
    Form_Property = this;
}

void TForm_Property::FormCreate(TObject*) {
    SetCaption(GetMessageText(123));
    Button_Ok->SetCaption(GetMessageText(20));
    Button_Cancel->SetCaption(GetMessageText(512));
}
