// CNASSvrNet: the lists, discovery, announcements, look-ups and removal.
#include "nassvrnet.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

namespace {

// Holds one side of a list lock for a scope.
class ReadLock {
public:
    explicit ReadLock(vcl::TMultiReadExclusiveWriteSynchronizer& lock) : lock_(lock) {
        lock_.BeginRead();
    }
    ~ReadLock() { lock_.EndRead(); }
    ReadLock(const ReadLock&) = delete;
    ReadLock& operator=(const ReadLock&) = delete;

private:
    vcl::TMultiReadExclusiveWriteSynchronizer& lock_;
};

class WriteLock {
public:
    explicit WriteLock(vcl::TMultiReadExclusiveWriteSynchronizer& lock) : lock_(lock) {
        lock_.BeginWrite();
    }
    ~WriteLock() { lock_.EndWrite(); }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    vcl::TMultiReadExclusiveWriteSynchronizer& lock_;
};

bool SameHardwareAddress(const CNasServer& server, const std::uint8_t* address) {
    return std::memcmp(server.Info.hardwareAddress, address, kNasHardwareAddressSize) == 0;
}

std::string UpperCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

CNASSvrNet::CNASSvrNet() : cachedImages_(kImageCacheMax) {
    locks_[0] = std::make_unique<vcl::TMultiReadExclusiveWriteSynchronizer>();
    locks_[1] = std::make_unique<vcl::TMultiReadExclusiveWriteSynchronizer>();
}

CNASSvrNet::~CNASSvrNet() {
    DestroyList(foundHead_, foundTail_, foundCount_);
    DestroyList(previousHead_, previousTail_, previousCount_);
    DestroyList(remoteHead_, remoteTail_, remoteCount_);
    if (AnnouncementSocket >= 0) ::close(AnnouncementSocket);
}

void CNASSvrNet::DestroyServer(CNasServer* server) {
    // The cache knows its server by address only: a later server at the same address must not
    // find this one's images.
    if (server == cachedServer_) ClearImageCache();
    delete server;
}

void CNASSvrNet::DestroyList(CNasServer*& head, CNasServer*& tail, int& count) {
    CNasServer* server = head;
    while (server) {
        CNasServer* next = server->Next;
        DestroyServer(server);
        server = next;
    }
    head = nullptr;
    tail = nullptr;
    count = 0;
}

void CNASSvrNet::FreeList(int which) {
    if (which == kFoundList) {
        WriteLock lock(FoundLock());
        DestroyList(foundHead_, foundTail_, foundCount_);
    } else if (which == kRemoteList) {
        WriteLock lock(RemoteLock());
        DestroyList(remoteHead_, remoteTail_, remoteCount_);
    }
}

void CNASSvrNet::FreePreviousList() {
    WriteLock lock(FoundLock());
    DestroyList(previousHead_, previousTail_, previousCount_);
}

CNasServer* CNASSvrNet::AppendRecord(CNasServer*& head, CNasServer*& tail,
                                     const NasServerInfo& record) {
    auto* server = new (std::nothrow) CNasServer;
    if (!server) return nullptr;
    server->Info = record;
    if (tail)
        tail->Next = server;
    else
        head = server;
    tail = server;
    return server;
}

int CNASSvrNet::Discover() {
    WriteLock lock(FoundLock());
    std::unique_ptr<NasServerInfo[]> records(new (std::nothrow) NasServerInfo[kDiscoveryMax]);
    if (!records) return -1;
    std::memset(records.get(), 0, sizeof(NasServerInfo) * kDiscoveryMax);

    if (foundHead_) {
        // The tree still points at the entries of the found list: they live on as the previous
        // list until the window has rebuilt the tree.
        DestroyList(previousHead_, previousTail_, previousCount_);
        previousHead_ = foundHead_;
        previousTail_ = foundTail_;
        previousCount_ = foundCount_;
        foundHead_ = foundTail_ = nullptr;
        foundCount_ = 0;
    }

    int answered = 0;
    NasApiFindServer(records.get(), &answered);
    answered = std::min(answered, kDiscoveryMax);
    for (int i = 0; i < answered; ++i) {
        CNasServer* server =
            AppendRecord(foundHead_, foundTail_, records[static_cast<std::size_t>(i)]);
        if (!server) break;
        ++foundCount_;
        server->RefreshImageFolders();
    }
    return foundCount_ > 0 ? 0 : -1;
}

CNasServer* CNASSvrNet::FindByMac(std::span<const std::uint8_t> announcement) {
    const auto address = NasAnnouncementHardwareAddress(announcement);
    if (address.empty()) return nullptr;
    ReadLock lock(FoundLock());
    for (CNasServer* server = foundHead_; server; server = server->Next)
        if (SameHardwareAddress(*server, address.data())) return server;
    return nullptr;
}

CNasServer* CNASSvrNet::FindInList(const NasServerInfo& record, int which) {
    if (which != kFoundList && which != kRemoteList) return nullptr;
    ReadLock lock(which == kFoundList ? FoundLock() : RemoteLock());
    for (CNasServer* server = which == kFoundList ? foundHead_ : remoteHead_; server;
         server = server->Next)
        if (SameHardwareAddress(*server, record.hardwareAddress)) return server;
    return nullptr;
}

CNasServer* CNASSvrNet::FindByName(const std::string& name) {
    if (name.empty()) return nullptr;
    const std::string wanted = UpperCase(name);
    ReadLock lock(FoundLock());
    for (CNasServer* server = foundHead_; server; server = server->Next)
        if (UpperCase(server->GetName()) == wanted) return server;
    return nullptr;
}

CNasServer* CNASSvrNet::FindByRecord(const CNasServer* server) {
    if (!server) return nullptr;
    ReadLock lock(FoundLock());
    for (CNasServer* entry = foundHead_; entry; entry = entry->Next)
        if (std::memcmp(&entry->Info, &server->Info, sizeof(NasServerInfo)) == 0) return entry;
    return nullptr;
}

int CNASSvrNet::UpdateFromAnnouncement(CNasServer* server,
                                       std::span<const std::uint8_t> announcement) {
    if (!server) return -1;
    return ParseNasAnnouncement(announcement, server->Info) ? 0 : -1;
}

CNasServer* CNASSvrNet::AddFromAnnouncement(std::span<const std::uint8_t> announcement) {
    NasServerInfo record{};
    if (!ParseNasAnnouncement(announcement, record)) return nullptr;
    WriteLock lock(FoundLock());
    CNasServer* server = AppendRecord(foundHead_, foundTail_, record);
    if (server) ++foundCount_;
    return server;
}

CNasServer* CNASSvrNet::AddRemote(const NasServerInfo& record) {
    if (CNasServer* existing = FindInList(record, kRemoteList)) return existing;
    WriteLock lock(RemoteLock());
    CNasServer* server = AppendRecord(remoteHead_, remoteTail_, record);
    if (!server) return nullptr;
    server->RemoteFlag = 1;
    ++remoteCount_;
    return server;
}

void CNASSvrNet::Remove(CNasServer* server, TServerViewItem* treeNode, int which,
                        TServerViewItem* listRow) {
    if (!server || (which != kFoundList && which != kRemoteList)) return;
    CNasServer*& head = which == kFoundList ? foundHead_ : remoteHead_;
    CNasServer*& tail = which == kFoundList ? foundTail_ : remoteTail_;
    int& count = which == kFoundList ? foundCount_ : remoteCount_;
    if (!head || !tail || count == 0) return;

    WriteLock lock(which == kFoundList ? FoundLock() : RemoteLock());
    if (!head || count == 0) {
        head = tail = nullptr;
        count = 0;
        return;
    }
    CNasServer* previous = nullptr;
    CNasServer* entry = head;
    for (int steps = 0; entry && steps < count && entry != server; ++steps) {
        previous = entry;
        entry = entry->Next;
    }
    if (entry == server) {
        if (previous)
            previous->Next = entry->Next;
        else
            head = entry->Next;
        if (tail == entry) tail = previous;
        DestroyServer(entry);
        if (--count == 0) head = tail = nullptr;
    }
    // The views of the server go with it, also when the list no longer held it.
    if (treeNode) treeNode->DeleteItem();
    if (listRow) listRow->DeleteItem();
}

void CNASSvrNet::AllocScratch() {
    if (!lastAnnouncement_) lastAnnouncement_.reset(new (std::nothrow) LAST_ANNOUNCEMENT{});
}

void CNASSvrNet::FreeScratch() {
    lastAnnouncement_.reset();
}
