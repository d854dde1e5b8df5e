// Discovery against simulated CD servers on loopback: staggered answers, the repeated query, the
// acknowledgement, the merge into records, the name order, and failed discoveries.
#include "cdh_test_support.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>

namespace {

using namespace std::chrono_literals;
using cdhtest::ClientTest;

cdsim::ServerConfig Named(const std::string& name, std::uint8_t macLast,
                          std::chrono::milliseconds delay) {
    cdsim::ServerConfig c;
    c.name = name;
    c.mac = {0x00, 0x10, 0x20, 0x30, 0x40, macLast};
    c.answerDelay = delay;
    return c;
}

std::vector<cdsim::Datagram> WithCommand(const std::vector<cdsim::Datagram>& all,
                                         std::uint16_t command) {
    std::vector<cdsim::Datagram> out;
    for (const auto& d : all)
        if (d.bytes.size() >= 14 && cdsim::GetU16(d.bytes.data() + 12) == command) out.push_back(d);
    return out;
}

class DiscoveryTest : public ClientTest {
protected:
    void UseWindow(int windowMs, int repeatMs) {
        CdhNetConfig config = CurrentCdhConfig();
        config.discoveryWindowMs = windowMs;
        config.discoveryRepeatMs = repeatMs;
        SetCdhConfig(config);
    }
};

TEST_F(DiscoveryTest, ThreeStaggeredServersAreFoundCountedOnceAcknowledgedAndSortedByName) {
    // The protocol's timing doubled: answers at 200, 1200 and 1800 ms after each query, the
    // query repeated after 1000 ms, replies taken for 2000 ms.
    UseWindow(2000, 1000);
    cdsim::ServerConfig beta = Named("Beta", 2, 200ms);
    beta.secondName = "WORKGROUP   ";
    beta.description = "front desk  ";
    beta.mask = cdsim::Ipv4(255, 255, 0, 0);
    beta.gateway = cdsim::Ipv4(127, 0, 0, 254);
    beta.firmwareMajor = 1;
    beta.firmwareMinor = 0x10;
    beta.firmwareSuffix = "b7";
    beta.capabilities = 0x20000009u;
    beta.furtherFlags = 0x00200C40u;
    beta.valueA = 0xA1;
    beta.valueB = 0xB2;
    auto b = StartServer(beta, 2);
    auto c = StartServer(Named("Charlie", 3, 1200ms), 3);
    auto a = StartServer(Named("alpha", 4, 1800ms), 4);

    CDH_NET_CLASS& facade = CdhNetClass();
    EXPECT_EQ(facade.DiscoverServers(), kCdhfOk);

    ASSERT_EQ(facade.GetServerCount(), 3);
    EXPECT_EQ(facade.GetSeenServerCount(), 3);
    // Byte order would put "alpha" last; the list orders a-z without regard to case.
    EXPECT_EQ(facade.GetServerName(facade.GetServer(0)), "alpha");
    EXPECT_EQ(facade.GetServerName(facade.GetServer(1)), "Beta");
    EXPECT_EQ(facade.GetServerName(facade.GetServer(2)), "Charlie");
    EXPECT_EQ(facade.GetServer(3), nullptr);

    // Beta answered both queries and is still one record, seen once.
    EXPECT_EQ(b->discoveryReplies(), 2u);
    EXPECT_EQ(c->discoveryReplies(), 1u);

    // Every server got the query twice, by broadcast, the second about 1000 ms later (as the
    // server's thread saw them arrive).
    for (const cdsim::Server* s : {a.get(), b.get(), c.get()}) {
        const auto queries = WithCommand(s->datagrams(), cdsim::kQuery);
        ASSERT_EQ(queries.size(), 2u);
        for (const auto& q : queries) {
            EXPECT_EQ(q.to, cdsim::kLoopbackBroadcast);
            ASSERT_EQ(q.bytes.size(), 344u);
            EXPECT_EQ(cdsim::GetU16(q.bytes.data() + 8), 344);
            EXPECT_EQ(cdsim::GetU32(q.bytes.data() + 34), 0x0100007Fu); // 127.0.0.1
        }
        EXPECT_GE(queries[1].when - queries[0].when, 900ms);
        EXPECT_LT(queries[1].when - queries[0].when, 2000ms);
    }

    // Each reply was acknowledged by broadcast: every server sees every acknowledgement, each
    // one the reply itself with command 1.
    for (const cdsim::Server* s : {a.get(), b.get(), c.get()}) {
        const auto acks = WithCommand(s->datagrams(), cdsim::kAcknowledge);
        ASSERT_EQ(acks.size(), 4u); // Beta twice, Charlie and alpha once
        std::vector<std::uint8_t> macs;
        for (const auto& ack : acks) {
            EXPECT_EQ(ack.to, cdsim::kLoopbackBroadcast);
            ASSERT_EQ(ack.bytes.size(), 344u);
            macs.push_back(ack.bytes[23]);
        }
        std::sort(macs.begin(), macs.end());
        EXPECT_EQ(macs, (std::vector<std::uint8_t>{2, 2, 3, 4}));
    }
    const auto betaAck = WithCommand(b->datagrams(), cdsim::kAcknowledge);
    const auto it = std::find_if(betaAck.begin(), betaAck.end(),
                                 [](const cdsim::Datagram& d) { return d.bytes[23] == 2; });
    ASSERT_NE(it, betaAck.end());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(it->bytes.data()) + 194, 4), "Beta");

    // The record holds what the reply said.
    const TCdhSvr* r = facade.GetServer(1);
    EXPECT_EQ(facade.GetIpText(r), "127.0.0.2");
    EXPECT_EQ(facade.GetMaskText(r), "255.255.0.0");
    EXPECT_EQ(facade.GetGatewayText(r), "127.0.0.254");
    EXPECT_EQ(facade.GetMacText(r), "00-10-20-30-40-02");
    EXPECT_EQ(facade.GetWorkgroupText(r), "WORKGROUP"); // trailing blanks removed
    EXPECT_EQ(facade.GetCommentText(r), "front desk");
    EXPECT_EQ(facade.GetFirmwareText(r), "V1.10 b7");
    EXPECT_EQ(facade.CompareFirmware(r, 1, 0x10), 0);
    EXPECT_EQ(r->ValueA, 0xA1u);
    EXPECT_EQ(r->ValueB, 0xB2u);
    EXPECT_TRUE(facade.HasFeature96Bit0(r));
    EXPECT_TRUE(facade.HasMsNetwork(r));
    EXPECT_FALSE(facade.HasNetwareNetwork(r));
    EXPECT_TRUE(facade.HasFeature99Bit5(r));
    EXPECT_TRUE(facade.HasNfsNetwork(r));
    EXPECT_TRUE(facade.HasDhcp(r));
    EXPECT_TRUE(facade.HasBootp(r));
    EXPECT_TRUE(facade.HasRarp(r));
    EXPECT_TRUE(facade.IsServerSeen(r));
    EXPECT_TRUE(facade.HasNonDefaultAddress(r));
}

TEST_F(DiscoveryTest, AServerThatStopsAnsweringKeepsItsRecordUnseenOnceThenLeaves) {
    UseWindow(400, 200);
    auto one = StartServer(Named("one", 2, 0ms), 2);
    auto two = StartServer(Named("two", 3, 0ms), 3);
    CDH_NET_CLASS& facade = CdhNetClass();
    ASSERT_EQ(facade.DiscoverServers(), kCdhfOk);
    ASSERT_EQ(facade.GetSeenServerCount(), 2);
    TCdhSvr* second = facade.GetServer(1);
    ASSERT_EQ(facade.GetServerName(second), "two");

    two->setAnswersDiscovery(false);
    EXPECT_EQ(facade.DiscoverServers(), kCdhfOk);
    EXPECT_EQ(facade.GetServerCount(), 2);
    EXPECT_EQ(facade.GetSeenServerCount(), 1);
    EXPECT_EQ(facade.GetServer(1), second); // the same record, not a new one
    EXPECT_FALSE(facade.IsServerSeen(second));
    EXPECT_EQ(facade.CheckServerSeen(second), 2);
    EXPECT_EQ(facade.CheckServerSeen(facade.GetServer(0)), 0);
    EXPECT_EQ(facade.GetServerName(second), "two");

    // A second discovery missed: the server leaves the list. Its record is still there to be
    // asked until the next discovery begins.
    EXPECT_EQ(facade.DiscoverServers(), kCdhfOk);
    EXPECT_EQ(facade.GetServerCount(), 1);
    EXPECT_EQ(facade.GetServerName(facade.GetServer(0)), "one");
    EXPECT_EQ(facade.CheckServerSeen(second), 2);
    // Answering again, it is found again as a new record.
    two->setAnswersDiscovery(true);
    EXPECT_EQ(facade.DiscoverServers(), kCdhfOk);
    EXPECT_EQ(facade.GetServerCount(), 2);
    EXPECT_EQ(facade.GetSeenServerCount(), 2);
    EXPECT_EQ(facade.GetServerName(facade.GetServer(1)), "two");
}

TEST_F(DiscoveryTest, CutAndInvalidRepliesAreNotTaken) {
    UseWindow(400, 200);
    auto good = StartServer(Named("good", 2, 0ms), 2);
    cdsim::ServerConfig cut = Named("cut", 3, 0ms);
    cut.announceBytes = 343;
    auto cutServer = StartServer(cut, 3);
    cdsim::ServerConfig reserved = Named("reserved", 4, 0ms);
    reserved.announceBadReserved = true;
    auto reservedServer = StartServer(reserved, 4);

    CDH_NET_CLASS& facade = CdhNetClass();
    ASSERT_EQ(facade.DiscoverServers(), kCdhfOk);
    ASSERT_GE(cutServer->discoveryReplies(), 1u);
    ASSERT_GE(reservedServer->discoveryReplies(), 1u);
    EXPECT_EQ(facade.GetServerCount(), 1);
    EXPECT_EQ(facade.GetServerName(facade.GetServer(0)), "good");
    // Only the valid reply was acknowledged.
    for (const auto& ack : WithCommand(good->datagrams(), cdsim::kAcknowledge))
        EXPECT_EQ(ack.bytes[23], 2);
}

TEST(CdhSimulator, RunsOnLoopbackAddressesOnly) {
    for (const std::uint32_t address :
         {cdsim::Ipv4(192, 168, 1, 5), cdsim::Ipv4(10, 0, 0, 1), cdsim::kLoopbackBroadcast}) {
        cdsim::ServerConfig config;
        config.address = address;
        EXPECT_THROW(cdsim::Server{config}, std::invalid_argument) << cdsim::AddressText(address);
    }
}

TEST_F(DiscoveryTest, AFailedFirstDiscoveryReturnsItsCode) {
    // The query cannot go out: no port to send it to.
    {
        SCOPED_TRACE("query not sent");
        CdhNetConfig config = CurrentCdhConfig();
        config.udpPort = 0;
        SetCdhConfig(config);
        EXPECT_EQ(CdhNetClass().DiscoverServers(), kCdhfConnection);
        ASSERT_NE(CdhServerList, nullptr);
        EXPECT_EQ(CdhServerList->LastError, static_cast<std::uint32_t>(kCdhQueryNotSent));
        delete CdhServerList;
        CdhServerList = nullptr;
    }
    // No socket: every session of the manager is taken.
    {
        SCOPED_TRACE("no socket");
        TcpSocketManager = new TTcpSocket(0x0101);
        for (std::uint32_t i = 0; i < TTcpSocket::MaxSessions; ++i) {
            TTcpSession* s = nullptr;
            ASSERT_EQ(TcpSocketManager->CreateSession(AF_INET, SOCK_DGRAM, 0, &s), kTcpOk);
        }
        EXPECT_EQ(CdhNetClass().DiscoverServers(), kCdhfConnection);
        ASSERT_NE(CdhServerList, nullptr);
        EXPECT_EQ(CdhServerList->LastError, static_cast<std::uint32_t>(kCdhNoSocket));
    }
}

} // namespace
