// The main window's life cycle: its own state, creation, first idle moment and first paint, the
// close questions, shut-down, and the announcement socket.
#include "central.h"
#include "listview_layouts.h"

#include "about.h"
#include "brandinfo.h"
#include "cdevents.h"
#include "cdrom.h"
#include "container.h"
#include "droptarget_kinds.h"
#include "fmwizard.h"
#include "kinddialog.h"
#include "listview_fill.h"
#include "listview_layouts.h"
#include "msgbox.h"
#include "server_nodes.h"
#include "taskman.h"
#include "tree_binding.h"
#include "unit_call.h"

#include "vcl/application.h"
#include "vcl/hint_window.h"
#include "vcl/list_view.h"
#include "vcl/menus.h"
#include "vcl/mouse.h"
#include "vcl/screen.h"
#include "vcl/status_bar.h"
#include "vcl/tool_bar.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <optional>

TForm_Central* Form_Central = nullptr;
bool FirstIdlePending = true;
std::uint16_t AnnouncementPort = 1999;

// What the remote NAS list sees of the window.
class TForm_Central::RemoteHost : public TRemoteNasHost {
public:
    explicit RemoteHost(TForm_Central& window) : window_(window) {}
    CNASSvrNet& ServerList() override { return window_.NasSvrNet; }
    vcl::TTreeNode* RemoteServersNode() override { return window_.RemoteServersNode; }
    void RemoteServerGoing(NasUnitHandle unit) override { window_.ForgetServer(unit); }

private:
    TForm_Central& window_;
};

void TForm_Central::InitState() {
    remoteHost_ = std::make_shared<RemoteHost>(*this);
    folderReader_ = std::make_unique<TFolderReader>(
        [this](const TFolderReader::Answer& answer) { ImageFoldersRead(answer); });
    remoteProber_ = std::make_unique<TRemoteProber>(
        [this](const TRemoteProber::Answer& answer) { RemoteServerAnswered(answer); });
    // While a command waits for its unit, the status bar says so (the text before comes back).
    SetUnitWaitShow(
        [this, saved = std::make_shared<std::optional<std::string>>()](const std::string& text) {
            if (!StatusBar) return;
            vcl::TStatusPanel* panel = StatusBar->Panels(1);
            if (!panel) return;
            if (!text.empty()) {
                if (!*saved) *saved = panel->GetText();
                panel->SetText(text);
            } else if (*saved) {
                panel->SetText(**saved);
                saved->reset();
            }
            StatusBar->Repaint();
        });
    treeBinding_ = std::make_shared<TreeViewBinding>(TreeView);
    IniData.DefaultContainer.clear();
    IniData.ValidateLog.clear();
    for (auto& entry : FileIconCache)
        entry = {};
    LastIconIndex = nkFirstShellIcon;
    DesktopNode = MyComputerNode = MyContainerNode = NasNetworkNode = NasServersNode =
        RemoteServersNode = CdhRootNode = nullptr;
    MainContainer.BindTreeView(treeBinding_.get(), &MyContainerNode);
    FormReady = true;
    RenameAborted = RenameInProgress = ListRefreshing = PopupSelecting = false;
    TreeLeftButtonDown = false;
    RightClickNode = DraggedNode = HintedNode = nullptr;
    ShownListLayout = 0;
}

TForm_Central::~TForm_Central() {
    // Deleted without Free (which raises OnDestroy first), the window runs its handler itself.
    if (OnDestroy) {
        OnDestroy = nullptr;
        FormDestroy(this);
    }
    *alive_ = false;
    SetUnitWaitShow(nullptr);
    // Neither waits for a unit: reads under way are given up.
    folderReader_.reset();
    remoteProber_.reset();
    CloseAnnounceSocket();
    if (Form_RemoteNAS && Form_RemoteNAS->Host() == remoteHost_.get())
        Form_RemoteNAS->SetHost(nullptr);
    if (MainContainer.BoundNode() == MyContainerNode) MainContainer.BindTreeView(nullptr, nullptr);
    if (Form_Central == this) Form_Central = nullptr;
}

void TForm_Central::FormCreate(vcl::TObject*) {
    ServerHintWindow = new vcl::THintWindow(this);
    ServerHintWindow->SetColor(vcl::clInfoBk);
    if (vcl::Application) vcl::Application->HelpFile = GetMessageText(3);
    FormReady = false;
    DropFileTarget_TreeView->Register(TreeView);
    DropFileTarget_ListView->Register(ListView);
    // Owned by the application, but never its main form: this window is.
    if (!Form_RemoteNAS && vcl::Application)
        Form_RemoteNAS = vcl::MakeForm<TForm_RemoteNAS>(vcl::Application);
    if (Form_RemoteNAS) Form_RemoteNAS->SetHost(remoteHost_.get());
    SetDefaultSettings();
    LoadSettings();
    InitNetwork();
    if (vcl::Application && FirstIdlePending)
        vcl::Application->Post([this, alive = Alive()] {
            if (*alive) ApplicationIdleStartup();
        });
    if (DesktopNode) TreeView->SetSelected(DesktopNode);
    FormReady = true;
    SetTexts();
    // The columns of the form description are the Desktop's: they take its texts and widths and
    // stay when the Desktop is filled.
    SetLayoutColumnTexts(*this, ListView, 0);
    for (vcl::TMenuItem* item : {MenuItem_MenuHdInitialize, MenuItem_MenuShutdown,
                                 MenuItem_MenuReset, MenuItem_MenuDisable, N1})
        item->SetVisible(false);
}

void TForm_Central::FormShow(vcl::TObject*) {}

void TForm_Central::CloseAnnounceSocket() {
    if (announceSocket_ >= 0) ::close(announceSocket_);
    announceSocket_ = -1;
    NasSvrNet.AnnouncementSocket = -1;
}

bool TForm_Central::InitNetwork() {
    BuildTreeView();
    Timer_GetDateTimeTimer(nullptr);
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        vcl::Application->MessageBox("UDP Socket Create Error!", "", vcl::MB_OK);
        return true;
    }
    // Shared with listeners that allow it (the units' simulators on this host); a holder that
    // does not still takes the port.
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    // Room for a burst of announcements between two ticks (the system may give less).
    int room = 1 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(AnnouncementPort);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        announceSocket_ = fd;
        NasSvrNet.AnnouncementSocket = fd;
        return true;
    }
    ::close(fd);
    char text[512];
    std::snprintf(text, sizeof text, GetMessageText(850), static_cast<long>(AnnouncementPort));
    vcl::Application->MessageBox(text, "", vcl::MB_OK);
    // The program ends when its message loop starts; nothing is asked and nothing is written.
    portTaken_ = true;
    vcl::Application->Terminate();
    return false;
}

void TForm_Central::ApplicationIdleStartup() {
    if (!FirstIdlePending) return;
    FirstIdlePending = false;
    if (IniData.LoadContainer == 1 && MyContainerNode) {
        FormReady = false;
        LoadContainerTree(IniData.DefaultContainer);
        MyContainerNode->Expand(false);
        FormReady = true;
    }
    if (DesktopNode) {
        if (TreeView->GetSelected() == DesktopNode)
            TreeViewChange(TreeView, DesktopNode);
        else
            TreeView->SetSelected(DesktopNode);
    }
    // "LoadExplorer": the desktop's file manager is not opened (the shell opens web, mail and
    // network addresses only); the setting is kept for the options dialog.
    if (IniData.LoadWizard == 1) {
        if (TFmWizard* wizard = Wizard()) wizard->ShowModal();
    }
}

void TForm_Central::FormPaint(vcl::TObject*) {
    if (!Form_About) {
        // Told once: the box itself makes the window paint again.
        if (!aboutMissingTold_) {
            aboutMissingTold_ = true;
            ShowKindMessage(GetMessageText(57), 1);
        }
    } else if (!Form_About->Interactive) {
        Form_About->Interactive = true;
        Form_About->Close();
    }
    if (Panel_MainTool) Panel_MainTool->Realign();
    // The remote list is taken from the tree once for each list form, not at every paint: an
    // empty list stays what the user made it.
    if (Form_RemoteNAS && syncedRemoteForm_ != Form_RemoteNAS) {
        if (syncedRemoteForm_) RemoveFreeNotification(syncedRemoteForm_);
        syncedRemoteForm_ = Form_RemoteNAS;
        FreeNotification(Form_RemoteNAS);
        if (!Form_RemoteNAS->Host()) Form_RemoteNAS->SetHost(remoteHost_.get());
        Form_RemoteNAS->SyncFromTree();
    }
}

void TForm_Central::Notification(vcl::TComponent* component, vcl::TOperation operation) {
    vcl::TForm::Notification(component, operation);
    if (operation == vcl::opRemove && component == syncedRemoteForm_) syncedRemoteForm_ = nullptr;
}

void TForm_Central::FormCloseQuery(vcl::TObject*, bool& CanClose) {
    if (portTaken_) return;
    // My Container: a rename in progress runs its own loop over the window. It ends first, with
    // the old name; the close is asked again once it has.
    if (RenameInProgress) {
        RenameAborted = true;
        if (vcl::TTreeNode* node = TreeView->EditingNode()) node->EndEdit(true);
        if (vcl::TListItem* item = ListView->EditingItem()) item->EndEdit(true);
        CanClose = false;
        if (vcl::Application)
            vcl::Application->Post([this, alive = Alive()] {
                if (*alive) Close();
            });
        return;
    }
    // The task manager's tasks, however the window was given it (made at start or from the
    // Tools menu).
    const int tasks = TaskCount ? TaskCount() : FmTaskMan ? FmTaskMan->GetTaskCount() : 0;
    if (tasks > 0) {
        int answer = vcl::Application->MessageBox(
            std::string(GetMessageText(55)) + GetMessageText(56), GetMessageText(15),
            vcl::MB_YESNO | vcl::MB_ICONEXCLAMATION);
        if (answer != vcl::IDYES) {
            CanClose = false;
            return;
        }
        if (StopAllTasks)
            StopAllTasks();
        else if (FmTaskMan)
            FmTaskMan->StopAllTasks();
    }
    if (MyContainerNode && MyContainerNode->GetData() &&
        MyContainerNode->GetImageIndex() == nkContainerModified) {
        if (ShowKindMessage(GetMessageText(809), 9) == vcl::mrYes) {
            // A save that failed or was cancelled keeps the window, and the container, open.
            if (!SaveContainer()) {
                CanClose = false;
                return;
            }
        }
    }
    CanClose = true;
}

void TForm_Central::FormClose(vcl::TObject*, vcl::TCloseAction&) {
    if (portTaken_) return;
    switch (GetWindowState()) {
    case vcl::wsMaximized:
        IniData.MainMaximized = 1;
        break;
    case vcl::wsNormal:
        IniData.MainMaximized = 0;
        IniData.MainTop = GetTop();
        IniData.MainLeft = GetLeft();
        IniData.MainHeight = GetHeight();
        IniData.MainWidth = GetWidth();
        break;
    case vcl::wsMinimized:
        break;
    }
    bool allow = true;
    TreeViewChanging(TreeView, nullptr, allow);
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        vcl::Application->ShowException(e);
    }
    CDH_LOGICAL_CDROM_CLASS& drives = CdromTable();
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        if (drives.IsCdDrive(letter)) drives.UnlockDrive(letter);
    RenameAborted = true;
    CloseAnnounceSocket();
}

void TForm_Central::FormDestroy(vcl::TObject*) {
    for (TDropFileTarget* target : {DropFileTarget_TreeView, DropFileTarget_ListView}) {
        try {
            if (target) target->Unregister();
        } catch (const std::exception&) {
            // A control already gone has nothing left to unregister.
        }
    }
    *alive_ = false;
}

std::shared_ptr<bool> TForm_Central::Alive() const {
    return alive_;
}

// ---- Texts

namespace {
void Texts(vcl::TMenuItem* item, int caption, int hint = 0) {
    item->SetCaption(GetMessageText(caption));
    if (hint >= 0) item->SetHint(GetMessageText(hint ? hint : caption));
}
} // namespace

void TForm_Central::SetTexts() {
    struct Item {
        vcl::TMenuItem* item;
        int caption;
        int hint; // 0: as the caption; -1: none
    };
    const Item items[] = {
        {MenuItem_MenuNewFolder, 532, 0},     {MenuItem_MenuRename, 531, 0},
        {MenuItem_MenuDelete, 817, 0},        {RemoteNASList1, 822, -1},
        {MenuItem_MenuProperty, 123, 0},      {MenuItem_MenuExit, 515, 0},
        {MenuItem_MenuCopy, 539, 0},          {MenuItem_MenuCut, 565, 0},
        {MenuItem_MenuPaste, 516, 0},         {MenuItem_MenuSelectAll, 517, 0},
        {MenuItem_MenuInverseSelect, 566, 0}, {MenuItem_MenuRefresh, 519, 0},
        {MenuItem_MenuUpDirectory, 520, 0},   {MenuItem_MenuExpand, 521, 522},
        {MenuItem_MenuShrink, 525, 526},      {MenuItem_MenuLarge, 523, 0},
        {MenuItem_MenuSmall, 527, 0},         {MenuItem_MenuList, 528, 0},
        {MenuItem_MenuDetail, 529, 0},        {MenuItem_MenuStatusBar, 524, 0},
        {MenuItem_MenuToolBar, 530, 0},       {MenuItem_ExpandByButton, 521, 522},
        {MenuItem_ShrinkByButton, 525, 526},  {MenuItem_LargeByButton, 523, 0},
        {MenuItem_SmallByButton, 527, 0},     {MenuItem_ListByButton, 528, 0},
        {MenuItem_DetailByButton, 529, 0},    {MenuItem_MenuMirror, 266, 0},
        {MenuItem_MenuBuild, 423, 0},         {MenuItem_MenuBuildISO, 917, 0},
        {MenuItem_MenuRecordCD, 829, 0},      {MenuItem_MenuCDHImgConverter, 903, -1},
        {MenuItem_MenuNewContainer, 561, 0},  {MenuItem_MenuLoadContainer, 562, 0},
        {MenuItem_MenuSaveContainer, 563, 0}, {MenuItem_MenuSaveContainerAs, 564, 0},
        {MenuItem_MenuValidate, 540, 0},      {MenuItem_MenuServerQuickSetup, 483, 0},
        {MenuItem_MenuHdInitialize, 427, 0},  {MenuItem_MenuShutdown, 194, 0},
        {MenuItem_MenuReset, 196, 0},         {MenuItem_MenuDisable, 567, 0},
        {MenuItem_MenuBrowse, 876, 877},      {MenuItem_MenuExplore, 558, 0},
        {MenuItem_MenuExport, 855, 0},        {MenuItem_MenuImport, 856, 0},
        {MenuItem_MenuWizard, 421, 0},        {MenuItem_MenuTaskManager, 560, 0},
        {MenuItem_MenuApCfg, 556, 0},         {MenuItem_MenuHelpContent, 518, 0},
        {MenuItem_MenuHelpIndex, 533, 0},     {MenuItem_MenuVeskarWeb, 535, 0},
        {MenuItem_MenuVeskarEmail, 537, 0},   {MenuItem_MenuAbout, 536, 0},
        {MenuItem_DragDropMove, 538, 0},      {MenuItem_DragDropCopy, 539, 0},
        {MenuItem_DragDropCancel, 512, 0},    {MenuItem_RightPaste, 568, 0},
        {MenuItem_RightMirror, 559, 0},       {MenuItem_RightExplore, 558, 0},
        {MenuItem_RightBrowse, 876, 877},     {MenuItem_RightServerQuickSetup, 483, 0},
        {MenuItem_RightBuildImage, 423, 0},   {MenuItem_RightValidate, 387, 0},
        {MenuItem_RightNewFolder, 532, 0},    {MenuItem_RightRename, 531, 0},
        {MenuItem_RightDisable, 567, 0},      {MenuItem_RightDelete, 817, 0},
        {MenuItem_RightRefresh, 519, 0},      {MenuItem_RightProperty, 123, 0},
        {MenuItem_RightRecordCD, 829, 0},     {MenuItem_RightExport, 855, 0},
        {MenuItem_RightImport, 856, 0},       {MenuItem_RightBrowseNAS, 876, 877},
        {MenuItem_RightExplorNAS, 878, 879},
    };
    for (const Item& i : items)
        Texts(i.item, i.caption, i.hint);

    struct Button {
        vcl::TToolButton* button;
        int caption; // 0: hint only
        int hint;
    };
    const Button buttons[] = {
        {ToolButton_FileMenu, 782, 549},    {ToolButton_EditMenu, 783, 550},
        {ToolButton_ViewMenu, 784, 551},    {ToolButton_MirrorMenu, 785, 552},
        {ToolButton_ServerMenu, 786, 553},  {ToolButton_ToolMenu, 787, 554},
        {ToolButton_HelpMenu, 788, 555},    {ToolButton_Refresh, 0, 541},
        {ToolButton_Updir, 0, 542},         {ToolButton_TreeMode, 0, 543},
        {ToolButton_ListMode, 0, 544},      {ToolButton_SaveContainer, 0, 545},
        {ToolButton_LoadContainer, 0, 546}, {ToolButton_Mirror, 0, 547},
        {ToolButton_Build, 0, 548},         {ToolButton_ServerQuickSetup, 0, 569},
        {ToolButton_Wizard, 0, 570},        {ToolButton_TaskManager, 0, 571},
        {ToolButton_HelpBook, 0, 572},      {ToolButton_VeskarWeb, 0, 573},
    };
    for (const Button& b : buttons) {
        if (b.caption) b.button->SetCaption(GetMessageText(b.caption));
        b.button->SetHint(GetMessageText(b.hint));
    }
    if (ListView->Columns()->Count() > 0)
        ListView->Columns()->Items(0)->SetCaption(GetMessageText(789));
    if (ListView->Columns()->Count() > 1)
        ListView->Columns()->Items(1)->SetCaption(GetMessageText(115));
    StatusBar->Panels(1)->SetText("");
    StatusBar->Panels(2)->SetText("");
}

// ---- Timers

void TForm_Central::Timer_GetDateTimeTimer(vcl::TObject*) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[32], time[32];
    std::strftime(date, sizeof date, "%Y/%m/%d  ", &local);
    std::strftime(time, sizeof time, " %p %I:%M:%S ", &local);
    const std::string text = std::string(date) + time;
    StatusBar->Panels(2)->SetText(text);
    const int needed = StatusBar->PanelWidthFor(text);
    if (needed > ClockPanelWidth) {
        ClockPanelWidth = needed;
        StatusBarResize(StatusBar);
    }
}

void TForm_Central::Timer_HintTimer(vcl::TObject*) {
    ++hintTicks_;
    if (hintTicks_ > 20) {
        hintTicks_ = 0;
        ServerHintWindow->ReleaseHandle();
        Timer_Hint->SetEnabled(false);
        return;
    }
    vcl::TPoint cursor = vcl::GetCursorPos();
    vcl::TPoint topLeft = TreeView->ClientToScreen({0, 0});
    vcl::TRect area{topLeft.X, topLeft.Y, topLeft.X + TreeView->GetWidth(),
                    topLeft.Y + TreeView->GetHeight()};
    if (!area.Contains(cursor)) {
        ServerHintWindow->ReleaseHandle();
        Timer_Hint->SetEnabled(false);
    }
}

// ---- Commands the life cycle needs

void TForm_Central::MenuItem_MenuExitClick(vcl::TObject*) {
    Close();
}

void TForm_Central::MenuItem_MenuNASListClick(vcl::TObject*) {
    if (!Form_RemoteNAS) return;
    Form_RemoteNAS->ClearChanged();
    Form_RemoteNAS->ShowModal();
    if (!Form_RemoteNAS || !Form_RemoteNAS->IsChanged()) return;
    // Units added or removed in the dialog show under Remote Servers at once.
    RefreshRemoteServers(*this);
    Form_RemoteNAS->ClearChanged();
    vcl::TTreeNode* selected = TreeView->GetSelected();
    if (selected && (selected == RemoteServersNode || selected == NasNetworkNode))
        FillListView(*this);
}
