// The CD-server branch of the tree: one node per CD server below CdhRootNode, the servers' device
// nodes, and the results of the CD-server client as the user sees them. The tree builder makes no
// CD-server root, so every operation checks for it first and does nothing without it.
#include "cdserver_devices.h"
#include "central.h"
#include "command_selection.h"
#include "display_text.h"

#include "cdh_net.h"
#include "kinddialog.h"
#include "msgbox.h"
#include "password.h"

#include "vcl/application.h"
#include "vcl/screen.h"

#include <algorithm>
#include <vector>

namespace {

bool IsServerNodeKind(int kind) {
    return kind >= 15 && kind <= 17;
}

void SetNodeKind(vcl::TTreeNode* node, int kind) {
    node->SetImageIndex(kind);
    node->SetSelectedIndex(kind);
}

// Whether child is still a child of parent (compared by address only: it may be gone).
bool FindChild(const vcl::TTreeNode* parent, const vcl::TTreeNode* child) {
    for (vcl::TTreeNode* n = parent->GetFirstChild(); n; n = n->GetNextSibling())
        if (n == child) return true;
    return false;
}

// The device node of a slot below a server's node.
vcl::TTreeNode* DeviceNodeOf(vcl::TTreeNode* serverNode, int slot) {
    for (vcl::TTreeNode* n = serverNode->GetFirstChild(); n; n = n->GetNextSibling())
        if (IsCdhDeviceKind(n->GetImageIndex()) && CdhSlotOf(n->GetData()) == slot) return n;
    return nullptr;
}

bool RefreshesOnSelection(int kind) {
    return kind == 1 || (kind >= 14 && kind <= 24) || kind == 29 || (kind >= 41 && kind <= 44) ||
           kind == 51;
}

} // namespace

int TForm_Central::ShowCdhResult(int Result, const std::string& Text) {
    int kind = 8;
    switch (Result) {
    case -1:
    case 4:
        kind = 26;
        break;
    case 0:
        kind = 0;
        break;
    case 1:
        kind = 30;
        break;
    case 2:
        kind = 25;
        break;
    case 3:
        kind = 29;
        break;
    case 5:
        kind = 27;
        break;
    case 6:
        kind = 28;
        break;
    case 7:
        return vcl::Application->MessageBox(GetMessageText(113), GetMessageText(15),
                                            vcl::MB_OK | vcl::MB_ICONWARNING);
    default:
        break;
    }
    return ShowKindMessage(Text, kind);
}

int TForm_Central::BuildCdhServerTree() {
    if (!CdhRootNode) return -1;
    CDH_NET_CLASS net;
    int result = 0;
    {
        vcl::THourGlass hourglass(vcl::crDefault);
        result = net.DiscoverServers();
    }
    if (result != 0) {
        DeleteChildrenOf(CdhRootNode);
        if (result == 2) return -2;
        if (Active()) ShowCdhResult(result, GetMessageText(97));
        return -1;
    }
    PruneServerNodes();
    for (int i = 0; i < net.GetServerCount(); ++i) {
        TCdhSvr* server = net.GetServer(i);
        if (!server || !net.IsServerSeen(server)) continue;
        if (vcl::TTreeNode* node = FindChildNodeByData(CdhRootNode, server))
            UpdateCdhServerNode(node, server);
        else if (!BuildCdhServerNode(server))
            continue;
        RefreshCdhDeviceNodes(server);
    }
    return CdhRootNode ? CdhRootNode->Count() : -1;
}

int TForm_Central::RefreshCdhServers() {
    if (!CdhRootNode) return 0;
    vcl::TTreeNode* selected = TreeView->GetSelected();
    const int built = BuildCdhServerTree();
    if (built < 0) return built;
    if (!CdhRootNode) return -1;
    if (selected && TreeView->GetSelected() == selected) {
        const int kind = selected->GetImageIndex();
        if (IsServerNodeKind(kind))
            RefreshCdhServerNode(static_cast<TCdhSvr*>(selected->GetData()));
        else if (((kind >= 18 && kind <= 24) || kind == 29) && selected->Parent())
            RefreshCdhServerNode(static_cast<TCdhSvr*>(selected->Parent()->GetData()));
        else if (kind == 1 || kind == 14)
            TreeViewChange(TreeView, selected);
    }
    return CdhRootNode->Count();
}

int TForm_Central::RefreshCdhServerNode(TCdhSvr* Server) {
    if (!CdhRootNode) return -1;
    vcl::TTreeNode* selected = TreeView->GetSelected();
    const int result = RefreshCdhDeviceNodes(Server);
    if (selected && TreeView->GetSelected() == selected &&
        RefreshesOnSelection(selected->GetImageIndex()))
        TreeViewChange(TreeView, selected);
    return result;
}

vcl::TTreeNode* TForm_Central::BuildCdhServerNode(TCdhSvr* Server) {
    if (!CdhRootNode || !Server) return nullptr;
    vcl::TTreeNode* node = TreeView->Items()->AddChild(CdhRootNode, "");
    if (!node) {
        if (Active()) ShowKindMessage(GetMessageText(96), 30);
        return nullptr;
    }
    UpdateCdhServerNode(node, Server);
    return node;
}

void TForm_Central::UpdateCdhServerNode(vcl::TTreeNode* Node, TCdhSvr* Server) {
    if (!Node || !Server || !CdhRootNode) return;
    CDH_NET_CLASS net;
    int kind = Node->GetImageIndex();
    if (Node->GetData() != Server || !IsServerNodeKind(kind)) {
        Node->SetData(Server);
        kind = 15;
        DeleteChildrenOf(Node);
    }
    Node->SetText(DisplayText(net.GetServerName(Server)));
    if (!net.HasNonDefaultAddress(Server)) kind = 16;
    Node->SetImageIndex(kind);
    Node->SetSelectedIndex(kind);
    if (kind == 16 || kind == 17) DeleteChildrenOf(Node);
    CdhRootNode->AlphaSort(false);
}

void TForm_Central::DeleteCdhServerNode(TCdhSvr* Server) {
    if (!CdhRootNode) return;
    vcl::TTreeNode* node = FindChildNodeByData(CdhRootNode, Server);
    if (!node) return;
    DeleteTreeNode(node);
    vcl::TTreeNode* selected = TreeView->GetSelected();
    if (selected && (selected->GetImageIndex() == 1 || selected->GetImageIndex() == 14))
        TreeViewChange(TreeView, selected);
}

int TForm_Central::RefreshCdhDeviceNodes(TCdhSvr* Server) {
    if (!CdhRootNode || !Server) return -1;
    vcl::TTreeNode* node = FindChildNodeByData(CdhRootNode, Server);
    if (!node) return -1;
    CDH_NET_CLASS net;
    // A server still at the factory address is not set up: it keeps its un-initialised kind
    // and is not asked for devices it cannot have.
    if (!net.HasNonDefaultAddress(Server)) {
        SetNodeKind(node, kCdhServerFactory);
        DeleteChildrenOf(node);
        return 0;
    }
    int result = 0;
    {
        vcl::THourGlass hourglass(vcl::crDefault);
        result = net.RefreshServer(Server);
    }
    if (result != 0) {
        SetNodeKind(node, kCdhServerNoAnswer);
        DeleteChildrenOf(node);
        if (Active()) ShowCdhResult(result, GetMessageText(99));
        return 0;
    }
    SetNodeKind(node, kCdhServerRead);
    const std::vector<CdhDevice> devices = CdhDevicesOf(net, Server);
    const auto isDevice = [&devices](int slot) {
        return std::any_of(devices.begin(), devices.end(),
                           [slot](const CdhDevice& d) { return d.Slot == slot; });
    };
    for (int i = node->Count() - 1; i >= 0; --i) {
        vcl::TTreeNode* child = node->Item(i);
        if (child->GetImageIndex() == kCdhShares) continue;
        if (IsCdhDeviceKind(child->GetImageIndex()) && isDevice(CdhSlotOf(child->GetData())))
            continue;
        if (Active()) ShowKindMessage(GetMessageText(100) + child->GetText(), 41);
        // The message box lets events run: the node may be gone already.
        if (FindChild(node, child)) DeleteTreeNode(child);
    }
    for (const CdhDevice& device : devices) {
        vcl::TTreeNode* child = DeviceNodeOf(node, device.Slot);
        if (child)
            UpdateCdhDeviceNode(child);
        else
            BuildCdhDeviceNode(Server, device.Slot);
    }
    vcl::TTreeNode* shares = nullptr;
    for (int i = 0; i < node->Count() && !shares; ++i)
        if (node->Item(i)->GetImageIndex() == kCdhShares) shares = node->Item(i);
    if (!shares) shares = TreeView->Items()->AddChild(node, "");
    if (shares) {
        shares->SetText(GetMessageText(101));
        shares->SetData(Server);
        SetNodeKind(shares, kCdhShares);
    }
    return node->Count();
}

vcl::TTreeNode* TForm_Central::BuildCdhDeviceNode(TCdhSvr* Server, int Slot) {
    if (!CdhRootNode || !Server) return nullptr;
    vcl::TTreeNode* parent = FindChildNodeByData(CdhRootNode, Server);
    CDH_NET_CLASS net;
    vcl::TTreeNode* node = nullptr;
    if (parent && CdhDeviceKind(net, Server, Slot) != 0) {
        // Devices come before the share folders' node, which stays last.
        vcl::TTreeNode* shares = parent->GetLastChild();
        node = shares && shares->GetImageIndex() == kCdhShares
                   ? TreeView->Items()->Insert(shares, "")
                   : TreeView->Items()->AddChild(parent, "");
    }
    if (!node) {
        if (Active()) ShowKindMessage(GetMessageText(98), 30);
        return nullptr;
    }
    node->SetData(CdhSlotData(Slot));
    if (!UpdateCdhDeviceNode(node)) return nullptr;
    return node;
}

bool TForm_Central::UpdateCdhDeviceNode(vcl::TTreeNode* Node) {
    if (!CdhRootNode || !Node || !Node->Parent() || Node->Parent()->Parent() != CdhRootNode)
        return false;
    auto* server = static_cast<TCdhSvr*>(Node->Parent()->GetData());
    const int slot = CdhSlotOf(Node->GetData());
    CDH_NET_CLASS net;
    const int kind = CdhDeviceKind(net, server, slot);
    if (kind == 0) {
        if (Active()) ShowKindMessage(GetMessageText(98), 30);
        return false;
    }
    Node->SetText(DisplayText(CdhDeviceText(net, server, slot)));
    SetNodeKind(Node, kind);
    return true;
}

void TForm_Central::RefreshSelectedNode() {
    vcl::TTreeNode* node = TreeView->GetSelected();
    if (!CdhRootNode || !node || !node->Parent()) return;
    const int kind = node->GetImageIndex();
    if (kind == kCdhServerRead || kind == 51 || kind == kCdhServerNoAnswer) {
        if (kind != kCdhServerNoAnswer && node->HasChildren()) return;
        if (node->Parent() == CdhRootNode)
            RefreshCdhDeviceNodes(static_cast<TCdhSvr*>(node->GetData()));
        return;
    }
    if (!IsCdhImageListKind(kind) && kind != kCdhShares) return;
    const bool tapeOrVolume =
        kind == kCdhTape || kind == kCdhVolumeTarget || kind == kCdhVolumeFile;
    vcl::TTreeNode* serverNode = node->Parent();
    if (serverNode->Parent() != CdhRootNode) return;
    auto* server = static_cast<TCdhSvr*>(serverNode->GetData());
    const int slot = CdhSlotOf(node->GetData());
    void* const data = node->GetData();
    CDH_NET_CLASS net;
    const auto reload = [&] {
        vcl::THourGlass hourglass(vcl::crDefault);
        return kind == kCdhShares ? net.RefreshGroupList(server) : net.RefreshSlot(server, slot);
    };
    const auto tell = [&](int result) {
        if (Active() && FormReady)
            ShowCdhResult(result, GetMessageText(kind == kCdhShares ? 192 : 191));
    };
    if (reload() == 0) return;
    // The devices are read again; the node may go with a device that went.
    if (RefreshCdhDeviceNodes(server) < 1) return;
    serverNode = FindChildNodeByData(CdhRootNode, server);
    if (!serverNode || !FindChild(serverNode, node) || node->GetData() != data) return;
    if (tapeOrVolume) {
        const int state =
            kind == kCdhTape ? net.GetTapeState(server, slot) : net.GetVolumeState(server, slot);
        if (state != 0) {
            if (Active() && FormReady) {
                const std::string text = kind == kCdhTape ? net.GetTapeStateText(server, slot)
                                                          : net.GetVolumeStateText(server, slot);
                vcl::Application->MessageBox(GetMessageText(100) + text, GetMessageText(15),
                                             vcl::MB_OK | vcl::MB_ICONWARNING);
            }
            return;
        }
    }
    if (const int result = reload(); result != 0) tell(result);
}

void TForm_Central::PruneServerNodes() {
    if (!CdhRootNode) return;
    CDH_NET_CLASS net;
    TreeView->Items()->BeginUpdate();
    for (int i = CdhRootNode->Count() - 1; i >= 0; --i) {
        vcl::TTreeNode* child = CdhRootNode->Item(i);
        if (!net.IsServerSeen(static_cast<TCdhSvr*>(child->GetData()))) DeleteTreeNode(child);
    }
    TreeView->Items()->EndUpdate();
}

void TForm_Central::ShutdownCdhServer(const CommandTarget& Target, bool Restart) {
    // Only a CD-server node of the branch; without its root there is none.
    if (!CdhRootNode || !Target.Node || Target.Kind != 15 || !Target.Data) return;
    auto* server = static_cast<TCdhSvr*>(Target.Data);
    CDH_NET_CLASS net;
    if (net.CheckFirmware(server) < 0) return;
    const int answer = Restart ? ShowKindMessage(GetMessageText(195), 51)
                               : ShowKindMessage(net.GetServerName(server), 47);
    if (answer != vcl::mrYes) return;
    if (!Form_Password || !Form_Password->QueryServerPassword(server, 0, 0)) return;
    const int result = Restart ? net.RestartServer(server) : net.ShutdownServer(server);
    ShowCdhResult(result, GetMessageText(Restart ? 196 : 194));
    DeleteCdhServerNode(server);
}
