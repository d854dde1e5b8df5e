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
    Array.clear();
    delete TcpSocketManager;
    TcpSocketManager = nullptr;
}

TCdhSvr* TCdhNet::FindByMac(const std::uint8_t* mac) const {
    for (int i = 0; i < Records.Count(); ++i) {
        auto* record = static_cast<TCdhSvr*>(Records.Item(i));
        if (std::memcmp(record->HardwareAddress, mac, 6) == 0) return record;
    }
    return nullptr;
}

TCdhSvr* TCdhNet::MergeReply(const std::uint8_t* reply) {
    TCdhSvr* record = FindByMac(reply + kCdhAnnOffMac);
    if (record == nullptr) {
        record = new (std::nothrow) TCdhSvr;
        if (record == nullptr) return nullptr;
        CdhApplyAnnounce(*record, reply);
        Records.Add(record);
        ++Count;
    } else {
        CdhApplyAnnounce(*record, reply);
    }
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

int TCdhNet::Discover() {
    SeenCount = 0;
    for (int i = 0; i < Records.Count(); ++i)
        static_cast<TCdhSvr*>(Records.Item(i))->Flags &= ~kCdhFlagSeen;

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

    BuildArray();
    if (Array.size() >= 2) SortArray();
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
                CdhFrameHeader header;
                // Only a whole reply is taken; shorter datagrams would leave fields unread.
                if (received >= kCdhAnnounceSize && CdhDecodeHeader(datagram, received, header)) {
                    MergeReply(datagram);
                    CdhPutU16(datagram + kCdhOffCommand, kCdhAcknowledge);
                    send(datagram);
                }
            }
        }
        if (Clock::now() - lastSent > repeat && Clock::now() < end) {
            if (!send(query)) return kCdhQueryNotSent;
            lastSent = Clock::now();
        }
    }
    return kCdhOk;
}
