// What the Import System Settings dialog needs of the main window and of the wizard: the shared
// current server, the flag that makes the main window's refresh timer refresh the dialog's target
// lists, and the main window's tree nodes, list layouts and busy flag through a host interface
// that the main window implements.
#pragma once

#include <memory>

class CNasServer;
namespace vcl {
class TListView;
class TTreeNode;
} // namespace vcl

// The server the wizard and the main window's server commands act on; the dialog writes a profile
// taken from a file to it.
extern CNasServer CurrentNasServer;
// 1 while the dialog's targets page wants its lists refreshed by the main window's timer.
extern int TargetListsShowing;

// Options of ListServersOfNode.
inline constexpr int kListSkipUnanswered = 2; // leaves out remote entries that did not answer
inline constexpr int kListSkipPendingTasks = 4;
// The list layout of the server lists.
inline constexpr int kServerListLayout = 8;

class TProfileSettingHost {
public:
    virtual ~TProfileSettingHost() = default;
    // The NAS Servers and Remote Servers tree nodes (null while there is none). A child's data is
    // its unit's handle (UnitOf resolves it), or null for a remote entry that did not answer.
    virtual vcl::TTreeNode* NasServersNode() = 0;
    virtual vcl::TTreeNode* RemoteServersNode() = 0;
    // The listed unit that a server node's or row's data names (a share, to hold across boxes);
    // empty when it names none.
    virtual std::shared_ptr<CNasServer> UnitOf(const void* data) {
        (void)data;
        return {};
    }
    // The program's busy flag, which holds the main window's timers back.
    virtual void SetBusy(bool busy) = 0;
    // Gives the list the columns of a list layout; here the server columns for layout 8.
    virtual void SetListViewColumns(vcl::TListView* list, int layout);
    // Fills the list with one row per server child of node, the row's data being its handle.
    virtual void ListServersOfNode(vcl::TListView* list, vcl::TTreeNode* node, int options);
};
