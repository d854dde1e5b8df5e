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
    for (TStockIcon icon : {siCdrom, siFolder, siNetwork})
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
    Label_JobComment = Place<TLabel>(this, sheet, "Label_JobComment", 300, 72, 280, 80, 724);
    Label_JobComment->SetAutoSize(false);
    Label_JobComment->SetWordWrap(true);

    // Page 1: the source drive.
    sheet = Sheets[kPageLocalCdrom];
    Label1 = Place<TLabel>(this, sheet, "Label1", 16, 12, 400, 16);
    Label1->SetCaption(GetWizardJobText(1, 1));
    ListView_LocalCdrom = MakeReportList(this, sheet, "ListView_LocalCdrom", {16, 36, 577, 310},
                                         {{792, 280}, {793, 130}, {794, 130}});
    bbRefreshCdd = Place<TButton>(this, sheet, "bbRefreshCdd", 477, 318, 100, 27, 694);

    // Page 2: the container.
    sheet = Sheets[kPageContainer];
    Label2 = Place<TLabel>(this, sheet, "Label2", 16, 16, 400, 16, 715);
    Edit_CurrentContainerFile =
        Place<TEdit>(this, sheet, "Edit_CurrentContainerFile", 16, 40, 560, 24);
    Edit_CurrentContainerFile->SetReadOnly(true);
    Edit_CurrentContainerFile->SetShowHint(true);
    Button_ValidateContainer =
        Place<TButton>(this, sheet, "Button_ValidateContainer", 16, 76, 130, 27, 697);
    Button_LoadContainer =
        Place<TButton>(this, sheet, "Button_LoadContainer", 156, 76, 200, 27, 698);
    Button_LoadContainer->SetVisible(false);

    // Page 3: source, destinations and method.
    sheet = Sheets[kPageDestination];
    GroupBox9 = Place<TGroupBox>(this, sheet, "GroupBox9", 8, 4, 577, 64, 720);
    Edit_SourceName = Place<TEdit>(this, GroupBox9, "Edit_SourceName", 12, 26, 380, 24);
    Edit_SourceName->SetReadOnly(true);
    Edit_SourceSize = Place<TEdit>(this, GroupBox9, "Edit_SourceSize", 400, 26, 160, 24);
    Edit_SourceSize->SetReadOnly(true);
    Edit_ISOSourceName = Place<TEdit>(this, GroupBox9, "Edit_ISOSourceName", 12, 26, 330, 24, 914);
    Edit_ISOSourceSize = Place<TEdit>(this, GroupBox9, "Edit_ISOSourceSize", 350, 26, 110, 24);
    Edit_ISOSourceSize->SetReadOnly(true);
    openISOFile = Place<TButton>(this, GroupBox9, "openISOFile", 470, 25, 90, 26, 920);
    GroupBox7 = Place<TGroupBox>(this, sheet, "GroupBox7", 8, 74, 577, 270, 719);
    ComboBox_ServerList = Place<TComboBox>(this, GroupBox7, "ComboBox_ServerList", 12, 26, 220, 24);
    ComboBox_ServerList->SetStyle(csDropDownList);
    ComboBox_ServerList->SetSorted(true);
    ComboBox_ServerList->SetDropDownCount(255);
    bbRefreshServer2 = Place<TButton>(this, GroupBox7, "bbRefreshServer2", 238, 24, 80, 27, 519);
    RadioButton_AutoSmart =
        Place<TRadioButton>(this, GroupBox7, "RadioButton_AutoSmart", 12, 60, 220, 20, 775);
    RadioButton_AutoForce =
        Place<TRadioButton>(this, GroupBox7, "RadioButton_AutoForce", 12, 84, 220, 20, 776);
    RadioButton_ManualSelect =
        Place<TRadioButton>(this, GroupBox7, "RadioButton_ManualSelect", 12, 108, 220, 20);
    RadioButton_ManualSelect->SetVisible(false);
    ComboBox_ServerHdList =
        Place<TComboBox>(this, GroupBox7, "ComboBox_ServerHdList", 12, 136, 220, 24);
    ComboBox_ServerHdList->SetStyle(csOwnerDrawFixed);
    ComboBox_ServerHdList->SetShowHint(true);
    bbAdd = Place<TButton>(this, GroupBox7, "bbAdd", 250, 110, 56, 27);
    bbAdd->SetCaption(">>");
    bbDel = Place<TButton>(this, GroupBox7, "bbDel", 250, 150, 56, 27);
    bbDel->SetCaption("<<");
    ListView_MethodResult = MakeReportList(this, GroupBox7, "ListView_MethodResult",
                                           {320, 26, 565, 258}, {{126, 120}, {838, 120}});
    ListView_MethodResult->SetMultiSelect(true);

    // Page 4: volume names; the share controls sit in a group that stays hidden.
    sheet = Sheets[kPageVolumeName];
    ListView_VolumeName = MakeReportList(this, sheet, "ListView_VolumeName", {8, 8, 585, 180},
                                         {{126, 150}, {838, 150}, {119, 220}, {732, 0}, {129, 0}});
    RadioButton_DefaultVolume =
        Place<TRadioButton>(this, sheet, "RadioButton_DefaultVolume", 16, 192, 330, 20, 778);
    RadioButton_UserDefineVolume =
        Place<TRadioButton>(this, sheet, "RadioButton_UserDefineVolume", 16, 216, 330, 20, 779);
    Label_VolumeNameLabel =
        Place<TLabel>(this, sheet, "Label_VolumeNameLabel", 260, 186, 100, 16, 728);
    Edit_UserDefineVolume =
        Place<TEdit>(this, sheet, "Edit_UserDefineVolume", 360, 202, 200, 24, 714);
    bbUpdateVolume = Place<TButton>(this, sheet, "bbUpdateVolume", 460, 240, 100, 27, 388);
    BitBtn_UpdateAll = Place<TButton>(this, sheet, "BitBtn_UpdateAll", 350, 240, 100, 27, 699);
    BitBtn_UpdateAll->SetVisible(false);
    GroupBox3 = Place<TGroupBox>(this, sheet, "GroupBox3", 8, 272, 577, 70);
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
    Edit_SharePass = Place<TEdit>(this, GroupBox3, "Edit_SharePass", 460, 16, 110, 22);
    Edit_SharePass->SetPasswordChar('*');
    Edit_SharePassConfirm =
        Place<TEdit>(this, GroupBox3, "Edit_SharePassConfirm", 460, 40, 110, 22);
    Edit_SharePassConfirm->SetPasswordChar('*');

    // Page 5: share names.
    sheet = Sheets[kPageShareName];
    ListView_ShareName = MakeReportList(this, sheet, "ListView_ShareName", {8, 8, 585, 300},
                                        {{126, 180}, {119, 200}, {732, 150}});
    bbUpdateShare = Place<TButton>(this, sheet, "bbUpdateShare", 485, 312, 100, 27, 388);

    // Page 6: schedule.
    sheet = Sheets[kPageSchedule];
    GroupBox5 = Place<TGroupBox>(this, sheet, "GroupBox5", 8, 8, 577, 200, 716);
    RadioButton_StartNow =
        Place<TRadioButton>(this, GroupBox5, "RadioButton_StartNow", 16, 30, 300, 20, 771);
    RadioButton_StartSchedule =
        Place<TRadioButton>(this, GroupBox5, "RadioButton_StartSchedule", 16, 60, 300, 20, 772);
    CSpinEdit_Year = MakeSpin(this, GroupBox5, "CSpinEdit_Year", 40, 100, 80, 2000, 2100);
    CSpinEdit_Mon = MakeSpin(this, GroupBox5, "CSpinEdit_Mon", 128, 100, 60, 1, 12);
    CSpinEdit_Day = MakeSpin(this, GroupBox5, "CSpinEdit_Day", 196, 100, 60, 1, 31);
    CSpinEdit_Hour = MakeSpin(this, GroupBox5, "CSpinEdit_Hour", 40, 140, 60, 0, 23);
    CSpinEdit_Min = MakeSpin(this, GroupBox5, "CSpinEdit_Min", 108, 140, 60, 0, 59);
    CSpinEdit_Sec = MakeSpin(this, GroupBox5, "CSpinEdit_Sec", 176, 140, 60, 0, 59);

    // Page 7: options.
    sheet = Sheets[kPageOptions];
    GroupBox6 = Place<TGroupBox>(this, sheet, "GroupBox6", 8, 8, 577, 160, 717);
    CheckBox_AutoShare =
        Place<TCheckBox>(this, GroupBox6, "CheckBox_AutoShare", 16, 28, 540, 20, 706);
    CheckBox_LockCdrom =
        Place<TCheckBox>(this, GroupBox6, "CheckBox_LockCdrom", 16, 56, 540, 20, 711);
    CheckBox_EjectDisc =
        Place<TCheckBox>(this, GroupBox6, "CheckBox_EjectDisc", 16, 84, 540, 20, 712);
    CheckBox_ReplaceWarning =
        Place<TCheckBox>(this, GroupBox6, "CheckBox_ReplaceWarning", 16, 112, 540, 20, 713);

    // Page 15: CD recording options.
    sheet = Sheets[kPageCdRecording];
    ListView_CdrOption = MakeReportList(this, sheet, "ListView_CdrOption", {8, 8, 585, 190},
                                        {{126, 150}, {791, 60}, {119, 150}, {799, 200}});
    ComboBox_CdrList = Place<TComboBox>(this, sheet, "ComboBox_CdrList", 16, 204, 260, 24);
    ComboBox_CdrList->SetStyle(csDropDownList);
    ComboBox_RecordSpeed = Place<TComboBox>(this, sheet, "ComboBox_RecordSpeed", 286, 204, 80, 24);
    ComboBox_RecordSpeed->SetStyle(csDropDownList);
    CheckBox_EraseCDRW = Place<TCheckBox>(this, sheet, "CheckBox_EraseCDRW", 16, 240, 360, 20, 704);
    CheckBox_DelImage = Place<TCheckBox>(this, sheet, "CheckBox_DelImage", 16, 266, 360, 20, 705);
    Button_AddCdrOption =
        Place<TButton>(this, sheet, "Button_AddCdrOption", 400, 204, 170, 27, 700);
    Button_RemoveCdrOption =
        Place<TButton>(this, sheet, "Button_RemoveCdrOption", 400, 240, 170, 27, 701);

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
