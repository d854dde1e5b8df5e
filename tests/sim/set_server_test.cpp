// Set-server requests in their three forms, by TCP and by broadcast.
#include "nassim.h"
#include "raw_client.h"

#include <gtest/gtest.h>

using namespace simtest;
using nassim::Ipv4;

namespace {

constexpr milliseconds kWait{2000};
constexpr milliseconds kQuiet{300};

enum class Form { Plain, Domain, Long }; // modes 0 and 1; mode 2; the 460-byte request

Bytes SetServer(Form form, const std::string& admin, std::int16_t argument = 0) {
    Bytes b = Message(form == Form::Long ? 460 : 352, 3, form == Form::Long ? 2 : 1, true);
    Put32(b, 20, form == Form::Plain ? 256 : form == Form::Domain ? 320 : 428);
    Put16(b, 30, static_cast<std::uint16_t>(argument));
    Put32(b, 32, 2);
    Put32(b, 36, form == Form::Plain ? 248 : 312);
    Put16(b, 40, static_cast<std::uint16_t>(admin.size()));
    const auto digest = nassim::PasswordDigest(admin);
    std::memcpy(b.data() + 42, digest.data(), 16);
    Put16(b, 58, 5);
    PutText(b, 60, "bmV3cHc="); // "newpw"
    PutText(b, 240, "NEWNAME");
    if (form == Form::Plain)
        PutText(b, 256, "GROUP");
    else
        PutText(b, 288, "a domain name");
    if (form == Form::Long) PutText(b, 364, "domain user");
    return b;
}

TEST(SetServer, TcpRepliesNameTheFormAndCheckThePassword) {
    nassim::UnitConfig c;
    c.address = Ipv4(127, 0, 0, 68);
    c.state.adminPassword = "admin";
    nassim::Unit unit(c);
    const struct {
        Form form;
        std::string password;
        std::uint16_t command;
        std::int16_t status;
    } cases[] = {{Form::Plain, "admin", 3, 0},
                 {Form::Domain, "admin", 256, 0},
                 {Form::Long, "admin", 256, 0},
                 {Form::Plain, "wrong", 3, 6}};
    for (const auto& k : cases) {
        SCOPED_TRACE(static_cast<int>(k.form));
        TcpClient client;
        ASSERT_EQ(client.Connect(unit.address(), unit.tcpPort()), 0);
        const Bytes reply = client.Exchange(SetServer(k.form, k.password, 7), 32, kWait);
        ASSERT_EQ(reply.size(), 32u);
        EXPECT_EQ(Get16(reply, 24), k.command);
        EXPECT_EQ(Get16(reply, 30), k.status);
        // The 352-byte request is read whole although modes 0 and 1 declare 256 bytes.
        EXPECT_FALSE(client.ClosedWithin(kQuiet));
    }
    const std::vector<nassim::Request> got = unit.requestsFor(3);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].bytes.size(), 352u);
    EXPECT_EQ(got[2].bytes.size(), 460u);
    EXPECT_EQ(got[0].header->argument, 7);
    EXPECT_TRUE(unit.problems().empty());
}

TEST(SetServer, BroadcastIsAnsweredFromEachWillingUnit) {
    nassim::UnitConfig a;
    a.address = Ipv4(127, 0, 0, 69);
    nassim::Unit first(a);
    nassim::UnitConfig b;
    b.address = Ipv4(127, 0, 0, 70);
    b.udpPort = first.udpPort();
    b.answersSetServerBroadcast = false;
    nassim::Unit second(b);

    UdpClient client(Ipv4(127, 0, 0, 1));
    ASSERT_TRUE(
        client.Send(SetServer(Form::Domain, ""), nassim::kLoopbackBroadcast, first.udpPort()));
    std::vector<Datagram> replies = client.ReceiveAll(kQuiet);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].from, first.address());
    ASSERT_EQ(replies[0].bytes.size(), 32u);
    EXPECT_EQ(Get16(replies[0].bytes, 24), 256);
    EXPECT_EQ(second.requestsFor(3).size(), 1u); // heard, not answered

    // Replies of other units first: two strays with the other command, then the answer.
    nassim::CommandFault strays;
    strays.command = 3;
    strays.strayRepliesFirst = 2;
    first.addCommandFault(strays);
    ASSERT_TRUE(
        client.Send(SetServer(Form::Plain, ""), nassim::kLoopbackBroadcast, first.udpPort()));
    replies = client.ReceiveAll(kQuiet);
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(Get16(replies[0].bytes, 24), 256);
    EXPECT_EQ(Get16(replies[1].bytes, 24), 256);
    EXPECT_EQ(Get16(replies[2].bytes, 24), 3);
}

TEST(SetServer, FieldsOutsideTheFormMustBeZero) {
    nassim::UnitConfig c;
    c.address = Ipv4(127, 0, 0, 71);
    nassim::Unit unit(c);
    Bytes workgroup_in_mode2 = SetServer(Form::Domain, "");
    workgroup_in_mode2[260] = 'W';
    Bytes extended_name_in_mode0 = SetServer(Form::Plain, "");
    extended_name_in_mode0[300] = 'X';
    Bytes mixed_lengths = SetServer(Form::Plain, "");
    Put32(mixed_lengths, 36, 312);
    const struct {
        Bytes request;
        const char* problem;
    } cases[] = {{workgroup_in_mode2, "byte 260"},
                 {extended_name_in_mode0, "byte 300"},
                 {mixed_lengths, "data length is 312, expected 248"}};
    UdpClient client(Ipv4(127, 0, 0, 1));
    for (const auto& k : cases) {
        SCOPED_TRACE(k.problem);
        unit.clearRecords();
        ASSERT_TRUE(client.Send(k.request, unit.address(), unit.udpPort()));
        EXPECT_FALSE(client.Receive(kQuiet));
        ASSERT_EQ(unit.problems().size(), 1u);
        EXPECT_NE(unit.problems()[0].find(k.problem), std::string::npos) << unit.problems()[0];
    }
}

} // namespace
