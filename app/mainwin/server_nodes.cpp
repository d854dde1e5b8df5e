#include "server_nodes.h"

#include "central.h"
#include "kinddialog.h"
#include "listview_sort.h"
#include "msgbox.h"
#include "utils.h"

#include "vcl/screen.h"

#include <vector>

namespace {

constexpr char kNoServerName[] = " ---[ No Server Name ]--- ";
constexpr char kFactoryAddress[] = "192.168.1.1";

// Update bracket of the tree's nodes for the time of a scope.
struct TreeUpdate {
    explicit TreeUpdate(vcl::TTreeView* tree) : nodes(tree ? tree->Items() : nullptr) {
        if (nodes) nodes->BeginUpdate();
    }
    ~TreeUpdate() {
        if (nodes) nodes->EndUpdate();
    }
    vcl::TTreeNodes* nodes;
};

void SetKind(vcl::TTreeNode* node, int kind) {
    node->SetImageIndex(kind);
    node->SetSelectedIndex(kind);
}

// Deletes every child of node; the window first forgets the servers the children show.
void DeleteServerChildren(TForm_Central& form, vcl::TTreeNode* node) {
    for (int i = node->Count() - 1; i >= 0; --i) {
        vcl::TTreeNode* child = node->Item(i);
        if (auto* server = static_cast<CNasServer*>(child->GetData())) form.ForgetServer(server);
        child->Delete();
    }
}

} // namespace

std::string ServerNodeText(const CNasServer& server) {
    std::string name = server.GetName();
    return name.empty() ? kNoServerName : name;
}

int ServerNodeKind(const CNasServer& server) {
    return server.GetLanIpText(0) == kFactoryAddress ? nkNasServerFactory : nkNasServer;
}

void SortChildrenByText(vcl::TTreeNode* node) {
    if (!node) return;
    node->CustomSort(
        [](vcl::TTreeNode* a, vcl::TTreeNode* b, intptr_t) {
            return CompareBytes(a->GetText().c_str(), b->GetText().c_str());
        },
        0);
}

vcl::TTreeNode* AddServerNode(TForm_Central& form, CNasServer* server, vcl::TTreeNode* parent) {
    if (!server || !parent || !form.TreeView) return nullptr;
    vcl::TTreeNode* node = form.TreeView->Items()->AddChild(parent, "");
    if (!node) {
        if (form.GetVisible()) ShowKindMessage(GetMessageText(96), 30);
        return nullptr;
    }
    SetKind(node, ServerNodeKind(*server));
    node->SetData(server);
    node->SetText(ServerNodeText(*server));
    return node;
}

void BuildImageFolderNodes(TForm_Central& form, vcl::TTreeNode* node) {
    if (!node || !form.TreeView) return;
    auto* server = static_cast<CNasServer*>(node->GetData());
    if (!server || !server->HasCdMirror()) return;
    const int count = std::min(server->ImgFolderCount, CNasServer::kImgFolderMax);
    if (count <= 0) return;
    vcl::TTreeNodes* nodes = form.TreeView->Items();
    for (int i = 0; i < count; ++i) {
        vcl::TTreeNode* folder = nodes->AddChild(node, "");
        SetKind(folder, nkImageFolder);
        folder->SetText(server->GetImgFolderName(i));
        folder->SetData(server->ImgFolders[i]);
    }
    SortChildrenByText(node);
    vcl::TTreeNode* other = nodes->AddChild(node, "");
    SetKind(other, nkImageFolder);
    other->SetText(GetMessageText(845));
}

void RefreshServerTree(TForm_Central& form) {
    vcl::TTreeNode* root = form.NasServersNode;
    if (!root) return;
    CNASSvrNet& list = form.NasSvrNet;
    int rc;
    {
        vcl::THourGlass wait(vcl::crDefault);
        rc = list.Discover();
    }
    TreeUpdate update(form.TreeView);
    if (rc < 0) {
        // Nothing may point at the servers once the lists are freed.
        DeleteServerChildren(form, root);
        for (CNasServer* s = list.FirstPrevious(); s; s = s->Next)
            form.ForgetServer(s);
        list.FreePreviousList();
        list.FreeList(CNASSvrNet::kFoundList);
        return;
    }

    if (root->HasChildren()) {
        for (int i = root->Count() - 1; i >= 0; --i) {
            vcl::TTreeNode* child = root->Item(i);
            auto* server = static_cast<CNasServer*>(child->GetData());
            if (server && list.FindByRecord(server)) continue;
            if (server) form.ForgetServer(server);
            child->Delete();
        }
        int n = 0;
        for (CNasServer* s = list.FirstFound(); s && n < list.FoundCount(); s = s->Next, ++n) {
            if (vcl::TTreeNode* node = form.FindServerNode(root, s)) {
                node->SetData(s);
                SetKind(node, ServerNodeKind(*s));
                node->DeleteChildren();
                BuildImageFolderNodes(form, node);
            } else if (vcl::TTreeNode* added = AddServerNode(form, s, root)) {
                BuildImageFolderNodes(form, added);
            }
        }
    } else {
        int n = 0;
        for (CNasServer* s = list.FirstFound(); s && n < list.FoundCount(); s = s->Next, ++n)
            if (vcl::TTreeNode* added = AddServerNode(form, s, root))
                BuildImageFolderNodes(form, added);
    }
    // Every node now shows a server of the new list: the old objects can go.
    for (CNasServer* s = list.FirstPrevious(); s; s = s->Next)
        form.ForgetServer(s);
    list.FreePreviousList();
    SortChildrenByText(root);
}

void RefreshRemoteServers(TForm_Central& form) {
    vcl::TTreeNode* root = form.RemoteServersNode;
    if (!root) return;
    vcl::THourGlass wait(vcl::crDefault);
    TreeUpdate update(form.TreeView);
    root->DeleteChildren();
    RMT_NAS_DATA* entry = Form_RemoteNAS ? Form_RemoteNAS->GetRemoteList() : nullptr;
    if (!entry) return;

    CNASSvrNet& list = form.NasSvrNet;
    NasServerInfo record{};
    while (entry) {
        RMT_NAS_DATA* next = entry->Next;
        const std::uint32_t addresses[3] = {entry->Address, 0, 0};
        CNasServer* server = nullptr;
        if (NasApiGetRemoteInfo(addresses, &record) == 0) {
            if (entry->Server) {
                entry->Server->Info = record;
                server = entry->Server;
            } else {
                server = list.AddRemote(record);
            }
        }
        if (!server) {
            vcl::TTreeNode* node = form.TreeView->Items()->AddChild(root, "");
            SetKind(node, nkRemoteUnanswered);
            node->SetText(utils::IpToText(entry->Address));
        } else if (list.FindInList(record, CNASSvrNet::kFoundList)) {
            // Discovery sees the unit: it shows under NAS Servers only. The entry stays in the
            // remote list, which is the user's: only the user removes it, and it is saved with
            // the settings whether or not discovery finds the unit today.
            entry->Server = server;
            entry->Name = server->GetName();
        } else {
            entry->Server = server;
            entry->Name = server->GetName();
            server->RefreshImageFolders();
            if (vcl::TTreeNode* node = AddServerNode(form, server, root))
                BuildImageFolderNodes(form, node);
        }
        entry = next;
    }
    SortChildrenByText(root);
}

void RefreshServerNodeTexts(TForm_Central& form) {
    vcl::TTreeNode* root = form.NasServersNode;
    if (!root) return;
    TreeUpdate update(form.TreeView);
    for (int i = 0; i < root->Count(); ++i) {
        vcl::TTreeNode* child = root->Item(i);
        auto* server = static_cast<CNasServer*>(child->GetData());
        if (!server) continue;
        SetKind(child, ServerNodeKind(*server));
        child->SetText(ServerNodeText(*server));
    }
    SortChildrenByText(root);
}
