// The navigation tree: the skeleton, the selection pipeline, mouse and keys, look-ups, the window
// caption, the status text and the server tool-tip.
#include "central.h"

#include "brandinfo.h"
#include "cdh_net.h"
#include "cdrom.h"
#include "cdserver_devices.h"
#include "container.h"
#include "display_text.h"
#include "droptarget_kinds.h"
#include "kinddialog.h"
#include "listview_fill.h"
#include "listview_layouts.h"
#include "msgbox.h"
#include "nasserver.h"
#include "server_nodes.h"
#include "utils.h"

#include "vcl/application.h"
#include "vcl/hint_window.h"
#include "vcl/menus.h"
#include "vcl/screen.h"
#include "vcl/status_bar.h"
#include "vcl/tool_bar.h"

#include <algorithm>
#include <cstring>

using vcl::TTreeNode;

namespace {

int KindOf(const TTreeNode* node) {
    return node ? node->GetImageIndex() : nkNone;
}

// Sets a flag for the time of a scope (also when the scope throws).
class FlagScope {
public:
    explicit FlagScope(bool& flag, bool value = true) : flag_(flag), old_(flag) { flag_ = value; }
    ~FlagScope() { flag_ = old_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool old_;
};

TTreeNode* MakeNode(vcl::TTreeNodes* nodes, TTreeNode* parent, int textId, int kind) {
    TTreeNode* node = nodes->AddChild(parent, GetMessageText(textId));
    node->SetImageIndex(kind);
    node->SetSelectedIndex(kind);
    node->SetData(nullptr);
    return node;
}

} // namespace

// ---- Building the tree

void TForm_Central::BuildTreeView() {
    vcl::TTreeNodes* nodes = TreeView->Items();
    nodes->BeginUpdate();
    nodes->Clear();
    try {
        DesktopNode = MakeNode(nodes, nullptr, 58, nkDesktop);
        MyComputerNode = MakeNode(nodes, DesktopNode, 59, nkMyComputer);
        MyContainerNode = MakeNode(nodes, DesktopNode, 809, nkContainerEmpty);
        NasNetworkNode = MakeNode(nodes, DesktopNode, 60, nkNasNetwork);
        NasServersNode = MakeNode(nodes, NasNetworkNode, 832, nkNasServers);
        RemoteServersNode = MakeNode(nodes, NasNetworkNode, 885, nkRemoteServers);
    } catch (const std::bad_alloc&) {
        ShowKindMessage(GetMessageText(61), 30);
        nodes->EndUpdate();
        return;
    }
    RefreshAllCdrom();
    MyComputerNode->Expand(false);
    LoadContainerTree("");
    MyContainerNode->Expand(false);
    RefreshServerTree(*this);
    RefreshRemoteServers(*this);
    NasNetworkNode->Expand(false);
    DesktopNode->Expand(false);
    nodes->EndUpdate();
    Timer_ABSENT->SetEnabled(true);
}

int TForm_Central::NodeKindToListLayout(int Kind) {
    if (IsCdhDeviceKind(Kind)) return 6;
    switch (Kind) {
    case 1:
        return 0;
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
        return 3;
    case 14:
        return 4;
    case 15:
    case 16:
    case 17:
        return 5;
    case 29:
        return 7;
    case 33:
        return 1;
    case 34:
        return 2;
    case 52:
    case 59:
        return 8;
    case 53:
        return 9;
    case 54:
        return 10;
    case 58:
        return 11;
    default:
        return -1;
    }
}

// ---- Selection

void TForm_Central::TreeViewChanging(vcl::TObject*, TTreeNode* Node, bool& AllowChange) {
    if (TreeLeftButtonDown || RenameInProgress) {
        AllowChange = false;
        return;
    }
    AllowChange = true;
    if (PopupSelecting) return;
    TTreeNode* current = TreeView->GetSelected();
    if (!current || Node == current) return;
    ShownListLayout = NodeKindToListLayout(KindOf(current));
    if (ShownListLayout >= 0 && ShownListLayout < kListLayoutCount)
        StoreListColumnWidths(ListView, ShownListLayout, IniData);
}

void TForm_Central::RunPipeline(TTreeNode* Node, bool checkNode) {
    if (PopupSelecting || RenameInProgress || ListRefreshing) return;
    FlagScope refreshing(ListRefreshing);
    RefreshSelectedNode();
    if (checkNode && Node != TreeView->GetSelected()) {
        SetListViewColumns(*this, ListView, 0);
        return;
    }
    ListView->Items()->BeginUpdate();
    try {
        SetListViewColumns(*this, ListView, 0);
        FillListView(*this);
        UpdateWindowCaption();
        UpdateTreeStatusBar();
    } catch (...) {
        ListView->Items()->EndUpdate();
        throw;
    }
    ListView->Items()->EndUpdate();
    if (FormReady) CheckCdromDisc();
}

void TForm_Central::TreeViewChange(vcl::TObject*, TTreeNode* Node) {
    RunPipeline(Node, true);
}

void TForm_Central::MyTreeViewChange() {
    RunPipeline(nullptr, false);
}

void TForm_Central::TreeViewClick(vcl::TObject*) {
    UpdateWindowCaption();
    UpdateTreeStatusBar();
}

void TForm_Central::CheckCdromDisc() {
    if (!FormReady) return;
    TTreeNode* node = TreeView->GetSelected();
    switch (KindOf(node)) {
    case kCdhServerFactory: {
        CDH_NET_CLASS net;
        const std::string name =
            DisplayText(net.GetServerName(static_cast<TCdhSvr*>(node->GetData())));
        if (ShowKindMessage(name, 24) == vcl::mrYes)
            MenuItem_MenuServerQuickSetupClick(MenuItem_MenuServerQuickSetup);
        return;
    }
    case kCdhServerNoAnswer:
        ShowKindMessage(GetMessageText(193) + node->GetText(), 25);
        return;
    case kCdhDiskNoInit:
    case kCdhVolumeNoInit:
        ShowKindMessage("", 45);
        return;
    case nkCdDrive:
        break;
    default:
        return;
    }
    char letter = static_cast<char>(reinterpret_cast<std::intptr_t>(node->GetData()));
    int id = 0;
    switch (CdromTable().GetMediaState(letter)) {
    case kMediaReady:
        return;
    case kMediaEmpty:
        id = 504;
        break;
    case kMediaDiscError:
        id = 505;
        break;
    case kMediaUnknownFormat:
        id = 506;
        break;
    default:
        id = 507;
        break;
    }
    vcl::Application->MessageBox(GetMessageText(id), GetMessageText(15),
                                 vcl::MB_OK | vcl::MB_ICONWARNING);
}

// ---- Mouse and keys

void TForm_Central::TreeViewMouseDown(vcl::TObject*, vcl::TMouseButton Button, vcl::TShiftState,
                                      int X, int Y) {
    TreeLeftButtonDown = false;
    if (Button == vcl::mbRight) RightClickNode = TreeView->GetNodeAt(X, Y);
    if (Button == vcl::mbLeft) TreeLeftButtonDown = true;
}

void TForm_Central::TreeViewMouseUp(vcl::TObject*, vcl::TMouseButton Button, vcl::TShiftState,
                                    int X, int Y) {
    TreeLeftButtonDown = false;
    if (Button != vcl::mbRight || !RightClickNode || RenameInProgress) return;
    popupPrevious_ = TreeView->GetSelected();
    if (RightClickNode != popupPrevious_) {
        PopupSelecting = true;
        TreeView->SetSelected(RightClickNode);
    }
    vcl::TPoint p = TreeView->ClientToScreen({X, Y});
    PopupMenu_RightClick->Popup(p.X, p.Y);
    if (PopupSelecting) {
        // The previous selection comes back, unless the command deleted it meanwhile.
        if (popupPrevious_) TreeView->SetSelected(popupPrevious_);
        PopupSelecting = false;
        if (popupFillPending_) MyTreeViewChange();
    }
    popupFillPending_ = false;
    popupPrevious_ = nullptr;
}

void TForm_Central::TreeViewMouseMove(vcl::TObject*, vcl::TShiftState, int X, int Y) {
    TTreeNode* node = TreeView->GetNodeAt(X, Y);
    int kind = KindOf(node);
    const CNASSvrNet::ServerPtr server = node && (kind == nkNasServer || kind == nkNasServerFactory)
                                             ? UnitOf(node->GetData())
                                             : nullptr;
    if (server) {
        if (node == HintedNode) return;
        ServerHintWindow->ReleaseHandle();
        int width = 0, height = 0;
        std::string text = ServerInfoToHint(*server, width, height);
        vcl::TPoint p = TreeView->ClientToScreen({X, Y});
        ServerHintWindow->ActivateHint(
            {p.X + 10, p.Y + 10, p.X + 10 + 6 * width, p.Y + 10 + height}, text);
        Timer_Hint->SetEnabled(true);
        HintedNode = node;
        return;
    }
    ServerHintWindow->ReleaseHandle();
    TreeView->SetHint("");
}

std::string TForm_Central::ServerInfoToHint(const CNasServer& Server, int& Width, int& Height) {
    _INFO_STRING info;
    Server.GetHintLines(info);
    // Unit texts are shown bounded and as valid UTF-8.
    const auto t = [](const std::string& s) { return DisplayText(s, 128); };
    const std::string lines[] = {
        std::string(GetMessageText(126)) + ":" + t(info.Name),
        std::string(GetMessageText(833)) + " :" +
            t(Server.GetTextEncoding() == 2 ? info.ExtendedName : info.Workgroup),
        std::string(GetMessageText(128)) + "[LAN 1] :" + t(info.Lan0Ip),
        std::string(GetMessageText(128)) + "[LAN 2] :" + t(info.Lan1Ip),
        std::string(GetMessageText(128)) + "[LAN 3] :" + t(info.Lan2Ip),
        std::string(GetMessageText(130)) + " :" + t(info.FirmwareVersion),
        std::string(GetMessageText(135)) + " :" + t(info.Status),
        std::string(GetMessageText(118)) + " :" + t(info.Comment),
    };
    std::string text;
    Width = 0;
    for (const std::string& line : lines) {
        text += line + "\n";
        int chars = 0;
        for (unsigned char c : line)
            if ((c & 0xC0) != 0x80) ++chars;
        Width = std::max(Width, chars);
    }
    Height = 110;
    return text;
}

void TForm_Central::RunCommand(vcl::TMenuItem* Item, vcl::TObject* Sender) {
    if (!Item) return;
    // The command's state as its menu would show it now: the menu's own state rules run first,
    // so a key never acts on what the menu allowed the last time it opened.
    for (vcl::TPopupMenu* menu :
         {PopupMenu_MenuFile, PopupMenu_MenuEdit, PopupMenu_MenuView, PopupMenu_MenuMirror,
          PopupMenu_MenuServer, PopupMenu_MenuTool, PopupMenu_MenuHelp}) {
        vcl::TMenuItem* root = menu ? menu->Items() : nullptr;
        for (int i = 0; root && i < root->Count(); ++i)
            if (root->Items(i) == Item && menu->OnPopup) menu->OnPopup(menu);
    }
    if (Item->GetEnabled() && Item->OnClick) Item->OnClick(Sender);
}

void TForm_Central::TreeViewKeyDown(vcl::TObject*, vcl::TKey& Key, vcl::TShiftState Shift) {
    if (Shift.Contains(vcl::ssShift) || Shift.Contains(vcl::ssAlt) || Shift.Contains(vcl::ssLeft) ||
        Shift.Contains(vcl::ssMiddle) || Shift.Contains(vcl::ssDouble))
        return;
    if (Shift.Contains(vcl::ssCtrl)) {
        vcl::TMenuItem* item = nullptr;
        switch (Key) {
        case 'B':
            item = MenuItem_MenuBuild;
            break;
        case 'M':
            item = MenuItem_MenuMirror;
            break;
        case 'N':
            item = MenuItem_MenuNewContainer;
            break;
        case 'O':
            item = MenuItem_MenuLoadContainer;
            break;
        case 'Q':
            item = MenuItem_MenuServerQuickSetup;
            break;
        case 'S':
            item = MenuItem_MenuSaveContainer;
            break;
        case 'T':
            item = MenuItem_MenuTaskManager;
            break;
        case 'U':
            item = MenuItem_MenuBuildISO;
            break;
        case 'V':
            if (TreeView->GetSelected()) {
                DropFileTarget_TreeView->PasteFromClipboard();
                DropFileTarget_ListView->PasteFromClipboard();
                PasteToContainerNode(TreeView->GetSelected());
            }
            return;
        default:
            return;
        }
        RunCommand(item, item);
        return;
    }
    switch (Key) {
    case vcl::VK_DELETE:
        RunCommand(MenuItem_MenuDelete, MenuItem_MenuDelete);
        break;
    case vcl::VK_F3:
        RunCommand(MenuItem_MenuExpand, ToolButton_TreeMode);
        break;
    case vcl::VK_F4:
        RunCommand(MenuItem_MenuLarge, ToolButton_ListMode);
        break;
    case vcl::VK_F5:
        ToolButton_RefreshClick(ToolButton_Refresh);
        break;
    case vcl::VK_F6:
        RunCommand(MenuItem_MenuUpDirectory, nullptr);
        break;
    default:
        break;
    }
}

void TForm_Central::TreeViewExpanding(vcl::TObject*, TTreeNode*, bool& AllowExpansion) {
    AllowExpansion = true;
}

void TForm_Central::TreeViewCompare(vcl::TObject*, TTreeNode* Node1, TTreeNode* Node2, int,
                                    int& Compare) {
    std::string a = Node1->GetText(), b = Node2->GetText();
    int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (c == 0) c = a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    Compare = c < 0 ? -1 : c > 0 ? 1 : 0;
}

void TForm_Central::TreeViewDeletion(vcl::TObject*, TTreeNode* Node) {
    ForgetNode(Node);
}

void TForm_Central::ForgetNode(TTreeNode* Node) {
    if (Node && Node == HintedNode && ServerHintWindow) ServerHintWindow->ReleaseHandle();
    for (TTreeNode** slot :
         {&RightClickNode, &DraggedNode, &HintedNode, &popupPrevious_, &DesktopNode,
          &MyComputerNode, &NasNetworkNode, &NasServersNode, &RemoteServersNode, &CdhRootNode})
        if (*slot == Node) *slot = nullptr;
}

void TForm_Central::ForgetServer(NasUnitHandle Unit) {
    if (!Unit) return;
    const void* data = Unit.Data();
    for (TTreeNode** slot : {&RightClickNode, &DraggedNode, &HintedNode})
        if (*slot && (*slot)->GetData() == data) *slot = nullptr;
    if (RightClickItem && RightClickItem->GetData() == data) RightClickItem = nullptr;
    vcl::TListItems* rows = ListView->Items();
    for (int i = rows->Count() - 1; i >= 0; --i)
        if (rows->Item(i)->GetData() == data) rows->Item(i)->Delete();
}

CNASSvrNet::ServerPtr TForm_Central::UnitOf(const void* Data) const {
    return NasSvrNet.Share(NasUnitHandle::FromData(Data));
}

bool TForm_Central::UnitGone(NasUnitHandle Unit, const std::string& Name) {
    if (NasSvrNet.IsLive(Unit)) return false;
    vcl::Application->MessageBox(UnitGoneText(Name), GetMessageText(15),
                                 vcl::MB_OK | vcl::MB_ICONEXCLAMATION);
    return true;
}

void TForm_Central::DeleteTreeNode(TTreeNode* Node) {
    if (!Node) return;
    TTreeNode* selected = TreeView->GetSelected();
    // When the selection goes with the node, its parent becomes the selection.
    const bool selectionGoes =
        selected && (selected == Node || selected->HasAsParent(Node)) && Node->Parent();
    if (selectionGoes) TreeView->SetSelected(Node->Parent());
    Node->Delete();
    // The parent's list was filled while the node was still there: fill it again.
    if (selectionGoes) MyTreeViewChange();
}

// ---- Re-reading a node

void TForm_Central::RefreshTreeNode(TTreeNode* Node) {
    if (!Node) return;
    // From the right-click menu of another node: the list is emptied now and filled again once
    // the selection is back.
    if (PopupSelecting) popupFillPending_ = true;
    vcl::THourGlass hourglass(vcl::crDefault);
    Timer_ABSENT->SetEnabled(false);
    ListView->Items()->BeginUpdate();
    ListView->Items()->Clear();
    ListView->Items()->EndUpdate();
    switch (KindOf(Node)) {
    case nkNasServers:
    case nkNasServer:
    case nkNasNetwork:
    case nkImageFolder:
        RefreshServerTree(*this);
        break;
    case nkRemoteServers:
        RefreshRemoteServers(*this);
        break;
    case nkMyComputer:
        RefreshCdromView();
        break;
    case nkCdDrive:
        RefreshCdrom(static_cast<char>(reinterpret_cast<std::intptr_t>(Node->GetData())));
        break;
    default:
        // The CD-server branch: its servers and devices are read again by their kind.
        if (Node->GetImageIndex() >= nkCdhRoot && Node->GetImageIndex() <= kCdhVolumeNoInit)
            RefreshByNodeKind(Node);
        break;
    }
    TreeViewChange(TreeView, TreeView->GetSelected());
    Timer_ABSENT->SetEnabled(true);
}

// ---- Look-ups (they never let pending events run: nodes cannot go while they scan)

TTreeNode* TForm_Central::FindChildNodeByData(TTreeNode* Parent, const void* Data) const {
    TTreeNode* node = Parent ? Parent->GetFirstChild() : TreeView->Items()->GetFirstNode();
    for (; node; node = node->GetNextSibling())
        if (node->GetData() == Data) return node;
    return nullptr;
}

TTreeNode* TForm_Central::FindChildNodeByText(TTreeNode* Parent, const std::string& Text) const {
    TTreeNode* node = Parent ? Parent->GetFirstChild() : TreeView->Items()->GetFirstNode();
    for (; node; node = node->GetNextSibling())
        if (node->GetText() == Text) return node;
    return nullptr;
}

TTreeNode* TForm_Central::FindServerNode(TTreeNode* Parent, const CNasServer& Server) const {
    if (!Parent) return nullptr;
    // Children without a listed server (remote entries that did not answer) are passed over.
    for (TTreeNode* n = Parent->GetFirstChild(); n; n = n->GetNextSibling()) {
        const CNASSvrNet::ServerPtr s = UnitOf(n->GetData());
        if (s && std::memcmp(s->Info.hardwareAddress, Server.Info.hardwareAddress,
                             sizeof Server.Info.hardwareAddress) == 0)
            return n;
    }
    const std::string name = Server.GetName();
    const std::string lan = Server.GetLanIpText(0);
    for (TTreeNode* n = Parent->GetFirstChild(); n; n = n->GetNextSibling()) {
        const CNASSvrNet::ServerPtr s = UnitOf(n->GetData());
        if (s && n->GetText() == name && s->GetLanIpText(0) == lan) return n;
    }
    return nullptr;
}

// ---- Caption and status

void TForm_Central::UpdateWindowCaption() {
    const std::string title = ReplaceFirst(kProductWord, BrandInfo.APPNAME, GetMessageText(172));
    TTreeNode* node = TreeView->GetSelected();
    if (!node) {
        SetCaption(title);
        return;
    }
    std::string path;
    const auto containerPath = [] {
        auto* root = MainContainer.GetRoot();
        return root ? MainContainer.GetSourcePath(root) : std::string();
    };
    switch (KindOf(node)) {
    case 1:
    case 14:
    case 15:
    case 33:
    case 34:
        path = node->GetText();
        break;
    case 2:
    case 4:
        path = node->GetText() + " (" + containerPath() + ")";
        break;
    case 3:
        path = "* " + node->GetText() + " (" + containerPath() + ")";
        break;
    case 5:
    case 6: {
        auto* record = static_cast<MIRROR_CONTAINER::Record*>(node->GetData());
        if (record)
            path = MainContainer.GetEntryPath(record) + " (" + MainContainer.GetSourcePath(record) +
                   ")";
        break;
    }
    default:
        break;
    }
    SetCaption(path.empty() ? title : title + "  --  " + path);
}

void TForm_Central::UpdateTreeStatusBar() {
    TTreeNode* node = TreeView->GetSelected();
    if (!node) return;
    const std::string count = std::to_string(node->Count());
    std::string text;
    switch (KindOf(node)) {
    case 1:
    case 54:
        text = count + GetMessageText(175);
        break;
    case 2:
    case 3:
    case 5:
    case 6: {
        auto* record = static_cast<MIRROR_CONTAINER::Record*>(node->GetData());
        if (!record) break;
        text = std::to_string(MainContainer.GetTotalFolderCount(record)) + GetMessageText(138) +
               std::to_string(MainContainer.GetTotalFileCount(record)) + GetMessageText(503) +
               utils::FormatScaledSize(
                   0, static_cast<std::int64_t>(MainContainer.GetTotalSize(record)));
        break;
    }
    case 14:
        text = count + GetMessageText(140);
        break;
    case kCdhServerRead: {
        // The server's devices as its last reading left them.
        CDH_NET_CLASS net;
        int disks = 0, tapes = 0, volumes = 0, drives = 0;
        for (const CdhDevice& device : CdhDevicesOf(net, static_cast<TCdhSvr*>(node->GetData()))) {
            if (device.Kind >= kCdhDiskTarget && device.Kind <= kCdhDiskNoInit)
                ++disks;
            else if (device.Kind == kCdhTape)
                ++tapes;
            else if (device.Kind >= kCdhVolumeTarget)
                ++volumes;
            else
                ++drives;
        }
        text = std::to_string(disks) + GetMessageText(177) + std::to_string(tapes) +
               GetMessageText(178) + std::to_string(volumes) + GetMessageText(179) +
               std::to_string(drives) + GetMessageText(180);
        break;
    }
    case kCdhServerFactory:
        text = GetMessageText(181);
        break;
    case kCdhServerNoAnswer:
        text = GetMessageText(182);
        break;
    case kCdhDiskNoInit:
    case kCdhVolumeNoInit:
        text = GetMessageText(184);
        break;
    case kCdhShares:
        text = std::to_string(ListView->Items()->Count()) + GetMessageText(185);
        break;
    case 33:
        text = count + GetMessageText(137);
        break;
    case 34: {
        char letter = static_cast<char>(reinterpret_cast<std::intptr_t>(node->GetData()));
        CDH_LOGICAL_CDROM_CLASS& drives = CdromTable();
        if (drives.IsDiscReady(letter))
            text = std::string(GetMessageText(187)) +
                   utils::FormatScaledSize(0, drives.GetDiscBytes(letter));
        else
            text = GetMessageText(186);
        break;
    }
    case 52:
    case 59:
        text = count + GetMessageText(140);
        break;
    // A unit (its image folders) and an image folder (its images): what the list shows.
    case 53:
    case 56:
    case 58:
        text = std::to_string(ListView->Items()->Count()) + GetMessageText(175);
        break;
    default:
        // A device's volumes and images are rows of the list, not child nodes.
        if (IsCdhImageListKind(KindOf(node)))
            text = std::to_string(ListView->Items()->Count()) + GetMessageText(183);
        break;
    }
    StatusBar->Panels(0)->SetText(text);
}

void TForm_Central::StatusBarResize(vcl::TObject*) {
    // The clock takes the last panel: at least its designed 150 pixels, wider where the date
    // and time need it in the desktop's font; the first panel gives up the room.
    const int clock = std::max(150, ClockPanelWidth);
    StatusBar->Panels(0)->SetWidth(std::max(0, StatusBar->GetWidth() - 200 - clock));
}
