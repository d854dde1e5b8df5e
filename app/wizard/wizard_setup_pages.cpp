// The server quick setup pages: server selection (page 8), network environment (9), IP addresses
// (10), date and time (11), passwords (12) and server names (13). Every page after the selection
// reads the wizard's own copy of the chosen server (WizardRefreshInfo).
#include "fmwizard.h"

#include "kinddialog.h"
#include "msgbox.h"
#include "nasserver.h"
#include "rmtnasip_mask.h"
#include "textcodec.h"
#include "unit_text.h"

#include "clock/clock.h"
#include "vcl/application.h"
#include "vcl/date_time_picker.h"
#include "vcl/modal_host.h"
#include "vcl/screen.h"
#include "vcl/tree_view.h"

#include <algorithm>
#include <chrono>
#include <ctime>

WIZARD_REFRESHINFO WizardRefreshInfo;

namespace {

// Options of ListServersOfNode.
constexpr int kListSkipUnanswered = 2;
constexpr int kListSkipPendingTasks = 4;
constexpr int kServerListLayout = 8;

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string TrimRight(const std::string& text) {
    const auto last = text.find_last_not_of(" \t");
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

} // namespace

// ---- The host's default server rows

void TWizardHost::ListServersOfNode(vcl::TListView* list, vcl::TTreeNode* node, int options) {
    if (list == nullptr || node == nullptr) return;
    list->Items()->BeginUpdate();
    for (int i = 0; i < node->Count(); ++i) {
        const std::shared_ptr<CNasServer> server = UnitOf(node->Item(i)->GetData());
        if (server == nullptr) {
            if ((options & kListSkipUnanswered) != 0) continue;
            vcl::TListItem* row = list->Items()->Add();
            row->SetCaption(node->Item(i)->GetText());
            continue;
        }
        if ((options & kListSkipPendingTasks) != 0 && server->GetPendingTasks(false) != 0) continue;
        vcl::TListItem* row = list->Items()->Add();
        row->SetCaption(server->GetName());
        row->SetData(server->UnitHandle.Data());
        row->SubItems()->Add(server->GetWorkgroup());
        row->SubItems()->Add(server->GetLanIpText(0));
        row->SubItems()->Add(server->GetMaskText(0));
        row->SubItems()->Add(server->GetGatewayText(0));
        row->SubItems()->Add(TFmWizard::MacOf(*server));
        row->SubItems()->Add(server->GetFirmwareVersion());
        row->SubItems()->Add("");
        row->SubItems()->Add(server->GetComment());
    }
    list->Items()->EndUpdate();
}

// ---- Dispatch

int TFmWizard::RunSetupPage(int kind, int mode) {
    switch (kind) {
    case kPageServerDetail:
        return ServerDetailPage(mode);
    case kPageNetworkEnvironment:
        return NetworkEnvironmentPage(mode);
    case kPageIpAddress:
        return IpAddressPage(mode);
    case kPageDateTime:
        return DateTimePage(mode);
    case kPagePassword:
        return PasswordPage(mode);
    case kPageServerName:
        return ServerNamePage(mode);
    case kPageInitialHdList:
        return InitialHdListPage(mode);
    case kPageSelectCdhImages:
        return SelectCdhImagesPage(mode);
    case kPageCdhFolder: {
        const int result = CdhFolderPage(mode);
        if (mode == 1 && result != 0 && Edit_CDHImgFolder->CanFocus())
            Edit_CDHImgFolder->SetFocus();
        return result;
    }
    case kPageConvertTarget:
        return ConvertTargetPage(mode);
    default:
        return 0;
    }
}

// ---- Page 8: server selection

int TFmWizard::ServerDetailPage(int mode) {
    if (mode == 0) {
        // Entered in every direction: the list follows the main window's refreshes.
        ServerDetailLive = 1;
        RefreshServerDetail();
        return 0;
    }
    ServerDetailLive = 0;
    if (TakeSelectedServer()) return 0;
    ServerDetailLive = 1;
    PreselectedServer = {};
    vcl::MessageBox(GetMessageText(430), GetWizardJobText(WzdInfo.Job, 0),
                    vcl::MB_OK | vcl::MB_ICONSTOP);
    return 1;
}

void TFmWizard::RefreshServerDetail() {
    WizardRefreshing = 1;
    if (host_) host_->SetListViewColumns(ListView_ServerDetail, kServerListLayout);
    ListView_ServerDetail->Items()->Clear();
    if (host_) {
        host_->ListServersOfNode(ListView_ServerDetail, host_->NasServersNode(),
                                 kListSkipPendingTasks | 1);
        host_->ListServersOfNode(ListView_ServerDetail, host_->RemoteServersNode(),
                                 kListSkipPendingTasks | kListSkipUnanswered);
    }
    ListView_ServerDetailChange(ListView_ServerDetail, nullptr, vcl::ctState);
    WizardRefreshing = 0;
}

void TFmWizard::BitBtn_RefreshServerDetailClick(vcl::TObject*) {
    WizardRefreshing = 1;
    WizardRefreshMainWindow = 1;
    ListView_ServerDetail->Items()->Clear();
    {
        vcl::THourGlass hourglass;
        if (host_) {
            host_->RefreshServerTree();
            host_->RefreshRemoteServers();
            // Servers with pending tasks stay listed here.
            host_->ListServersOfNode(ListView_ServerDetail, host_->NasServersNode(), 1);
            host_->ListServersOfNode(ListView_ServerDetail, host_->RemoteServersNode(),
                                     kListSkipPendingTasks | kListSkipUnanswered);
        }
    }
    ListView_ServerDetailChange(ListView_ServerDetail, nullptr, vcl::ctState);
    WizardRefreshing = 0;
}

std::shared_ptr<CNasServer> TFmWizard::SelectedDetailServer() const {
    if (ListView_ServerDetail->SelCount() != 1) return nullptr;
    vcl::TListItem* row = ListView_ServerDetail->GetSelected();
    // The row's unit is used only while the main window still lists it.
    return row && host_ ? host_->UnitOf(row->GetData()) : nullptr;
}

bool TFmWizard::TakeSelectedServer() {
    const auto server = SelectedDetailServer();
    if (server == nullptr) return false;
    PreselectedServer = server->UnitHandle;
    WzdInfo.TargetServerMac = MacOf(*server);
    WizardRefreshInfo.Take(*server);
    return true;
}

void TFmWizard::SetupUnitWentOffline(const std::string& mac, const std::string& text) {
    if (WzdInfo.Job != kJobSetupServer && WzdInfo.Job != kJobSetupPreselected) return;
    // On page 8 the unit's row goes with the lists; past it, the unit chosen there (or by the
    // main window for job 5) is the copy's.
    if (CurrentPageKind() == kPageServerDetail || !WizardRefreshInfo.Valid ||
        MacOf(WizardRefreshInfo.Server) != mac)
        return;
    setupUnitOffline_ = text;
    EndSetupOfOfflineUnit();
}

bool TFmWizard::EndSetupOfOfflineUnit() {
    if (setupUnitOffline_.empty()) return false;
    // The code that waits on a box over the wizard (the password prompt, a question) ends the
    // setup itself once the box has closed.
    if (vcl::ModalDepth() > modalBase_) return false;
    const std::string text = std::move(setupUnitOffline_);
    setupUnitOffline_.clear();
    vcl::Application->MessageBox(text, "", vcl::MB_OK);
    bbCancelClick(nullptr);
    SetModalResult(vcl::mrCancel);
    return true;
}

void TFmWizard::ListView_ServerDetailChange(vcl::TObject*, vcl::TListItem*, vcl::TItemChange) {
    const auto server = SelectedDetailServer();
    PreselectedServer = server ? server->UnitHandle : NasUnitHandle();
}

void TFmWizard::ListView_ServerDetailDblClick(vcl::TObject* Sender) {
    const auto server = SelectedDetailServer();
    PreselectedServer = server ? server->UnitHandle : NasUnitHandle();
    if (PreselectedServer) bbNextClick(Sender);
}

// ---- Page 9: network environment (no job lists it)

int TFmWizard::NetworkEnvironmentPage(int mode) {
    if (mode == 1) return 0;
    // The networking flags are the CD servers'; the wizard's servers are NAS units, whose record
    // has none to show.
    ShowKindMessage("", 8);
    return 1;
}

// ---- Page 10: IP addresses

void TFmWizard::EnableLan(int lan, bool enabled) {
    const LanEdits& edits = Lan[lan];
    for (vcl::TEdit* edit : {edits.Ip, edits.Mask, edits.Gateway}) {
        edit->SetEnabled(enabled);
        edit->SetColor(enabled ? vcl::clWindow : vcl::clBtnFace);
    }
    edits.Wins->SetEnabled(false);
    edits.Wins->SetColor(vcl::clBtnFace);
}

int TFmWizard::IpAddressPage(int mode) {
    if (mode == 0) {
        ServerDetailLive = 0;
        ComboBoxDNICMode->SetVisible(false);
        Label_DNICMode->SetVisible(false);
        if (!WizardRefreshInfo.Valid) {
            ShowKindMessage("", 8);
            return 1;
        }
        const CNasServer& server = WizardRefreshInfo.Server;
        ComboBoxDNICMode->SetVisible(true);
        Label_DNICMode->SetVisible(true);
        ComboBoxDNICMode->Items()->BeginUpdate();
        ComboBoxDNICMode->Items()->Clear();
        for (int id : {841, 842, 843, 840})
            ComboBoxDNICMode->Items()->Add(GetMessageText(id));
        ComboBoxDNICMode->Items()->EndUpdate();
        ComboBoxDNICMode->SetItemIndex(0);
        SetCaption(std::string(GetMessageText(436)) + GetWizardJobText(WzdInfo.Job, 0) + ":   [" +
                   server.GetName() + "]");
        if (server.Info.word134 < 4) ComboBoxDNICMode->SetItemIndex(server.Info.word134);
        const std::uint32_t flags = server.Info.value160;
        if ((flags & 0x70) != 0) {
            CheckBox_Bootp->SetChecked((flags & 0x10) != 0);
            CheckBox_Rarp->SetChecked((flags & 0x20) != 0);
            CheckBox_Dhcp->SetChecked((flags & 0x40) != 0);
            RadioButton_AutoIp->SetChecked(true);
        } else {
            RadioButton_AutoIp->SetChecked(false);
            RadioButton_SpecIp->SetChecked(true);
        }
        GroupBoxLAN3->SetVisible(server.IsFlag30Set());
        for (int lan = 0; lan < 3; ++lan) {
            Lan[lan].Ip->SetText(server.GetLanIpText(lan));
            Lan[lan].Mask->SetText(server.GetMaskText(lan));
            Lan[lan].Gateway->SetText(server.GetGatewayText(lan));
            Lan[lan].Wins->SetText("");
        }
        RadioButton_AutoIpClick(nullptr);
        ComboBoxDNICModeChange(nullptr);
        return 0;
    }
    if (mode != 1) {
        ShowKindMessage("", 8);
        return 1;
    }
    if (RadioButton_AutoIp->GetChecked()) {
        if (!CheckBox_Dhcp->GetChecked() && !CheckBox_Bootp->GetChecked() &&
            !CheckBox_Rarp->GetChecked()) {
            ShowKindMessage("", 36);
            return 1;
        }
        return 0;
    }
    if (!RadioButton_SpecIp->GetChecked()) return 0;
    for (vcl::TCheckBox* box : {CheckBox_Dhcp, CheckBox_Bootp, CheckBox_Rarp})
        box->SetChecked(false);
    // Every LAN is checked, also a third one whose group is hidden.
    for (const LanEdits& edits : Lan) {
        for (vcl::TEdit* edit : {edits.Ip, edits.Mask, edits.Gateway, edits.Wins})
            edit->SetText(Trim(edit->GetText()));
        const std::pair<vcl::TEdit*, int> fields[] = {
            {edits.Ip, 451}, {edits.Mask, 452}, {edits.Gateway, 453}};
        for (auto [edit, nameId] : fields) {
            if (!SetupAddressOf(edit->GetText())) {
                ShowKindMessage(GetMessageText(nameId), 34);
                return 1;
            }
        }
    }
    return 0;
}

std::optional<std::uint32_t> TFmWizard::SetupAddressOf(const std::string& text) {
    // Four decimal numbers of 0 to 255; the all-ones address is refused.
    if (std::count(text.begin(), text.end(), '.') != 3) return std::nullopt;
    const auto address = ipbox::ParseAddressText(text);
    if (!address || *address == 0xFFFFFFFFu) return std::nullopt;
    return address;
}

void TFmWizard::RadioButton_AutoIpClick(vcl::TObject*) {
    const bool automatic = RadioButton_AutoIp->GetChecked();
    for (vcl::TCheckBox* box : {CheckBox_Dhcp, CheckBox_Bootp, CheckBox_Rarp}) {
        box->SetEnabled(automatic);
        if (!automatic) box->SetChecked(false);
    }
    if (automatic) {
        for (int lan = 0; lan < 3; ++lan)
            EnableLan(lan, false);
        for (vcl::TLabel* label : {Label_IpLabel, Label_MaskLabel, Label_GatewayLabel})
            label->SetEnabled(false);
        if (RadioButton_SpecIp->GetChecked()) RadioButton_SpecIp->SetChecked(false);
    } else {
        EnableLan(0, true);
        EnableLan(2, true);
        ComboBoxDNICModeChange(nullptr);
        for (vcl::TLabel* label : {Label_IpLabel, Label_MaskLabel, Label_GatewayLabel})
            label->SetEnabled(true);
        if (!RadioButton_SpecIp->GetChecked()) RadioButton_SpecIp->SetChecked(true);
    }
    Label_WinsLabel->SetEnabled(false);
}

void TFmWizard::ComboBoxDNICModeChange(vcl::TObject*) {
    if (RadioButton_AutoIp->GetChecked()) return;
    switch (ComboBoxDNICMode->GetItemIndex()) {
    case 3:
        EnableLan(1, true);
        break;
    case 0:
    case 1:
    case 2:
        EnableLan(1, false);
        break;
    default:
        EnableLan(1, false);
        vcl::MessageBox("Error: wizard.cpp: ComboBoxDNICModeChange()", "", vcl::MB_OK);
        break;
    }
}

// ---- Page 11: date and time (no job lists it)

int TFmWizard::DateTimePage(int mode) {
    vcl::TCSpinEdit* spins[] = {CSpinEdit_SysYear, CSpinEdit_SysMonth,  CSpinEdit_SysDay,
                                CSpinEdit_SysHour, CSpinEdit_SysMinute, CSpinEdit_SysSecond};
    if (mode == 0) {
        if (!WizardRefreshInfo.Valid) {
            ShowKindMessage("", 8);
            return 1;
        }
        // A NAS unit's record carries no clock: the computer's time is offered.
        const std::time_t now = std::chrono::system_clock::to_time_t(platform::Now());
        std::tm tm{};
        localtime_r(&now, &tm);
        const int values[] = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                              tm.tm_hour,        tm.tm_min,     tm.tm_sec};
        for (int i = 0; i < 6; ++i)
            spins[i]->SetValue(values[i]);
        CheckBox_ChangeDateTime->SetChecked(true);
        CheckBox_ChangeDateTimeClick(nullptr);
        return 0;
    }
    if (mode != 1) {
        ShowKindMessage("", 8);
        return 1;
    }
    if (!vcl::IsValidDate(CSpinEdit_SysYear->GetValue(), CSpinEdit_SysMonth->GetValue(),
                          CSpinEdit_SysDay->GetValue())) {
        ShowKindMessage("", 38);
        return 1;
    }
    return 0;
}

void TFmWizard::CheckBox_ChangeDateTimeClick(vcl::TObject*) {
    const bool on = CheckBox_ChangeDateTime->GetChecked();
    for (vcl::TCSpinEdit* spin : {CSpinEdit_SysYear, CSpinEdit_SysMonth, CSpinEdit_SysDay,
                                  CSpinEdit_SysHour, CSpinEdit_SysMinute, CSpinEdit_SysSecond}) {
        spin->SetEnabled(on);
        spin->SetColor(on ? vcl::clWindow : vcl::clBtnFace);
    }
}

// ---- Page 12: passwords

int TFmWizard::PasswordPage(int mode) {
    if (mode == 0) {
        if (!WizardRefreshInfo.Valid) {
            ShowKindMessage("", 8);
            return 1;
        }
        Edit_AdminPass->SetText("");
        Edit_AdminConfirm->SetText("");
        CheckBox_ChangeAdminPass->SetChecked(false);
        CheckBox_ChangeAdminPassClick(nullptr);
        return 0;
    }
    if (mode != 1) {
        ShowKindMessage("", 8);
        return 1;
    }
    if (!CheckBox_ChangeAdminPass->GetChecked()) return 0;
    std::string typed = Edit_AdminPass->GetText();
    std::string confirm = Edit_AdminConfirm->GetText();
    std::transform(typed.begin(), typed.end(), typed.begin(), ::toupper);
    std::transform(confirm.begin(), confirm.end(), confirm.begin(), ::toupper);
    if (typed != confirm) {
        ShowKindMessage(GetMessageText(255), 32);
        return 1;
    }
    // The password field holds 15 bytes with its terminator, in the encoding the unit keeps and
    // the account prompt sends it in.
    const std::string newPassword = Edit_AdminPass->GetText();
    const int kind = WizardRefreshInfo.Server.GetTextEncoding();
    const std::optional<std::string> unitForm = ToUnitText(newPassword, kind);
    if (!unitForm) {
        ErrorBox(GetMessageText(456) + std::string(": ") + UnitLacksText(newPassword, kind));
        return 1;
    }
    if (unitForm->size() > kSetupPasswordBytes) {
        ShowKindMessage(GetMessageText(456), 31);
        return 1;
    }
    return 0;
}

void TFmWizard::CheckBox_ChangeAdminPassClick(vcl::TObject*) {
    const bool on = CheckBox_ChangeAdminPass->GetChecked();
    for (vcl::TEdit* edit : {Edit_AdminPass, Edit_AdminConfirm}) {
        edit->SetEnabled(on);
        edit->SetColor(on ? vcl::clWindow : vcl::clBtnFace);
        edit->SetText("");
    }
    Label_AdminPass->SetEnabled(on);
    Label_AdminConfirm->SetEnabled(on);
}

// ---- Page 13: server names

int TFmWizard::CheckSetupText(const std::string& text, std::size_t maxBytes, int nameId) {
    // The unit gets the text in the code page of the message language (encoding kind 0) or in
    // UTF-8 converted from it (kinds 1 and 2): both must fit the field.
    const auto ansi = Utf8ToAnsi(text);
    if (!ansi) {
        // Named by the characters the code page lacks, not by the whole text.
        ShowKindMessage(std::string(" ( ") + CharactersUnitLacks(text, 0) + GetMessageText(466) +
                            GetMessageText(nameId),
                        33);
        return 1;
    }
    const int kind = WizardRefreshInfo.Server.GetTextEncoding();
    const std::size_t bytes =
        (kind == 1 || kind == 2) ? std::max(ansi->size(), text.size()) : ansi->size();
    if (bytes > maxBytes) {
        ShowKindMessage(GetMessageText(nameId), 31);
        return 1;
    }
    return 0;
}

int TFmWizard::ServerNamePage(int mode) {
    if (mode == 0) {
        if (!WizardRefreshInfo.Valid) {
            ShowKindMessage("", 8);
            return 1;
        }
        CNasServer& server = WizardRefreshInfo.Server;
        const bool kind2 = server.GetTextEncoding() == 2;
        // The texts first: the mode buttons cut the domain text to their limit.
        Edit_SmbName->SetText(server.GetName());
        Edit_SmbDomain->SetText(kind2 ? server.GetExtendedName() : server.GetWorkgroup());
        Edit_ServerComment->SetText(server.GetComment());
        // Checking a mode button runs its handler; one already checked is run here.
        const bool domain = server.IsOptionBit0Set();
        DomainMode = domain ? 0 : 1;
        vcl::TRadioButton* shown = domain ? RadioButton_DomainMode : RadioButton_WorkGroupMode;
        if (shown->GetChecked()) {
            if (domain)
                RadioButton_DomainModeClick(shown);
            else
                RadioButton_WorkGroupModeClick(shown);
        } else {
            shown->SetChecked(true);
        }
        return 0;
    }
    if (mode != 1) {
        ShowKindMessage("", 8);
        return 1;
    }
    const std::string name = Edit_SmbName->GetText();
    const std::string domain = Edit_SmbDomain->GetText();
    const std::string comment = Edit_ServerComment->GetText();
    if (WizardRefreshInfo.Server.GetTextEncoding() == 2) {
        if (CheckSetupText(name, kSetupNameBytes, 457) != 0) return 1;
        const std::size_t limit =
            RadioButton_DomainMode->GetChecked() ? kSetupDomainBytes : kSetupWorkgroupBytes;
        if (CheckSetupText(domain, limit, 458) != 0) return 1;
    } else {
        if (CheckSetupText(name, kSetupNameBytes, 457) != 0) return 1;
        if (CheckSetupText(domain, kSetupWorkgroupBytes, 458) != 0) return 1;
    }
    if (CheckSetupText(comment, kSetupCommentBytes, 461) != 0) return 1;
    if (Edit_SmbName->GetEnabled() && name.empty()) {
        ShowKindMessage(GetMessageText(462), 37);
        return 1;
    }
    if (Edit_SmbDomain->GetEnabled() && domain.empty()) {
        ShowKindMessage(GetMessageText(463), 37);
        return 1;
    }
    const std::pair<const std::string*, int> named[] = {{&name, 457}, {&domain, 458}};
    for (auto [text, nameId] : named) {
        if (text->find_first_of(kNameForbiddenChars) != std::string::npos) {
            ShowKindMessage(std::string(" ( ") + kNameForbiddenChars + GetMessageText(466) +
                                GetMessageText(nameId),
                            33);
            return 1;
        }
    }
    Edit_SmbName->SetText(TrimRight(name));
    Edit_SmbDomain->SetText(TrimRight(domain));
    Edit_ServerComment->SetText(TrimRight(comment));
    return 0;
}

namespace {

// Cuts an edit's text to its first count characters.
void CutEdit(vcl::TEdit* edit, std::size_t count) {
    const std::string text = edit->GetText();
    const std::string_view cut = CutUtf8Characters(text, count);
    if (cut.size() != text.size()) edit->SetText(std::string(cut));
}

} // namespace

void TFmWizard::RadioButton_WorkGroupModeClick(vcl::TObject*) {
    if (!RadioButton_WorkGroupMode->GetChecked()) return;
    Edit_SmbDomain->SetMaxLength(static_cast<int>(kSetupWorkgroupBytes));
    CutEdit(Edit_SmbDomain, kSetupWorkgroupBytes);
    if (WizardRefreshInfo.Server.GetTextEncoding() == 2) {
        DomainMode = 1;
        WizardRefreshInfo.Server.DomainAccountGiven = 0;
    }
}

void TFmWizard::RadioButton_DomainModeClick(vcl::TObject*) {
    if (!RadioButton_DomainMode->GetChecked()) return;
    Edit_SmbDomain->SetMaxLength(static_cast<int>(kSetupDomainBytes));
    CutEdit(Edit_SmbDomain, kSetupDomainBytes);
    CNasServer& server = WizardRefreshInfo.Server;
    if (server.GetTextEncoding() != 2 || DomainMode != 1) return;
    server.DomainAccountGiven = 0;
    if (!server.Authenticate(kAuthDomainAccount)) {
        // No account: the workgroup mode stands.
        RadioButton_WorkGroupMode->SetChecked(true);
        return;
    }
    DomainMode = 0;
}
