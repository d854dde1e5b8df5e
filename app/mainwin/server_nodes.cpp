#include "server_nodes.h"

#include "central.h"
#include "kinddialog.h"
#include "listview_sort.h"
#include "msgbox.h"
#include "utils.h"

#include "fmwizard.h"
#include "remotenas.h"

#include "vcl/screen.h"

#include <algorithm>
#include <cstring>
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

// Holds the selection pipeline off while a branch is rebuilt: deleting or adding nodes may move
// the selection, and the list is filled once the branch is whole again.
class PipelineHold {
public:
    explicit PipelineHold(bool& refreshing) : flag_(refreshing), old_(refreshing) { flag_ = true; }
    ~PipelineHold() { flag_ = old_; }
    PipelineHold(const PipelineHold&) = delete;
    PipelineHold& operator=(const PipelineHold&) = delete;

private:
    bool& flag_;
    bool old_;
};

void SetKind(vcl::TTreeNode* node, int kind) {
    node->SetImageIndex(kind);
    node->SetSelectedIndex(kind);
}

// An image-folder node's data: the folder's place in its unit's list, plus one (the node holds
// no pointer into the unit's object).
void* FolderData(std::size_t index) {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(index + 1));
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
    node->SetData(server->UnitHandle.Data());
    node->SetText(ServerNodeText(*server));
    return node;
}

void BuildImageFolderNodes(TForm_Central& form, vcl::TTreeNode* node) {
    if (!node || !form.TreeView) return;
    const CNASSvrNet::ServerPtr server = form.UnitOf(node->GetData());
    if (!server || !server->HasCdMirror()) return;
    const int count = std::min(server->ImgFolderCount, CNasServer::kImgFolderMax);
    if (count <= 0) return;
    vcl::TTreeNodes* nodes = form.TreeView->Items();
    for (int i = 0; i < count; ++i) {
        vcl::TTreeNode* folder = nodes->AddChild(node, "");
        SetKind(folder, nkImageFolder);
        folder->SetText(server->GetImgFolderName(i));
        folder->SetData(FolderData(static_cast<std::size_t>(i)));
    }
    SortChildrenByText(node);
    vcl::TTreeNode* other = nodes->AddChild(node, "");
    SetKind(other, nkImageFolder);
    other->SetText(GetMessageText(845));
}

namespace {

// What the selection shows of the server branch, kept across a rebuild: the unit and, for an
// image-folder node, the folder's text.
struct BranchSelection {
    NasUnitHandle Unit;
    std::string Folder; // empty: the unit's own node
    bool InBranch = false;
};

BranchSelection RememberSelection(TForm_Central& form, vcl::TTreeNode* root) {
    BranchSelection kept;
    vcl::TTreeNode* selected = form.TreeView->GetSelected();
    if (!selected || !selected->HasAsParent(root)) return kept;
    kept.InBranch = true;
    vcl::TTreeNode* unit = selected;
    while (unit->Parent() && unit->Parent() != root)
        unit = unit->Parent();
    kept.Unit = NasUnitHandle::FromData(unit->GetData());
    if (unit != selected) kept.Folder = selected->GetText();
    return kept;
}

// The node the kept selection names now: the folder of the same text under the unit's node, the
// unit's node, or the branch's root when the unit has gone.
vcl::TTreeNode* NodeOfSelection(TForm_Central& form, vcl::TTreeNode* root,
                                const BranchSelection& kept) {
    vcl::TTreeNode* unit = kept.Unit ? form.FindChildNodeByData(root, kept.Unit.Data()) : nullptr;
    if (!unit) return root;
    if (kept.Folder.empty()) return unit;
    vcl::TTreeNode* folder = form.FindChildNodeByText(unit, kept.Folder);
    return folder ? folder : unit;
}

// Selects the node the kept selection names now, when the selection was in the branch.
void RestoreSelection(TForm_Central& form, vcl::TTreeNode* root, const BranchSelection& kept) {
    if (!kept.InBranch) return;
    vcl::TTreeNode* target = NodeOfSelection(form, root, kept);
    if (target != form.TreeView->GetSelected()) form.TreeView->SetSelected(target);
}

// The image-folder names of a unit as its folder nodes show them, in the unit's order.
std::vector<std::string> FolderNames(const CNasServer& server) {
    std::vector<std::string> names;
    if (!server.HasCdMirror()) return names;
    const int count = std::min(server.ImgFolderCount, CNasServer::kImgFolderMax);
    for (int i = 0; i < count; ++i)
        names.push_back(server.GetImgFolderName(i));
    return names;
}

// Brings a unit's folder nodes in step with its folders: when the names are the same the nodes
// stay (the selection with them) and name the unit's folders again; else they are rebuilt.
void SyncFolderNodes(TForm_Central& form, vcl::TTreeNode* node, CNasServer& server) {
    const std::vector<std::string> names = FolderNames(server);
    std::vector<std::string> shown;
    for (int i = 0; i < node->Count(); ++i)
        shown.push_back(node->Item(i)->GetText());
    std::vector<std::string> wanted = names;
    std::sort(wanted.begin(), wanted.end(), [](const std::string& a, const std::string& b) {
        return CompareBytes(a.c_str(), b.c_str()) < 0;
    });
    if (!wanted.empty()) wanted.push_back(GetMessageText(845));
    if (shown != wanted) {
        node->DeleteChildren();
        BuildImageFolderNodes(form, node);
        return;
    }
    for (int i = 0; i + 1 < node->Count(); ++i) {
        vcl::TTreeNode* folder = node->Item(i);
        const auto at = std::find(names.begin(), names.end(), folder->GetText());
        folder->SetData(
            at == names.end() ? nullptr : FolderData(static_cast<std::size_t>(at - names.begin())));
    }
}

} // namespace

void SyncServerNodes(TForm_Central& form, vcl::TTreeNode* root,
                     const std::vector<CNasServer*>& servers) {
    if (!root || !form.TreeView) return;
    const BranchSelection kept = RememberSelection(form, root);
    {
        PipelineHold hold(form.ListRefreshing);
        TreeUpdate update(form.TreeView);
        // Nodes of units that are no longer listed, and second nodes of one unit, go.
        std::vector<NasUnitHandle> shown;
        for (int i = root->Count() - 1; i >= 0; --i) {
            vcl::TTreeNode* child = root->Item(i);
            const NasUnitHandle unit = NasUnitHandle::FromData(child->GetData());
            const bool listed =
                unit && std::any_of(servers.begin(), servers.end(),
                                    [unit](const CNasServer* s) { return s->UnitHandle == unit; });
            const bool twice = std::find(shown.begin(), shown.end(), unit) != shown.end();
            if (listed && !twice) {
                shown.push_back(unit);
                continue;
            }
            if (unit && !listed) form.ForgetServer(unit);
            child->Delete();
        }
        for (CNasServer* server : servers) {
            vcl::TTreeNode* node = form.FindChildNodeByData(root, server->UnitHandle.Data());
            if (!node) node = AddServerNode(form, server, root);
            if (!node) continue;
            SetKind(node, ServerNodeKind(*server));
            node->SetText(ServerNodeText(*server));
            SyncFolderNodes(form, node, *server);
        }
        SortChildrenByText(root);
    }
    RestoreSelection(form, root, kept);
}

void RefreshServerTree(TForm_Central& form) {
    vcl::TTreeNode* root = form.NasServersNode;
    if (!root) return;
    CNASSvrNet& list = form.NasSvrNet;
    {
        vcl::THourGlass wait(vcl::crDefault);
        list.Discover();
    }
    std::vector<CNasServer*> servers;
    for (const auto& server : list.Found())
        servers.push_back(server.get());
    SyncServerNodes(form, root, servers);
    // The image folders are read away from the GUI thread; each node gets them when they come
    // (until then a known unit keeps the folders it had).
    for (CNasServer* server : servers)
        form.QueueFolderRead(*server);
    form.SweepRetiredServers();
}

namespace {

// The child of root that shows an address that did not answer (no data, the dotted address).
vcl::TTreeNode* UnansweredNode(vcl::TTreeNode* root, const std::string& text) {
    for (int i = 0; i < root->Count(); ++i)
        if (!root->Item(i)->GetData() && root->Item(i)->GetText() == text) return root->Item(i);
    return nullptr;
}

bool ListUses(const RMT_NAS_DATA* head, NasUnitHandle unit) {
    for (const RMT_NAS_DATA* entry = head; entry; entry = entry->Next)
        if (entry->Unit == unit) return true;
    return false;
}

// Whether a child of "Remote Servers" shows an entry of the list: the node of an entry's unit,
// or the unanswered node of the address of an entry without one.
bool ShowsAnEntry(const vcl::TTreeNode* child, const RMT_NAS_DATA* head) {
    if (const void* data = child->GetData()) return ListUses(head, NasUnitHandle::FromData(data));
    for (const RMT_NAS_DATA* entry = head; entry; entry = entry->Next)
        if (!entry->Unit && utils::IpToText(entry->Address) == child->GetText()) return true;
    return false;
}

// The node of a remote unit, made when missing, with its kind, text and folder nodes.
void ShowRemoteUnit(TForm_Central& form, vcl::TTreeNode* root, CNasServer& server) {
    vcl::TTreeNode* node = form.FindChildNodeByData(root, server.UnitHandle.Data());
    if (!node) node = AddServerNode(form, &server, root);
    if (!node) return;
    SetKind(node, ServerNodeKind(server));
    node->SetText(ServerNodeText(server));
    SyncFolderNodes(form, node, server);
}

// A remote unit that no entry shows any more leaves the remote list (retired, not freed) with
// its node and rows.
void RetireRemote(TForm_Central& form, vcl::TTreeNode* root, NasUnitHandle unit) {
    vcl::TTreeNode* node = form.FindChildNodeByData(root, unit.Data());
    form.ForgetServer(unit);
    if (const CNASSvrNet::ServerPtr server = form.NasSvrNet.Share(unit))
        form.NasSvrNet.Remove(server.get(), nullptr, CNASSvrNet::kRemoteList, nullptr);
    if (node) node->Delete();
}

// After a change of the branch: the list is filled again when the selection moved or when it
// shows the branch's units or a unit's folders (from memory; an image folder's list would ask
// the unit), and an open wizard takes the units as they now are.
void ShowRemoteChange(TForm_Central& form, vcl::TTreeNode* root, vcl::TTreeNode* before) {
    vcl::TTreeNode* selected = form.TreeView->GetSelected();
    if (selected && (selected != before || selected == root || selected->Parent() == root))
        form.MyTreeViewChange();
    if (FmWizard && FmWizard->GetVisible()) form.DropAnnouncedServer(nullptr, "");
    form.SweepRetiredServers();
}

} // namespace

void RefreshRemoteServers(TForm_Central& form) {
    vcl::TTreeNode* root = form.RemoteServersNode;
    if (!root) return;
    RMT_NAS_DATA* head = Form_RemoteNAS ? Form_RemoteNAS->GetRemoteList() : nullptr;
    CNASSvrNet& list = form.NasSvrNet;
    const BranchSelection kept = RememberSelection(form, root);
    {
        PipelineHold hold(form.ListRefreshing);
        TreeUpdate update(form.TreeView);
        for (RMT_NAS_DATA* entry = head; entry; entry = entry->Next)
            if (entry->Unit && !list.IsLive(entry->Unit)) entry->Unit = {};
        // Nodes of entries that left the list go; a unit that answered before keeps its node
        // (or gets it back) until its new answer comes.
        for (int i = root->Count() - 1; i >= 0; --i) {
            vcl::TTreeNode* child = root->Item(i);
            if (ShowsAnEntry(child, head)) continue;
            form.ForgetServer(NasUnitHandle::FromData(child->GetData()));
            child->Delete();
        }
        for (RMT_NAS_DATA* entry = head; entry; entry = entry->Next)
            if (const CNASSvrNet::ServerPtr server = list.Share(entry->Unit))
                ShowRemoteUnit(form, root, *server);
        SortChildrenByText(root);
    }
    RestoreSelection(form, root, kept);
    // Every address is asked again away from the GUI thread; its node follows the answer. An
    // address that cannot be queued shows as unanswered.
    std::vector<std::uint32_t> refused;
    for (RMT_NAS_DATA* entry = head; entry; entry = entry->Next)
        if (!form.QueueRemoteProbe(entry->Address)) refused.push_back(entry->Address);
    for (std::uint32_t address : refused) {
        TRemoteProber::Answer none;
        none.Address = address;
        form.RemoteServerAnswered(none);
    }
}

bool TForm_Central::QueueRemoteProbe(std::uint32_t Address) {
    return remoteProber_ && remoteProber_->Queue(Address);
}

std::size_t TForm_Central::RemoteProbesPending() const {
    return remoteProber_ ? remoteProber_->Pending() : 0;
}

void TForm_Central::RemoteServerAnswered(const TRemoteProber::Answer& Answer) {
    vcl::TTreeNode* root = RemoteServersNode;
    if (!root || !Form_RemoteNAS) return;
    std::vector<RMT_NAS_DATA*> entries;
    for (RMT_NAS_DATA* entry = Form_RemoteNAS->GetRemoteList(); entry; entry = entry->Next)
        if (entry->Address == Answer.Address) entries.push_back(entry);
    if (entries.empty()) return; // removed from the list meanwhile
    const std::string text = utils::IpToText(Answer.Address);
    vcl::TTreeNode* before = TreeView->GetSelected();
    const BranchSelection kept = RememberSelection(*this, root);
    {
        PipelineHold hold(ListRefreshing);
        TreeUpdate update(TreeView);
        const bool answered = Answer.Result == 0;
        if (answered && NasSvrNet.FindInList(Answer.Record, CNASSvrNet::kFoundList)) {
            // Discovery sees the unit: it shows under "NAS Servers", and its entry leaves the
            // remote list, so that the list and the tree show the same units.
            if (vcl::TTreeNode* node = UnansweredNode(root, text)) node->Delete();
            for (RMT_NAS_DATA* entry : entries)
                Form_RemoteNAS->RemoveEntry(entry);
        } else {
            CNasServer* server = answered ? NasSvrNet.AddRemote(Answer.Record) : nullptr;
            if (server) {
                server->Info = Answer.Record;
                if (Answer.FolderResult == 0) {
                    server->ImgFolderCount =
                        std::clamp(Answer.FolderCount, 0, CNasServer::kImgFolderMax);
                    std::memcpy(server->ImgFolders, Answer.Folders.data(),
                                std::min(Answer.Folders.size(), sizeof server->ImgFolders));
                } else if (server->HasCdMirror()) {
                    server->ImgFolderCount = 0;
                }
            }
            for (RMT_NAS_DATA* entry : entries) {
                const NasUnitHandle old = entry->Unit;
                entry->Unit = server ? server->UnitHandle : NasUnitHandle();
                if (server) entry->Name = server->GetName();
                if (old && old != entry->Unit && !ListUses(Form_RemoteNAS->GetRemoteList(), old))
                    RetireRemote(*this, root, old);
            }
            vcl::TTreeNode* unanswered = UnansweredNode(root, text);
            if (server) {
                if (unanswered) unanswered->Delete();
                ShowRemoteUnit(*this, root, *server);
            } else if (!unanswered) {
                vcl::TTreeNode* node = TreeView->Items()->AddChild(root, "");
                SetKind(node, nkRemoteUnanswered);
                node->SetText(text);
            }
        }
        SortChildrenByText(root);
    }
    RestoreSelection(*this, root, kept);
    ShowRemoteChange(*this, root, before);
}
