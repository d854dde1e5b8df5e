// CNASSvrNet: the lists, discovery, announcements, look-ups, retirement and removal.
#include "nassvrnet.h"

#include "message_format.h"
#include "msgbox.h"

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

CNasServer* FindIn(const CNASSvrNet::ServerList& list, const std::uint8_t* address) {
    for (const auto& server : list)
        if (SameHardwareAddress(*server, address)) return server.get();
    return nullptr;
}

} // namespace

std::string UnitGoneText(const std::string& name) {
    return FormatMessageText(GetMessageText(849), {name});
}

CNASSvrNet::CNASSvrNet() : cachedImages_(kImageCacheMax) {
    locks_[0] = std::make_unique<vcl::TMultiReadExclusiveWriteSynchronizer>();
    locks_[1] = std::make_unique<vcl::TMultiReadExclusiveWriteSynchronizer>();
}

CNASSvrNet::~CNASSvrNet() {
    if (AnnouncementSocket >= 0) ::close(AnnouncementSocket);
}

CNASSvrNet::ServerPtr CNASSvrNet::NewServer(const NasServerInfo& record) {
    ServerPtr server(new (std::nothrow) CNasServer);
    if (!server) return server;
    server->Info = record;
    server->UnitHandle = NasUnitHandle(NasUnitHandle::kTag | ++lastHandle_);
    return server;
}

template <class Keep> void CNASSvrNet::RetireIf(ServerList& list, Keep keep) {
    auto kept = std::stable_partition(list.begin(), list.end(), keep);
    const auto before = static_cast<std::ptrdiff_t>(retired_.size());
    for (auto it = kept; it != list.end(); ++it)
        retired_.push_back(std::move(*it));
    list.erase(kept, list.end());
    // Past the bound the oldest retired objects leave the set: freed at once unless shared (no
    // control holds a pointer), else living on with their sharers. Those retired just now stay
    // for the caller until the next sweep.
    const auto excess = std::min<std::ptrdiff_t>(RetiredCount() - kRetiredMax, before);
    if (excess <= 0) return;
    retired_.erase(retired_.begin(), retired_.begin() + excess);
}

CNASSvrNet::ServerPtr CNASSvrNet::Revive(const std::uint8_t* hardwareAddress, bool remote) {
    auto it = std::find_if(retired_.begin(), retired_.end(), [&](const ServerPtr& server) {
        return SameHardwareAddress(*server, hardwareAddress) && (server->RemoteFlag != 0) == remote;
    });
    if (it == retired_.end()) return {};
    ServerPtr server = std::move(*it);
    retired_.erase(it);
    return server;
}

void CNASSvrNet::FreeList(int which) {
    if (which == kFoundList) {
        WriteLock lock(FoundLock());
        RetireIf(found_, [](const ServerPtr&) { return false; });
    } else if (which == kRemoteList) {
        WriteLock lock(RemoteLock());
        RetireIf(remote_, [](const ServerPtr&) { return false; });
    }
}

int CNASSvrNet::Discover() {
    std::unique_ptr<NasServerInfo[]> records(new (std::nothrow) NasServerInfo[kDiscoveryMax]);
    if (!records) return -1;
    std::memset(records.get(), 0, sizeof(NasServerInfo) * kDiscoveryMax);
    int answered = 0;
    NasApiFindServer(records.get(), &answered);
    answered = std::clamp(answered, 0, kDiscoveryMax);

    WriteLock lock(FoundLock());
    ServerList now;
    now.reserve(static_cast<std::size_t>(answered));
    for (int i = 0; i < answered; ++i) {
        const NasServerInfo& record = records[static_cast<std::size_t>(i)];
        // A unit that answered twice is one unit: its later answer stands.
        if (CNasServer* twice = FindIn(now, record.hardwareAddress)) {
            twice->Info = record;
            continue;
        }
        ServerPtr server;
        auto known = std::find_if(found_.begin(), found_.end(), [&](const ServerPtr& s) {
            return SameHardwareAddress(*s, record.hardwareAddress);
        });
        if (known != found_.end()) {
            server = std::move(*known);
            found_.erase(known);
        } else {
            server = Revive(record.hardwareAddress, false);
        }
        if (server)
            server->Info = record;
        else
            server = NewServer(record);
        if (!server) break;
        now.push_back(std::move(server));
    }
    // What did not answer is retired; the answers make the new list.
    RetireIf(found_, [](const ServerPtr&) { return false; });
    found_ = std::move(now);
    return found_.empty() ? -1 : 0;
}

CNasServer* CNASSvrNet::FindByMac(std::span<const std::uint8_t> announcement) {
    const auto address = NasAnnouncementHardwareAddress(announcement);
    if (address.empty()) return nullptr;
    return FindFound(address.data());
}

CNasServer* CNASSvrNet::FindFound(const std::uint8_t* hardwareAddress) {
    if (!hardwareAddress) return nullptr;
    ReadLock lock(FoundLock());
    return FindIn(found_, hardwareAddress);
}

CNasServer* CNASSvrNet::FindInList(const NasServerInfo& record, int which) {
    if (which != kFoundList && which != kRemoteList) return nullptr;
    ReadLock lock(which == kFoundList ? FoundLock() : RemoteLock());
    return FindIn(which == kFoundList ? found_ : remote_, record.hardwareAddress);
}

CNasServer* CNASSvrNet::FindByName(const std::string& name) {
    if (name.empty()) return nullptr;
    const std::string wanted = UpperCase(name);
    ReadLock lock(FoundLock());
    for (const auto& server : found_)
        if (UpperCase(server->GetName()) == wanted) return server.get();
    return nullptr;
}

bool CNASSvrNet::IsLive(NasUnitHandle unit) const {
    return Share(unit) != nullptr;
}

CNASSvrNet::ServerPtr CNASSvrNet::Share(NasUnitHandle unit) const {
    if (!unit) return {};
    for (const ServerList* list : {&found_, &remote_})
        for (const auto& s : *list)
            if (s->UnitHandle == unit) return s;
    return {};
}

int CNASSvrNet::UpdateFromAnnouncement(CNasServer* server,
                                       std::span<const std::uint8_t> announcement) {
    if (!server) return -1;
    // An announcement never moves a known unit: its addresses stay as discovery found them.
    NasServerInfo record = server->Info;
    if (!ParseNasAnnouncement(announcement, record)) return -1;
    std::memcpy(record.ipAddress, server->Info.ipAddress, sizeof record.ipAddress);
    std::memcpy(record.subnetMask, server->Info.subnetMask, sizeof record.subnetMask);
    std::memcpy(record.gateway, server->Info.gateway, sizeof record.gateway);
    server->Info = record;
    return 0;
}

CNasServer* CNASSvrNet::AddFromAnnouncement(std::span<const std::uint8_t> announcement) {
    NasServerInfo record{};
    if (!ParseNasAnnouncement(announcement, record)) return nullptr;
    WriteLock lock(FoundLock());
    if (CNasServer* known = FindIn(found_, record.hardwareAddress)) return known;
    if (FoundCount() >= kDiscoveryMax) return nullptr;
    ServerPtr server = Revive(record.hardwareAddress, false);
    if (server) {
        // What the announcement does not carry is left as the unit last reported it.
        ParseNasAnnouncement(announcement, server->Info);
    } else {
        server = NewServer(record);
    }
    if (!server) return nullptr;
    found_.push_back(server);
    return server.get();
}

CNasServer* CNASSvrNet::AddRemote(const NasServerInfo& record) {
    if (CNasServer* existing = FindInList(record, kRemoteList)) return existing;
    WriteLock lock(RemoteLock());
    ServerPtr server = Revive(record.hardwareAddress, true);
    if (server)
        server->Info = record;
    else
        server = NewServer(record);
    if (!server) return nullptr;
    server->RemoteFlag = 1;
    remote_.push_back(server);
    return server.get();
}

void CNASSvrNet::Remove(CNasServer* server, TServerViewItem* treeNode, int which,
                        TServerViewItem* listRow) {
    if (!server || (which != kFoundList && which != kRemoteList)) return;
    {
        WriteLock lock(which == kFoundList ? FoundLock() : RemoteLock());
        RetireIf(which == kFoundList ? found_ : remote_,
                 [server](const ServerPtr& s) { return s.get() != server; });
    }
    // The views of the server go with it, also when the list no longer held it.
    if (treeNode) treeNode->DeleteItem();
    if (listRow) listRow->DeleteItem();
}

int CNASSvrNet::Sweep() {
    int freed = 0;
    for (auto it = retired_.begin(); it != retired_.end();) {
        if (it->use_count() > 1) {
            ++it;
            continue;
        }
        it = retired_.erase(it);
        ++freed;
    }
    return freed;
}

void CNASSvrNet::AllocScratch() {
    if (!lastAnnouncement_) lastAnnouncement_.reset(new (std::nothrow) LAST_ANNOUNCEMENT{});
}

void CNASSvrNet::FreeScratch() {
    lastAnnouncement_.reset();
}
