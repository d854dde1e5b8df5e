// CNASSvrNet: the program's list of NAS units, owned by the main window for the whole run. Three
// singly linked lists of CNasServer (through their Next field): the units of the last discovery
// (found), those of the discovery before it (previous: kept until the tree no longer points at
// them) and the units added by address (remote). Lock 0 guards found and previous, lock 1 the
// remote list. The lists own their servers: removing an entry destroys it.
//
// Also: discovery, the merge of unit announcements, look-ups, a one-unit cache of an image list
// and the record of the last announcement taken (for the window's repeat filter).
#pragma once

#include "nasannouncement.h"
#include "nasserver.h"
#include "vcl/rw_synchronizer.h"

#include <netinet/in.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// A tree node or list row that shows a server, as the window hands it to CNASSvrNet::Remove:
// the list deletes it together with the server, so that nothing is left pointing at a freed one.
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

class CNASSvrNet {
public:
    // List selectors of FreeList, FindInList and Remove.
    static constexpr int kFoundList = 1;
    static constexpr int kRemoteList = 2;
    static constexpr int kDiscoveryMax = NAS_FIND_SERVER_MAX; // 255
    static constexpr int kImageCacheMax = NAS_IMG_INFO_MAX;   // 4096
    // The cached image list answers for at most this many seconds.
    static constexpr std::int64_t kImageCacheSeconds = 10;

    CNASSvrNet();
    // Destroys every list and closes the announcement socket when still open.
    ~CNASSvrNet();
    CNASSvrNet(const CNASSvrNet&) = delete;
    CNASSvrNet& operator=(const CNASSvrNet&) = delete;

    // Discovery under the write side of lock 0: the found list becomes the previous list (an
    // older previous list is destroyed first), the units that answer make the new found list
    // and units with image folders have them read. 0 when at least one unit answered, else -1.
    int Discover();

    // Heads and counts (no lock).
    CNasServer* FirstFound() const { return foundHead_; }
    int FoundCount() const { return foundCount_; }
    CNasServer* FirstPrevious() const { return previousHead_; }
    int PreviousCount() const { return previousCount_; }
    CNasServer* FirstRemote() const { return remoteHead_; }
    int RemoteCount() const { return remoteCount_; }
    // Lock 0 (found and previous lists) and lock 1 (remote list).
    vcl::TMultiReadExclusiveWriteSynchronizer& FoundLock() { return *locks_[0]; }
    vcl::TMultiReadExclusiveWriteSynchronizer& RemoteLock() { return *locks_[1]; }

    // Destroys every entry of the found (1) or remote (2) list; no lock.
    void FreeList(int which);
    void FreePreviousList();

    // Look-ups; null when nothing matches.
    // The found entry with the announcement's hardware address (null for a datagram that is not
    // 284 bytes).
    CNasServer* FindByMac(std::span<const std::uint8_t> announcement);
    // The entry of the found (1) or remote (2) list with the record's hardware address.
    CNasServer* FindInList(const NasServerInfo& record, int which);
    // The found entry whose name equals name ignoring letter case; null for an empty name.
    CNasServer* FindByName(const std::string& name);
    // The found entry whose whole record equals the server's.
    CNasServer* FindByRecord(const CNasServer* server);

    // Announcements (the datagram must be exactly 284 bytes).
    // Copies the announced fields into the server's record; 0, or -1 (nothing changed).
    int UpdateFromAnnouncement(CNasServer* server, std::span<const std::uint8_t> announcement);
    // A new found entry made from the announcement (write lock 0); null when it can't be made.
    CNasServer* AddFromAnnouncement(std::span<const std::uint8_t> announcement);

    // Appends a new server holding record after tail (head too for an empty list); the caller
    // holds the lock and keeps the count. Null when it can't be made.
    static CNasServer* AppendRecord(CNasServer*& head, CNasServer*& tail,
                                    const NasServerInfo& record);
    // The remote entry for the record's hardware address: the one already there, or a new one
    // with the remote flag (write lock 1). Null when it can't be made.
    CNasServer* AddRemote(const NasServerInfo& record);
    // Unlinks and destroys server in the found (1) or remote (2) list, and deletes its tree node
    // and list row (each may be null) under that list's lock. A server not in the list is left
    // alone; its views are still deleted.
    void Remove(CNasServer* server, TServerViewItem* treeNode, int which, TServerViewItem* listRow);

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
    // Destroys one server of a list; drops the image cache when it is that server's.
    void DestroyServer(CNasServer* server);
    // Destroys every server from head on, and empties head, tail and count.
    void DestroyList(CNasServer*& head, CNasServer*& tail, int& count);
    void ClearImageCache();

    CNasServer* foundHead_ = nullptr;
    CNasServer* foundTail_ = nullptr;
    CNasServer* previousHead_ = nullptr;
    CNasServer* previousTail_ = nullptr;
    int foundCount_ = 0;
    int previousCount_ = 0;
    CNasServer* remoteHead_ = nullptr;
    CNasServer* remoteTail_ = nullptr;
    int remoteCount_ = 0;
    std::unique_ptr<vcl::TMultiReadExclusiveWriteSynchronizer> locks_[2];

    // The image-list cache: identity of the server (compared, never dereferenced), its records.
    const CNasServer* cachedServer_ = nullptr;
    int cachedCount_ = 0;
    std::vector<NasImgInfo> cachedImages_;
    std::int64_t cacheTime_ = 0; // calendar seconds when it was filled

    std::unique_ptr<LAST_ANNOUNCEMENT> lastAnnouncement_;
};
