#include "importform.h"

#include "fmmsg.h"
#include "msgbox.h"
#include "unit_call.h"
#include "utils.h"

#include "vcl/application.h"
#include "vcl/dialog_host.h"
#include "vcl/dialogs.h"
#include "vcl/keys.h"
#include "vcl/screen.h"
#include "vcl/tree_view.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

TForm_ProfileSetting* Form_ProfileSetting = nullptr;

namespace {

// Holds the program's busy flag for a scope.
class BusyScope {
public:
    explicit BusyScope(TProfileSettingHost* host) : host_(host) {
        if (host_) host_->SetBusy(true);
    }
    ~BusyScope() {
        if (host_) host_->SetBusy(false);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    TProfileSettingHost* host_;
};

// Shows the please-wait message form for a scope.
class PleaseWait {
public:
    PleaseWait() {
        if (!FmMsg) FmMsg = vcl::MakeForm<TFmMsg>(vcl::Application);
        FmMsg->PageControl_Msg->SetActivePage(FmMsg->TabSheet_Msg);
        FmMsg->ShowMessagePage(GetMessageText(861), GetMessageText(888), 140, TFmMsg::DefaultWidth,
                               TFmMsg::IconWait, false, false, false, false);
    }
    ~PleaseWait() {
        if (FmMsg) FmMsg->Close();
    }
    PleaseWait(const PleaseWait&) = delete;
    PleaseWait& operator=(const PleaseWait&) = delete;
};

int Box(const std::string& text, const std::string& caption, unsigned flags) {
    return vcl::Application->MessageBox(text, caption, flags);
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool CopyFile(const std::string& from, const std::string& to) {
    std::error_code error;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
    return !error;
}

// Texts of the access-library result of a unit's last call.
std::string ResultText(CNasServer& server) {
    std::string text = server.GetLastResultText();
    if (text.empty()) text = "Error " + std::to_string(server.LastResult);
    return text;
}

} // namespace

TForm_ProfileSetting::~TForm_ProfileSetting() {
    DeleteWorkFiles();
    if (Form_ProfileSetting == this) Form_ProfileSetting = nullptr;
}

void TForm_ProfileSetting::FormCreate(vcl::TObject*) {
    SetCaption(GetMessageText(861));
    Label_SelSource->SetCaption(GetMessageText(857));
    RBtn_FromServer->SetCaption(GetMessageText(858));
    RBtn_FromFile->SetCaption(GetMessageText(859));
    Btn_Next->SetCaption(GetMessageText(692));
    Btn_Back->SetCaption(GetMessageText(691));
    Btn_Cancel->SetCaption(GetMessageText(578));
    Btn_Ok->SetCaption(GetMessageText(20));
    Btn_Browse->SetCaption(GetMessageText(860));
    Btn_Add->SetCaption(GetMessageText(939));
    Btn_Remove->SetCaption(GetMessageText(940));
    Label_AdminPass->SetCaption(std::string(GetMessageText(129)) + ":");
    Label_Prompt->SetCaption(GetMessageText(862));
    Label_SelServer->SetCaption(GetMessageText(769));
    ChkBox_Network->SetCaption(GetMessageText(863));
    ChkBox_PreserveIP->SetCaption(GetMessageText(866));
    ChkBox_UDB->SetCaption(GetMessageText(865));
    ChkBox_Security->SetCaption(GetMessageText(864));
    ChkBox_Backup->SetCaption(GetMessageText(887));
    Label_Note->SetCaption(GetMessageText(867));
}

void TForm_ProfileSetting::FormShow(vcl::TObject*) {
    RBtn_FromServer->SetChecked(true);
    RBtn_FromFile->SetChecked(false);
    RBtn_FromServerClick(nullptr);
    Edit_FileName->SetText("");
    PageControl_NASServerInfo->SetActivePage(TabSheet_SettingFrom);
    Btn_Next->SetVisible(true);
    Btn_Ok->SetVisible(false);
    Btn_Back->SetEnabled(false);
    Edit_Password->SetText("");
    for (vcl::TMemo* box : {RichEdit_NetworkSet, RichEdit_UDB, RichEdit_Security, RichEdit_Backup})
        box->Clear();
    ListView_SelectedServer->Items()->Clear();
    for (vcl::TCheckBox* box : {ChkBox_Network, ChkBox_PreserveIP, ChkBox_UDB, ChkBox_Security})
        box->SetChecked(false);
    DeleteWorkFiles();
    pageIndex_ = 0;
    sectionFlags_ = 0;
    targets_.clear();
    SetHeights(kSourcePageHeight, kSourceDialogHeight);
    FillProfileServerChoices();
}

void TForm_ProfileSetting::FormClose(vcl::TObject*, vcl::TCloseAction&) {
    DeleteWorkFiles();
    server_ = nullptr;
    unit_ = {};
    sectionFlags_ = 0;
    TargetListsShowing = 0;
}

void TForm_ProfileSetting::FillProfileServerChoices() {
    ComboBoxServerList->Items()->BeginUpdate();
    ComboBoxServerList->Items()->Clear();
    sources_.clear();
    if (host_) {
        for (vcl::TTreeNode* node : {host_->NasServersNode(), host_->RemoteServersNode()}) {
            if (node == nullptr) continue;
            for (int i = 0; i < node->Count(); ++i) {
                vcl::TTreeNode* child = node->Item(i);
                const auto server = host_->UnitOf(child->GetData());
                if (server == nullptr || !server->IsFlag31Clear()) continue;
                auto copy = std::make_unique<CNasServer>();
                copy->Assign(*server);
                ComboBoxServerList->Items()->AddObject(
                    child->GetText() + "   [" + server->GetLanIpText(0) + "]", copy.get());
                sources_.push_back(std::move(copy));
            }
        }
    }
    if (ComboBoxServerList->Items()->Count() == 0)
        ComboBoxServerList->Items()->Add(GetMessageText(491));
    ComboBoxServerList->Items()->EndUpdate();
    ComboBoxServerList->SetItemIndex(0);
}

void TForm_ProfileSetting::RBtn_FromServerClick(vcl::TObject*) {
    if (!RBtn_FromServer->GetChecked()) return;
    ComboBoxServerList->SetEnabled(true);
    Edit_FileName->SetEnabled(false);
    Edit_FileName->SetColor(vcl::clBtnFace);
    Btn_Browse->SetEnabled(false);
}

void TForm_ProfileSetting::RBtn_FromFileClick(vcl::TObject* Sender) {
    if (!RBtn_FromFile->GetChecked()) return;
    ComboBoxServerList->SetEnabled(false);
    Edit_FileName->SetEnabled(true);
    Edit_FileName->SetColor(vcl::clWindow);
    Btn_Browse->SetEnabled(true);
    // A click of the user opens the file choice at once.
    if (Sender != nullptr) Btn_BrowseClick(Sender);
}

void TForm_ProfileSetting::Btn_BrowseClick(vcl::TObject*) {
    vcl::TOpenDialog dialog(nullptr);
    dialog.Filter = GetMessageText(942);
    dialog.FileMustExist = true;
    if (dialog.Execute()) Edit_FileName->SetText(dialog.FileName);
}

void TForm_ProfileSetting::ChkBox_NetworkClick(vcl::TObject*) {
    ChkBox_PreserveIP->SetEnabled(ChkBox_Network->GetChecked());
}

void TForm_ProfileSetting::DeleteWorkFiles() {
    for (std::string* path : {&receivedPath_, &headerPath_, &plainPath_, &plainWithHeaderPath_}) {
        if (!path->empty()) std::remove(path->c_str());
        path->clear();
    }
}

void TForm_ProfileSetting::SetHeights(int page, int dialog) {
    PageControl_NASServerInfo->SetHeight(page);
    SetHeight(dialog);
    // The bevel and the buttons sit under the page control.
    const int top = PageControl_NASServerInfo->GetTop() + page;
    Bevel1->SetTop(top + 3);
    for (vcl::TButton* button : {Btn_Back, Btn_Next, Btn_Ok, Btn_Cancel})
        button->SetTop(top + 8);
}

bool TForm_ProfileSetting::TakeProfile() {
    BusyScope busy(host_);
    DeleteWorkFiles();
    receivedPath_ = utils::MakeTempFileName("Cfg_Header_ZipedData", "");
    const bool taken =
        RBtn_FromServer->GetChecked() ? TakeProfileFromServer() : TakeProfileFromFile();
    if (!taken || !RebuildProfile()) return false;
    return !server_ || EncodingFits(*server_);
}

bool TForm_ProfileSetting::TakeProfileFromServer() {
    sourceKind_ = 1;
    const int chosen = ComboBoxServerList->GetItemIndex();
    auto* source = static_cast<CNasServer*>(ComboBoxServerList->Items()->Objects(chosen));
    // "-- No Server --" or no row: nothing to read.
    if (source == nullptr) return false;
    const UnitCommand command; // its calls on the unit wait for it kUnitCommandWait in all
    if (!source->Authenticate(kAuthAdministrator)) return false;
    int result = 0;
    {
        PleaseWait wait;
        vcl::THourGlass hourglass;
        result = source->GetConfig(receivedPath_.c_str());
    }
    if (result != 0) {
        Box(ResultText(*source), GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
        return false;
    }
    return true;
}

bool TForm_ProfileSetting::TakeProfileFromFile() {
    sourceKind_ = 0;
    const std::string name = Trim(Edit_FileName->GetText());
    Edit_FileName->SetText(name);
    chosenPath_ = name;
    if (name.empty() || !IsRegularFile(name)) {
        Box(GetMessageText(8), GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
        return false;
    }
    if (!IsProfileFile(name)) {
        Box(GetMessageText(203), GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
        return false;
    }
    if (const std::string problem = ProfileSizeProblem(name); !problem.empty()) {
        Box(std::string(GetMessageText(203)) + "\n" + problem, GetMessageText(9),
            vcl::MB_OK | vcl::MB_ICONSTOP);
        return false;
    }
    if (!CopyFile(name, receivedPath_)) {
        Box(GetMessageText(8), GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
        return false;
    }
    return true;
}

bool TForm_ProfileSetting::RebuildProfile() {
    const std::string zipPath = utils::MakeTempFileName("Cfg_ZipData", "zip");
    plainPath_ = utils::MakeTempFileName("Cfg_PlainData", "");
    plainWithHeaderPath_ = utils::MakeTempFileName("Cfg_Header_PlainData", "");
    ProfileHeader header{};
    // A profile read from a unit is checked here, one from a file before it was copied.
    if (const std::string problem = ProfileSizeProblem(receivedPath_); !problem.empty()) {
        Box(std::string(GetMessageText(203)) + "\n" + problem, GetMessageText(9),
            vcl::MB_OK | vcl::MB_ICONSTOP);
        return false;
    }
    bool ok = StripProfileHeader(receivedPath_, header, zipPath) == 0;
    if (!ok) Box(GetMessageText(203), GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
    ok = ok && UnzipSingleEntry(zipPath, CNasServer::kConfigPassword, plainPath_) == 1;
    ok = ok && AddProfileHeader(header, plainPath_, plainWithHeaderPath_) == 0;
    std::remove(zipPath.c_str());
    std::remove(plainPath_.c_str());
    plainPath_.clear();
    if (!ok) return false;
    if (!IsProfileMagic(ProfileMagic(header))) {
        Box(GetMessageText(203), GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
        return false;
    }
    summary_.Utf8 = ProfileMagic(header) == kProfileMagicUtf8;
    sectionFlags_ = header[kProfileFlagsOffset];
    ChkBox_Network->SetChecked((sectionFlags_ & kProfileNetwork) != 0);
    ChkBox_NetworkClick(nullptr);
    ChkBox_PreserveIP->SetChecked(true);
    ChkBox_UDB->SetChecked((sectionFlags_ & kProfileUsersItem) != 0);
    ChkBox_Security->SetChecked((sectionFlags_ & (kProfileAcl | kProfileShares)) != 0);
    ChkBox_Backup->SetChecked((sectionFlags_ & kProfileBackup) != 0);
    return true;
}

bool TForm_ProfileSetting::EncodingFits(const CNasServer& target) {
    const int encoding = target.GetTextEncoding();
    const int expected = encoding == 1 || encoding == 2 ? 2 : 1;
    if ((expected == 2) == summary_.Utf8) return true;
    Box("Please check F/W kernel version", "Quorvik Warning", vcl::MB_OK | vcl::MB_ICONWARNING);
    return false;
}

int TForm_ProfileSetting::ParseProfile() {
    for (vcl::TMemo* box : {RichEdit_NetworkSet, RichEdit_UDB, RichEdit_Security, RichEdit_Backup})
        box->Clear();
    std::string error;
    ProfileSummary summary;
    if (!ParseProfileFile(plainWithHeaderPath_, summary, error)) {
        Box(std::string(GetMessageText(203)) + "\n" + error, GetMessageText(9),
            vcl::MB_OK | vcl::MB_ICONSTOP);
        return 0;
    }
    summary_ = std::move(summary);
    FillBox(RichEdit_NetworkSet, summary_.Network);
    FillBox(RichEdit_Backup, summary_.Backup);
    FillBox(RichEdit_UDB, summary_.Users);
    FillBox(RichEdit_Security, summary_.Security);
    return 1;
}

void TForm_ProfileSetting::FillBox(vcl::TMemo* box, const std::vector<std::string>& lines) {
    box->SetLines(lines);
}

void TForm_ProfileSetting::ShowPage(int index) {
    pageIndex_ = index;
    PageControl_NASServerInfo->SetActivePageIndex(index);
    if (index == 1) TabSheet_SettingToShow(TabSheet_SettingTo);
    const bool last = index == PageControl_NASServerInfo->PageCount() - 2;
    Btn_Next->SetVisible(!last);
    Btn_Ok->SetVisible(last);
}

void TForm_ProfileSetting::TabSheet_SettingToShow(vcl::TObject*) {
    TargetListsShowing = 1;
    RefreshTargetLists();
}

void TForm_ProfileSetting::RefreshTargetLists() {
    if (!host_) return;
    host_->SetListViewColumns(ListView_SelTarget, kServerListLayout);
    host_->SetListViewColumns(ListView_SelectedServer, kServerListLayout);
    ListView_SelTarget->Items()->BeginUpdate();
    ListView_SelTarget->Items()->Clear();
    host_->ListServersOfNode(ListView_SelTarget, host_->NasServersNode(), kListSkipUnanswered);
    ListView_SelTarget->Items()->EndUpdate();
    // A chosen target whose server left the list is dropped with it.
    for (int i = ListView_SelectedServer->Items()->Count() - 1; i >= 0; --i) {
        const void* unit = ListView_SelectedServer->Items()->Item(i)->GetData();
        if (!ListHasServer(ListView_SelTarget, unit)) ListView_SelectedServer->Items()->Delete(i);
    }
    ListView_SelectedServer->Invalidate();
}

void TForm_ProfileSetting::Btn_NextClick(vcl::TObject*) {
    if (pageIndex_ == 0) {
        if (!TakeProfile()) return;
        // With a server of its own the dialog's server is the target: the targets page is
        // skipped and the profile is read here.
        if (server_ && ParseProfile() == 0) return;
        if (server_) pageIndex_ = 1;
        SetHeights(kItemsPageHeight, kItemsDialogHeight);
        Btn_Back->SetEnabled(true);
    } else if (pageIndex_ == 1) {
        if (ListView_SelectedServer->Items()->Count() == 0) {
            TargetListsShowing = 1;
            Box(GetMessageText(473), GetMessageText(15), vcl::MB_OK | vcl::MB_ICONSTOP);
            return;
        }
        if (ParseProfile() == 0) return;
        targets_.clear();
        for (int i = 0; i < ListView_SelectedServer->Items()->Count(); ++i) {
            const auto server =
                host_ ? host_->UnitOf(ListView_SelectedServer->Items()->Item(i)->GetData())
                      : nullptr;
            if (server == nullptr) continue;
            auto copy = std::make_unique<CNasServer>();
            copy->Assign(*server);
            targets_.push_back(std::move(copy));
        }
        TargetListsShowing = 0;
    } else {
        return;
    }
    ShowPage(pageIndex_ + 1);
}

void TForm_ProfileSetting::Btn_BackClick(vcl::TObject*) {
    if (pageIndex_ == 0) return;
    if ((pageIndex_ == 2 && server_) || pageIndex_ == 1) {
        pageIndex_ = 1;
        SetHeights(kSourcePageHeight, kSourceDialogHeight);
        Btn_Back->SetEnabled(false);
    }
    if (pageIndex_ - 1 != 1) TargetListsShowing = 0;
    ShowPage(pageIndex_ - 1);
    Btn_Next->SetVisible(true);
    Btn_Ok->SetVisible(false);
}

int TForm_ProfileSetting::ProfileItemMask() const {
    int mask = 0;
    if (ChkBox_Network->GetChecked()) {
        mask |= kItemNetwork;
        if (ChkBox_PreserveIP->GetChecked()) mask |= kItemPreserveIp;
    }
    if (ChkBox_UDB->GetChecked()) mask |= kItemUsers;
    if (ChkBox_Security->GetChecked()) mask |= kItemSecurity;
    if (ChkBox_Backup->GetChecked()) mask |= kItemBackup;
    return mask;
}

bool TForm_ProfileSetting::SendProfile(CNasServer& target, int mask) {
    // The unit takes a profile with its administrator password only: a stored password that is
    // a local account's (a user name stored with it) or none at all is asked for first.
    const bool adminStored = target.Password[0] != '\0' && target.UserName[0] == '\0';
    const UnitCommand command; // its calls on the unit wait for it kUnitCommandWait in all
    if (!adminStored && !target.Authenticate(kAuthApplyProfile)) return false;
    int result = 0;
    {
        PleaseWait wait;
        vcl::THourGlass hourglass;
        result = target.SetConfig(mask, receivedPath_.c_str());
    }
    if (result == 0) return true;
    Box(target.GetName() + ": " + ResultText(target), GetMessageText(9),
        vcl::MB_OK | vcl::MB_ICONSTOP);
    return false;
}

bool TForm_ProfileSetting::ApplyToTargets() {
    const int mask = ProfileItemMask();
    if (mask == 0) {
        Box(GetMessageText(868), GetMessageText(15), vcl::MB_OK | vcl::MB_ICONWARNING);
        return false;
    }
    if (receivedPath_.empty()) return false;
    BusyScope busy(host_);
    bool sent = true;
    if (server_) {
        sent = SendProfile(*server_, mask);
    } else {
        // Without a server of its own the dialog sends to every chosen target that suits the
        // profile's encoding.
        if (targets_.empty()) return false;
        for (const auto& target : targets_)
            sent = EncodingFits(*target) && SendProfile(*target, mask) && sent;
    }
    targetsEdited_ = false;
    return sent;
}

void TForm_ProfileSetting::Btn_OkClick(vcl::TObject*) {
    if (ApplyToTargets()) DeleteWorkFiles();
}

void TForm_ProfileSetting::Btn_CancelClick(vcl::TObject*) {
    targetsEdited_ = false;
    TargetListsShowing = 0;
}

bool TForm_ProfileSetting::ListHasServer(vcl::TListView* list, const void* unit) {
    for (int i = 0; i < list->Items()->Count(); ++i)
        if (list->Items()->Item(i)->GetData() == unit) return true;
    return false;
}

void TForm_ProfileSetting::Btn_AddClick(vcl::TObject*) {
    BusyScope busy(host_);
    vcl::TListItem* added = nullptr;
    for (int i = 0; i < ListView_SelTarget->Items()->Count(); ++i) {
        vcl::TListItem* row = ListView_SelTarget->Items()->Item(i);
        // Held across the boxes below, in which refreshes run.
        const auto server = row->GetSelected() && host_ ? host_->UnitOf(row->GetData()) : nullptr;
        if (server == nullptr) continue;
        if (ListHasServer(ListView_SelectedServer, row->GetData())) continue;
        const UnitCommand command; // the calls on each unit wait kUnitCommandWait in all
        if (server->GetPendingTasks(true) != 0) continue;
        if (!server->Authenticate(kAuthApplyProfile)) continue;
        added = ListView_SelectedServer->Items()->Add();
        added->SetCaption(row->GetCaption());
        for (int k = 0; k < row->SubItems()->Count(); ++k)
            added->SubItems()->Add(row->SubItems()->Strings(k));
        added->SetData(server->UnitHandle.Data());
    }
    if (added) {
        added->SetFocused(true);
        added->MakeVisible();
    }
    targetsEdited_ = true;
}

void TForm_ProfileSetting::Btn_RemoveClick(vcl::TObject*) {
    for (int i = ListView_SelectedServer->Items()->Count() - 1; i >= 0; --i) {
        vcl::TListItem* row = ListView_SelectedServer->Items()->Item(i);
        if (!row->GetSelected()) continue;
        if (!ListHasServer(ListView_SelTarget, row->GetData())) {
            vcl::TListItem* back = ListView_SelTarget->Items()->Add();
            back->SetCaption(row->GetCaption());
            for (int k = 0; k < row->SubItems()->Count(); ++k)
                back->SubItems()->Add(row->SubItems()->Strings(k));
            back->SetData(row->GetData());
        }
        ListView_SelectedServer->Items()->Delete(i);
    }
}

void TForm_ProfileSetting::ListView_SelTargetDblClick(vcl::TObject* Sender) {
    Btn_AddClick(Sender);
}

void TForm_ProfileSetting::ListView_SelectedServerDblClick(vcl::TObject* Sender) {
    Btn_RemoveClick(Sender);
}

void TForm_ProfileSetting::SelectAll(vcl::TListView* list) {
    for (int i = 0; i < list->Items()->Count(); ++i)
        list->Items()->Item(i)->SetSelected(true);
}

void TForm_ProfileSetting::ListViewKeyDown(vcl::TObject* Sender, vcl::TKey& Key,
                                           vcl::TShiftState Shift) {
    if (Key != 'A' || !Shift.Contains(vcl::ssCtrl)) return;
    if (Sender == ListView_SelTarget) SelectAll(ListView_SelTarget);
    if (Sender == ListView_SelectedServer) SelectAll(ListView_SelectedServer);
}
