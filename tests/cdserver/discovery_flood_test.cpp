// Forged discovery replies: the list stops at its bound, a round stops taking datagrams at its
// bound, and a reply counts only from the address it announces.
#include "cdh_test_support.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using cdhtest::ClientTest;

// A valid 344-byte reply of the server with this hardware address announcing address (host order).
std::vector<std::uint8_t> ForgedReply(std::uint32_t macLow, std::uint32_t address) {
    std::vector<std::uint8_t> reply(kCdhAnnounceSize, 0);
    CdhEncodeHeader(reply.data(), kCdhDiscover, kCdhAnnounceSize);
    reply[kCdhAnnOffMac] = 0x02;
    CdhPutU32(reply.data() + kCdhAnnOffMac + 2, macLow);
    const std::uint32_t net = htonl(address);
    std::memcpy(reply.data() + kCdhAnnOffAddress, &net, 4);
    std::memcpy(reply.data() + kCdhAnnOffName, "FORGED", 6);
    return reply;
}

std::uint32_t NetOrder(std::uint32_t address) {
    return htonl(address);
}

class DiscoveryFloodTest : public ClientTest {
protected:
    // A list made by a discovery that nobody answers.
    TCdhNet& EmptyList() {
        CdhNetConfig config = CurrentCdhConfig();
        config.discoveryWindowMs = 20;
        SetCdhConfig(config);
        EXPECT_EQ(CdhNetClass().DiscoverServers(), kCdhfOk);
        EXPECT_NE(CdhServerList, nullptr);
        return *CdhServerList;
    }
};

TEST_F(DiscoveryFloodTest, TwentyThousandForgedServersLeaveTheListAtItsBound) {
    TCdhNet& list = EmptyList();
    const std::uint32_t sender = cdsim::Ipv4(127, 0, 0, 9);
    std::uint32_t mac = 0;
    for (int round = 0; round < 4; ++round) {
        list.BeginRound();
        for (int i = 0; i < 5000; ++i, ++mac)
            list.TakeReply(ForgedReply(mac, sender).data(), kCdhAnnounceSize, NetOrder(sender));
        // The first server found keeps answering and keeps its record.
        EXPECT_TRUE(
            list.TakeReply(ForgedReply(0, sender).data(), kCdhAnnounceSize, NetOrder(sender)));
        list.EndRound();
        SCOPED_TRACE(round);
        EXPECT_EQ(list.Count, TCdhNet::MaxRecords);
        EXPECT_EQ(list.Records.Count(), static_cast<int>(TCdhNet::MaxRecords));
        EXPECT_EQ(list.Array.size(), TCdhNet::MaxRecords);
        EXPECT_EQ(list.RefusedCount, round == 0 ? 5000 - TCdhNet::MaxRecords : 5000u);
    }
    EXPECT_EQ(list.SeenCount, 1u);
    const std::vector<std::uint8_t> first = ForgedReply(0, sender);
    const std::vector<std::uint8_t> last = ForgedReply(TCdhNet::MaxRecords - 1, sender);
    const std::vector<std::uint8_t> refused = ForgedReply(TCdhNet::MaxRecords, sender);
    ASSERT_NE(list.FindByMac(first.data() + kCdhAnnOffMac), nullptr);
    EXPECT_NE(list.FindByMac(last.data() + kCdhAnnOffMac), nullptr);
    EXPECT_EQ(list.FindByMac(refused.data() + kCdhAnnOffMac), nullptr);
    EXPECT_NE(list.FindByMac(first.data() + kCdhAnnOffMac)->Flags & kCdhFlagSeen, 0u);
}

TEST_F(DiscoveryFloodTest, AReplyCountsOnlyFromTheAddressItAnnounces) {
    TCdhNet& list = EmptyList();
    list.BeginRound();
    const auto reply = ForgedReply(7, cdsim::Ipv4(127, 0, 0, 10));
    EXPECT_FALSE(list.TakeReply(reply.data(), reply.size(), NetOrder(cdsim::Ipv4(127, 0, 0, 9))));
    EXPECT_EQ(list.RefusedCount, 1u);
    // Invalid or cut datagrams are no replies at all: not merged and not counted as refused.
    EXPECT_FALSE(
        list.TakeReply(reply.data(), kCdhAnnounceSize - 1, NetOrder(cdsim::Ipv4(127, 0, 0, 10))));
    EXPECT_EQ(list.RefusedCount, 1u);
    EXPECT_EQ(list.Count, 0u);
    EXPECT_TRUE(list.TakeReply(reply.data(), reply.size(), NetOrder(cdsim::Ipv4(127, 0, 0, 10))));
    list.EndRound();
    EXPECT_EQ(list.Count, 1u);
    EXPECT_EQ(list.SeenCount, 1u);
}

// A forger on loopback: receives the query on the discovery port and answers from its own
// address, waiting for the acknowledgements of what the client took, so that nothing is lost in
// the socket buffers.
class Forger {
public:
    Forger(std::uint16_t udpPort, std::uint32_t address) : address_(address) {
        listen_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        send_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        ::setsockopt(listen_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(udpPort);
        bound_ = ::bind(listen_, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0;
        sockaddr_in own{};
        own.sin_family = AF_INET;
        own.sin_addr.s_addr = htonl(address);
        bound_ = bound_ && ::bind(send_, reinterpret_cast<sockaddr*>(&own), sizeof own) == 0;
    }
    ~Forger() {
        ::close(listen_);
        ::close(send_);
    }
    bool bound() const { return bound_; }

    // Waits (within 5 s) for the client's query and keeps where it came from.
    bool AwaitQuery() {
        std::vector<std::uint8_t> d;
        while (Receive(d)) {
            if (d.size() >= kCdhHeaderSize && CdhGetU16(d.data() + kCdhOffCommand) == kCdhDiscover)
                return true;
        }
        return false;
    }
    void Send(std::uint32_t mac) {
        const auto reply = ForgedReply(mac, address_);
        ::sendto(send_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&client_),
                 sizeof client_);
    }
    // Waits (within 5 s each) for count acknowledgements; false when they do not come.
    bool AwaitAcks(int count) {
        std::vector<std::uint8_t> d;
        while (count > 0 && Receive(d)) {
            if (d.size() == kCdhAnnounceSize &&
                CdhGetU16(d.data() + kCdhOffCommand) == kCdhAcknowledge) {
                --count;
                ++acks;
            }
        }
        return count == 0;
    }
    // Acknowledgements already delivered, without waiting.
    void DrainAcks() {
        std::vector<std::uint8_t> d(kCdhDatagramMax);
        for (;;) {
            const ssize_t n = ::recv(listen_, d.data(), d.size(), MSG_DONTWAIT);
            if (n < 0) break;
            if (static_cast<std::size_t>(n) == kCdhAnnounceSize &&
                CdhGetU16(d.data() + kCdhOffCommand) == kCdhAcknowledge)
                ++acks;
        }
    }

    int acks = 0;

private:
    bool Receive(std::vector<std::uint8_t>& d) {
        pollfd p{listen_, POLLIN, 0};
        if (::poll(&p, 1, 5000) != 1) return false;
        d.resize(kCdhDatagramMax);
        socklen_t length = sizeof client_;
        sockaddr_in from{};
        const ssize_t n =
            ::recvfrom(listen_, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0) return false;
        d.resize(static_cast<std::size_t>(n));
        if (d.size() >= kCdhHeaderSize && CdhGetU16(d.data() + kCdhOffCommand) == kCdhDiscover)
            client_ = from;
        return true;
    }

    std::uint32_t address_;
    int listen_ = -1;
    int send_ = -1;
    bool bound_ = false;
    sockaddr_in client_{};
};

TEST_F(DiscoveryFloodTest, AFloodOnTheWireStopsAtTheListBoundAndTheRoundBound) {
    CdhNetConfig config = CurrentCdhConfig();
    config.discoveryWindowMs = 20000; // ended by the datagram bound long before
    config.discoveryRepeatMs = 20000;
    SetCdhConfig(config);
    Forger forger(udpPort, cdsim::Ipv4(127, 0, 0, 9));
    ASSERT_TRUE(forger.bound());

    constexpr int kNewServers = TCdhNet::MaxRecords + 45;
    bool paced = true;
    std::thread flood([&] {
        if (!forger.AwaitQuery()) {
            paced = false;
            return;
        }
        // New servers in batches, each batch waiting for what the client acknowledges of it.
        int probes = 0;
        for (int sent = 0; sent < kNewServers; sent += 15) {
            const int batch = std::min(15, kNewServers - sent);
            for (int i = 0; i < batch; ++i)
                forger.Send(static_cast<std::uint32_t>(sent + i));
            const int taken = std::clamp<int>(TCdhNet::MaxRecords - sent, 0, batch);
            // Once the list is full a known server's reply shows that the batch was read.
            if (taken < batch) {
                forger.Send(0);
                ++probes;
            }
            paced = paced && forger.AwaitAcks(taken < batch ? taken + 1 : taken);
        }
        // Known servers until the round has taken its datagrams, then a few more it never takes.
        int left = static_cast<int>(TCdhNet::MaxDatagrams) - kNewServers - probes;
        while (left > 0) {
            const int batch = std::min(15, left);
            for (int i = 0; i < batch; ++i)
                forger.Send(0);
            paced = paced && forger.AwaitAcks(batch);
            left -= batch;
        }
        for (int i = 0; i < 5; ++i)
            forger.Send(0);
    });
    EXPECT_EQ(CdhNetClass().DiscoverServers(), kCdhfOk);
    flood.join();
    forger.DrainAcks();
    ASSERT_TRUE(paced);

    TCdhNet& list = *CdhServerList;
    EXPECT_EQ(list.Count, TCdhNet::MaxRecords);
    EXPECT_EQ(list.Records.Count(), static_cast<int>(TCdhNet::MaxRecords));
    EXPECT_EQ(list.RefusedCount, static_cast<std::uint32_t>(kNewServers - TCdhNet::MaxRecords));
    // Every datagram the round took was either acknowledged or refused, and it took no more.
    EXPECT_EQ(static_cast<std::uint32_t>(forger.acks) + list.RefusedCount, TCdhNet::MaxDatagrams);
}

} // namespace
