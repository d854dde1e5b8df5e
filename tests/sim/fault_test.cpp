// Each fault of the simulated unit behaves as its name says.
#include "nassim.h"
#include "raw_client.h"

#include <gtest/gtest.h>

#include <fcntl.h>

using namespace simtest;
using nassim::Fault;
using nassim::Ipv4;

namespace {

constexpr milliseconds kReplyWait{2000};
constexpr milliseconds kQuiet{300};

nassim::UnitConfig Config(unsigned last, Fault fault) {
    nassim::UnitConfig c;
    c.address = Ipv4(127, 0, 0, last);
    c.name = "FAULTY";
    c.fault = fault;
    c.shortReplyBytes = 100;
    return c;
}

// Sends a server-information request over TCP and reads what comes back.
struct TcpExchange {
    Bytes reply;
    int reads = 0;
    bool closed = false;
};
TcpExchange AskOverTcp(const nassim::Unit& unit, milliseconds idle) {
    TcpClient client;
    TcpExchange x;
    EXPECT_EQ(client.Connect(unit.address(), unit.tcpPort()), 0);
    EXPECT_TRUE(client.Send(DiscoveryRequest()));
    x.reply = client.Read(284, idle, &x.reads, &x.closed);
    return x;
}

TEST(Faults, RepliesAlteredOverTcp) {
    nassim::Unit unit(Config(41, Fault::WrongSignature));

    TcpExchange x = AskOverTcp(unit, kQuiet);
    ASSERT_EQ(x.reply.size(), 284u);
    EXPECT_NE(Text(x.reply, 0, 8), "PELQUANE");
    EXPECT_EQ(Get16(x.reply, 8), 0x0100);

    unit.setFault(Fault::WrongVersion);
    x = AskOverTcp(unit, kQuiet);
    ASSERT_EQ(x.reply.size(), 284u);
    EXPECT_EQ(Text(x.reply, 0, 8), "PELQUANE");
    EXPECT_EQ(Get16(x.reply, 8), 0x0101);

    // A short reply leaves the connection open: the client must not wait for the rest.
    unit.setFault(Fault::ShortReply);
    x = AskOverTcp(unit, kQuiet);
    EXPECT_EQ(x.reply.size(), 100u);
    EXPECT_FALSE(x.closed);

    unit.setFault(Fault::Fragment);
    x = AskOverTcp(unit, kReplyWait);
    ASSERT_EQ(x.reply.size(), 284u);
    EXPECT_EQ(Text(x.reply, 236, 16), "FAULTY");
    EXPECT_GT(x.reads, 20) << "the reply should arrive in many small pieces";
}

TEST(Faults, SilenceAndCloseRecordTheRequest) {
    nassim::Unit unit(Config(42, Fault::Silence));
    TcpExchange x = AskOverTcp(unit, kQuiet);
    EXPECT_TRUE(x.reply.empty());
    EXPECT_FALSE(x.closed);
    ASSERT_EQ(unit.requests().size(), 1u);
    EXPECT_EQ(unit.requests()[0].problem, "");

    unit.setFault(Fault::CloseAfterRequest);
    x = AskOverTcp(unit, kReplyWait);
    EXPECT_TRUE(x.reply.empty());
    EXPECT_TRUE(x.closed);
    EXPECT_EQ(unit.requests().size(), 2u);
    EXPECT_TRUE(unit.replies().empty());

    // Neither answers a datagram.
    UdpClient client(Ipv4(127, 0, 0, 1));
    ASSERT_TRUE(client.Send(DiscoveryRequest(), unit.address(), unit.udpPort()));
    EXPECT_FALSE(client.Receive(kQuiet));
    unit.setFault(Fault::Silence);
    ASSERT_TRUE(client.Send(DiscoveryRequest(), unit.address(), unit.udpPort()));
    EXPECT_FALSE(client.Receive(kQuiet));
    EXPECT_EQ(unit.requests().size(), 4u);
}

TEST(Faults, RefuseAndStallAffectConnectsAndCanBeLifted) {
    nassim::Unit unit(Config(43, Fault::Refuse));
    {
        TcpClient client;
        EXPECT_EQ(client.Connect(unit.address(), unit.tcpPort()), ECONNREFUSED);
    }
    // Discovery still works while TCP refuses.
    UdpClient udp(Ipv4(127, 0, 0, 1));
    ASSERT_TRUE(udp.Send(DiscoveryRequest(), unit.address(), unit.udpPort()));
    EXPECT_TRUE(udp.Receive(kReplyWait));

    unit.setFault(Fault::Stall);
    {
        TcpClient client;
        ::fcntl(client.fd(), F_SETFL, O_NONBLOCK);
        EXPECT_EQ(client.Connect(unit.address(), unit.tcpPort()), EINPROGRESS);
        pollfd p{client.fd(), POLLOUT, 0};
        EXPECT_EQ(::poll(&p, 1, static_cast<int>(kQuiet.count())), 0)
            << "the connect completed or failed instead of hanging";
    }

    unit.setFault(Fault::None);
    TcpExchange x = AskOverTcp(unit, kReplyWait);
    EXPECT_EQ(x.reply.size(), 284u);
}

TEST(Faults, ForeignSubnetAnswersFromTheForeignAddressAndHearsTheAck) {
    nassim::Unit unit(Config(44, Fault::ForeignSubnet));
    EXPECT_EQ(unit.config().foreignAddress, Ipv4(127, 0, 1, 44));
    UdpClient client(Ipv4(127, 0, 0, 1));
    ASSERT_TRUE(client.Send(DiscoveryRequest(), nassim::kLoopbackBroadcast, unit.udpPort()));
    const std::optional<Datagram> reply = client.Receive(kReplyWait);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->from, Ipv4(127, 0, 1, 44));
    EXPECT_EQ(reply->bytes.size(), 284u);
    EXPECT_FALSE(client.Receive(kQuiet)) << "answered twice";
    ASSERT_TRUE(client.Send(Ack(), reply->from, reply->fromPort));
    ASSERT_TRUE(unit.waitForAcks(1, kReplyWait));
    EXPECT_EQ(unit.acks()[0].to, Ipv4(127, 0, 1, 44));
}

TEST(Faults, ShortAndBrokenDatagrams) {
    nassim::Unit unit(Config(45, Fault::ShortReply));
    UdpClient client(Ipv4(127, 0, 0, 1));
    ASSERT_TRUE(client.Send(DiscoveryRequest(), unit.address(), unit.udpPort()));
    std::optional<Datagram> reply = client.Receive(kReplyWait);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes.size(), 100u);

    unit.setFault(Fault::WrongSignature);
    ASSERT_TRUE(client.Send(DiscoveryRequest(), unit.address(), unit.udpPort()));
    reply = client.Receive(kReplyWait);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes.size(), 284u);
    EXPECT_NE(Text(reply->bytes, 0, 8), "PELQUANE");
}

} // namespace
