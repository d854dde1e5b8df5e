// TForm_RemoteNAS: the remote NAS list, the units that the user names by IPv4 address because
// they do not answer the broadcast discovery. The dialog keeps the list for the whole run
// (RMT_NAS_DATA entries, most recently added first), shows it, adds a unit after asking it for
// its record and removes entries; the main window stores the list in its settings and resolves
// the entries into remote entries of its server list.
#pragma once

#include "nasunit_handle.h"

#include "vcl/form.h"
#include "vcl/list_view.h"
#include "vcl/std_controls.h"

#include <cstdint>
#include <string>

class CNasServer;
class CNASSvrNet;
namespace vcl {
class TTreeNode;
}

// One entry of the remote NAS list.
struct RMT_NAS_DATA {
    std::uint32_t Address = 0; // IPv4 address, host byte order
    // "----" until the unit answered; then its name (the dotted address for an entry rebuilt from
    // an unreachable tree node).
    std::string Name = "----";
    RMT_NAS_DATA* Next = nullptr; // the entry added before this one; null at the end
    NasUnitHandle Unit; // the unit's entry in the remote list of the server list; empty while
                        // the unit is unreachable
};

// What the remote NAS list needs of the main window.
class TRemoteNasHost {
public:
    virtual ~TRemoteNasHost() = default;
    // The main window's server list.
    virtual CNASSvrNet& ServerList() = 0;
    // The Remote Servers tree node, or null while there is none. Its children carry a remote
    // unit's handle as data (reachable units) or no data and the dotted address as text.
    virtual vcl::TTreeNode* RemoteServersNode() = 0;
    // A remote server is about to be retired: the window deletes every list row of its own that
    // shows it. (Its Remote Servers node is deleted by the remote NAS list.)
    virtual void RemoteServerGoing(NasUnitHandle unit) = 0;
};

class TForm_RemoteNAS : public vcl::TForm {
public:
    // Makes the components (the form's description).
    explicit TForm_RemoteNAS(vcl::TComponent* Owner);
    // Frees the entries (not their servers).
    ~TForm_RemoteNAS() override;

    vcl::TLabel* Label1 = nullptr;
    vcl::TListView* NASListView = nullptr; // a row's data is its RMT_NAS_DATA entry
    vcl::TButton* btNASAdd = nullptr;
    vcl::TButton* btNASDelete = nullptr;
    vcl::TButton* btNASClose = nullptr;

    // The main window; without one no unit can be added and the tree is not read.
    void SetHost(TRemoteNasHost* host) { host_ = host; }
    TRemoteNasHost* Host() const { return host_; }

    void FormCreate(vcl::TObject* Sender);
    // Fills the list view from the list, head first.
    void FormShow(vcl::TObject* Sender);
    // Asks for an address, asks the unit for its record and adds it unless it is known already.
    void btNASAddClick(vcl::TObject* Sender);
    // Removes the entry of the selected row.
    void btNASDeleteClick(vcl::TObject* Sender);
    void btNASCloseClick(vcl::TObject* Sender);

    // A new entry (address, "----", no server) at the head; returns it.
    RMT_NAS_DATA* AddEntry(std::uint32_t address);
    // Unlinks and frees the entry, with its list row and its Remote Servers tree node, and
    // retires its server from the server list's remote list unless another entry still uses it.
    // 0, or -1 when the entry is not in the list.
    int RemoveEntry(RMT_NAS_DATA* entry);
    // The head: the most recently added entry; null for an empty list.
    RMT_NAS_DATA* GetRemoteList() const { return head_; }
    // The first-added entry.
    RMT_NAS_DATA* GetLastEntry() const { return tail_; }
    int EntryCount() const;

    bool IsChanged() const { return changed_; }
    void ClearChanged() { changed_ = false; }

    // When the list is empty and the main window has a Remote Servers node, rebuilds the list
    // from that node's children: the first child becomes the head.
    void SyncFromTree();

private:
    // The list row of an entry, or null.
    vcl::TListItem* RowOf(const RMT_NAS_DATA* entry) const;
    // Adds the entry's row at its place in the list order.
    void AddRow(RMT_NAS_DATA* entry);
    // Deletes the Remote Servers child that shows the entry, when there is one.
    void DeleteTreeNodeOf(const RMT_NAS_DATA* entry);
    // Appends an entry after the tail (SyncFromTree keeps the tree's order with it).
    RMT_NAS_DATA* AppendEntry(std::uint32_t address, std::string name, NasUnitHandle unit);
    void FreeEntries();

    RMT_NAS_DATA* head_ = nullptr; // most recently added
    RMT_NAS_DATA* tail_ = nullptr; // first added
    bool changed_ = false;
    TRemoteNasHost* host_ = nullptr;
};

extern TForm_RemoteNAS* Form_RemoteNAS;
