// CNASSvrNet: the program's list of NAS units, owned by the main window for the whole run. Two
// lists of CNasServer objects: the units of discovery and announcements (found) and the units
// added by address (remote). Lock 0 guards the found list, lock 1 the remote list.
//
// Ownership: a unit is one object for as long as its hardware address answers. Discovery and
// announcements update the object of a unit they know in place (its record and image folders;
// credentials and drive lists stay) and add objects only for new addresses. Each object the list
// makes gets a handle of its own (NasUnitHandle), which controls keep in place of a pointer and
// resolve through Share when they act. A unit that vanishes (discovery no longer finds it, it
// announced going off-line, its remote entry was removed) is retired: it leaves its list, its
// handle resolves to nothing, and a unit that comes back while its object is still retired
// revives that same object (handle, credentials and drive lists included). Objects are shared
// (std::shared_ptr): whoever keeps a unit across a modal box, a wizard page or a worker holds a
// share. Since no control holds a pointer, Sweep may run at any moment the GUI thread is between
// events (the window sweeps at every tick, also while boxes and the wizard are open); it frees the
// retired objects that nothing shares. The retired set is bounded (kRetiredMax): past it the
// oldest retired objects leave the set (freed at once unless shared; a shared one lives on with
// its holders and can no longer be revived).
//
// Also: the merge of unit announcements (capped like discovery), look-ups, a one-unit cache of an
// image list and the record of the last announcement taken (for the window's repeat filter).
#pragma once

#include "nasannouncement.h"
#include "nasserver.h"
#include "nasunit_handle.h"
#include "vcl/rw_synchronizer.h"

#include <netinet/in.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// A tree node or list row that shows a server, as the window hands it to CNASSvrNet::Remove:
// the list deletes it when it retires the server, so that no view shows a retired unit.
class TServerViewItem {
public:
    virtual ~TServerViewItem() = default;
    virtual void DeleteItem() = 0;
};

// The last announcement taken: calendar time in seconds, then the sender's hardware address.
struct LAST_ANNOUNCEMENT {
    std::uint32_t Time = 0;
    std::uint8_t HardwareAddress[kNasHardwareAddressSize] = {};
    std::uint8_t Spare[2] = {};
};

// What the user reads when a unit that a command or page was working with has left the lists:
// "Server NAME is off-line."
std::string UnitGoneText(const std::string& name);

class CNASSvrNet {
public:
    using ServerPtr = std::shared_ptr<CNasServer>;
    using ServerList = std::vector<ServerPtr>;

    // List selectors of FreeList, FindInList and Remove.
    static constexpr int kFoundList = 1;
    static constexpr int kRemoteList = 2;
    // The found list holds at most this many units, whether discovery or announcements add them.
    static constexpr int kDiscoveryMax = NAS_FIND_SERVER_MAX; // 255
    static constexpr int kImageCacheMax = NAS_IMG_INFO_MAX;   // 4096
    // At most this many retired objects are kept for revival and for their sharers.
    static constexpr int kRetiredMax = 2 * kDiscoveryMax;
    // The cached image list answers for at most this many seconds.
    static constexpr std::int64_t kImageCacheSeconds = 10;

    CNASSvrNet();
    // Destroys every object and closes the announcement socket when still open.
    ~CNASSvrNet();
    CNASSvrNet(const CNASSvrNet&) = delete;
    CNASSvrNet& operator=(const CNASSvrNet&) = delete;

    // Discovery under the write side of lock 0. Each unit that answers updates its object in
    // place (a retired one is revived) or gets a new one, in the order of the answers; units that
    // did not answer are retired. Image folders are not read here (the caller has a background
    // reader read them: no unit's address makes the caller wait). 0 when at least one unit
    // answered, else -1.
    int Discover();

    // The lists as they stand (GUI thread).
    const ServerList& Found() const { return found_; }
    const ServerList& Remote() const { return remote_; }
    int FoundCount() const { return static_cast<int>(found_.size()); }
    int RemoteCount() const { return static_cast<int>(remote_.size()); }
    int RetiredCount() const { return static_cast<int>(retired_.size()); }
    // Lock 0 (found list) and lock 1 (remote list).
    vcl::TMultiReadExclusiveWriteSynchronizer& FoundLock() { return *locks_[0]; }
    vcl::TMultiReadExclusiveWriteSynchronizer& RemoteLock() { return *locks_[1]; }

    // Retires every entry of the found (1) or remote (2) list.
    void FreeList(int which);

    // Look-ups; null when nothing matches. A pointer they give is for use before the event loop
    // runs again (a sweep may free a retired object then): code that waits holds a Share.
    // The found entry with the announcement's hardware address (null for a datagram that is not
    // 284 bytes).
    CNasServer* FindByMac(std::span<const std::uint8_t> announcement);
    // The found entry with that hardware address.
    CNasServer* FindFound(const std::uint8_t* hardwareAddress);
    // The entry of the found (1) or remote (2) list with the record's hardware address.
    CNasServer* FindInList(const NasServerInfo& record, int which);
    // The found entry whose name equals name ignoring letter case; null for an empty name.
    CNasServer* FindByName(const std::string& name);
    // Whether the unit of that handle is an entry of the found or the remote list now (not
    // retired, not freed, not unknown).
    bool IsLive(NasUnitHandle unit) const;
    // A share of the listed unit of that handle; empty when it is not listed (retired, freed, or
    // an empty handle).
    ServerPtr Share(NasUnitHandle unit) const;

    // Announcements (the datagram must be exactly 284 bytes).
    // Copies the announced fields into the server's record, its addresses, masks and gateways
    // excepted (only discovery moves a unit); 0, or -1 (nothing changed).
    int UpdateFromAnnouncement(CNasServer* server, std::span<const std::uint8_t> announcement);
    // The found entry for the announcement: the retired object of that hardware address revived,
    // or a new one (write lock 0). Null when it can't be made or the found list is full.
    CNasServer* AddFromAnnouncement(std::span<const std::uint8_t> announcement);

    // The remote entry for the record's hardware address: the one already there, a retired one
    // revived, or a new one with the remote flag (write lock 1). Null when it can't be made.
    CNasServer* AddRemote(const NasServerInfo& record);
    // Retires server from the found (1) or remote (2) list under that list's lock, and deletes
    // its tree node and list row (each may be null). A server not in the list is left alone; its
    // views are still deleted.
    void Remove(CNasServer* server, TServerViewItem* treeNode, int which, TServerViewItem* listRow);
    // Frees the retired objects that nothing else shares; returns how many were freed. Safe at
    // any moment the GUI thread is between events: controls hold handles, waiting code shares.
    int Sweep();

    // The image list of server: from the cache when the same server was asked at most 10 s ago
    // with a non-empty answer and force is false, else from the unit (asked twice when the first
    // answer is empty). A copy of the records, count set; none (count 0) when the query failed.
    std::optional<std::vector<NasImgInfo>> GetImageListCached(CNasServer* server, int& count,
                                                              bool force);

    // The last-announcement record: AllocScratch makes it zeroed when there is none; FreeScratch
    // releases it. Null while there is none.
    void AllocScratch();
    void FreeScratch();
    LAST_ANNOUNCEMENT* LastAnnouncement() { return lastAnnouncement_.get(); }

    // Set and read by the main window: the UDP socket bound to port 1999 (-1 when none) and the
    // sender of the last datagram received on it.
    int AnnouncementSocket = -1;
    sockaddr_in SenderAddress{};

private:
    // Moves the entries of list that keep returns false for to the retired objects, and keeps
    // those within kRetiredMax.
    template <class Keep> void RetireIf(ServerList& list, Keep keep);
    // A new object for the record, with a handle of its own; empty when it can't be made.
    ServerPtr NewServer(const NasServerInfo& record);
    // The retired object of that hardware address and remote flag taken out of the retired
    // objects; empty when there is none.
    ServerPtr Revive(const std::uint8_t* hardwareAddress, bool remote);
    void ClearImageCache();

    ServerList found_;
    ServerList remote_;
    ServerList retired_;
    std::unique_ptr<vcl::TMultiReadExclusiveWriteSynchronizer> locks_[2];

    std::uint64_t lastHandle_ = 0;

    // The image-list cache: the handle of the server it holds, its records.
    NasUnitHandle cachedServer_;
    int cachedCount_ = 0;
    std::vector<NasImgInfo> cachedImages_;
    std::int64_t cacheTime_ = 0; // calendar seconds when it was filled

    std::unique_ptr<LAST_ANNOUNCEMENT> lastAnnouncement_;
};
