// The wizard's frame: creation, the job list, StartJob and SetJob, the page machine, Next, Back,
// OK and Cancel, closing, and the server combo filler the pages share.
#include "fmwizard.h"

#include "cdrom.h"
#include "container.h"
#include "kinddialog.h"
#include "msgbox.h"
#include "nasserver.h"
#include "scsicdd.h"
#include "textcodec.h"

#include "vcl/dialogs.h"
#include "vcl/modal_host.h"
#include "vcl/tree_view.h"

#include <cstdio>
#include <cstring>

WZD_INFO WzdInfo;
std::uint8_t DestinationListLive = 0;
int ServerDetailLive = 0;
std::uint8_t WizardRefreshMainWindow = 0;
std::uint8_t WizardRefreshing = 0;
TFmWizard* FmWizard = nullptr;

TFmWizard::~TFmWizard() {
    WzdInfo.Jobs.clear();
    WzdInfo.ClearState();
    if (FmWizard == this) FmWizard = nullptr;
}

void TFmWizard::ErrorBox(const std::string& text, const std::string& caption) {
    vcl::MessageBox(text, caption.empty() ? GetMessageText(9) : caption,
                    vcl::MB_OK | vcl::MB_ICONSTOP);
}

void TFmWizard::FormCreate(vcl::TObject*) {
    for (vcl::TTabSheet* sheet : Sheets)
        if (sheet) sheet->SetTabVisible(false);
    ListView_JobList->Items()->Clear();
    for (int job = 1; job <= 3; ++job) {
        vcl::TListItem* row = ListView_JobList->Items()->Add();
        row->SetCaption(GetWizardJobText(job, 0));
        row->SetImageIndex(job - 1);
    }
    ListView_JobList->Items()->Item(0)->SetSelected(true);
    ListView_JobList->Items()->Item(0)->SetFocused(true);
    SetJob(0);
    PageUpdate(WzdInfo.PageIndex);
    Edit_UserDefineVolume->SetMaxLength(kMaxVolumeLabelChars);
    Edit_ShareName->SetMaxLength(12);
    Edit_SharePass->SetMaxLength(kMaxSharePasswordChars);
    Edit_SharePassConfirm->SetMaxLength(kMaxSharePasswordChars);
}

void TFmWizard::SetJob(int job) {
    if (job < 0 || job >= kJobCount) job = 0;
    mirrorJobBeforeContainer_ = 0;
    WzdInfo.Job = static_cast<std::uint8_t>(job);
    WzdInfo.PageCount = static_cast<std::uint8_t>(WizardJobTable()[job].pages.size());
    WzdInfo.PageIndex = 0;
    const std::string name = GetWizardJobText(job, 0);
    if (job == 0) {
        SetCaption(name);
    } else {
        std::string caption = GetMessageText(435);
        const auto at = caption.find("%s");
        if (at != std::string::npos) caption.replace(at, 2, name);
        SetCaption(caption);
    }
    ClearJobList();
}

void TFmWizard::StartJob(int job) {
    if (job < 0 || job >= kJobCount) return;
    mirrorJobBeforeContainer_ = 0;
    WzdInfo.Job = static_cast<std::uint8_t>(job);
    WzdInfo.PageCount = static_cast<std::uint8_t>(WizardJobTable()[job].pages.size());
    WzdInfo.PageIndex = 0;
    SetCaption(job == 0 ? GetWizardJobText(0, 0)
                        : std::string(GetMessageText(436)) + GetWizardJobText(job, 0));
    if (job != kJobRecordCd) ClearJobList();
    switch (job) {
    case 0:
    case 7:
        return;
    case 6:
    case 8: {
        WzdInfo.SourceDrive =
            host_ && host_->Drives() ? host_->Drives()->GetDevice(SourceDriveLetter) : nullptr;
        WzdInfo.SourceLetter = SourceDriveLetter;
        const auto preselected = host_ ? host_->UnitOf(PreselectedServer.Data()) : nullptr;
        WzdInfo.TargetServerMac = preselected ? MacOf(*preselected) : std::string();
        break;
    }
    case kJobRecordCd: {
        ClearJobList();
        std::shared_ptr<CNasServer> server;
        std::string name;
        std::uint32_t blocks = 0;
        // Only an image of a server selected in the main window can be recorded.
        if (!host_ || !host_->SelectedImage(server, name, blocks) || server == nullptr) return;
        auto entry = std::make_unique<WizardJobEntry>();
        entry->TargetMac = MacOf(*server);
        entry->TargetName = server->GetName();
        entry->VolumeLabel = std::string(CutUtf8(name, kVolumeLabelField - 1));
        entry->ImageBlocks = blocks;
        WzdInfo.Jobs.push_back(std::move(entry));
        break;
    }
    case kJobUploadIso:
        Edit_SourceName->SetText("");
        Edit_SourceSize->SetText("");
        WzdInfo.IsoFilePath.clear();
        break;
    default:
        break;
    }
    PageUpdate(WzdInfo.PageIndex);
}

void TFmWizard::ClearJobList() {
    WzdInfo.Jobs.clear();
}

int TFmWizard::CurrentPageKind() const {
    const auto& pages = WizardJobTable()[WzdInfo.Job].pages;
    return WzdInfo.PageIndex < pages.size() ? pages[WzdInfo.PageIndex] : 0;
}

int TFmWizard::RunPage(int kind, int mode) {
    switch (kind) {
    case kPageLocalCdrom:
        return LocalCdromPage(mode);
    case kPageContainer:
        return ValidateContainerPage(mode);
    case kPageDestination:
        return DestinationPage(mode);
    case kPageVolumeName:
        return VolumeNamePage(mode);
    case kPageSchedule:
        return SchedulePage(mode);
    case kPageOptions:
        return OptionsPage(mode);
    case kPageCdRecording:
        return CdRecordingPage(mode);
    case kPageShareName:
        if (mode == 0) ListView_ShareNameClick(nullptr);
        return 0;
    default:
        return RunSetupPage(kind, mode);
    }
}

void TFmWizard::EnterPage(int kind, bool backward) {
    if (kind == kPageJobList) {
        if (Showing()) ListView_JobList->SetFocus();
        if (ListView_JobList->GetSelected() == nullptr && ListView_JobList->Items()->Count() > 0)
            ListView_JobList->Items()->Item(0)->SetSelected(true);
        return;
    }
    if (kind == kPageDestination) {
        // Video CD, Photo CD and CD-Bridge discs are mirrored through a container. The choice
        // follows the disc chosen now: after Back and another disc, a data disc is mirrored
        // sector by sector again.
        const int base = mirrorJobBeforeContainer_ ? mirrorJobBeforeContainer_ : WzdInfo.Job;
        if ((base == kJobMirror || base == kJobMirrorPreselected) && WzdInfo.SourceDrive) {
            const DiscInfo disc = WzdInfo.SourceDrive->Disc();
            const bool viaContainer = disc.discKind == 6 || disc.discKind == 7 || disc.cdBridge;
            if (viaContainer) {
                discContainer_.reset();
                container_.reset();
                WzdInfo.Job =
                    base == kJobMirror ? kJobMirrorContainer : kJobMirrorContainerPreselected;
            } else {
                WzdInfo.Job = static_cast<std::uint8_t>(base);
            }
            mirrorJobBeforeContainer_ = viaContainer ? base : 0;
        }
    }
    // The server selection is refilled whichever way it is entered.
    if (!backward || kind == kPageServerDetail) RunPage(kind, 0);
}

void TFmWizard::UpdateButtons() {
    const int index = WzdInfo.PageIndex;
    bbBack->SetEnabled(index != 0);
    const bool next = WzdInfo.Job == 0 || index + 1 < WzdInfo.PageCount;
    bbNext->SetEnabled(next);
    bbNext->SetVisible(next);
    const bool ok = WzdInfo.Job != 0 && index + 1 == WzdInfo.PageCount;
    bbOk->SetEnabled(ok);
    bbOk->SetVisible(ok);
}

void TFmWizard::PageUpdate(int target) {
    bbOk->SetCaption(GetMessageText(693));
    const auto& pages = WizardJobTable()[WzdInfo.Job].pages;
    if (target < 0 || target >= static_cast<int>(pages.size())) return;
    if (target > WzdInfo.PageIndex) {
        const int kind = CurrentPageKind();
        if (kind != kPageJobList && kind != kPageShareName && RunPage(kind, 1) != 0) return;
    }
    const bool backward = target < WzdInfo.PageIndex;
    const int kind = pages[static_cast<std::size_t>(target)];
    Panel1->SetVisible(kind != kPageJobList);
    ShowJobPicture();
    if (Sheets[kind]) PageControl1->SetActivePage(Sheets[kind]);
    EnterPage(kind, backward);
    WzdInfo.PageIndex = static_cast<std::uint8_t>(target);
    UpdateButtons();
    // Focus the way on.
    if (Showing()) {
        if (bbNext->GetVisible() && bbNext->CanFocus())
            bbNext->SetFocus();
        else if (bbOk->GetVisible() && bbOk->CanFocus())
            bbOk->SetFocus();
    }
}

void TFmWizard::ShowJobPicture() {
    // The job's icon of ImageList_Job: 0 a disc, 1 a folder, 2 the network, 3 a drive, 4 a file.
    int icon = 0;
    switch (WzdInfo.Job) {
    case kJobBuildImage:
        icon = 1;
        break;
    case kJobSetupServer:
    case kJobSetupPreselected:
        icon = 2;
        break;
    case kJobInitializeHd:
        icon = 3;
        break;
    case kJobConvertCdh:
    case kJobUploadIso:
        icon = 4;
        break;
    default:
        break;
    }
    ImageList_Job->GetPicture(icon, *Image1->Picture());
}

bool TFmWizard::AnyDestinationHasWriter() {
    for (const auto& entry : WzdInfo.Jobs) {
        const auto target = Target(*entry);
        if (target && target->GetDriveCount() > 0) return true;
    }
    return false;
}

void TFmWizard::bbNextClick(vcl::TObject*) {
    if (busy_) return;
    if (EndSetupOfOfflineUnit()) return;
    if (WzdInfo.Job == 0) {
        vcl::TListItem* row = ListView_JobList->GetSelected();
        if (row == nullptr) return;
        SetJob(row->Index() + 1);
        PageUpdate(WzdInfo.PageIndex);
        return;
    }
    if (CurrentPageKind() == kPageVolumeName && IsDiscImageJob(WzdInfo.Job) &&
        !AnyDestinationHasWriter()) {
        PageUpdate(WzdInfo.PageIndex + 2);
        return;
    }
    if (WzdInfo.PageIndex + 1 < WzdInfo.PageCount) PageUpdate(WzdInfo.PageIndex + 1);
}

void TFmWizard::bbBackClick(vcl::TObject*) {
    if (busy_) return;
    if (EndSetupOfOfflineUnit()) return;
    if (WzdInfo.PageIndex == 0) return;
    if (CurrentPageKind() == kPageSchedule && IsDiscImageJob(WzdInfo.Job) &&
        !AnyDestinationHasWriter()) {
        PageUpdate(WzdInfo.PageIndex - 2);
        return;
    }
    PageUpdate(WzdInfo.PageIndex - 1);
}

void TFmWizard::bbOkClick(vcl::TObject*) {
    if (busy_) return;
    DestinationListLive = 0;
    // The options are stored into the entries before the tasks are made.
    switch (WzdInfo.Job) {
    case kJobMirror:
    case kJobMirrorPreselected:
        if (OptionsPage(1) == 0) FinishMirror();
        break;
    case kJobBuildImage:
    case kJobMirrorContainer:
    case kJobMirrorContainerPreselected:
        if (OptionsPage(1) == 0) FinishBuildImage();
        break;
    case kJobRecordCd:
        FinishRecordCd();
        break;
    case kJobUploadIso:
        if (OptionsPage(1) == 0) FinishUploadIso();
        break;
    case kJobSetupServer:
    case kJobSetupPreselected:
        if (FinishServerSetup() == 0 && host_) {
            host_->RefreshServerNodeTexts();
            host_->ReselectTreeNode();
        }
        break;
    case kJobConvertCdh:
        if (ConvertTargetPage(1) == 0) FinishCdhConvert();
        break;
    default:
        break;
    }
}

void TFmWizard::bbCancelClick(vcl::TObject*) {
    if (busy_) return;
    DestinationListLive = 0;
    SetJob(0);
}

void TFmWizard::ListView_JobListChange(vcl::TObject*, vcl::TListItem*, vcl::TItemChange) {
    vcl::TListItem* row = ListView_JobList->GetSelected();
    if (row == nullptr) return;
    Label_JobName->SetCaption(GetWizardJobText(row->Index() + 1, 0));
    Label_JobComment->SetCaption(GetWizardJobText(row->Index() + 1, 1));
}

void TFmWizard::ListView_JobListDblClick(vcl::TObject* Sender) {
    if (ListView_JobList->GetSelected()) bbNextClick(Sender);
}

void TFmWizard::FormShow(vcl::TObject*) {
    // The wizard's own modal loop: boxes it opens count above it.
    modalBase_ = vcl::ModalDepth();
    if (WzdInfo.Job != kJobRecordCd) ClearJobList();
    if (host_ && host_->MainForm()) {
        vcl::TForm* main = host_->MainForm();
        SetTop(main->GetTop() + (main->GetHeight() - GetHeight()) / 2);
        SetLeft(main->GetLeft() + (main->GetWidth() - GetWidth()) / 2);
    }
    if (bbNext->GetVisible() && bbNext->CanFocus()) bbNext->SetFocus();
}

void TFmWizard::FormClose(vcl::TObject*, vcl::TCloseAction&) {
    DestinationListLive = 0;
    for (vcl::TListView* list :
         {ListView_MethodResult, ListView_VolumeName, ListView_ShareName, ListView_CdrOption})
        list->Items()->Clear();
    lastCdrRow_ = nullptr;
    // Every job's list is emptied, whatever the job.
    ClearJobList();
    WzdInfo.ClearState();
    WizardRefreshInfo.Forget();
    setupUnitOffline_.clear();
    ServerDetailLive = 0;
    discContainer_.reset();
    container_.reset();
    PreselectedServer = {};
    PreselectedDevice = -1;
    SourceDriveLetter = 0;
    SetJob(0);
    PageUpdate(WzdInfo.PageIndex);
}

std::string TFmWizard::MacOf(const CNasServer& server) {
    const auto& field = server.Info.hardwareAddress;
    const auto* bytes = reinterpret_cast<const char*>(field);
    return std::string(bytes, strnlen(bytes, sizeof field));
}

std::shared_ptr<CNasServer> TFmWizard::ResolveTarget(const std::string& mac) const {
    if (!host_ || mac.empty()) return nullptr;
    for (vcl::TTreeNode* root : {host_->NasServersNode(), host_->RemoteServersNode()}) {
        if (!root) continue;
        for (int i = 0; i < root->Count(); ++i) {
            auto server = host_->UnitOf(root->Item(i)->GetData());
            if (server && MacOf(*server) == mac) return server;
        }
    }
    return nullptr;
}

void TFmWizard::FillServerCombo(vcl::TComboBox* combo) {
    // The unit chosen before is known by its hardware address (its name may have changed, its
    // object may have gone); with no item chosen the unit chosen last is still the one wanted.
    UnitComboState& state = unitCombos_[combo];
    const int chosen = combo->GetItemIndex();
    if (chosen >= 0)
        state.Chosen = static_cast<std::size_t>(chosen) < state.Macs.size()
                           ? state.Macs[static_cast<std::size_t>(chosen)]
                           : std::string();
    combo->Items()->BeginUpdate();
    combo->Items()->Clear();
    state.Macs.clear();
    int again = -1;
    if (host_) {
        for (vcl::TTreeNode* root : {host_->NasServersNode(), host_->RemoteServersNode()}) {
            if (!root) continue;
            for (int i = 0; i < root->Count(); ++i) {
                vcl::TTreeNode* node = root->Item(i);
                const auto server = host_->UnitOf(node->GetData());
                if (!server || !server->IsFlag31Clear() || !server->HasCdMirror() ||
                    node->Count() == 0)
                    continue;
                const std::string mac = MacOf(*server);
                if (!state.Chosen.empty() && mac == state.Chosen) again = combo->Items()->Count();
                combo->Items()->AddObject(node->GetText(), server->UnitHandle.Data());
                state.Macs.push_back(mac);
            }
        }
    }
    if (combo->Items()->Count() == 0) combo->Items()->Add(GetMessageText(491));
    combo->Items()->EndUpdate();
    // The unit chosen before stays chosen; when it has gone nothing is, rather than another unit
    // the user did not pick, until it comes back.
    combo->SetItemIndex(state.Chosen.empty() ? 0 : again);
}

int TFmWizard::FindComboItem(vcl::TComboBox* combo, const std::string& text) {
    return combo->Items()->IndexOf(text);
}

void TFmWizard::DropVanishedDestinations() {
    // A box is open over the wizard: the code that waits on it still holds its destination. The
    // drop comes with the next refresh once the box is closed; that code looks its unit up again
    // meanwhile.
    if (vcl::ModalDepth() > modalBase_) return;
    std::string gone;
    for (auto it = WzdInfo.Jobs.begin(); it != WzdInfo.Jobs.end();) {
        if (ResolveTarget((*it)->TargetMac) != nullptr) {
            ++it;
            continue;
        }
        WizardJobEntry* entry = it->get();
        for (vcl::TListView* list :
             {ListView_MethodResult, ListView_VolumeName, ListView_ShareName, ListView_CdrOption})
            for (int i = list->Items()->Count() - 1; i >= 0; --i) {
                vcl::TListItem* row = list->Items()->Item(i);
                if (row->GetData() != entry) continue;
                if (row == lastCdrRow_) lastCdrRow_ = nullptr;
                list->Items()->Delete(i);
            }
        gone += "\n" + entry->TargetName;
        it = WzdInfo.Jobs.erase(it);
    }
    if (!gone.empty()) ErrorBox(std::string(GetMessageText(437)) + gone);
}

std::shared_ptr<CNasServer> TFmWizard::ComboServer(vcl::TComboBox* combo) const {
    const int chosen = combo->GetItemIndex();
    if (chosen < 0 || !host_) return nullptr;
    return host_->UnitOf(combo->Items()->Objects(chosen));
}

void TFmWizard::RefreshServerList() {
    if (host_) host_->RefreshRemoteServers();
    FillServerCombo(ComboBox_ServerList);
    ComboBox_ServerListChange(nullptr);
    DropVanishedDestinations();
}
