// The CD-server branch of the tree: one node per CD server below CdhRootNode, the servers' device
// nodes, and the results of the CD-server client as the user sees them. The tree builder makes no
// CD-server root, so every operation checks for it first and does nothing without it.
#include "central.h"
#include "command_selection.h"

#include "cdh_net.h"
#include "kinddialog.h"
#include "msgbox.h"
#include "password.h"

#include "vcl/application.h"
#include "vcl/screen.h"

namespace {

bool IsServerNodeKind(int kind) {
    return kind >= 15 && kind <= 17;
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
    Node->SetText(net.GetServerName(Server));
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
    if (net.RefreshServer(Server) != 0) {
        node->SetImageIndex(17);
        node->SetSelectedIndex(17);
        DeleteChildrenOf(node);
        if (Active()) ShowCdhResult(2, GetMessageText(99));
        return 0;
    }
    node->SetImageIndex(15);
    node->SetSelectedIndex(15);
    return node->Count();
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
