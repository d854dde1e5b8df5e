// What the wizard needs of the main window: its server nodes, the local drive table, "My
// Container", the task manager's counts and the refresh commands. The main window implements it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CDH_LOGICAL_CDROM_CLASS;
class CDH_NET_CLASS;
class CNasServer;
class TCdhSvr;
class MIRROR_CONTAINER;
namespace vcl {
class TForm;
class TListView;
class TTreeNode;
} // namespace vcl

class TWizardHost {
public:
    virtual ~TWizardHost() = default;
    // The NAS Servers and Remote Servers tree nodes (null while there is none). A child's data is
    // its unit's handle (UnitOf resolves it), or null for a remote entry that did not answer.
    virtual vcl::TTreeNode* NasServersNode() = 0;
    virtual vcl::TTreeNode* RemoteServersNode() = 0;
    // The listed unit that a server node's, row's or combo item's data names (a share, to hold
    // across whatever runs the event loop); empty when it names none.
    virtual std::shared_ptr<CNasServer> UnitOf(const void* data) {
        (void)data;
        return {};
    }
    // The local optical-drive table.
    virtual CDH_LOGICAL_CDROM_CLASS* Drives() = 0;
    // The main window's "My Container".
    virtual MIRROR_CONTAINER* MyContainer() = 0;
    // Number of tasks in the task manager, and whether one of them builds an image.
    virtual int TaskCount() { return 0; }
    virtual bool HasBuildTask() { return false; }
    // The main window's commands the pages run.
    virtual void RefreshCdromView() {}
    virtual void RefreshServerTree() {}
    virtual void RefreshRemoteServers() {}
    // Negative when the CD-server refresh failed.
    virtual int RefreshCdhServers() { return 0; }
    virtual void LoadContainer() {}
    virtual void ValidateContainer() {}
    // Shows the task manager after the wizard made tasks (by default the task manager window).
    virtual void ShowTaskManager();
    // The main window (the wizard centres over it), or null.
    virtual vcl::TForm* MainForm() { return nullptr; }
    // The image selected in the main window's list when the selected node is an image folder of
    // a server: its server, name and size in 2048-byte blocks; false otherwise.
    virtual bool SelectedImage(std::shared_ptr<CNasServer>& server, std::string& name,
                               std::uint32_t& blocks) {
        (void)server;
        (void)name;
        (void)blocks;
        return false;
    }
    // The folder where the disc of a drive letter is mounted on this machine; empty when none.
    virtual std::string DiscPath(char letter) {
        (void)letter;
        return {};
    }
    // ---- Server quick setup, hard-disk page and image conversion ----
    // Gives list the columns of a list layout (8: the server columns); by default the columns
    // the form gave it stand.
    virtual void SetListViewColumns(vcl::TListView* list, int layout) {
        (void)list;
        (void)layout;
    }
    // One row per child of node, the row's data being its unit's handle (none for a remote entry
    // that did not answer). Options: 2 leaves out remote entries that did not answer, 4 servers
    // with pending server tasks.
    virtual void ListServersOfNode(vcl::TListView* list, vcl::TTreeNode* node, int options);
    // After a quick setup: the server nodes' texts are read again and the selection re-run.
    virtual void RefreshServerNodeTexts() {}
    virtual void ReselectTreeNode() {}
    // The CD-server facade and its servers (null / 0 while there is none).
    virtual CDH_NET_CLASS* CdhNet() { return nullptr; }
    // Refreshes one CD server's devices; negative when that failed.
    virtual int RefreshCdhServerNode(TCdhSvr* server) {
        (void)server;
        return -1;
    }
    // The main window's ready flag, cleared while the wizard refreshes a CD server.
    virtual void SetFormReady(bool ready) { (void)ready; }
};
