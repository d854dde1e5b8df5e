// The Import System Settings dialog: a page control with hidden tabs (source, targets, items,
// message) over a bevel and the Back, Next, Ok and Cancel buttons.
#include "importform.h"

using namespace vcl;

namespace {

// A report-style, row-select, read-only list with grid lines (the target lists).
TListView* MakeServerList(TForm_ProfileSetting* form, TWinControl* parent, const char* name,
                          int top) {
    TListView* list = Make<TListView>(form, parent, name);
    list->SetBounds(8, top, 425, 170);
    list->SetViewStyle(vsReport);
    list->SetMultiSelect(true);
    list->SetRowSelect(true);
    list->SetGridLines(true);
    list->SetReadOnly(true);
    list->SetHideSelection(false);
    return list;
}

// A read-only box of summary lines, whose columns of addresses line up in a fixed-pitch font.
TMemo* MakeSummaryBox(TForm_ProfileSetting* form, TWinControl* parent, const char* name, int left,
                      int top, int width, int height) {
    TMemo* box = Make<TMemo>(form, parent, name);
    box->SetBounds(left, top, width, height);
    box->SetReadOnly(true);
    box->SetWordWrap(false);
    box->SetScrollBars(ssBoth);
    box->Font()->SetName("Monospace");
    box->Font()->SetPitch(fpFixed);
    return box;
}

TCheckBox* MakeItemBox(TForm_ProfileSetting* form, TWinControl* parent, const char* name, int left,
                       int top, int width) {
    TCheckBox* box = Make<TCheckBox>(form, parent, name);
    box->SetBounds(left, top, width, 20);
    return box;
}

} // namespace

TForm_ProfileSetting::TForm_ProfileSetting(TComponent* Owner) : TForm(Owner) {
    Name = "Form_ProfileSetting";
    SetBorderStyle(bsDialog);
    SetBorderIcons({});
    SetPosition(poScreenCenter);
    SetWidth(465);
    SetHeight(558);
    SetCaption("Import System Settings");

    PageControl_NASServerInfo = Make<TPageControl>(this, this, "PageControl_NASServerInfo");
    PageControl_NASServerInfo->SetBounds(4, 4, 449, kSourcePageHeight);
    PageControl_NASServerInfo->SetStyle(tsFlatButtons);

    // Source page.
    TabSheet_SettingFrom = Make<TTabSheet>(this, nullptr, "TabSheet_SettingFrom");
    TabSheet_SettingFrom->SetPageControl(PageControl_NASServerInfo);
    TabSheet_SettingFrom->SetTabVisible(false);

    Label_SelSource = Make<TLabel>(this, TabSheet_SettingFrom, "Label_SelSource");
    Label_SelSource->SetBounds(16, 12, 300, 16);
    Label_SelSource->SetCaption("Select the source:");

    RBtn_FromServer = Make<TRadioButton>(this, TabSheet_SettingFrom, "RBtn_FromServer");
    RBtn_FromServer->SetBounds(24, 36, 300, 20);
    RBtn_FromServer->SetCaption("From &server:");

    ComboBoxServerList = Make<TComboBox>(this, TabSheet_SettingFrom, "ComboBoxServerList");
    ComboBoxServerList->SetBounds(44, 60, 380, 22);
    ComboBoxServerList->SetStyle(csDropDownList);
    ComboBoxServerList->SetDropDownCount(12);

    RBtn_FromFile = Make<TRadioButton>(this, TabSheet_SettingFrom, "RBtn_FromFile");
    RBtn_FromFile->SetBounds(24, 192, 300, 20);
    RBtn_FromFile->SetCaption("From &file:");

    Edit_FileName = Make<TEdit>(this, TabSheet_SettingFrom, "Edit_FileName");
    Edit_FileName->SetBounds(44, 216, 296, 22);

    Btn_Browse = Make<TButton>(this, TabSheet_SettingFrom, "Btn_Browse");
    Btn_Browse->SetBounds(348, 214, 76, 26);
    Btn_Browse->SetCaption("Browse");

    // Targets page.
    TabSheet_SettingTo = Make<TTabSheet>(this, nullptr, "TabSheet_SettingTo");
    TabSheet_SettingTo->SetPageControl(PageControl_NASServerInfo);
    TabSheet_SettingTo->SetTabVisible(false);

    Label_SelServer = Make<TLabel>(this, TabSheet_SettingTo, "Label_SelServer");
    Label_SelServer->SetBounds(8, 8, 300, 16);
    Label_SelServer->SetCaption("Select  Server");

    ListView_SelTarget = MakeServerList(this, TabSheet_SettingTo, "ListView_SelTarget", 28);

    Btn_Add = Make<TButton>(this, TabSheet_SettingTo, "Btn_Add");
    Btn_Add->SetBounds(128, 206, 85, 26);
    Btn_Add->SetCaption("&Add");

    Btn_Remove = Make<TButton>(this, TabSheet_SettingTo, "Btn_Remove");
    Btn_Remove->SetBounds(228, 206, 85, 26);
    Btn_Remove->SetCaption("&Remove");

    Label_AdminPass = Make<TLabel>(this, TabSheet_SettingTo, "Label_AdminPass");
    Label_AdminPass->SetBounds(8, 212, 100, 16);
    Label_AdminPass->SetCaption("Password:");
    Label_AdminPass->SetVisible(false);

    Edit_Password = Make<TEdit>(this, TabSheet_SettingTo, "Edit_Password");
    Edit_Password->SetBounds(330, 208, 100, 22);
    Edit_Password->SetPasswordChar('*');
    Edit_Password->SetVisible(false);

    ListView_SelectedServer =
        MakeServerList(this, TabSheet_SettingTo, "ListView_SelectedServer", 240);

    // Items page: each item's check box over its summary.
    TabSheet_Check = Make<TTabSheet>(this, nullptr, "TabSheet_Check");
    TabSheet_Check->SetPageControl(PageControl_NASServerInfo);
    TabSheet_Check->SetTabVisible(false);

    Label_Prompt = Make<TLabel>(this, TabSheet_Check, "Label_Prompt");
    Label_Prompt->SetBounds(8, 4, 400, 16);
    Label_Prompt->SetCaption("Select the items to import:");

    ChkBox_Network = MakeItemBox(this, TabSheet_Check, "ChkBox_Network", 8, 24, 210);
    ChkBox_Network->SetCaption("Server, and network settings");
    ChkBox_PreserveIP = MakeItemBox(this, TabSheet_Check, "ChkBox_PreserveIP", 224, 24, 217);
    ChkBox_PreserveIP->SetCaption("Keep the original IP settings");
    RichEdit_NetworkSet =
        MakeSummaryBox(this, TabSheet_Check, "RichEdit_NetworkSet", 8, 46, 433, 78);

    ChkBox_UDB = MakeItemBox(this, TabSheet_Check, "ChkBox_UDB", 8, 128, 433);
    ChkBox_UDB->SetCaption("* User accounts and quota settings");
    RichEdit_UDB = MakeSummaryBox(this, TabSheet_Check, "RichEdit_UDB", 8, 150, 433, 78);

    ChkBox_Security = MakeItemBox(this, TabSheet_Check, "ChkBox_Security", 8, 232, 433);
    ChkBox_Security->SetCaption("* Security information, including network shares and ACLs");
    RichEdit_Security = MakeSummaryBox(this, TabSheet_Check, "RichEdit_Security", 8, 254, 433, 78);

    ChkBox_Backup = MakeItemBox(this, TabSheet_Check, "ChkBox_Backup", 8, 336, 433);
    ChkBox_Backup->SetCaption("Backup settings");
    RichEdit_Backup = MakeSummaryBox(this, TabSheet_Check, "RichEdit_Backup", 8, 358, 433, 78);

    Image_Note = Make<TImage>(this, TabSheet_Check, "Image_Note");
    Image_Note->SetBounds(8, 442, 16, 16);

    Label_Note = Make<TLabel>(this, TabSheet_Check, "Label_Note");
    Label_Note->SetAutoSize(false);
    Label_Note->SetWordWrap(true);
    Label_Note->SetBounds(30, 442, 411, 32);
    Label_Note->SetCaption("* The data will append to the existing setting of the target servers.");

    // Message page (not reached by the dialog's own flow).
    TabSheet_Msg = Make<TTabSheet>(this, nullptr, "TabSheet_Msg");
    TabSheet_Msg->SetPageControl(PageControl_NASServerInfo);
    TabSheet_Msg->SetTabVisible(false);

    Image_msg = Make<TImage>(this, TabSheet_Msg, "Image_msg");
    Image_msg->SetBounds(16, 16, 32, 32);

    Label_Msg = Make<TLabel>(this, TabSheet_Msg, "Label_Msg");
    Label_Msg->SetBounds(64, 16, 360, 16);

    ListView_SetConfig = Make<TListView>(this, TabSheet_Msg, "ListView_SetConfig");
    ListView_SetConfig->SetBounds(8, 56, 425, 200);
    ListView_SetConfig->SetViewStyle(vsReport);
    ListView_SetConfig->SetReadOnly(true);

    ImageList = new TImageList(this);
    ImageList->Name = "ImageList";
    ImageList->SetSize(16, 16);
    ImageList->AddStockIcon(siInformation);
    ImageList->AddStockIcon(siWarning);

    Bevel1 = Make<TBevel>(this, this, "Bevel1");
    Bevel1->SetBounds(8, 4 + kSourcePageHeight + 3, 441, 2);

    const int buttonTop = 4 + kSourcePageHeight + 8;
    Btn_Back = Make<TButton>(this, this, "Btn_Back");
    Btn_Back->SetBounds(180, buttonTop, 85, 27);
    Btn_Back->SetCaption("< &Back  ");

    Btn_Next = Make<TButton>(this, this, "Btn_Next");
    Btn_Next->SetBounds(268, buttonTop, 85, 27);
    Btn_Next->SetCaption("  &Next >");
    Btn_Next->SetDefault(true);

    Btn_Ok = Make<TButton>(this, this, "Btn_Ok");
    Btn_Ok->SetBounds(268, buttonTop, 85, 27);
    Btn_Ok->SetCaption("Ok");
    Btn_Ok->SetModalResult(mrOk);
    Btn_Ok->SetVisible(false);

    Btn_Cancel = Make<TButton>(this, this, "Btn_Cancel");
    Btn_Cancel->SetBounds(364, buttonTop, 85, 27);
    Btn_Cancel->SetCaption("&Cancel");
    Btn_Cancel->SetModalResult(mrCancel);
    Btn_Cancel->SetCancel(true);

    OnCreate = Method(this, &TForm_ProfileSetting::FormCreate);
    OnShow = Method(this, &TForm_ProfileSetting::FormShow);
    OnClose = Method(this, &TForm_ProfileSetting::FormClose);
    RBtn_FromServer->OnClick = Method(this, &TForm_ProfileSetting::RBtn_FromServerClick);
    RBtn_FromFile->OnClick = Method(this, &TForm_ProfileSetting::RBtn_FromFileClick);
    Btn_Browse->OnClick = Method(this, &TForm_ProfileSetting::Btn_BrowseClick);
    ChkBox_Network->OnClick = Method(this, &TForm_ProfileSetting::ChkBox_NetworkClick);
    Btn_Next->OnClick = Method(this, &TForm_ProfileSetting::Btn_NextClick);
    Btn_Back->OnClick = Method(this, &TForm_ProfileSetting::Btn_BackClick);
    Btn_Ok->OnClick = Method(this, &TForm_ProfileSetting::Btn_OkClick);
    Btn_Cancel->OnClick = Method(this, &TForm_ProfileSetting::Btn_CancelClick);
    Btn_Add->OnClick = Method(this, &TForm_ProfileSetting::Btn_AddClick);
    Btn_Remove->OnClick = Method(this, &TForm_ProfileSetting::Btn_RemoveClick);
    ListView_SelTarget->OnDblClick =
        Method(this, &TForm_ProfileSetting::ListView_SelTargetDblClick);
    ListView_SelectedServer->OnDblClick =
        Method(this, &TForm_ProfileSetting::ListView_SelectedServerDblClick);
    ListView_SelTarget->OnKeyDown = Method(this, &TForm_ProfileSetting::ListViewKeyDown);
    ListView_SelectedServer->OnKeyDown = Method(this, &TForm_ProfileSetting::ListViewKeyDown);
}
