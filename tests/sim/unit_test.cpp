// The simulated unit answers discovery and server-information requests as a unit does, and
// records what reached it.
#include "nassim.h"
#include "raw_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>

using namespace simtest;
using nassim::Ipv4;

namespace {

constexpr milliseconds kReplyWait{2000}; // generous: a reply normally takes microseconds
constexpr milliseconds kQuiet{300};      // how long "nothing more arrives" is watched

nassim::UnitConfig Config(std::uint32_t address, const std::string& name) {
    nassim::UnitConfig c;
    c.address = address;
    c.name = name;
    c.workgroup = "GROUP";
    c.comment = "comment of " + name;
    c.extraText = "extra";
    c.lan[0] = {address, Ipv4(255, 255, 255, 0), Ipv4(127, 0, 0, 254)};
    c.lan[2] = {Ipv4(10, 1, 2, 3), Ipv4(255, 0, 0, 0), 0};
    c.hardwareAddress = {'h', 'w', '-', static_cast<std::uint8_t>(address & 0xFF)};
    c.firmwareVersion = {2, 5, 7, 11};
    c.firmwareBuild = "build 42";
    c.optionWord = 0x101;
    c.status = 3;
    c.capabilities = 0xC0000001;
    c.encodingKind = 1;
    c.word140 = 0xA1B2C3D4;
    return c;
}

// Three units on one UDP and one TCP port, the third with the 348-byte reply.
struct ThreeUnits : ::testing::Test {
    void SetUp() override {
        for (unsigned i = 0; i < 3; ++i) {
            nassim::UnitConfig c = Config(Ipv4(127, 0, 0, 31 + i), "UNIT" + std::to_string(i));
            if (!units.empty()) {
                c.udpPort = units[0]->udpPort();
                c.tcpPort = units[0]->tcpPort();
            }
            c.extendedReply = i == 2;
            c.extendedName = "a much longer name of the third unit";
            units.push_back(std::make_unique<nassim::Unit>(c));
        }
    }
    std::vector<std::unique_ptr<nassim::Unit>> units;
};

TEST_F(ThreeUnits, EachAnswersOneBroadcastOnceFromItsOwnAddress) {
    UdpClient client(Ipv4(127, 0, 0, 1));
    ASSERT_TRUE(client.Send(DiscoveryRequest(), nassim::kLoopbackBroadcast, units[0]->udpPort()));
    std::vector<Datagram> replies = client.ReceiveAll(kQuiet);
    ASSERT_EQ(replies.size(), 3u);
    std::sort(replies.begin(), replies.end(),
              [](const Datagram& a, const Datagram& b) { return a.from < b.from; });
    for (unsigned i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const Bytes& r = replies[i].bytes;
        EXPECT_EQ(replies[i].from, Ipv4(127, 0, 0, 31 + i));
        EXPECT_EQ(replies[i].fromPort, units[i]->udpPort());
        ASSERT_EQ(r.size(), i == 2 ? 348u : 284u);
        EXPECT_EQ(Text(r, 0, 8), "PELQUANE");
        EXPECT_EQ(Get16(r, 8), 0x0100);
        EXPECT_EQ(Get32(r, 20), r.size() - 32); // never 36: that would read as a request
        EXPECT_EQ(Get16(r, 24), 1);
        EXPECT_EQ(Get16(r, 30), 0);
        EXPECT_EQ(Text(r, 236, 16), "UNIT" + std::to_string(i));
        EXPECT_EQ(Text(r, 112, 18), std::string("hw-") + char(31 + i));
        EXPECT_EQ(GetNet32(r, 200), Ipv4(127, 0, 0, 31 + i));
        EXPECT_EQ(GetNet32(r, 224), Ipv4(255, 255, 255, 0));
        EXPECT_EQ(GetNet32(r, 212), Ipv4(127, 0, 0, 254));
        EXPECT_EQ(GetNet32(r, 208), Ipv4(10, 1, 2, 3));
        EXPECT_EQ(Get32(r, 40), 1u);
        EXPECT_EQ(Get16(r, 62), 11);
        EXPECT_EQ(Get32(r, 132), 0xC0000001u);
        EXPECT_EQ(Get32(r, 140), 0xA1B2C3D4u);
        EXPECT_EQ(Get32(r, 144), 0x101u);
        EXPECT_EQ(Get32(r, 152), 3u);
        EXPECT_EQ(Text(r, 168, 32), "comment of UNIT" + std::to_string(i));
        EXPECT_EQ(Text(r, 252, 16), "GROUP");
        EXPECT_EQ(Text(r, 268, 16), "extra");
        if (i == 2) {
            EXPECT_EQ(Text(r, 284, 64), "a much longer name of the third unit");
        }
    }
    for (auto& u : units) {
        const std::vector<nassim::Request> got = u->requests();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].problem, "");
        EXPECT_EQ(got[0].to, nassim::kLoopbackBroadcast);
        EXPECT_EQ(got[0].from, Ipv4(127, 0, 0, 1));
        EXPECT_EQ(got[0].fromPort, client.port());
        EXPECT_EQ(u->replies().size(), 1u);
    }

    // Acknowledge only the second unit: it alone records the acknowledgement, with its sender.
    ASSERT_TRUE(client.Send(Ack(), replies[1].from, replies[1].fromPort));
    ASSERT_TRUE(units[1]->waitForAcks(1, kReplyWait));
    const std::vector<nassim::Request> acks = units[1]->acks();
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0].via, nassim::Via::Udp);
    EXPECT_EQ(acks[0].from, Ipv4(127, 0, 0, 1));
    EXPECT_EQ(acks[0].fromPort, client.port());
    EXPECT_EQ(acks[0].problem, "");
    EXPECT_FALSE(units[0]->waitForAcks(1, kQuiet));
    EXPECT_TRUE(units[2]->acks().empty());
}

// An announcement is the 284-byte body of the server-information reply under command 8 or 9
// (the extended unit's too), sent from the unit's own address.
TEST_F(ThreeUnits, AnnouncesItselfFromItsOwnAddress) {
    UdpClient client(Ipv4(127, 0, 0, 1));
    for (std::uint16_t command : {nassim::kCommandReady, nassim::kCommandOffline}) {
        SCOPED_TRACE(command);
        ASSERT_TRUE(units[2]->announce(command, Ipv4(127, 0, 0, 1), client.port()));
        std::optional<Datagram> d = client.Receive(kReplyWait);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->from, Ipv4(127, 0, 0, 33));
        ASSERT_EQ(d->bytes.size(), 284u);
        EXPECT_EQ(Text(d->bytes, 0, 8), "PELQUANE");
        EXPECT_EQ(Get16(d->bytes, 24), command);
        EXPECT_EQ(Text(d->bytes, 236, 16), "UNIT2");
        EXPECT_EQ(Text(d->bytes, 112, 18), std::string("hw-") + char(33));
        EXPECT_EQ(GetNet32(d->bytes, 200), Ipv4(127, 0, 0, 33));
        EXPECT_EQ(units[2]->replies().back().command, command);
    }
    EXPECT_THROW(units[0]->announce(nassim::kCommandReady, Ipv4(10, 0, 0, 1), client.port()),
                 std::invalid_argument);
}

TEST_F(ThreeUnits, AnswersServerInfoOverTcpOnItsAddressOnly) {
    TcpClient client;
    ASSERT_EQ(client.Connect(units[1]->address(), units[1]->tcpPort()), 0);
    ASSERT_TRUE(client.Send(DiscoveryRequest()));
    const Bytes reply = client.Read(284, kReplyWait);
    ASSERT_EQ(reply.size(), 284u);
    EXPECT_EQ(Text(reply, 236, 16), "UNIT1");
    ASSERT_TRUE(client.Send(Ack()));
    ASSERT_TRUE(units[1]->waitForAcks(1, kReplyWait));
    EXPECT_EQ(units[1]->acks()[0].via, nassim::Via::Tcp);
    EXPECT_TRUE(units[0]->requests().empty());
    EXPECT_TRUE(units[2]->requests().empty());
}

TEST(Unit, ReplyCarriesTheConfiguredStatus) {
    nassim::UnitConfig c = Config(Ipv4(127, 0, 0, 35), "STATUS");
    c.replyStatus = -7;
    nassim::Unit unit(c);
    TcpClient client;
    ASSERT_EQ(client.Connect(unit.address(), unit.tcpPort()), 0);
    ASSERT_TRUE(client.Send(DiscoveryRequest()));
    const Bytes reply = client.Read(284, kReplyWait);
    ASSERT_EQ(reply.size(), 284u);
    EXPECT_EQ(static_cast<std::int16_t>(Get16(reply, 30)), -7);
}

// A request that breaks its layout is recorded with the reason and gets no answer, so that a
// layout error in a client shows.
TEST(Unit, MalformedRequestsAreRecordedAndNotAnswered) {
    struct Case {
        const char* what;
        Bytes bytes;
    };
    Bytes wrong_version = DiscoveryRequest();
    Put16(wrong_version, 8, 0x0101);
    Bytes wrong_data_length = DiscoveryRequest();
    Put32(wrong_data_length, 36, 36);
    Bytes long_request = DiscoveryRequest();
    long_request.resize(72);
    Bytes bad_ack = Ack();
    Put16(bad_ack, 18, 1);
    const Case cases[] = {{"version", wrong_version},
                          {"data length", wrong_data_length},
                          {"size", long_request},
                          {"flags", bad_ack},
                          {"header", Bytes(20, 0)}};
    nassim::Unit unit(Config(Ipv4(127, 0, 0, 36), "STRICT"));
    UdpClient client(Ipv4(127, 0, 0, 1));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        unit.clearRecords();
        ASSERT_TRUE(client.Send(c.bytes, unit.address(), unit.udpPort()));
        ASSERT_TRUE(unit.waitForRequests(1, kReplyWait));
        EXPECT_NE(unit.requests()[0].problem.find(c.what), std::string::npos)
            << unit.requests()[0].problem;
        EXPECT_FALSE(client.Receive(kQuiet));
    }
    EXPECT_TRUE(unit.replies().empty());
}

TEST(Unit, RefusesAddressesOutsideLoopback) {
    nassim::UnitConfig c;
    c.address = Ipv4(192, 168, 1, 10);
    EXPECT_THROW(nassim::Unit{c}, std::invalid_argument);
    c.address = Ipv4(127, 0, 0, 37);
    c.foreignAddress = Ipv4(10, 0, 0, 37);
    EXPECT_THROW(nassim::Unit{c}, std::invalid_argument);
    c.foreignAddress = 0;
    c.address = nassim::kLoopbackBroadcast;
    EXPECT_THROW(nassim::Unit{c}, std::invalid_argument);
}

} // namespace
