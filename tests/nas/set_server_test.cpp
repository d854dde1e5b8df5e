// The set-server request: its bytes in every form, written out here from the request layout, and
// both routes against simulated units: TCP to a known unit, broadcast from the first free local
// port of the configured range.
#include "nas_test_support.h"
#include "nasapi.h"
#include "nassim.h"
#include "set_server_request.h"
#include "socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using nastest::Ipv4;
using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;

long long MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

constexpr uint32_t kTime = 0x11223344u;
const std::string kCurrentPassword = "secret";
// Texts in the configured code page (CP1252): 0xE9 is e-acute, two bytes in UTF-8.
const std::string kLongName = "a" + std::string(15, '\xE9'); // fills its 16 bytes, no terminator

// Writes values at offsets of an expected message.
struct Expected {
    Bytes bytes;
    explicit Expected(size_t size) : bytes(size, 0) {}
    void u16(size_t at, uint16_t v) {
        bytes[at] = v & 0xFF;
        bytes[at + 1] = v >> 8;
    }
    void u32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = (v >> (8 * i)) & 0xFF;
    }
    void net32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = (v >> (24 - 8 * i)) & 0xFF;
    }
    void text(size_t at, const std::string& s) { std::memcpy(&bytes[at], s.data(), s.size()); }
};

void Put(char* field, size_t width, const std::string& text) {
    std::memset(field, 0, width);
    std::memcpy(field, text.data(), std::min(width, text.size()));
}

NasServerSetting Setting(uint32_t mode, uint32_t route = 1) {
    NasServerSetting s;
    std::memset(&s, 0, sizeof s);
    s.route = route;
    Put(s.name, sizeof s.name, kLongName);
    Put(s.workgroup, sizeof s.workgroup, "Caf\xE9");
    Put(s.comment, sizeof s.comment, "plain comment");
    Put(s.extraText, sizeof s.extraText, "never sent");
    for (unsigned i = 0; i < 3; ++i) {
        s.ipAddress[i] = Ipv4(10, 1, i, 2);
        s.subnetMask[i] = Ipv4(255, 255, 0xFFu << i & 0xFFu, 0);
        s.gateway[i] = Ipv4(10, 1, i, 1);
    }
    for (unsigned i = 0; i < 18; ++i)
        s.hardwareAddress[i] = static_cast<uint8_t>(0x10 + i);
    s.teamingMode = 3;
    s.addressFlags = 0x40;
    s.optionFlags = 1;
    Put(s.newPassword, sizeof s.newPassword, "n3w");
    Put(s.currentPassword, sizeof s.currentPassword, kCurrentPassword);
    s.argument = 7;
    s.reserved182[0] = s.reserved182[1] = 0xEE;
    s.value184 = 0xA1A2A3A4u;
    s.value188 = 0xB1B2B3B4u;
    s.word192 = 0xC1C2;
    s.word194 = 0xD1D2;
    s.value196 = 0xE1E2E3E4u;
    s.mode = mode;
    Put(s.extendedName, sizeof s.extendedName, "Dom\xE9ne");
    return s;
}

NasServerSetting2 Credentials() {
    NasServerSetting2 c;
    std::memset(&c, 0, sizeof c);
    c.value0 = 9;
    c.value4 = 100;
    c.accountGiven = 1;
    Put(c.userName, sizeof c.userName, "Admin\xE9");
    Put(c.password, sizeof c.password, "p\xE9ss");
    return c;
}

// The request for Setting(mode), with Credentials() when extended, from the request layout.
Bytes ExpectedRequest(uint32_t mode, bool extended) {
    const bool modeTwo = extended || mode == 2;
    const bool utf8 = extended || mode != 0;
    Expected e(extended ? 460 : 352);
    e.text(0, "PELQUANE");
    e.u16(8, 256);
    e.u32(12, kTime);
    e.u16(18, extended ? 2 : 1);
    e.u32(20, extended ? 428 : modeTwo ? 320 : 256);
    e.u16(24, 3);
    e.u16(26, 1);
    e.u16(30, 7);
    e.u32(32, 2);
    e.u32(36, modeTwo ? 312 : 248);
    e.u16(40, static_cast<uint16_t>(kCurrentPassword.size()));
    const auto digest = nassim::PasswordDigest(kCurrentPassword);
    std::memcpy(&e.bytes[42], digest.data(), digest.size());
    e.u16(58, 3);
    e.text(60, "bjN3"); // Base64 of "n3w"
    for (unsigned i = 0; i < 18; ++i)
        e.bytes[124 + i] = static_cast<uint8_t>(0x10 + i);
    e.u16(142, 3);
    e.u32(144, 0xA1A2A3A4u);
    e.u32(152, 0x40);
    e.u32(156, 1);
    e.u32(160, 0xB1B2B3B4u);
    e.u16(164, 0xC1C2);
    e.u16(166, 0xD1D2);
    e.u32(168, 0xE1E2E3E4u);
    e.text(172, "plain comment");
    for (unsigned i = 0; i < 3; ++i) {
        e.net32(204 + 4 * i, Ipv4(10, 1, i, 2));
        e.net32(216 + 4 * i, Ipv4(10, 1, i, 1));
        e.net32(228 + 4 * i, Ipv4(255, 255, 0xFFu << i & 0xFFu, 0));
    }
    if (utf8) {
        // 31 bytes in UTF-8: cut at 16 would split a character, so 15 go and the rest is zero.
        std::string name = "a";
        for (int i = 0; i < 7; ++i)
            name += "\xC3\xA9";
        e.text(240, name);
    } else {
        e.text(240, kLongName);
    }
    if (modeTwo)
        e.text(288, "Dom\xC3\xA9ne");
    else
        e.text(256, utf8 ? "Caf\xC3\xA9" : "Caf\xE9");
    if (extended) {
        e.u32(352, 9);
        e.u32(356, 100);
        e.u32(360, 1);
        e.text(364, "Admin\xC3\xA9");
        e.text(428, "p\xC3\xA9ss");
    }
    return e.bytes;
}

nas::NetConfig FixedClockConfig() {
    nas::NetConfig config = nastest::LoopbackConfig();
    config.clock.calendarSeconds = [] { return kTime; };
    return config;
}

TEST(SetServerRequest, BytesOfEachModeAndOfTheLongForm) {
    nastest::ScopedNetConfig scope(FixedClockConfig());
    struct Case {
        uint32_t mode;
        bool extended;
    };
    for (Case c : {Case{0, false}, Case{1, false}, Case{2, false}, Case{0, true}, Case{2, true}}) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + (c.extended ? " with credentials" : ""));
        NasServerSetting setting = Setting(c.mode);
        NasServerSetting2 credentials = Credentials();
        auto request = nas::BuildSetServerRequest(setting, c.extended ? &credentials : nullptr);
        ASSERT_TRUE(request.has_value());
        const Bytes expected = ExpectedRequest(c.mode, c.extended);
        ASSERT_EQ(request->size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ((*request)[i], expected[i]) << "first difference at offset " << i;
        // The long form answers like its setting's mode.
        EXPECT_EQ(nas::ExpectedSetServerReply(setting), c.mode == 2 ? 256 : 3);
    }
}

TEST(SetServerRequest, PasswordsLongerThanTheirFieldsAreRefused) {
    nastest::ScopedNetConfig scope(FixedClockConfig());
    struct Case {
        const char* what;
        void (*spoil)(NasServerSetting&, NasServerSetting2&);
    };
    const Case cases[] = {
        {"current password of 16",
         [](NasServerSetting& s, NasServerSetting2&) { std::memset(s.currentPassword, 'p', 16); }},
        {"new password of 16",
         [](NasServerSetting& s, NasServerSetting2&) { std::memset(s.newPassword, 'p', 16); }},
        {"domain password of 32",
         [](NasServerSetting&, NasServerSetting2& c) { std::memset(c.password, 'p', 32); }},
        {"domain password of 31 that takes 32 bytes in UTF-8",
         [](NasServerSetting&, NasServerSetting2& c) {
             std::memset(c.password, 'p', 31);
             c.password[0] = '\xE9';
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NasServerSetting setting = Setting(2);
        NasServerSetting2 credentials = Credentials();
        c.spoil(setting, credentials);
        EXPECT_FALSE(nas::BuildSetServerRequest(setting, &credentials).has_value());
    }
    // The longest that fit are taken.
    NasServerSetting setting = Setting(2);
    NasServerSetting2 credentials = Credentials();
    std::memset(setting.currentPassword, 'p', 15);
    std::memset(setting.newPassword, 'p', 15);
    std::memset(credentials.password, 'p', 31);
    EXPECT_TRUE(nas::BuildSetServerRequest(setting, &credentials).has_value());
}

// One unit that takes set-server requests with its administrator password.
struct SetServerUnit {
    nassim::Unit unit;
    std::array<uint32_t, 3> addrs;

    static nassim::UnitConfig Config(uint32_t address, uint16_t udpPort, bool answers) {
        nassim::UnitConfig config;
        config.answersSetServerBroadcast = answers;
        config.address = address;
        config.tcpPort = nassim::FreeTcpPort();
        config.udpPort = udpPort;
        config.state.adminPassword = kCurrentPassword;
        // The unit the settings are meant for: the hardware address Setting() carries.
        for (unsigned i = 0; i < config.hardwareAddress.size(); ++i)
            config.hardwareAddress[i] = static_cast<uint8_t>(0x10 + i);
        return config;
    }
    explicit SetServerUnit(uint32_t address, uint16_t udpPort = 0, bool answers = true)
        : unit(Config(address, udpPort, answers)), addrs{0, address, 0} {}

    nas::NetConfig netConfig() const {
        nas::NetConfig config = FixedClockConfig();
        config.tcpPort = unit.tcpPort();
        config.udpPort = unit.udpPort();
        config.setServerReplyMs = 3000;
        config.setServerBroadcastWaitMs = 3000;
        return config;
    }
};

TEST(SetServerTcp, VerdictIsTakenWhateverLengthItsHeaderDeclares) {
    SetServerUnit f(Ipv4(127, 0, 90, 3));
    nastest::ScopedNetConfig scope(f.netConfig());
    const struct {
        const char* what;
        std::optional<uint32_t> declared;
        size_t extra;
        int16_t status;
    } cases[] = {
        {"declares 256 bytes that never come", 256, 0, 0},
        {"declares 8 bytes, with status 9", 8, 0, 9},
        {"brings 16 bytes it does not declare", std::nullopt, 16, 0},
        {"declares 0 and brings 700 more", 0, 700, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        nassim::CommandFault fault;
        fault.command = nassim::kCommandSetServer;
        fault.payloadLength = c.declared;
        fault.extraBytes = c.extra;
        if (c.status != 0) fault.status = c.status;
        f.unit.clearCommandFaults();
        f.unit.addCommandFault(fault);
        f.unit.setAdminPassword(kCurrentPassword); // each request taken sets the new one
        NasServerSetting setting = Setting(1);
        EXPECT_EQ(NasApiSetServer(f.addrs.data(), &setting), c.status);
    }
}

TEST(SetServerTcp, UnitAnswersWithItsStatus) {
    SetServerUnit f(Ipv4(127, 0, 90, 2));
    nastest::ScopedNetConfig scope(f.netConfig());
    for (uint32_t mode : {0u, 1u, 2u}) {
        NasServerSetting setting = Setting(mode);
        EXPECT_EQ(NasApiSetServer(f.addrs.data(), &setting), 0) << "mode " << mode;
        EXPECT_EQ(f.unit.state().adminPassword, "n3w"); // the new password is the unit's now
        f.unit.setAdminPassword(kCurrentPassword);
    }
    NasServerSetting setting = Setting(2);
    NasServerSetting2 credentials = Credentials();
    EXPECT_EQ(NasApiSetServer2(f.addrs.data(), &setting, &credentials), 0);
    f.unit.setAdminPassword(kCurrentPassword);

    auto requests = f.unit.requestsFor(nassim::kCommandSetServer);
    ASSERT_EQ(requests.size(), 4u);
    for (const auto& r : requests) {
        EXPECT_EQ(r.via, nassim::Via::Tcp);
        EXPECT_EQ(r.problem, "");
    }
    EXPECT_EQ(requests[0].bytes, ExpectedRequest(0, false));
    EXPECT_EQ(requests[3].bytes, ExpectedRequest(2, true));

    // A wrong administrator password: the unit's refusal comes back as its status.
    Put(setting.currentPassword, sizeof setting.currentPassword, "wrong");
    EXPECT_EQ(NasApiSetServer(f.addrs.data(), &setting), nassim::kStatusInvalidPassword);
}

TEST(SetServerTcp, FailuresGiveMinusOneOrTheSignedStatus) {
    struct Case {
        const char* what;
        uint32_t mode;
        nassim::CommandFault fault;
        int expected;
    };
    nassim::CommandFault negative;
    negative.status = -2;
    nassim::CommandFault oldAnswer; // a mode-2 request answered the older way
    oldAnswer.replyCommand = 3;
    nassim::CommandFault late;
    late.delay = milliseconds(1500);
    nassim::CommandFault cut;
    cut.cutAfter = 10;
    const Case cases[] = {
        {"negative status", 0, negative, -2},
        {"mode 2 answered with command 3", 2, oldAnswer, -1},
        {"no reply in time", 0, late, -1},
        {"reply cut short", 0, cut, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetServerUnit f(Ipv4(127, 0, 91, 2));
        nas::NetConfig config = f.netConfig();
        config.setServerReplyMs = 400;
        nastest::ScopedNetConfig scope(config);
        nassim::CommandFault fault = c.fault;
        fault.command = nassim::kCommandSetServer;
        f.unit.addCommandFault(fault);
        NasServerSetting setting = Setting(c.mode);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(NasApiSetServer(f.addrs.data(), &setting), c.expected);
        EXPECT_LT(MsSince(start), 1400);
    }
}

TEST(SetServerTcp, TooLongPasswordSendsNothing) {
    SetServerUnit f(Ipv4(127, 0, 92, 2));
    nastest::ScopedNetConfig scope(f.netConfig());
    NasServerSetting setting = Setting(0);
    std::memset(setting.currentPassword, 'p', sizeof setting.currentPassword);
    EXPECT_EQ(NasApiSetServer(f.addrs.data(), &setting), -1);
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_TRUE(f.unit.requests().empty());
}

// Local UDP ports first..first+9 on 127.0.0.1 with the first `held` of them bound here (and kept
// bound) and the others free when the range was chosen.
struct PortRange {
    uint16_t first = 0;
    std::vector<nas::Socket> held;

    explicit PortRange(int heldCount) {
        std::mt19937 random(static_cast<unsigned>(::getpid()) * 7919u +
                            static_cast<unsigned>(heldCount));
        for (int attempt = 0; attempt < 200 && first == 0; ++attempt) {
            uint16_t base = static_cast<uint16_t>(20000 + random() % 10000);
            std::vector<nas::Socket> sockets;
            bool ok = true;
            for (int i = 0; i < 10 && ok; ++i) {
                nas::Socket s = nas::MakeSocket(SOCK_DGRAM);
                ok = nas::BindIpv4(s.get(), Ipv4(127, 0, 0, 1), static_cast<uint16_t>(base + i));
                if (i < heldCount) sockets.push_back(std::move(s));
            }
            if (ok) {
                first = base;
                held = std::move(sockets);
            }
        }
    }
    void apply(nas::NetConfig& config) const {
        config.setServerPortFirst = first;
        config.setServerPortLast = static_cast<uint16_t>(first + 9);
    }
};

struct BroadcastFixture {
    uint16_t udpPort = nassim::FreeUdpPort();
    SetServerUnit f;
    PortRange ports;

    explicit BroadcastFixture(int heldPorts = 0, bool answers = true)
        : f(Ipv4(127, 0, 0, 93), udpPort, answers), ports(heldPorts) {}
    nas::NetConfig netConfig() const {
        nas::NetConfig config = f.netConfig();
        ports.apply(config);
        return config;
    }
    std::vector<nassim::Request> requests() const {
        return f.unit.requestsFor(nassim::kCommandSetServer);
    }
};

TEST(SetServerBroadcast, UnitAnswersToTheFirstFreePortOfTheRange) {
    for (int held : {0, 3}) {
        SCOPED_TRACE(std::to_string(held) + " ports taken");
        BroadcastFixture b(held);
        ASSERT_NE(b.ports.first, 0);
        nastest::ScopedNetConfig scope(b.netConfig());
        NasServerSetting setting = Setting(1, /*route*/ 0);
        const uint32_t none[3] = {0, 0, 0};
        EXPECT_EQ(NasApiSetServer(none, &setting), 0);
        auto requests = b.requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].via, nassim::Via::Udp);
        EXPECT_EQ(requests[0].to, nassim::kLoopbackBroadcast);
        EXPECT_EQ(requests[0].from, Ipv4(127, 0, 0, 1));
        EXPECT_EQ(requests[0].fromPort, b.ports.first + held);
        EXPECT_EQ(requests[0].bytes, ExpectedRequest(1, false));
    }
}

TEST(SetServerBroadcast, EveryPortOfTheRangeTakenFailsWithoutSending) {
    BroadcastFixture b(10);
    ASSERT_NE(b.ports.first, 0);
    nastest::ScopedNetConfig scope(b.netConfig());
    NasServerSetting setting = Setting(0, 0);
    EXPECT_EQ(NasApiSetServer(b.f.addrs.data(), &setting), -1);
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_TRUE(b.requests().empty());
}

TEST(SetServerBroadcast, OtherAnswersEndModesZeroAndOneButModeTwoWaitsForItsOwn) {
    struct Case {
        uint32_t mode;
        bool extended;
        unsigned strays;
        int foreignLimit;
        int expected;
    };
    const Case cases[] = {
        {0, false, 1, 50, -1}, {1, false, 1, 50, -1}, {2, false, 3, 50, 0},
        {2, true, 3, 50, 0},   {2, false, 3, 2, -1},  {2, false, 2, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + ", " + std::to_string(c.strays) +
                     " other answers, limit " + std::to_string(c.foreignLimit));
        BroadcastFixture b;
        nas::NetConfig config = b.netConfig();
        config.setServerForeignLimit = c.foreignLimit;
        nastest::ScopedNetConfig scope(config);
        nassim::CommandFault fault;
        fault.command = nassim::kCommandSetServer;
        fault.strayRepliesFirst = c.strays;
        b.f.unit.addCommandFault(fault);
        NasServerSetting setting = Setting(c.mode, 0);
        NasServerSetting2 credentials = Credentials();
        int result = c.extended ? NasApiSetServer2(b.f.addrs.data(), &setting, &credentials)
                                : NasApiSetServer(b.f.addrs.data(), &setting);
        EXPECT_EQ(result, c.expected);
    }
}

TEST(SetServerBroadcast, NoAnswerOrEndlessNoiseEndsWithinTheReplyTime) {
    BroadcastFixture b(0, /*answers*/ false);
    nas::NetConfig config = b.netConfig();
    config.setServerBroadcastWaitMs = 300;
    nastest::ScopedNetConfig scope(config);
    NasServerSetting setting = Setting(0, 0);

    // The unit stays silent.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(NasApiSetServer(b.f.addrs.data(), &setting), -1);
    EXPECT_LT(MsSince(start), 2000);

    // A sender keeps sending datagrams that are no answer, faster than the reply time.
    std::atomic<bool> stop{false};
    std::thread noise([&] {
        nas::Socket s = nas::MakeSocket(SOCK_DGRAM);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(Ipv4(127, 0, 0, 1));
        const uint8_t junk[100] = {};
        to.sin_port = htons(b.ports.first); // where the library's socket is bound
        while (!stop) {
            ::sendto(s.get(), junk, sizeof junk, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            std::this_thread::sleep_for(milliseconds(20));
        }
    });
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(NasApiSetServer(b.f.addrs.data(), &setting), -1);
    EXPECT_LT(MsSince(start), 2000);
    stop = true;
    noise.join();
}

} // namespace
