#include "tovexcdh_net.h"

#include "clock/clock.h"
#include "msgbox.h"
#include "tcpsocket.h"
#include "tovexcdh_config.h"
#include "tovexcdh_records.h"
#include "vcl/exception.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <new>
#include <poll.h>

TCdhNet* CdhServerList = nullptr;

namespace {

using Clock = std::chrono::steady_clock;

// The version of the sockets layer the client asks for (1.1).
constexpr std::uint16_t kSocketsVersion = 0x0101;

sockaddr_in BroadcastTo(const CdhNetConfig& config) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(config.udpPort);
    to.sin_addr.s_addr = htonl(config.broadcastAddress);
    return to;
}

// The key of a hardware address: its 6 used bytes.
std::uint64_t MacKey(const std::uint8_t* mac) {
    std::uint64_t key = 0;
    for (int i = 0; i < 6; ++i)
        key = key << 8 | mac[i];
    return key;
}

int Upper(unsigned char c) {
    return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c;
}

} // namespace

bool CdhNameLess(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const int x = Upper(static_cast<unsigned char>(*a));
        const int y = Upper(static_cast<unsigned char>(*b));
        if (x != y) return x < y;
        if (x == 0) return false;
    }
}

TCdhNet::TCdhNet() {
    if (TcpSocketManager == nullptr)
        TcpSocketManager = new (std::nothrow) TTcpSocket(kSocketsVersion);
    if (TcpSocketManager == nullptr) {
        LastError = kCdhNoManager;
        return;
    }
    Discover();
}

TCdhNet::~TCdhNet() {
    for (int i = 0; i < Records.Count(); ++i)
        delete static_cast<TCdhSvr*>(Records.Item(i));
    Records.Clear();
    for (TCdhSvr* record : retired_)
        delete record;
    retired_.clear();
    Array.clear();
    delete TcpSocketManager;
    TcpSocketManager = nullptr;
}

TCdhSvr* TCdhNet::FindByMac(const std::uint8_t* mac) const {
    const auto it = byMac_.find(MacKey(mac));
    return it != byMac_.end() ? it->second.record : nullptr;
}

TCdhSvr* TCdhNet::LeastSeen() const {
    TCdhSvr* chosen = nullptr;
    std::uint32_t chosenMissed = 0;
    for (int i = 0; i < Records.Count(); ++i) {
        auto* record = static_cast<TCdhSvr*>(Records.Item(i));
        if ((record->Flags & kCdhFlagSeen) != 0) continue;
        // A server that answered the discovery before may simply not have answered this one
        // yet: a flood of new servers early in the window must not push it out.
        const std::uint32_t missed = byMac_.at(MacKey(record->HardwareAddress)).missed;
        if (missed == 0) continue;
        if (chosen == nullptr || missed > chosenMissed) {
            chosen = record;
            chosenMissed = missed;
        }
    }
    return chosen;
}

void TCdhNet::Retire(TCdhSvr* record) {
    // The place is made first, so that nothing can fail once the record is out of the list.
    retired_.reserve(retired_.size() + 1);
    Records.RemoveItem(record);
    byMac_.erase(MacKey(record->HardwareAddress));
    record->Flags &= ~kCdhFlagSeen;
    --Count;
    retired_.push_back(record);
}

TCdhSvr* TCdhNet::MergeReply(const std::uint8_t* reply) {
    TCdhSvr* record = FindByMac(reply + kCdhAnnOffMac);
    if (record == nullptr) {
        if (Count >= MaxRecords) {
            TCdhSvr* silent = LeastSeen();
            if (silent == nullptr) return nullptr; // every listed server has answered
            Retire(silent);
        }
        record = new (std::nothrow) TCdhSvr;
        if (record == nullptr) return nullptr;
        CdhApplyAnnounce(*record, reply);
        try {
            byMac_.emplace(MacKey(record->HardwareAddress), Tracked{record, 0, 0});
        } catch (const std::bad_alloc&) {
            delete record;
            return nullptr;
        }
        try {
            Records.Add(record);
        } catch (...) {
            byMac_.erase(MacKey(record->HardwareAddress));
            delete record;
            throw;
        }
        ++Count;
    } else {
        CdhApplyAnnounce(*record, reply);
    }
    byMac_.at(MacKey(record->HardwareAddress)).missed = 0;
    if ((record->Flags & kCdhFlagSeen) == 0) {
        record->Flags |= kCdhFlagSeen;
        ++SeenCount;
    }
    return record;
}

void TCdhNet::BuildArray() {
    try {
        Array.resize(static_cast<std::size_t>(Records.Count()));
    } catch (const std::bad_alloc&) {
        Array.clear();
        throw vcl::Exception(JoinStrings3("TCdhNet", ": ", "BuildArray allocate error."));
    }
    for (int i = 0; i < Records.Count(); ++i)
        Array[static_cast<std::size_t>(i)] = static_cast<TCdhSvr*>(Records.Item(i));
}

void TCdhNet::SortArray() {
    std::stable_sort(Array.begin(), Array.end(), [](const TCdhSvr* a, const TCdhSvr* b) {
        return CdhNameLess(a->Name, b->Name);
    });
}

bool TCdhNet::TakeReply(const std::uint8_t* datagram, std::size_t size, std::uint32_t sender) {
    CdhFrameHeader header;
    // Only a whole reply is taken; shorter datagrams would leave fields unread.
    if (size < kCdhAnnounceSize || !CdhDecodeHeader(datagram, size, header)) return false;
    // A server answers from the address it announces; anything else is not its reply.
    if (std::memcmp(datagram + kCdhAnnOffAddress, &sender, 4) != 0) {
        ++RefusedCount;
        return false;
    }
    // A server answers each query once: what it sends again before the next query is dropped,
    // not merged, counted or acknowledged.
    const auto known = byMac_.find(MacKey(datagram + kCdhAnnOffMac));
    if (known != byMac_.end() && known->second.answeredQuery == query_) return false;
    if (TakenCount >= MaxReplies) {
        ++RefusedCount;
        return false;
    }
    TCdhSvr* record = MergeReply(datagram);
    if (record == nullptr) {
        ++RefusedCount;
        return false;
    }
    byMac_.at(MacKey(record->HardwareAddress)).answeredQuery = query_;
    ++TakenCount;
    return true;
}

void TCdhNet::BeginRound() {
    // Whoever held a record that left the list had the time since the last discovery to see
    // that it was no longer seen.
    for (TCdhSvr* record : retired_)
        delete record;
    retired_.clear();
    SeenCount = 0;
    RefusedCount = 0;
    TakenCount = 0;
    ++query_;
    for (int i = 0; i < Records.Count(); ++i)
        static_cast<TCdhSvr*>(Records.Item(i))->Flags &= ~kCdhFlagSeen;
}

void TCdhNet::NextQuery() {
    ++query_;
}

void TCdhNet::EndRound() {
    // Servers that did not answer: one more discovery missed; after MaxMissed they leave.
    std::vector<TCdhSvr*> gone;
    for (int i = 0; i < Records.Count(); ++i) {
        auto* record = static_cast<TCdhSvr*>(Records.Item(i));
        if ((record->Flags & kCdhFlagSeen) != 0) continue;
        if (++byMac_.at(MacKey(record->HardwareAddress)).missed >= MaxMissed)
            gone.push_back(record);
    }
    for (TCdhSvr* record : gone)
        Retire(record);
    BuildArray();
    if (Array.size() >= 2) SortArray();
    if (RefusedCount > 0)
        std::fprintf(stderr,
                     "CD-server discovery: %u replies refused (sender not the announced address, "
                     "%u replies already taken, or %u servers listed that all answered the "
                     "discovery before)\n",
                     RefusedCount, MaxReplies, MaxRecords);
}

int TCdhNet::Discover() {
    BeginRound();
    int result = kCdhNoManager;
    if (TcpSocketManager != nullptr) {
        TTcpSession* session = nullptr;
        if (TcpSocketManager->CreateSession(AF_INET, SOCK_DGRAM, 0, &session) != kTcpOk) {
            result = kCdhNoSocket;
        } else {
            result = DiscoveryExchange(session);
            TcpSocketManager->ReleaseSession(session);
        }
    }

    EndRound();
    LastError = static_cast<std::uint32_t>(result);
    return result;
}

// The discovery exchange on a fresh datagram socket.
int TCdhNet::DiscoveryExchange(TTcpSession* session) {
    const CdhNetConfig& config = CurrentCdhConfig();
    sockaddr_in any{};
    any.sin_family = AF_INET;
    if (session->Bind(reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0)
        return kCdhBindFailed;
    const int on = 1;
    if (session->SetOption(SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        return kCdhBroadcastFailed;

    std::uint8_t own[4] = {};
    in_addr ownAddress{};
    if (inet_pton(AF_INET, TcpSocketManager->OwnAddress, &ownAddress) == 1)
        std::memcpy(own, &ownAddress.s_addr, 4);
    std::uint8_t query[kCdhAnnounceSize];
    CdhBuildQuery(query, platform::GetTickCount(), own);

    const sockaddr_in to = BroadcastTo(config);
    auto send = [&](const std::uint8_t* datagram) {
        return session->SendTo(datagram, kCdhAnnounceSize, 0,
                               reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
    };
    if (!send(query)) return kCdhQueryNotSent;

    const auto start = Clock::now();
    const auto end = start + std::chrono::milliseconds(config.discoveryWindowMs);
    const auto repeat = std::chrono::milliseconds(config.discoveryRepeatMs);
    auto lastSent = start;
    std::uint8_t datagram[kCdhDatagramMax];
    // The window bounds the exchange: junk and repeats cost no more than their reading, and
    // replies beyond the round's bound are refused.
    for (;;) {
        const auto now = Clock::now();
        if (now >= end) break;
        // Each wait ends at the window's end or when the query is due again, whichever is first.
        const auto wake = std::min(end, lastSent + repeat);
        const auto waitMs = std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count() + 1);
        pollfd p{session->Handle, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(waitMs));
        if (ready < 0 && errno != EINTR) return kCdhReceiveFailed;
        if (ready > 0) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            std::size_t received = 0;
            if (session->ReceiveFrom(datagram, sizeof datagram, 0,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength,
                                     &received) != 0) {
                if (errno != EAGAIN && errno != EWOULDBLOCK) return kCdhReceiveFailed;
            } else {
                if (TakeReply(datagram, received, from.sin_addr.s_addr)) {
                    CdhPutU16(datagram + kCdhOffCommand, kCdhAcknowledge);
                    send(datagram);
                }
            }
        }
        if (Clock::now() - lastSent > repeat && Clock::now() < end) {
            if (!send(query)) return kCdhQueryNotSent;
            NextQuery();
            lastSent = Clock::now();
        }
    }
    return kCdhOk;
}
