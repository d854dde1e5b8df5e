// Forged discovery replies: the list stops at its bound and forged servers that stop answering
// leave it, a server is taken once per query, a round stops taking replies at its bound, a reply
// counts only from the address it announces, and junk on the wire costs a round nothing.
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

// MAC of ForgedReply(macLow, ...), for FindByMac.
std::vector<std::uint8_t> Mac(std::uint32_t macLow) {
    const auto reply = ForgedReply(macLow, 0);
    return {reply.begin() + kCdhAnnOffMac, reply.begin() + kCdhAnnOffMac + 6};
}

TEST_F(DiscoveryFloodTest, ForgedServersHoldTheListOnlyWhileTheyKeepAnswering) {
    TCdhNet& list = EmptyList();
    const std::uint32_t sender = cdsim::Ipv4(127, 0, 0, 9);
    auto take = [&](std::uint32_t mac) {
        return list.TakeReply(ForgedReply(mac, sender).data(), kCdhAnnounceSize, NetOrder(sender));
    };
    // A first wave fills the list; the rest of it is refused.
    list.BeginRound();
    for (std::uint32_t mac = 0; mac < 5000; ++mac)
        take(mac);
    list.EndRound();
    EXPECT_EQ(list.Count, TCdhNet::MaxRecords);
    EXPECT_EQ(list.Array.size(), TCdhNet::MaxRecords);
    EXPECT_EQ(list.RefusedCount, 5000 - TCdhNet::MaxRecords);
    TCdhSvr* held = list.FindByMac(Mac(0).data()); // as a window would hold it
    ASSERT_NE(held, nullptr);

    // A second wave of other servers in the next round: every listed server answered the round
    // before, so none gives its place to them, whether it answers this round (the first) or not.
    list.BeginRound();
    EXPECT_TRUE(take(0));
    for (std::uint32_t mac = 5000; mac < 10000; ++mac)
        take(mac);
    list.EndRound();
    EXPECT_EQ(list.Count, TCdhNet::MaxRecords);
    EXPECT_EQ(list.SeenCount, 1u);
    EXPECT_EQ(list.RefusedCount, 5000u);
    EXPECT_NE(list.FindByMac(Mac(1).data()), nullptr);
    EXPECT_EQ(list.FindByMac(Mac(5000).data()), nullptr);

    // A third wave: the servers of the first wave that missed the second round give their places.
    list.BeginRound();
    EXPECT_TRUE(take(0));
    for (std::uint32_t mac = 10000; mac < 15000; ++mac)
        take(mac);
    list.EndRound();
    EXPECT_EQ(list.Count, TCdhNet::MaxRecords);
    EXPECT_EQ(list.SeenCount, TCdhNet::MaxRecords);
    EXPECT_EQ(list.RefusedCount, 5000 - (TCdhNet::MaxRecords - 1));
    EXPECT_EQ(list.FindByMac(Mac(0).data()), held);
    EXPECT_EQ(list.FindByMac(Mac(1).data()), nullptr);
    EXPECT_NE(list.FindByMac(Mac(10000 + TCdhNet::MaxRecords - 2).data()), nullptr);
    EXPECT_EQ(list.FindByMac(Mac(10000 + TCdhNet::MaxRecords - 1).data()), nullptr);

    // Nobody answers: every server stays once, unseen; a second silent round takes them out.
    list.BeginRound();
    list.EndRound();
    EXPECT_EQ(list.Count, TCdhNet::MaxRecords);
    EXPECT_EQ(list.SeenCount, 0u);
    EXPECT_EQ(list.FindByMac(Mac(0).data()), held);
    list.BeginRound();
    list.EndRound();
    EXPECT_EQ(list.Count, 0u);
    EXPECT_EQ(list.Records.Count(), 0);
    EXPECT_TRUE(list.Array.empty());
    // Until the next discovery begins the record that left is still there to be asked.
    EXPECT_EQ(CdhNetClass().CheckServerSeen(held), 2);
    EXPECT_EQ(CdhNetClass().GetServerName(held), "FORGED");
}

// A continuous flood of new forged servers, each round's wave arriving before the genuine
// server's answer: the genuine server keeps its record in every round, and the list its bound.
TEST_F(DiscoveryFloodTest, AContinuousFloodNeverPushesOutAServerThatAnswersEveryRound) {
    TCdhNet& list = EmptyList();
    const std::uint32_t forger = cdsim::Ipv4(127, 0, 0, 9);
    const std::uint32_t genuine = cdsim::Ipv4(127, 0, 0, 20);
    constexpr std::uint32_t kGenuineMac = 0xFFFFFF00;
    auto take = [&](std::uint32_t mac, std::uint32_t from) {
        return list.TakeReply(ForgedReply(mac, from).data(), kCdhAnnounceSize, NetOrder(from));
    };
    list.BeginRound();
    ASSERT_TRUE(take(kGenuineMac, genuine));
    list.EndRound();
    TCdhSvr* held = list.FindByMac(Mac(kGenuineMac).data());
    ASSERT_NE(held, nullptr);
    std::uint32_t next = 0;
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        list.BeginRound();
        for (int i = 0; i < 1000; ++i, ++next)
            take(next, forger);
        EXPECT_TRUE(take(kGenuineMac, genuine));
        list.EndRound();
        EXPECT_EQ(list.FindByMac(Mac(kGenuineMac).data()), held);
        EXPECT_TRUE(CdhNetClass().IsServerSeen(held));
        EXPECT_EQ(list.Count, TCdhNet::MaxRecords);
        EXPECT_EQ(list.Array.size(), TCdhNet::MaxRecords);
    }
}

TEST_F(DiscoveryFloodTest, AServerIsTakenOncePerQueryAndARoundStopsAtItsBound) {
    TCdhNet& list = EmptyList();
    const std::uint32_t sender = cdsim::Ipv4(127, 0, 0, 9);
    const auto reply = ForgedReply(7, sender);
    list.BeginRound();
    EXPECT_TRUE(list.TakeReply(reply.data(), reply.size(), NetOrder(sender)));
    // Repeats before the next query: dropped, neither taken nor refused.
    for (int i = 0; i < 1000; ++i)
        EXPECT_FALSE(list.TakeReply(reply.data(), reply.size(), NetOrder(sender)));
    EXPECT_EQ(list.TakenCount, 1u);
    EXPECT_EQ(list.RefusedCount, 0u);
    list.NextQuery();
    EXPECT_TRUE(list.TakeReply(reply.data(), reply.size(), NetOrder(sender)));
    EXPECT_EQ(list.TakenCount, 2u);

    // Every listed server answering many queries: the round takes MaxReplies replies.
    list.BeginRound();
    std::uint32_t offered = 0;
    for (int query = 0; query < 5; ++query, list.NextQuery())
        for (std::uint32_t mac = 0; mac < TCdhNet::MaxRecords; ++mac, ++offered)
            list.TakeReply(ForgedReply(mac, sender).data(), kCdhAnnounceSize, NetOrder(sender));
    list.EndRound();
    EXPECT_EQ(list.TakenCount, TCdhNet::MaxReplies);
    EXPECT_EQ(list.RefusedCount, offered - TCdhNet::MaxReplies);
    EXPECT_EQ(list.Count, TCdhNet::MaxRecords);
    EXPECT_EQ(list.SeenCount, TCdhNet::MaxRecords);
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
    EXPECT_EQ(list.TakenCount, 1u);
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
    void Send(std::uint32_t mac) { SendAs(mac, address_); }
    // A reply that announces another address than the one it comes from.
    void SendAs(std::uint32_t mac, std::uint32_t announced) {
        SendBytes(ForgedReply(mac, announced));
    }
    void SendBytes(const std::vector<std::uint8_t>& datagram) {
        ::sendto(send_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&client_),
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

TEST_F(DiscoveryFloodTest, JunkOnTheWireSpendsNothingAndALateServerIsStillFound) {
    using namespace std::chrono_literals;
    CdhNetConfig config = CurrentCdhConfig();
    // One query, with room for the whole paced flood on a loaded machine; the real server
    // answers while the flood runs.
    config.discoveryWindowMs = 12000;
    config.discoveryRepeatMs = 20000;
    SetCdhConfig(config);
    cdsim::ServerConfig real;
    real.name = "real";
    real.mac = {0x00, 0x10, 0x20, 0x30, 0x40, 0x50};
    real.answerDelay = 1500ms;
    auto server = StartServer(real, 2);
    Forger forger(udpPort, cdsim::Ipv4(127, 0, 0, 9));
    ASSERT_TRUE(forger.bound());

    constexpr int kBatches = 40;
    constexpr int kEach = 50;
    bool paced = true;
    std::thread flood([&] {
        if (!forger.AwaitQuery()) {
            paced = false;
            return;
        }
        // Batches of junk, replies announcing another address and repeats of one server, each
        // closed by a new server whose acknowledgement shows that the batch was read.
        forger.Send(1000);
        paced = forger.AwaitAcks(1);
        for (int batch = 0; paced && batch < kBatches; ++batch) {
            for (int i = 0; i < kEach; ++i) {
                forger.SendBytes(std::vector<std::uint8_t>(kCdhAnnounceSize, 0x4E));
                forger.SendAs(static_cast<std::uint32_t>(2000 + i), cdsim::Ipv4(127, 0, 0, 10));
                forger.Send(1000);
            }
            forger.Send(static_cast<std::uint32_t>(batch));
            paced = forger.AwaitAcks(1);
        }
    });
    EXPECT_EQ(CdhNetClass().DiscoverServers(), kCdhfOk);
    flood.join();
    forger.DrainAcks();
    ASSERT_TRUE(paced);

    TCdhNet& list = *CdhServerList;
    // The forger's servers, the one it repeated, and the real one, all taken once.
    EXPECT_EQ(list.Count, static_cast<std::uint32_t>(kBatches + 2));
    EXPECT_EQ(list.SeenCount, list.Count);
    EXPECT_EQ(list.TakenCount, list.Count);
    // Acknowledgements are broadcasts: the forger hears the real server's too.
    EXPECT_EQ(forger.acks, kBatches + 2);
    EXPECT_EQ(list.RefusedCount, static_cast<std::uint32_t>(kBatches * kEach));
    const auto mac = real.mac;
    TCdhSvr* found = list.FindByMac(mac.data());
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(CdhNetClass().GetServerName(found), "real");
    EXPECT_TRUE(CdhNetClass().IsServerSeen(found));
}

} // namespace
