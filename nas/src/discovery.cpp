#include "discovery.h"

#include "local_interfaces.h"
#include "nasapi.h"
#include "server_record.h"
#include "socket.h"
#include "transport.h"
#include "wire_bytes.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace nas {

namespace {

constexpr uint32_t kDiscoveryPayload = 36;
constexpr uint32_t kDiscoveryDataLength = 28;
constexpr size_t kOffHostName = 48;
constexpr size_t kHostNameWidth = 16;
constexpr size_t kOffHostAddress = 64;
static_assert(kOffHostAddress + 4 == kDiscoveryRequestSize);
static_assert(kHeaderSize + kDiscoveryPayload == kDiscoveryRequestSize);

struct Datagram {
    std::vector<uint8_t> bytes;
    sockaddr_in from{};
};

sockaddr_in Ipv4Address(uint32_t address, uint16_t port) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(address);
    peer.sin_port = htons(port);
    return peer;
}

// Collects the replies that reach one discovery socket: until no datagram has come for the quiet
// time, the collecting time is over or the datagram cap is reached. Keeps those of server-reply
// size whose sender is on this local network.
std::vector<Datagram> CollectReplies(int fd, const LocalInterface& local, const NetConfig& config) {
    using SteadyClock = std::chrono::steady_clock;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(config.discoveryCollectMs);
    std::vector<Datagram> kept;
    for (int taken = 0; taken < config.discoveryMaxDatagrams;) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0) break;
        int waitMs = static_cast<int>(std::min<long long>(config.discoveryWaitMs, left.count()));
        if (WaitReadable(fd, waitMs) <= 0) break;
        uint8_t buffer[kServerReplyMaxSize];
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        ssize_t size = ::recvfrom(fd, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC,
                                  reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (size < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            break;
        }
        ++taken;
        uint32_t sender = ntohl(from.sin_addr.s_addr);
        if (!IsAcceptableReplySize(static_cast<size_t>(size))) continue;
        if ((sender & local.mask) != (local.address & local.mask)) continue;
        kept.push_back({std::vector<uint8_t>(buffer, buffer + size), from});
    }
    return kept;
}

// What a reply proves about its unit's address. A reply is taken from an address it names for
// one of the unit's LAN ports, so no host can point a unit at an address other than its own. A
// unit with no address yet (a new one, set up by broadcast) names none: such a reply steers no
// connection anywhere, and is stored only when no reply that names its sender has the same
// hardware address. A reply that names addresses but not its sender is ignored.
enum class Proof { NamesSender, NamesNoAddress, NamesOthers };

Proof SenderProof(const NasServerInfo& record, uint32_t sender) {
    bool namesAny = false;
    for (uint32_t address : record.ipAddress) {
        if (address == 0) continue;
        if (address == sender) return Proof::NamesSender;
        namesAny = true;
    }
    return namesAny ? Proof::NamesOthers : Proof::NamesNoAddress;
}

} // namespace

std::array<uint8_t, kDiscoveryRequestSize> BuildDiscoveryRequest(const NetConfig& config) {
    std::array<uint8_t, kDiscoveryRequestSize> request{};
    PacketHeader header;
    InitHeader(header, command::kServerInfo, 1, kDiscoveryPayload);
    header.dataLength = kDiscoveryDataLength;
    EncodeExtendedHeader(header, request.data());
    std::string hostName = LocalHostName(config);
    std::memcpy(request.data() + kOffHostName, hostName.data(),
                std::min(hostName.size(), kHostNameWidth));
    PutU32Net(request.data() + kOffHostAddress, GetLocalHostAddress(config));
    return request;
}

std::array<uint8_t, kHeaderSize> EncodeAck() {
    std::array<uint8_t, kHeaderSize> ack{};
    EncodeHeader(BuildAck(), ack.data());
    return ack;
}

} // namespace nas

using namespace nas;

int NasApiFindServer(NasServerInfo* out, int* count) {
    if (!out || !count) return -1;
    ObserveCall("NasApiFindServer");
    *count = 0;
    auto config = CurrentNetConfig();
    const auto request = BuildDiscoveryRequest(*config);
    const auto ack = EncodeAck();
    const sockaddr_in broadcast = Ipv4Address(config->broadcastAddress, config->udpPort);
    int stored = 0;
    // Stores the record unless its hardware address is stored already, and acknowledges it.
    auto store = [&](const NasServerInfo& record, int fd, const sockaddr_in& from) {
        if (stored >= NAS_FIND_SERVER_MAX) return;
        if (std::any_of(out, out + stored,
                        [&](const NasServerInfo& known) { return SameServerKey(known, record); }))
            return;
        out[stored++] = record;
        ::sendto(fd, ack.data(), ack.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&from),
                 sizeof from);
    };
    // The sockets stay open until every reply is stored: a reply is acknowledged from the socket
    // that received it.
    std::vector<Socket> sockets;
    struct Unaddressed {
        int fd;
        NasServerInfo record;
        sockaddr_in from;
    };
    std::vector<Unaddressed> unaddressed;
    for (const LocalInterface& local : LocalInterfaces(*config)) {
        Socket socket = MakeSocket(SOCK_DGRAM);
        if (!socket.valid()) continue;
        int fd = socket.get();
        int on = 1;
        if (!BindIpv4(fd, local.address, config->discoveryLocalPort) ||
            ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
            return -1;
        ::sendto(fd, request.data(), request.size(), MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&broadcast), sizeof broadcast);
        for (const Datagram& reply : CollectReplies(fd, local, *config)) {
            NasServerInfo record;
            if (!DecodeServerReply(reply.bytes.data(), reply.bytes.size(), record)) continue;
            switch (SenderProof(record, ntohl(reply.from.sin_addr.s_addr))) {
            case Proof::NamesSender:
                store(record, fd, reply.from);
                break;
            case Proof::NamesNoAddress:
                unaddressed.push_back({fd, record, reply.from});
                break;
            case Proof::NamesOthers:
                break;
            }
        }
        sockets.push_back(std::move(socket));
    }
    for (const Unaddressed& reply : unaddressed)
        store(reply.record, reply.fd, reply.from);
    *count = stored;
    return 0;
}
