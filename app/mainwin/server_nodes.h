// The NAS branch of the main window's tree: one node per discovered unit under "NAS Servers", one
// per remote entry under "Remote Servers", and under a unit that keeps CD images one node per
// image folder and a last "[ Other ]" node.
#pragma once

#include <string>
#include <vector>

class CNasServer;
class TForm_Central;
namespace vcl {
class TTreeNode;
}

// The text of a server's node: its name, or " ---[ No Server Name ]--- " when it has none.
std::string ServerNodeText(const CNasServer& server);
// 56 for a unit still at its factory address (LAN 1 reads "192.168.1.1"), else 53.
int ServerNodeKind(const CNasServer& server);

// Runs discovery and rebuilds the "NAS Servers" branch from the found list as it now stands
// (SyncServerNodes); a failed discovery leaves the branch empty.
void RefreshServerTree(TForm_Central& form);
// Brings the children of root in step with servers: one node per unit, holding its unit's handle,
// with its text, kind and folder nodes as the object now has them; nodes of other units go. A
// selection in the branch stays on the same unit and image folder, or moves to root when its
// unit has gone.
void SyncServerNodes(TForm_Central& form, vcl::TTreeNode* root,
                     const std::vector<CNasServer*>& servers);
// Brings the "Remote Servers" nodes in step with the remote NAS list (nodes of entries that left
// it go; a unit that answered before keeps its node) and asks every entry again away from the
// GUI thread: each node follows its answer as it comes (TForm_Central::RemoteServerAnswered). An
// entry that does not answer becomes a kind-55 node with its address; one that discovery also
// found leaves the remote list.
void RefreshRemoteServers(TForm_Central& form);
// A new child of parent for server, holding its handle (none without a server).
vcl::TTreeNode* AddServerNode(TForm_Central& form, CNasServer* server, vcl::TTreeNode* parent);
// The image-folder children of a server node (sorted; each holds its folder's place in the unit's
// list, plus one) and "[ Other ]" after them; nothing for a unit without image folders.
void BuildImageFolderNodes(TForm_Central& form, vcl::TTreeNode* node);
// Sorts the children of a node by text, byte by byte.
void SortChildrenByText(vcl::TTreeNode* node);
