// The wizard's server quick setup pages (server selection, network environment, IP addresses,
// date and time, passwords, server names), the hard-disk initialisation page and the three pages
// of the CD-server image conversion. Called by the wizard's description once the tab sheets exist.
#include "fmwizard.h"

#include "msgbox.h"
#include "wizard_form_parts.h"

using namespace vcl;

using namespace wizard_form;

void TFmWizard::CreateSetupSheets() {
    // Page 8: server selection.
    TTabSheet* sheet = Sheets[kPageServerDetail];
    Label54 = PlaceTitle(this, sheet, "Label54", 16, 4, 769);
    Label4 = Label_ServerDetail = Place<TLabel>(this, sheet, "Label4", 16, 24, 560, 16, 730);
    ListView_ServerDetail = PlaceReportList(this, sheet, "ListView_ServerDetail", 8, 46, 577, 256,
                                            {{126, 110},
                                             {127, 90},
                                             {128, 100},
                                             {452, 100},
                                             {453, 100},
                                             {790, 120},
                                             {130, 90},
                                             {129, 70},
                                             {118, 120}});
    BitBtn_RefreshServerDetail =
        Place<TButton>(this, sheet, "BitBtn_RefreshServerDetail", 485, 308, 100, 27, 694);

    // Page 9: network environment.
    sheet = Sheets[kPageNetworkEnvironment];
    Label22 = PlaceTitle(this, sheet, "Label22", 16, 4, 747);
    Label23 = Place<TLabel>(this, sheet, "Label23", 16, 24, 560, 16, 748);
    GroupBox_Network = Place<TGroupBox>(this, sheet, "GroupBox_Network", 8, 46, 577, 150);
    CheckBox_MsNet =
        Place<TCheckBox>(this, GroupBox_Network, "CheckBox_MsNet", 16, 24, 300, 20, 626);
    CheckBox_NwNet =
        Place<TCheckBox>(this, GroupBox_Network, "CheckBox_NwNet", 16, 54, 300, 20, 627);
    CheckBox_MacNet =
        Place<TCheckBox>(this, GroupBox_Network, "CheckBox_MacNet", 16, 84, 300, 20, 628);
    CheckBox_NfsNet =
        Place<TCheckBox>(this, GroupBox_Network, "CheckBox_NfsNet", 16, 114, 300, 20, 641);

    // Page 10: IP addresses.
    sheet = Sheets[kPageIpAddress];
    Label25 = PlaceTitle(this, sheet, "Label25", 16, 2, 128);
    Label26 = Place<TLabel>(this, sheet, "Label26", 16, 20, 560, 16, 750);
    Label_DNICMode = Place<TLabel>(this, sheet, "Label_DNICMode", 16, 46, 170, 16, 839);
    ComboBoxDNICMode = Place<TComboBox>(this, sheet, "ComboBoxDNICMode", 190, 42, 200, 24);
    ComboBoxDNICMode->SetStyle(csDropDownList);
    RadioButton_AutoIp =
        Place<TRadioButton>(this, sheet, "RadioButton_AutoIp", 16, 70, 400, 20, 773);
    CheckBox_Dhcp = Place<TCheckBox>(this, sheet, "CheckBox_Dhcp", 40, 92, 90, 20);
    CheckBox_Dhcp->SetCaption("DHCP");
    CheckBox_Bootp = Place<TCheckBox>(this, sheet, "CheckBox_Bootp", 140, 92, 90, 20);
    CheckBox_Bootp->SetCaption("BOOTP");
    CheckBox_Rarp = Place<TCheckBox>(this, sheet, "CheckBox_Rarp", 240, 92, 90, 20);
    CheckBox_Rarp->SetCaption("RARP");
    RadioButton_SpecIp =
        Place<TRadioButton>(this, sheet, "RadioButton_SpecIp", 16, 114, 400, 20, 774);
    Label_IpLabel = Place<TLabel>(this, sheet, "Label_IpLabel", 100, 136, 115, 16, 618);
    Label_MaskLabel = Place<TLabel>(this, sheet, "Label_MaskLabel", 222, 136, 115, 16, 619);
    Label_GatewayLabel = Place<TLabel>(this, sheet, "Label_GatewayLabel", 344, 136, 115, 16, 620);
    Label_WinsLabel = Place<TLabel>(this, sheet, "Label_WinsLabel", 466, 136, 115, 16, 725);
    TGroupBox** groups[] = {&GroupBoxLAN1, &GroupBoxLAN2, &GroupBoxLAN3};
    TEdit** edits[3][4] = {{&Edit_Ip, &Edit_Mask, &Edit_Gateway, &Edit_Wins},
                           {&Edit_Ip2, &Edit_Mask2, &Edit_Gateway2, &Edit_Wins2},
                           {&Edit_Ip3, &Edit_Mask3, &Edit_Gateway3, &Edit_Wins3}};
    static const char* const kGroupNames[] = {"GroupBoxLAN1", "GroupBoxLAN2", "GroupBoxLAN3"};
    static const char* const kEditNames[3][4] = {
        {"Edit_Ip", "Edit_Mask", "Edit_Gateway", "Edit_Wins"},
        {"Edit_Ip2", "Edit_Mask2", "Edit_Gateway2", "Edit_Wins2"},
        {"Edit_Ip3", "Edit_Mask3", "Edit_Gateway3", "Edit_Wins3"}};
    for (int lan = 0; lan < 3; ++lan) {
        TGroupBox* group =
            Place<TGroupBox>(this, sheet, kGroupNames[lan], 8, 154 + 62 * lan, 577, 58);
        group->SetCaption("LAN " + std::to_string(lan + 1));
        *groups[lan] = group;
        for (int k = 0; k < 4; ++k) {
            TEdit* edit = Place<TEdit>(this, group, kEditNames[lan][k], 90 + 122 * k, 22, 115, 24);
            edit->SetMaxLength(15);
            *edits[lan][k] = edit;
        }
        Lan[lan] = {*edits[lan][0], *edits[lan][1], *edits[lan][2], *edits[lan][3]};
    }

    // Page 11: date and time.
    sheet = Sheets[kPageDateTime];
    Label24 = PlaceTitle(this, sheet, "Label24", 16, 4, 749);
    Label39 = Place<TLabel>(this, sheet, "Label39", 16, 24, 560, 16, 761);
    CheckBox_ChangeDateTime =
        Place<TCheckBox>(this, sheet, "CheckBox_ChangeDateTime", 16, 50, 400, 20, 710);
    Label40 = Place<TLabel>(this, sheet, "Label40", 40, 90, 56, 16, 762);
    CSpinEdit_SysYear = MakeSpin(this, sheet, "CSpinEdit_SysYear", 100, 86, 80, 1970, 2037);
    CSpinEdit_SysMonth = MakeSpin(this, sheet, "CSpinEdit_SysMonth", 188, 86, 60, 1, 12);
    CSpinEdit_SysDay = MakeSpin(this, sheet, "CSpinEdit_SysDay", 256, 86, 60, 1, 31);
    Label42 = Place<TLabel>(this, sheet, "Label42", 326, 90, 200, 16, 764);
    Label41 = Place<TLabel>(this, sheet, "Label41", 40, 128, 56, 16, 763);
    CSpinEdit_SysHour = MakeSpin(this, sheet, "CSpinEdit_SysHour", 100, 124, 60, 0, 23);
    CSpinEdit_SysMinute = MakeSpin(this, sheet, "CSpinEdit_SysMinute", 168, 124, 60, 0, 59);
    CSpinEdit_SysSecond = MakeSpin(this, sheet, "CSpinEdit_SysSecond", 236, 124, 60, 0, 59);
    Label43 = Place<TLabel>(this, sheet, "Label43", 306, 128, 220, 16, 765);

    // Page 12: passwords.
    sheet = Sheets[kPagePassword];
    Label30 = PlaceTitle(this, sheet, "Label30", 16, 4, 129);
    Label31 = Place<TLabel>(this, sheet, "Label31", 16, 28, 560, 16, 755);
    CheckBox_ChangeAdminPass =
        Place<TCheckBox>(this, sheet, "CheckBox_ChangeAdminPass", 16, 52, 400, 20, 708);
    Label_AdminPass = Place<TLabel>(this, sheet, "Label_AdminPass", 40, 88, 150, 16, 722);
    Edit_AdminPass = Place<TEdit>(this, sheet, "Edit_AdminPass", 200, 84, 180, 24);
    Label_AdminConfirm = Place<TLabel>(this, sheet, "Label_AdminConfirm", 40, 122, 150, 16, 721);
    Edit_AdminConfirm = Place<TEdit>(this, sheet, "Edit_AdminConfirm", 200, 118, 180, 24);
    for (TEdit* edit : {Edit_AdminPass, Edit_AdminConfirm}) {
        edit->SetPasswordChar('*');
        edit->SetMaxLength(static_cast<int>(kSetupPasswordBytes));
    }

    // Page 13: server names.
    sheet = Sheets[kPageServerName];
    Label44 = PlaceTitle(this, sheet, "Label44", 16, 4, 126);
    Label_SmbName = Place<TLabel>(this, sheet, "Label49", 16, 40, 180, 16, 766);
    Edit_SmbName = Place<TEdit>(this, sheet, "Edit_SmbName", 200, 36, 250, 24);
    Edit_SmbName->SetMaxLength(static_cast<int>(kSetupNameBytes));
    RadioButton_WorkGroupMode =
        Place<TRadioButton>(this, sheet, "RadioButton_WorkGroupMode", 200, 72, 180, 20, 872);
    RadioButton_DomainMode =
        Place<TRadioButton>(this, sheet, "RadioButton_DomainMode", 390, 72, 180, 20, 873);
    Label_SmbDomain = Place<TLabel>(this, sheet, "Label53", 16, 104, 180, 16, 768);
    Edit_SmbDomain = Place<TEdit>(this, sheet, "Edit_SmbDomain", 200, 100, 370, 24);
    Edit_SmbDomain->SetMaxLength(static_cast<int>(kSetupDomainBytes));
    Label_ServerComment = Place<TLabel>(this, sheet, "Label52", 16, 144, 180, 16, 767);
    Edit_ServerComment = Place<TEdit>(this, sheet, "Edit_ServerComment", 200, 140, 370, 24);
    Edit_ServerComment->SetMaxLength(43);

    // Page 14: hard-disk initialisation.
    sheet = Sheets[kPageInitialHdList];
    Label1 = PlaceTitle(this, sheet, "Label1", 16, 4, 729);
    ComboBox_HdInitialServer =
        Place<TComboBox>(this, sheet, "ComboBox_HdInitialServer", 8, 26, 250, 24);
    ComboBox_HdInitialServer->SetStyle(csDropDownList);
    Button_RefreshHdInitialServer =
        Place<TButton>(this, sheet, "Button_RefreshHdInitialServer", 266, 24, 100, 27, 694);
    ListView_HdDetail =
        PlaceReportList(this, sheet, "ListView_HdDetail", 8, 56, 577, 124,
                        {{795, 110}, {796, 80}, {131, 60}, {797, 100}, {798, 100}, {135, 110}});
    ListView_HdDetail->SetMultiSelect(true);
    Button_MirrorPartition =
        Place<TButton>(this, sheet, "Button_MirrorPartition", 8, 188, 140, 27, 695);
    Button_FilePartition =
        Place<TButton>(this, sheet, "Button_FilePartition", 8, 220, 140, 27, 703);
    Button_NoInitPartition =
        Place<TButton>(this, sheet, "Button_NoInitPartition", 8, 252, 140, 27, 702);
    Button_RemoveHdInitial =
        Place<TButton>(this, sheet, "Button_RemoveHdInitial", 8, 284, 140, 27, 696);
    Label27 = Place<TLabel>(this, sheet, "Label27", 156, 186, 420, 16, 751);
    ListView_HdInitial = PlaceReportList(this, sheet, "ListView_HdInitial", 156, 204, 429, 130,
                                         {{690, 150}, {795, 130}, {796, 120}});
    ListView_HdInitial->SetMultiSelect(true);

    // Page 17: the CD server's image folder.
    sheet = Sheets[kPageCdhFolder];
    Label_SelCDHImgFolder =
        Place<TLabel>(this, sheet, "Label_SelCDHImgFolder", 16, 16, 560, 16, 892);
    Label_SelCDHImgFolder->Font()->SetStyle({fsBold});
    Label_Prompt_CDHFolder = PlaceWrapped(this, sheet, "Label_Prompt_CDHFolder", 16, 44, 560, 893);
    Label57 = Place<TLabel>(this, sheet, "Label57", 16, 96, 460, 16, 891);
    Edit_CDHImgFolder = Place<TEdit>(this, sheet, "Edit_CDHImgFolder", 16, 114, 460, 24);
    Edit_CDHImgFolder->SetText("");
    Btn_BrowseCDHImgFolder =
        Place<TButton>(this, sheet, "Btn_BrowseCDHImgFolder", 484, 112, 90, 27, 860);

    // Page 16: the images to convert.
    sheet = Sheets[kPageSelectCdhImages];
    Label56 = PlaceTitle(this, sheet, "Label56", 16, 4, 894);
    Label_SelImgsToCvt = Place<TLabel>(this, sheet, "Label_SelImgsToCvt", 16, 24, 560, 16, 895);
    Label_UnselImgs = Place<TLabel>(this, sheet, "Label_UnselImgs", 16, 44, 200, 16, 896);
    Label_SelImgs = Place<TLabel>(this, sheet, "Label_SelImgs", 330, 44, 200, 16, 897);
    const std::pair<const char*, TListView**> imageLists[] = {
        {"ListView_CDHImgNotSel", &ListView_CDHImgNotSel},
        {"ListView_CDHImgSel", &ListView_CDHImgSel}};
    int left = 16;
    for (auto [name, member] : imageLists) {
        TListView* list = Place<TListView>(this, sheet, name, left, 62, 245, 272);
        list->SetViewStyle(vsReport);
        list->SetRowSelect(true);
        list->SetReadOnly(true);
        list->SetMultiSelect(true);
        list->SetHideSelection(false);
        list->SetShowColumnHeaders(false);
        static const std::pair<const char*, int> kColumns[] = {
            {"Image File Name", 220}, {"File Size(bytes)", 0}, {"Full Path", 0}};
        for (auto [caption, width] : kColumns) {
            TListColumn* column = list->Columns()->Add();
            column->SetCaption(caption);
            column->SetWidth(width);
        }
        *member = list;
        left = 330;
    }
    BBtn_AddCDHImg = Place<TButton>(this, sheet, "BBtn_AddCDHImg", 270, 140, 52, 27);
    BBtn_AddCDHImg->SetCaption(">>");
    BBtn_DelCDHImg = Place<TButton>(this, sheet, "BBtn_DelCDHImg", 270, 180, 52, 27);
    BBtn_DelCDHImg->SetCaption("<<");

    // Page 18: the target unit and folder.
    sheet = Sheets[kPageConvertTarget];
    Label58 = Place<TLabel>(this, sheet, "Label58", 16, 20, 560, 16, 898);
    Label58->Font()->SetStyle({fsBold});
    Label59 = Place<TLabel>(this, sheet, "Label59", 16, 44, 560, 16, 899);
    Place<TLabel>(this, sheet, "Label60", 16, 90, 180, 16, 900);
    ComboBox_ToNasServer = Place<TComboBox>(this, sheet, "ComboBox_ToNasServer", 200, 86, 250, 24);
    ComboBox_ToNasServer->SetStyle(csDropDownList);
    ComboBox_ToNasServer->SetSorted(true);
    ComboBox_ToNasServer->SetDropDownCount(255);
    ComboBox_ToNasServer->SetShowHint(true);
    Place<TLabel>(this, sheet, "Label61", 16, 130, 180, 16, 901);
    ComboBox_ImageFolder = Place<TComboBox>(this, sheet, "ComboBox_ImageFolder", 200, 126, 250, 24);
    ComboBox_ImageFolder->SetStyle(csOwnerDrawFixed);

    BitBtn_RefreshServerDetail->OnClick = Method(this, &TFmWizard::BitBtn_RefreshServerDetailClick);
    ListView_ServerDetail->OnChange = Method(this, &TFmWizard::ListView_ServerDetailChange);
    ListView_ServerDetail->OnDblClick = Method(this, &TFmWizard::ListView_ServerDetailDblClick);
    RadioButton_AutoIp->OnClick = Method(this, &TFmWizard::RadioButton_AutoIpClick);
    RadioButton_SpecIp->OnClick = Method(this, &TFmWizard::RadioButton_AutoIpClick);
    ComboBoxDNICMode->OnChange = Method(this, &TFmWizard::ComboBoxDNICModeChange);
    CheckBox_ChangeAdminPass->OnClick = Method(this, &TFmWizard::CheckBox_ChangeAdminPassClick);
    RadioButton_WorkGroupMode->OnClick = Method(this, &TFmWizard::RadioButton_WorkGroupModeClick);
    RadioButton_DomainMode->OnClick = Method(this, &TFmWizard::RadioButton_DomainModeClick);
    CheckBox_ChangeDateTime->OnClick = Method(this, &TFmWizard::CheckBox_ChangeDateTimeClick);
    ComboBox_HdInitialServer->OnChange = Method(this, &TFmWizard::ComboBox_HdInitialServerChange);
    Button_MirrorPartition->OnClick = Method(this, &TFmWizard::Button_MirrorPartitionClick);
    Button_FilePartition->OnClick = Method(this, &TFmWizard::Button_FilePartitionClick);
    Button_NoInitPartition->OnClick = Method(this, &TFmWizard::Button_NoInitPartitionClick);
    Button_RemoveHdInitial->OnClick = Method(this, &TFmWizard::Button_RemoveHdInitialClick);
    Button_RefreshHdInitialServer->OnClick =
        Method(this, &TFmWizard::Button_RefreshHdInitialServerClick);
    Btn_BrowseCDHImgFolder->OnClick = Method(this, &TFmWizard::Btn_BrowseCDHImgFolderClick);
    BBtn_AddCDHImg->OnClick = Method(this, &TFmWizard::BBtn_AddCDHImgClick);
    BBtn_DelCDHImg->OnClick = Method(this, &TFmWizard::BBtn_DelCDHImgClick);
    ComboBox_ToNasServer->OnChange = Method(this, &TFmWizard::ComboBox_CDHImgToNasServerChange);
    ComboBox_ImageFolder->OnDrawItem = Method(this, &TFmWizard::ComboBox_ImageFolderDrawItem);
}
