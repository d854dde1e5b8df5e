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
        unit.setAdminPassword(std::string("admin")); // a request taken sets "newpw"
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

// The server-information reply of the unit, asked over TCP.
Bytes ServerInfo(const nassim::Unit& unit) {
    TcpClient client;
    if (client.Connect(unit.address(), unit.tcpPort()) != 0) return {};
    return client.Exchange(DiscoveryRequest(), 284, kWait);
}

// A plain-form request for the unit with hardware address "MAC-1" and LAN addresses.
Bytes Settings(const std::string& admin) {
    Bytes b = SetServer(Form::Plain, admin);
    PutText(b, 124, "MAC-1");
    Put16(b, 142, 3);    // teaming: stand alone
    Put32(b, 152, 0x40); // DHCP
    Put32(b, 156, 1);    // domain mode
    PutText(b, 172, "a comment");
    const std::uint8_t lan[] = {127, 9,   0,   2, 127, 9,   1,   2, 0, 0, 0, 0,  // addresses
                                127, 9,   0,   1, 127, 9,   1,   1, 0, 0, 0, 0,  // gateways
                                255, 255, 255, 0, 255, 255, 254, 0, 0, 0, 0, 0}; // masks
    std::copy(std::begin(lan), std::end(lan), b.begin() + 204);
    return b;
}

TEST(SetServer, UnitStoresWhatItTakesAndReportsIt) {
    nassim::UnitConfig c;
    c.address = Ipv4(127, 0, 0, 72);
    c.name = "OLD";
    c.workgroup = "OLDGROUP";
    c.encodingKind = 1;
    std::memcpy(c.hardwareAddress.data(), "MAC-1", 5);
    c.state.adminPassword = "admin";
    nassim::Unit unit(c);

    // Refused values, each in an otherwise good request: status 4, nothing changes.
    const auto with = [](void (*spoil)(Bytes&)) {
        Bytes b = Settings("admin");
        spoil(b);
        return b;
    };
    const struct {
        const char* what;
        Bytes request;
    } refused[] = {
        {"no name", with([](Bytes& b) { std::fill(b.begin() + 240, b.begin() + 256, 0); })},
        {"no workgroup", with([](Bytes& b) { std::fill(b.begin() + 256, b.begin() + 272, 0); })},
        {"control character", with([](Bytes& b) { b[241] = '\n'; })},
        {"name cut inside a character", with([](Bytes& b) { b[242] = 0xC3, b[243] = 0; })},
        {"mask with a hole", with([](Bytes& b) { b[229] = 0; })},
        {"gateway outside the network", with([](Bytes& b) { b[217] = 8; })},
        {"teaming mode 4", with([](Bytes& b) { Put16(b, 142, 4); })},
        {"password of 16", with([](Bytes& b) {
             Put16(b, 58, 16);
             std::fill(b.begin() + 60, b.begin() + 124, 0);
             PutText(b, 60, "MTIzNDU2Nzg5MDEyMzQ1Ng==");
         })},
        {"another unit's", with([](Bytes& b) { b[128] = '2'; })},
    };
    for (const auto& k : refused) {
        SCOPED_TRACE(k.what);
        TcpClient client;
        ASSERT_EQ(client.Connect(unit.address(), unit.tcpPort()), 0);
        const Bytes reply = client.Exchange(k.request, 32, kWait);
        ASSERT_EQ(reply.size(), 32u);
        EXPECT_EQ(Get16(reply, 30), nassim::kStatusInvalidOption);
    }
    Bytes info = ServerInfo(unit);
    ASSERT_EQ(info.size(), 284u);
    EXPECT_EQ(Text(info, 236, 16), "OLD");
    EXPECT_EQ(GetNet32(info, 200), 0u);

    // By broadcast, a request for another unit goes unanswered.
    UdpClient udp(Ipv4(127, 0, 0, 1));
    ASSERT_TRUE(
        udp.Send(with([](Bytes& b) { b[128] = '2'; }), nassim::kLoopbackBroadcast, unit.udpPort()));
    EXPECT_FALSE(udp.Receive(kQuiet));
    EXPECT_EQ(Text(ServerInfo(unit), 236, 16), "OLD");

    // The request for it is taken, by broadcast too, and the reply reports the new values.
    ASSERT_TRUE(udp.Send(Settings("admin"), nassim::kLoopbackBroadcast, unit.udpPort()));
    const auto answer = udp.Receive(kWait);
    ASSERT_TRUE(answer);
    EXPECT_EQ(Get16(answer->bytes, 30), 0);
    info = ServerInfo(unit);
    ASSERT_EQ(info.size(), 284u);
    EXPECT_EQ(Text(info, 236, 16), "NEWNAME");
    EXPECT_EQ(Text(info, 252, 16), "GROUP");
    EXPECT_EQ(Text(info, 168, 32), "a comment");
    EXPECT_EQ(Get16(info, 130), 3);     // teaming
    EXPECT_EQ(Get32(info, 140), 0x40u); // protocols
    EXPECT_EQ(Get32(info, 144), 1u);    // options
    EXPECT_EQ(GetNet32(info, 200), Ipv4(127, 9, 0, 2));
    EXPECT_EQ(GetNet32(info, 204), Ipv4(127, 9, 1, 2));
    EXPECT_EQ(GetNet32(info, 212), Ipv4(127, 9, 0, 1));
    EXPECT_EQ(GetNet32(info, 228), Ipv4(255, 255, 254, 0));
    EXPECT_EQ(unit.state().adminPassword, "newpw");
    EXPECT_EQ(unit.config().name, "NEWNAME");

    // The domain form stores the extended name and keeps the workgroup.
    TcpClient client;
    ASSERT_EQ(client.Connect(unit.address(), unit.tcpPort()), 0);
    Bytes domain = SetServer(Form::Domain, "newpw");
    PutText(domain, 124, "MAC-1");
    ASSERT_EQ(Get16(client.Exchange(domain, 32, kWait), 30), 0);
    EXPECT_EQ(unit.config().extendedName, "a domain name");
    EXPECT_EQ(unit.config().workgroup, "GROUP");
    EXPECT_TRUE(unit.problems().empty());
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
