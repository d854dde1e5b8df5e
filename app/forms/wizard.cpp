// The wizard: a page control with hidden tabs (one tab sheet per page kind), the picture panel and
// the Back, Next, OK and Cancel buttons under it.
#include "fmwizard.h"

#include "msgbox.h"
#include "wizard_form_parts.h"

using namespace vcl;

using namespace wizard_form;

namespace {

TListView* MakeReportList(TFmWizard* form, TWinControl* parent, const char* name, TRect bounds,
                          std::initializer_list<std::pair<int, int>> columns) {
    return PlaceReportList(form, parent, name, bounds.Left, bounds.Top, bounds.Right - bounds.Left,
                           bounds.Bottom - bounds.Top, columns);
}

} // namespace

TFmWizard::TFmWizard(TComponent* Owner) : TForm(Owner) {
    Name = "FmWizard";
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetClientWidth(607);
    SetClientHeight(419);
    SetCaption(GetMessageText(421));

    PageControl1 = Place<TPageControl>(this, this, "PageControl1", 4, 4, 599, 366);
    static const char* const kSheetNames[kPageKindCount] = {"TabSheet1",
                                                            "TabSheet_LocalCdrom",
                                                            "TabSheet9",
                                                            "TabSheet_Method",
                                                            "TabSheet_VolumeName",
                                                            "TabSheet8",
                                                            "TabSheet_Schedule",
                                                            "TabSheet6",
                                                            "TabSheet3",
                                                            "TabSheet_NetworkEnvironment",
                                                            "TabSheet_IpAddress",
                                                            "TabSheet_DateTime",
                                                            "TabSheet_Password",
                                                            "TabSheet_ServerName",
                                                            "TabSheet_InitialHdList",
                                                            "TabSheet_CdRecording",
                                                            "TabSheet_SelCDHFolder",
                                                            "TabSheet_SelCDHImage",
                                                            "TabSheet_ImgConvertToNas"};
    for (int kind = 0; kind < kPageKindCount; ++kind) {
        Sheets[kind] = Make<TTabSheet>(this, nullptr, kSheetNames[kind]);
        Sheets[kind]->SetPageControl(PageControl1);
    }

    ImageList_Job = new TImageList(this);
    ImageList_Job->Name = "ImageList_Job";
    ImageList_Job->SetSize(32, 32);
    // The job list's rows take the first three; the picture panel shows the job's.
    for (TStockIcon icon : {siCdrom, siFolder, siNetwork, siDrive, siFile})
        ImageList_Job->AddStockIcon(icon);

    // Page 0: the job list.
    TTabSheet* sheet = Sheets[kPageJobList];
    ListView_JobList = Make<TListView>(this, sheet, "ListView_JobList");
    ListView_JobList->SetBounds(16, 24, 260, 300);
    ListView_JobList->SetViewStyle(vsIcon);
    ListView_JobList->SetLargeImages(ImageList_Job);
    ListView_JobList->SetReadOnly(true);
    ListView_JobList->SetHideSelection(false);
    Label_JobName = Place<TLabel>(this, sheet, "Label_JobName", 300, 40, 280, 20, 723);
    Label_JobName->Font()->SetStyle({fsBold});
    Label_JobComment = PlaceWrapped(this, sheet, "Label_JobComment", 300, 72, 280, 724);

    // Page 1: the source drive.
    sheet = Sheets[kPageLocalCdrom];
    Label29 = PlaceTitle(this, sheet, "Label29", 16, 6, 753);
    Label32 = PlaceWrapped(this, sheet, "Label32", 16, 28, 560, 756);
    ListView_LocalCdrom = MakeReportList(this, sheet, "ListView_LocalCdrom", {16, 52, 577, 310},
                                         {{792, 280}, {793, 130}, {794, 130}});
    bbRefreshCdd = Place<TButton>(this, sheet, "bbRefreshCdd", 477, 318, 100, 27, 694);

    // Page 2: the container.
    sheet = Sheets[kPageContainer];
    Label28 = PlaceTitle(this, sheet, "Label28", 16, 6, 752);
    Label36 = PlaceWrapped(this, sheet, "Label36", 16, 28, 560, 759);
    GroupBox1 = Place<TGroupBox>(this, sheet, "GroupBox1", 8, 70, 577, 110, 715);
    Edit_CurrentContainerFile =
        Place<TEdit>(this, GroupBox1, "Edit_CurrentContainerFile", 12, 26, 550, 24);
    Edit_CurrentContainerFile->SetReadOnly(true);
    Edit_CurrentContainerFile->SetShowHint(true);
    Button_ValidateContainer =
        Place<TButton>(this, GroupBox1, "Button_ValidateContainer", 12, 64, 130, 27, 697);
    Button_LoadContainer =
        Place<TButton>(this, GroupBox1, "Button_LoadContainer", 152, 64, 220, 27, 698);

    // Page 3: source, destinations and method.
    sheet = Sheets[kPageDestination];
    Label3 = PlaceTitle(this, sheet, "Label3", 16, 4, 754);
    Label34 = Place<TLabel>(this, sheet, "Label34", 16, 24, 560, 16, 757);
    GroupBox9 = Place<TGroupBox>(this, sheet, "GroupBox9", 8, 44, 577, 60, 720);
    Edit_SourceName = Place<TEdit>(this, GroupBox9, "Edit_SourceName", 12, 24, 380, 24);
    Edit_SourceName->SetReadOnly(true);
    Edit_SourceSize = Place<TEdit>(this, GroupBox9, "Edit_SourceSize", 400, 24, 160, 24);
    Edit_SourceSize->SetReadOnly(true);
    Edit_ISOSourceName = Place<TEdit>(this, GroupBox9, "Edit_ISOSourceName", 12, 24, 330, 24, 914);
    Edit_ISOSourceSize = Place<TEdit>(this, GroupBox9, "Edit_ISOSourceSize", 350, 24, 110, 24);
    Edit_ISOSourceSize->SetReadOnly(true);
    openISOFile = Place<TButton>(this, GroupBox9, "openISOFile", 470, 23, 90, 26, 920);
    GroupBox7 = Place<TGroupBox>(this, sheet, "GroupBox7", 8, 108, 577, 230, 719);
    Label2 = Place<TLabel>(this, GroupBox7, "Label2", 12, 20, 220, 16, 744);
    ComboBox_ServerList = Place<TComboBox>(this, GroupBox7, "ComboBox_ServerList", 12, 38, 220, 24);
    ComboBox_ServerList->SetStyle(csDropDownList);
    ComboBox_ServerList->SetSorted(true);
    ComboBox_ServerList->SetDropDownCount(255);
    bbRefreshServer2 = Place<TButton>(this, GroupBox7, "bbRefreshServer2", 238, 36, 72, 27, 519);
    Label10 = Place<TLabel>(this, GroupBox7, "Label10", 12, 70, 220, 16, 735);
    RadioButton_AutoSmart =
        Place<TRadioButton>(this, GroupBox7, "RadioButton_AutoSmart", 12, 88, 220, 20, 775);
    RadioButton_AutoForce =
        Place<TRadioButton>(this, GroupBox7, "RadioButton_AutoForce", 12, 110, 220, 20, 776);
    RadioButton_ManualSelect =
        Place<TRadioButton>(this, GroupBox7, "RadioButton_ManualSelect", 12, 132, 220, 20);
    RadioButton_ManualSelect->SetVisible(false);
    Label62 = Place<TLabel>(this, GroupBox7, "Label62", 12, 140, 230, 16, 902);
    ComboBox_ServerHdList =
        Place<TComboBox>(this, GroupBox7, "ComboBox_ServerHdList", 12, 158, 220, 24);
    ComboBox_ServerHdList->SetStyle(csOwnerDrawFixed);
    ComboBox_ServerHdList->SetShowHint(true);
    bbAdd = Place<TButton>(this, GroupBox7, "bbAdd", 250, 110, 56, 27);
    bbAdd->SetCaption(">>");
    bbDel = Place<TButton>(this, GroupBox7, "bbDel", 250, 150, 56, 27);
    bbDel->SetCaption("<<");
    Label38 = Place<TLabel>(this, GroupBox7, "Label38", 320, 20, 240, 16, 103);
    ListView_MethodResult = MakeReportList(this, GroupBox7, "ListView_MethodResult",
                                           {320, 38, 565, 220}, {{126, 120}, {838, 120}});
    ListView_MethodResult->SetMultiSelect(true);

    // Page 4: volume names; the share controls sit in a group that stays hidden.
    sheet = Sheets[kPageVolumeName];
    Label5 = PlaceTitle(this, sheet, "Label5", 16, 4, 119);
    Label6 = Place<TLabel>(this, sheet, "Label6", 16, 24, 560, 16, 731);
    ListView_VolumeName = MakeReportList(this, sheet, "ListView_VolumeName", {8, 46, 585, 190},
                                         {{126, 150}, {838, 150}, {119, 220}, {732, 0}, {129, 0}});
    RadioButton_DefaultVolume =
        Place<TRadioButton>(this, sheet, "RadioButton_DefaultVolume", 16, 200, 330, 20, 778);
    RadioButton_UserDefineVolume =
        Place<TRadioButton>(this, sheet, "RadioButton_UserDefineVolume", 16, 224, 330, 20, 779);
    Label_VolumeNameLabel =
        Place<TLabel>(this, sheet, "Label_VolumeNameLabel", 360, 200, 200, 16, 728);
    Edit_UserDefineVolume =
        Place<TEdit>(this, sheet, "Edit_UserDefineVolume", 360, 220, 200, 24, 714);
    bbUpdateVolume = Place<TButton>(this, sheet, "bbUpdateVolume", 460, 254, 100, 27, 388);
    BitBtn_UpdateAll = Place<TButton>(this, sheet, "BitBtn_UpdateAll", 350, 254, 100, 27, 699);
    BitBtn_UpdateAll->SetVisible(false);
    GroupBox3 = Place<TGroupBox>(this, sheet, "GroupBox3", 8, 284, 577, 70);
    GroupBox3->SetVisible(false);
    CheckBox_ShareEnable =
        Place<TCheckBox>(this, GroupBox3, "CheckBox_ShareEnable", 8, 18, 120, 20, 707);
    Label_ShareNameLabel =
        Place<TLabel>(this, GroupBox3, "Label_ShareNameLabel", 130, 20, 90, 16, 727);
    RadioButton_DefaultShareName =
        Place<TRadioButton>(this, GroupBox3, "RadioButton_DefaultShareName", 220, 16, 200, 20, 780);
    RadioButton_UserDefineShareName = Place<TRadioButton>(
        this, GroupBox3, "RadioButton_UserDefineShareName", 220, 40, 120, 20, 781);
    Edit_ShareName = Place<TEdit>(this, GroupBox3, "Edit_ShareName", 340, 40, 110, 22);
    Label_AccessPassLabel =
        Place<TLabel>(this, GroupBox3, "Label_AccessPassLabel", 460, 0, 110, 16, 726);
    Label19 = Place<TLabel>(this, GroupBox3, "Label19", 400, 18, 56, 16, 743);
    Edit_SharePass = Place<TEdit>(this, GroupBox3, "Edit_SharePass", 460, 16, 110, 22);
    Edit_SharePass->SetPasswordChar('*');
    Label18 = Place<TLabel>(this, GroupBox3, "Label18", 400, 42, 56, 16, 742);
    Edit_SharePassConfirm =
        Place<TEdit>(this, GroupBox3, "Edit_SharePassConfirm", 460, 40, 110, 22);
    Edit_SharePassConfirm->SetPasswordChar('*');

    // Page 5: share names.
    sheet = Sheets[kPageShareName];
    Label7 = PlaceTitle(this, sheet, "Label7", 16, 4, 732);
    Label15 = Place<TLabel>(this, sheet, "Label15", 16, 24, 560, 16, 740);
    ListView_ShareName = MakeReportList(this, sheet, "ListView_ShareName", {8, 46, 585, 300},
                                        {{126, 180}, {119, 200}, {732, 150}});
    bbUpdateShare = Place<TButton>(this, sheet, "bbUpdateShare", 485, 308, 100, 27, 388);

    // Page 6: schedule.
    sheet = Sheets[kPageSchedule];
    Label20 = PlaceTitle(this, sheet, "Label20", 16, 4, 745);
    Label35 = Place<TLabel>(this, sheet, "Label35", 16, 24, 560, 16, 758);
    GroupBox4 = Place<TGroupBox>(this, sheet, "GroupBox4", 8, 46, 577, 170, 716);
    RadioButton_StartNow =
        Place<TRadioButton>(this, GroupBox4, "RadioButton_StartNow", 16, 26, 300, 20, 771);
    RadioButton_StartSchedule =
        Place<TRadioButton>(this, GroupBox4, "RadioButton_StartSchedule", 16, 52, 300, 20, 772);
    Label11 = Place<TLabel>(this, GroupBox4, "Label11", 40, 90, 56, 16, 736);
    CSpinEdit_Year = MakeSpin(this, GroupBox4, "CSpinEdit_Year", 100, 86, 80, 2000, 2100);
    CSpinEdit_Mon = MakeSpin(this, GroupBox4, "CSpinEdit_Mon", 188, 86, 60, 1, 12);
    CSpinEdit_Day = MakeSpin(this, GroupBox4, "CSpinEdit_Day", 256, 86, 60, 1, 31);
    Label13 = Place<TLabel>(this, GroupBox4, "Label13", 326, 90, 200, 16, 737);
    Label12 = Place<TLabel>(this, GroupBox4, "Label12", 40, 128, 56, 16, 739);
    CSpinEdit_Hour = MakeSpin(this, GroupBox4, "CSpinEdit_Hour", 100, 124, 60, 0, 23);
    CSpinEdit_Min = MakeSpin(this, GroupBox4, "CSpinEdit_Min", 168, 124, 60, 0, 59);
    CSpinEdit_Sec = MakeSpin(this, GroupBox4, "CSpinEdit_Sec", 236, 124, 60, 0, 59);
    Label14 = Place<TLabel>(this, GroupBox4, "Label14", 306, 128, 220, 16, 738);

    // Page 7: options.
    sheet = Sheets[kPageOptions];
    Label9 = PlaceTitle(this, sheet, "Label9", 16, 4, 734);
    GroupBox5 = Place<TGroupBox>(this, sheet, "GroupBox5", 8, 30, 577, 160, 717);
    CheckBox_AutoShare =
        Place<TCheckBox>(this, GroupBox5, "CheckBox_AutoShare", 16, 28, 540, 20, 706);
    CheckBox_LockCdrom =
        Place<TCheckBox>(this, GroupBox5, "CheckBox_LockCdrom", 16, 56, 540, 20, 711);
    CheckBox_EjectDisc =
        Place<TCheckBox>(this, GroupBox5, "CheckBox_EjectDisc", 16, 84, 540, 20, 712);
    CheckBox_ReplaceWarning =
        Place<TCheckBox>(this, GroupBox5, "CheckBox_ReplaceWarning", 16, 112, 540, 20, 713);

    // Page 15: CD recording options.
    sheet = Sheets[kPageCdRecording];
    Label8 = PlaceTitle(this, sheet, "Label8", 16, 4, 733);
    Label21 = Place<TLabel>(this, sheet, "Label21", 16, 24, 560, 16, 746);
    ListView_CdrOption = MakeReportList(this, sheet, "ListView_CdrOption", {8, 46, 585, 190},
                                        {{126, 150}, {791, 60}, {119, 150}, {799, 200}});
    Label37 = Place<TLabel>(this, sheet, "Label37", 16, 196, 260, 16, 760);
    ComboBox_CdrList = Place<TComboBox>(this, sheet, "ComboBox_CdrList", 16, 214, 260, 24);
    ComboBox_CdrList->SetStyle(csDropDownList);
    Label55 = Place<TLabel>(this, sheet, "Label55", 286, 196, 110, 16, 770);
    ComboBox_RecordSpeed = Place<TComboBox>(this, sheet, "ComboBox_RecordSpeed", 286, 214, 80, 24);
    ComboBox_RecordSpeed->SetStyle(csDropDownList);
    CheckBox_EraseCDRW = Place<TCheckBox>(this, sheet, "CheckBox_EraseCDRW", 16, 248, 370, 20, 704);
    CheckBox_DelImage = Place<TCheckBox>(this, sheet, "CheckBox_DelImage", 16, 274, 370, 20, 705);
    Button_AddCdrOption =
        Place<TButton>(this, sheet, "Button_AddCdrOption", 400, 212, 170, 27, 700);
    Button_RemoveCdrOption =
        Place<TButton>(this, sheet, "Button_RemoveCdrOption", 400, 248, 170, 27, 701);

    // Server quick setup, hard-disk initialisation and image conversion.
    CreateSetupSheets();

    // The frame.
    Panel1 = Place<TPanel>(this, this, "Panel1", 8, 376, 38, 38);
    Panel1->SetBevelOuter(bvLowered);
    Image1 = Place<TImage>(this, Panel1, "Image1", 3, 3, 32, 32);
    OpenDialog1 = new TOpenDialog(this);
    OpenDialog1->Name = "OpenDialog1";
    OpenDialog1->Filter = "ISO9660 file(*.iso)|*.iso";
    OpenDialog1->FileMustExist = true;
    bbBack = Place<TButton>(this, this, "bbBack", 327, 382, 85, 27, 691);
    bbNext = Place<TButton>(this, this, "bbNext", 415, 382, 85, 27, 692);
    bbNext->SetDefault(true);
    bbOk = Place<TButton>(this, this, "bbOk", 415, 382, 85, 27, 693);
    bbOk->SetModalResult(mrOk);
    bbCancel = Place<TButton>(this, this, "bbCancel", 512, 382, 85, 27, 578);
    bbCancel->SetModalResult(mrCancel);
    bbCancel->SetCancel(true);
    HintWindow = std::make_unique<THintWindow>(nullptr);
    HintWindow->SetColor(clWindow);

    OnCreate = Method(this, &TFmWizard::FormCreate);
    OnShow = Method(this, &TFmWizard::FormShow);
    OnClose = Method(this, &TFmWizard::FormClose);
    bbBack->OnClick = Method(this, &TFmWizard::bbBackClick);
    bbNext->OnClick = Method(this, &TFmWizard::bbNextClick);
    bbOk->OnClick = Method(this, &TFmWizard::bbOkClick);
    bbCancel->OnClick = Method(this, &TFmWizard::bbCancelClick);
    ListView_JobList->OnChange = Method(this, &TFmWizard::ListView_JobListChange);
    ListView_JobList->OnDblClick = Method(this, &TFmWizard::ListView_JobListDblClick);
    ListView_LocalCdrom->OnDblClick = Method(this, &TFmWizard::ListView_LocalCdromDblClick);
    bbRefreshCdd->OnClick = Method(this, &TFmWizard::bbRefreshCddClick);
    Button_LoadContainer->OnClick = Method(this, &TFmWizard::Button_LoadContainerClick);
    Button_ValidateContainer->OnClick = Method(this, &TFmWizard::Button_ValidateContainerClick);
    ComboBox_ServerList->OnChange = Method(this, &TFmWizard::ComboBox_ServerListChange);
    bbRefreshServer2->OnClick = Method(this, &TFmWizard::bbRefreshServer2Click);
    RadioButton_AutoSmart->OnClick = Method(this, &TFmWizard::RadioButton_AutoSmartClick);
    RadioButton_AutoForce->OnClick = Method(this, &TFmWizard::RadioButton_AutoForceClick);
    RadioButton_ManualSelect->OnClick = Method(this, &TFmWizard::RadioButton_ManualSelectClick);
    bbAdd->OnClick = Method(this, &TFmWizard::bbAddClick);
    bbDel->OnClick = Method(this, &TFmWizard::bbDelClick);
    openISOFile->OnClick = Method(this, &TFmWizard::openISOFileClick);
    ListView_VolumeName->OnClick = Method(this, &TFmWizard::ListView_VolumeNameClick);
    RadioButton_DefaultVolume->OnClick = Method(this, &TFmWizard::RadioButton_DefaultVolumeClick);
    RadioButton_UserDefineVolume->OnClick =
        Method(this, &TFmWizard::RadioButton_UserDefineVolumeClick);
    Edit_UserDefineVolume->OnChange = Method(this, &TFmWizard::Edit_UserDefineVolumeChange);
    bbUpdateVolume->OnClick = Method(this, &TFmWizard::bbUpdateVolumeClick);
    BitBtn_UpdateAll->OnClick = Method(this, &TFmWizard::BitBtn_UpdateAllClick);
    ComboBox_ServerHdList->OnDrawItem = Method(this, &TFmWizard::ComboBox_ServerHdListDrawItem);
    CheckBox_ShareEnable->OnClick = Method(this, &TFmWizard::CheckBox_ShareEnableClick);
    RadioButton_DefaultShareName->OnClick =
        Method(this, &TFmWizard::RadioButton_DefaultShareNameClick);
    RadioButton_UserDefineShareName->OnClick =
        Method(this, &TFmWizard::RadioButton_UserDefineShareNameClick);
    ListView_ShareName->OnClick = Method(this, &TFmWizard::ListView_ShareNameClick);
    bbUpdateShare->OnClick = Method(this, &TFmWizard::bbUpdateShareClick);
    RadioButton_StartNow->OnClick = Method(this, &TFmWizard::RadioButton_StartNowClick);
    RadioButton_StartSchedule->OnClick = Method(this, &TFmWizard::RadioButton_StartScheduleClick);
    for (TCSpinEdit* spin : {CSpinEdit_Year, CSpinEdit_Mon, CSpinEdit_Day, CSpinEdit_Hour,
                             CSpinEdit_Min, CSpinEdit_Sec})
        spin->OnChange = Method(this, &TFmWizard::CSpinEdit_YearChange);
    CheckBox_LockCdrom->OnClick = Method(this, &TFmWizard::CheckBox_LockCdromClick);
    CheckBox_EjectDisc->OnClick = Method(this, &TFmWizard::CheckBox_EjectDiscClick);
    CheckBox_ReplaceWarning->OnClick = Method(this, &TFmWizard::CheckBox_ReplaceWarningClick);
    CheckBox_AutoShare->OnClick = Method(this, &TFmWizard::CheckBox_AutoShareClick);
    CheckBox_EraseCDRW->OnClick = Method(this, &TFmWizard::CheckBox_EraseCDRWClick);
    CheckBox_DelImage->OnClick = Method(this, &TFmWizard::CheckBox_DelImageClick);
    ListView_CdrOption->OnClick = Method(this, &TFmWizard::ListView_CdrOptionClick);
    Button_AddCdrOption->OnClick = Method(this, &TFmWizard::Button_AddCdrOptionClick);
    Button_RemoveCdrOption->OnClick = Method(this, &TFmWizard::Button_RemoveCdrOptionClick);
    FmWizard = this;
}
