// The commands that start a job through the wizard: mirror, build, upload, record, conversion,
// server quick setup, hard-disk initialisation and the wizard itself. Each takes its selection
// from where it was given (the right-clicked node or row, or the focused view's selection),
// writes the preselection into the wizard and shows it modally on its job.
#include "central.h"
#include "command_selection.h"

#include "cdh_net.h"
#include "cdrom.h"
#include "container.h"
#include "fmwizard.h"
#include "kinddialog.h"
#include "listview_layouts.h"
#include "msgbox.h"
#include "nasserver.h"
#include "server_lists.h"
#include "server_nodes.h"
#include "taskman.h"
#include "wizard_jobs.h"
#include "wizard_setup.h"

#include "devices/mounts.h"
#include "vcl/application.h"
#include "vcl/menus.h"

#include <cstdint>
#include <cstring>

namespace {

// What the wizard sees of the main window.
class MainWizardHost : public TWizardHost {
public:
    explicit MainWizardHost(TForm_Central& window) : window_(window) {}
    vcl::TTreeNode* NasServersNode() override { return window_.NasServersNode; }
    vcl::TTreeNode* RemoteServersNode() override { return window_.RemoteServersNode; }
    CDH_LOGICAL_CDROM_CLASS* Drives() override { return &CdromTable(); }
    MIRROR_CONTAINER* MyContainer() override { return &MainContainer; }
    int TaskCount() override { return FmTaskMan ? FmTaskMan->GetTaskCount() : 0; }
    // Loading or validating My Container waits while any task builds an image.
    bool HasBuildTask() override {
        for (int i = 0; FmTaskMan && i < FmTaskMan->GetTaskCount(); ++i)
            if (const TaskRecord* task = FmTaskMan->TaskAt(i);
                task && task->kind == task_kind::Build)
                return true;
        return false;
    }
    // Where the letter's disc is mounted: its device in the letter map, found in the mount table.
    std::string DiscPath(char letter) override { return platform::devices::DiscFolder(letter); }
    void RefreshCdromView() override { window_.RefreshCdromView(); }
    void RefreshServerTree() override { ::RefreshServerTree(window_); }
    void RefreshRemoteServers() override { ::RefreshRemoteServers(window_); }
    // After a quick setup the units are asked again: the unit's object takes its new name and
    // addresses in place, and its node and the list show them at once.
    void RefreshServerNodeTexts() override { ::RefreshServerTree(window_); }
    void ReselectTreeNode() override { window_.MyTreeViewChange(); }
    int RefreshCdhServers() override { return window_.RefreshCdhServers(); }
    void LoadContainer() override { window_.MenuItem_MenuLoadContainerClick(nullptr); }
    void ValidateContainer() override { window_.MenuItem_MenuValidateClick(nullptr); }
    CDH_NET_CLASS* CdhNet() override { return &CdhNetClass(); }
    int RefreshCdhServerNode(TCdhSvr* server) override {
        return window_.RefreshCdhServerNode(server);
    }
    vcl::TForm* MainForm() override { return &window_; }
    void SetListViewColumns(vcl::TListView* list, int layout) override {
        ::SetListViewColumns(window_, list, layout);
    }
    // The rows of the columns above: the main window's server rows.
    void ListServersOfNode(vcl::TListView* list, vcl::TTreeNode* node, int options) override {
        ::ListServersOfNode(window_.NasSvrNet, list, node, options);
    }
    void SetFormReady(bool ready) override { window_.FormReady = ready; }
    std::shared_ptr<CNasServer> UnitOf(const void* data) override { return window_.UnitOf(data); }
    bool SelectedImage(std::shared_ptr<CNasServer>& server, std::string& name,
                       std::uint32_t& blocks) override {
        vcl::TTreeNode* folder = window_.TreeView->GetSelected();
        if (!folder || folder->GetImageIndex() != nkImageFolder || !folder->Parent()) return false;
        const auto owner = window_.UnitOf(folder->Parent()->GetData());
        vcl::TListItem* row = window_.ListView->GetSelected();
        if (!owner || !row || row->GetImageIndex() != nkCdImage || !row->GetData()) return false;
        const auto* image = static_cast<const NasImgInfo*>(row->GetData());
        server = owner;
        name.assign(image->name, strnlen(image->name, sizeof image->name));
        blocks = image->size;
        return true;
    }

private:
    TForm_Central& window_;
};

// The wizard's job-list rows that the wizard command highlights.
constexpr int kRowMirror = 0, kRowBuild = 1, kRowSetup = 2;

} // namespace

TFmWizard* TForm_Central::Wizard() {
    if (!FmWizard) {
        try {
            vcl::MakeForm<TFmWizard>(vcl::Application);
        } catch (const std::exception&) {
            return nullptr;
        }
    }
    if (!FmWizard) return nullptr;
    if (!wizardHost_) wizardHost_ = std::make_shared<MainWizardHost>(*this);
    if (FmWizard->Host() != wizardHost_.get()) FmWizard->SetHost(wizardHost_.get());
    return FmWizard;
}

void TForm_Central::WizardDrivesChanged() {
    if (!FmWizard || !FmWizard->GetVisible() || FmWizard->CurrentPageKind() != kPageLocalCdrom)
        return;
    // The drive the user chose stays chosen while it is listed with a disc.
    vcl::TListView* list = FmWizard->ListView_LocalCdrom;
    vcl::TListItem* chosen = list->GetSelected();
    const void* letter = chosen ? chosen->GetData() : nullptr;
    FmWizard->LocalCdromPage(0);
    if (!letter) return;
    CDH_LOGICAL_CDROM_CLASS& drives = CdromTable();
    for (int i = 0; i < list->Items()->Count(); ++i) {
        vcl::TListItem* row = list->Items()->Item(i);
        if (row->GetData() != letter) continue;
        if (!drives.IsDiscReady(static_cast<char>(reinterpret_cast<std::intptr_t>(letter)))) return;
        list->ClearSelection();
        row->SetSelected(true);
        row->SetFocused(true);
        return;
    }
}

void TForm_Central::RefreshWizardServerDetail() {
    if (!FmWizard || !FmWizard->GetVisible() || ServerDetailLive != 1) return;
    // The chosen unit stays chosen by its hardware address.
    vcl::TListView* list = FmWizard->ListView_ServerDetail;
    std::string chosen;
    if (vcl::TListItem* row = list->GetSelected())
        if (const auto unit = UnitOf(row->GetData())) chosen = TFmWizard::MacOf(*unit);
    FmWizard->RefreshServerDetail();
    if (chosen.empty()) return;
    for (int i = 0; i < list->Items()->Count(); ++i) {
        vcl::TListItem* row = list->Items()->Item(i);
        const auto unit = UnitOf(row->GetData());
        if (unit && TFmWizard::MacOf(*unit) == chosen) {
            row->SetSelected(true);
            row->SetFocused(true);
            return;
        }
    }
}

namespace {

// Starts the wizard on a job and shows it; after it has closed the selected node is re-read when
// the user refreshed the server list inside the wizard.
void RunWizardJob(TForm_Central& window, TFmWizard& wizard, int job, bool refreshAfter) {
    wizard.StartJob(job);
    wizard.ShowModal();
    if (refreshAfter && WizardRefreshMainWindow) {
        WizardRefreshing = 1;
        window.RefreshTreeNode(window.TreeView->GetSelected());
    }
    WizardRefreshMainWindow = 0;
    WizardRefreshing = 0;
}

bool ServerNotReady(const CNasServer& server) {
    const std::uint32_t status = server.Info.unitStatus;
    return status == 0 || status == 2 || status == 3 || status == 4;
}

} // namespace

void TForm_Central::MenuItem_MenuMirrorClick(vcl::TObject* Sender) {
    if (RenameInProgress) return;
    TFmWizard* wizard = Wizard();
    if (!wizard) return;
    const CommandTarget target = CommandSelectionOf(*this, Sender);
    char letter = 0;
    if ((target.Node && target.Kind == nkCdDrive) ||
        (target.Item && target.Kind >= nkCdDrive && target.Kind <= nkDiscAudio))
        letter = static_cast<char>(reinterpret_cast<std::intptr_t>(target.Data));
    CDH_LOGICAL_CDROM_CLASS& drives = CdromTable();
    if (letter &&
        !(drives.IsCdDrive(letter) && drives.IsDiscReady(letter) && drives.IsDataDisc(letter) >= 1))
        letter = 0;
    wizard->SourceDriveLetter = letter;
    RunWizardJob(*this, *wizard, letter ? 6 : 1, true);
}

void TForm_Central::MenuItem_MenuBuildClick(vcl::TObject*) {
    if (RenameInProgress) return;
    TFmWizard* wizard = Wizard();
    if (!wizard) return;
    // The validation's outcome does not hold the build back: the wizard checks the container.
    // An empty container is refused by the wizard's container page itself.
    if (IniData.AutoValidate == 1) ValidateMyContainer(false);
    RunWizardJob(*this, *wizard, 2, true);
    RightClickItem = nullptr;
}

void TForm_Central::MenuItem_MenuBuildFromISOClick(vcl::TObject*) {
    if (RenameInProgress) return;
    if (TFmWizard* wizard = Wizard()) RunWizardJob(*this, *wizard, 11, true);
}

void TForm_Central::MenuItem_MenuRecordCDClick(vcl::TObject*) {
    if (TFmWizard* wizard = Wizard()) RunWizardJob(*this, *wizard, 9, false);
}

void TForm_Central::MenuItem_MenuCDHImgConverterClick(vcl::TObject*) {
    if (TFmWizard* wizard = Wizard()) RunWizardJob(*this, *wizard, 10, false);
}

void TForm_Central::MenuItem_MenuServerQuickSetupClick(vcl::TObject* Sender) {
    if (RenameInProgress) return;
    TFmWizard* wizard = Wizard();
    if (!wizard) return;
    wizard->PreselectedServer = {};
    const CommandTarget target = CommandSelectionOf(*this, Sender);
    // Held across the boxes below, in which refreshes run.
    CNASSvrNet::ServerPtr server;
    if (Sender == MenuItem_RightServerQuickSetup) {
        if (target.Kind == nkNasServer || target.Kind == nkNasServerFactory)
            server = UnitOf(target.Data);
        if (server && ServerNotReady(*server)) {
            vcl::Application->MessageBox(GetMessageText(922), GetMessageText(15),
                                         vcl::MB_OK | vcl::MB_ICONWARNING);
            return;
        }
    } else if (target.Kind == nkRemoteUnanswered || target.Kind == nkNasServerFactory) {
        server = UnitOf(target.Data);
    }
    if (server) {
        // The wizard's pages and finisher work on their own copy, which a refresh cannot free.
        WizardRefreshInfo.Take(*server);
        // A unit that reports tasks still pending is not set up; one that cannot tell is.
        if (server->GetPendingTasks(true) > 0) return;
    }
    wizard->PreselectedServer = server ? server->UnitHandle : NasUnitHandle();
    const int job = server ? 5 : 3;
    server.reset(); // the wizard finds the unit again by its handle
    RunWizardJob(*this, *wizard, job, true);
    RightClickItem = nullptr;
}

void TForm_Central::MenuItem_MenuHdInitializeClick(vcl::TObject*) {
    if (RenameInProgress) return;
    TFmWizard* wizard = Wizard();
    if (!wizard) return;
    // Disks to initialise are those of CD servers, whose branch this window does not build.
    wizard->PreselectedServer = {};
    wizard->PreselectedDevice = -1;
    if (!CdhRootNode) return;
    RunWizardJob(*this, *wizard, 4, false);
}

void TForm_Central::MenuItem_MenuWizardClick(vcl::TObject* Sender) {
    if (RenameInProgress) return;
    TFmWizard* wizard = Wizard();
    if (!wizard) return;
    const auto show = [&] {
        wizard->ShowModal();
        if (WizardRefreshMainWindow) {
            WizardRefreshing = 1;
            RefreshTreeNode(TreeView->GetSelected());
        }
        WizardRefreshMainWindow = 0;
        WizardRefreshing = 0;
    };
    const bool tree = TreeView->Focused();
    const bool list = ListView->Focused();
    if ((!tree && !list) || (tree && !TreeView->GetSelected())) {
        wizard->ShowModal();
        return;
    }
    if (list && ListView->SelCount() != 1) {
        show();
        return;
    }
    const CommandTarget target = CommandSelectionOf(*this, Sender);
    const KindRules rules = Kinds();
    int row = -1;
    const int k = target.Kind;
    if ((k >= 2 && k <= 13) || rules.IsShellKind(k))
        row = kRowBuild;
    else if (k == 52 || k == 53 || k == 55 || k == 56 || k == 59)
        row = kRowSetup;
    else if ((k >= 33 && k <= 40) || k == nkImageFolder)
        row = kRowMirror;
    if (row >= 0 && row < wizard->ListView_JobList->Items()->Count()) {
        vcl::TListItem* item = wizard->ListView_JobList->Items()->Item(row);
        wizard->ListView_JobList->SetSelected(item);
        wizard->ListView_JobList->SetItemFocused(item);
    }
    show();
}
