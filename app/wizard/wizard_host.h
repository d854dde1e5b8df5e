// What the wizard needs of the main window: its server nodes, the local drive table, "My
// Container", the task manager's counts and the refresh commands. The main window implements it.
#pragma once

#include <cstdint>
#include <string>

class CDH_LOGICAL_CDROM_CLASS;
class CNasServer;
class MIRROR_CONTAINER;
namespace vcl {
class TForm;
class TTreeNode;
} // namespace vcl

class TWizardHost {
public:
    virtual ~TWizardHost() = default;
    // The NAS Servers and Remote Servers tree nodes (null while there is none). A child's data is
    // its CNasServer, or null for a remote entry that did not answer.
    virtual vcl::TTreeNode* NasServersNode() = 0;
    virtual vcl::TTreeNode* RemoteServersNode() = 0;
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
    virtual bool SelectedImage(CNasServer*& server, std::string& name, std::uint32_t& blocks) {
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
};
