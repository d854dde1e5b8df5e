// NasApiFindServer against simulated units on loopback: the library broadcasts to
// 127.255.255.255 from its local network 127.0.0.1/24 and takes replies by size, subnet, validity
// and hardware address, acknowledging each record it stores.
#include "nasapi.h"
#include "unit_fixtures.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <vector>

namespace {

using nastest::Ipv4;

// Units that share one UDP port, and the library configured to broadcast to it.
struct DiscoveryFixture {
    uint16_t udpPort = nassim::FreeUdpPort();
    std::vector<std::unique_ptr<nassim::Unit>> units;

    nassim::Unit& add(nassim::UnitConfig config) {
        config.udpPort = udpPort;
        units.push_back(std::make_unique<nassim::Unit>(config));
        return *units.back();
    }

    nas::NetConfig netConfig() const {
        nas::NetConfig c = nastest::LoopbackConfig();
        c.udpPort = udpPort;
        // Collecting ends after a pause in the answers; a loaded machine can hold a unit's
        // answer back longer than the usual pause, so these tests end it only after a long one.
        c.discoveryWaitMs = 1500;
        return c;
    }
};

std::map<std::string, NasServerInfo> Find(int expectedResult = 0) {
    std::vector<NasServerInfo> out(NAS_FIND_SERVER_MAX);
    int count = -1;
    EXPECT_EQ(NasApiFindServer(out.data(), &count), expectedResult);
    std::map<std::string, NasServerInfo> byName;
    for (int i = 0; i < count; ++i)
        byName[nastest::Field(out[i].name, 16)] = out[i];
    EXPECT_EQ(byName.size(), static_cast<size_t>(std::max(count, 0))) << "a name came twice";
    return byName;
}

TEST(Discovery, FindsThreeUnitsAndAcknowledgesEach) {
    DiscoveryFixture f;
    const char* names[] = {"ALPHA", "BETA", "GAMMA"};
    for (uint8_t i = 0; i < 3; ++i)
        f.add(
            nastest::DescribedUnit(Ipv4(127, 0, 0, 2 + i), names[i], static_cast<uint8_t>(21 + i)));
    nastest::ScopedNetConfig scope(f.netConfig());

    auto found = Find();
    ASSERT_EQ(found.size(), 3u);
    for (uint8_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(found.count(names[i])) << names[i];
        nastest::ExpectDescribedRecord(found[names[i]], Ipv4(127, 0, 0, 2 + i), names[i],
                                       static_cast<uint8_t>(21 + i));
        EXPECT_EQ(found[names[i]].textEncodingKind, 1u);
    }
    for (auto& unit : f.units) {
        ASSERT_TRUE(unit->waitForAcks(1, std::chrono::seconds(3)));
        auto requests = unit->requests();
        ASSERT_EQ(requests.size(), 2u) << "one broadcast request, one acknowledgement";
        EXPECT_EQ(requests[0].to, Ipv4(127, 255, 255, 255));
        EXPECT_EQ(requests[0].from, Ipv4(127, 0, 0, 1));
        EXPECT_EQ(requests[0].problem, "");
        EXPECT_EQ(requests[1].via, nassim::Via::Udp);
        EXPECT_EQ(requests[1].to, unit->address()) << "acknowledgement not sent to the replier";
        EXPECT_EQ(requests[1].problem, "");
    }
}

TEST(Discovery, TakesRepliesBySizeSubnetValidityAndHardwareAddress) {
    DiscoveryFixture f;
    nassim::Unit& plain = f.add(nastest::DescribedUnit(Ipv4(127, 0, 0, 2), "PLAIN", 31));
    nassim::UnitConfig longConfig = nastest::DescribedUnit(Ipv4(127, 0, 0, 3), "LONG", 32);
    longConfig.extendedReply = true;
    longConfig.encodingKind = 0;
    longConfig.extendedName = "the extended name of the unit";
    nassim::Unit& extended = f.add(longConfig);
    nassim::UnitConfig twinConfig = nastest::DescribedUnit(Ipv4(127, 0, 0, 4), "TWIN", 33);
    twinConfig.hardwareAddress = plain.config().hardwareAddress;
    nassim::Unit& twin = f.add(twinConfig);
    // Near twin: differs from PLAIN only in the last byte of its hardware address.
    nassim::UnitConfig nearConfig = nastest::DescribedUnit(Ipv4(127, 0, 0, 5), "NEAR", 34);
    nearConfig.hardwareAddress = plain.config().hardwareAddress;
    nearConfig.hardwareAddress[17] ^= 0x01;
    nassim::Unit& nearTwin = f.add(nearConfig);

    std::vector<nassim::Unit*> ignored;
    const nassim::Fault faults[] = {nassim::Fault::ForeignSubnet, nassim::Fault::WrongSignature,
                                    nassim::Fault::WrongVersion, nassim::Fault::ShortReply};
    uint8_t next = 6;
    for (nassim::Fault fault : faults) {
        nassim::UnitConfig config =
            nastest::DescribedUnit(Ipv4(127, 0, 0, next), nassim::FaultName(fault), 30 + next);
        config.fault = fault;
        ignored.push_back(&f.add(config));
        ++next;
    }
    nastest::ScopedNetConfig scope(f.netConfig());

    auto found = Find();
    EXPECT_EQ(found.size(), 3u);
    ASSERT_TRUE(found.count("LONG"));
    nastest::ExpectDescribedRecord(found["LONG"], Ipv4(127, 0, 0, 3), "LONG", 32);
    EXPECT_EQ(found["LONG"].textEncodingKind, 2u) << "a 348-byte reply is kind 2";
    EXPECT_EQ(nastest::Field(found["LONG"].extendedName, 64), "the extended name of the unit");
    ASSERT_TRUE(found.count("NEAR"));
    nastest::ExpectDescribedRecord(found["NEAR"], Ipv4(127, 0, 0, 5), "NEAR", 34, false);
    for (unsigned i = 0; i < 17; ++i)
        EXPECT_EQ(found["NEAR"].hardwareAddress[i], 31 + i);
    EXPECT_EQ(found["NEAR"].hardwareAddress[17], (31 + 17) ^ 0x01);
    ASSERT_NE(found.count("PLAIN") + found.count("TWIN"), 0u);
    EXPECT_EQ(found.count("PLAIN") + found.count("TWIN"), 1u) << "one hardware address, one record";

    ASSERT_TRUE(extended.waitForAcks(1, std::chrono::seconds(3)));
    ASSERT_TRUE(nearTwin.waitForAcks(1, std::chrono::seconds(3)));
    nassim::Unit& stored = found.count("PLAIN") ? plain : twin;
    nassim::Unit& dropped = found.count("PLAIN") ? twin : plain;
    ASSERT_TRUE(stored.waitForAcks(1, std::chrono::seconds(3)));
    EXPECT_TRUE(dropped.acks().empty());
    for (nassim::Unit* unit : ignored) {
        SCOPED_TRACE(nassim::FaultName(unit->fault()));
        EXPECT_EQ(unit->requests().size(), 1u) << "an ignored reply was acknowledged";
        EXPECT_EQ(unit->replies().size(), 1u) << "the unit did not answer: the case shows nothing";
    }
}

// A reply is taken from an address it names for its unit: one whose sender it does not name is
// ignored and not acknowledged, whatever it carries. One that names no address at all (a new
// unit, set up by broadcast) points nowhere: it is taken unless a reply that names its sender
// carries the same hardware address, whichever came first.
TEST(Discovery, RepliesAreTakenFromAnAddressTheyName) {
    const uint32_t own = Ipv4(127, 0, 0, 3);
    const uint32_t forger = Ipv4(127, 0, 0, 77); // on the same local network
    const struct {
        const char* what;
        std::array<uint32_t, 3> named;
        uint32_t from; // the reply's source; 0: the unit's own address
        bool twin;     // same hardware address as the unit PROVEN, which names its sender
        bool taken;
    } cases[] = {
        {"names its sender at LAN 2", {Ipv4(10, 9, 0, 2), Ipv4(10, 9, 1, 2), own}, 0, false, true},
        {"names another host", {own, 0, 0}, forger, false, false},
        {"names hosts on other networks", {Ipv4(10, 9, 0, 2), 0, 0}, 0, false, false},
        {"names the proven unit's address", {Ipv4(127, 0, 0, 2), 0, 0}, forger, true, false},
        {"names no address", {0, 0, 0}, 0, false, true},
        {"names no address, twin of a proven unit", {0, 0, 0}, 0, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DiscoveryFixture f;
        nassim::Unit& proven = f.add(nastest::DescribedUnit(Ipv4(127, 0, 0, 2), "PROVEN", 61));
        nassim::UnitConfig config = nastest::DescribedUnit(own, "CASE", 62);
        for (size_t i = 0; i < 3; ++i)
            config.lan[i].address = c.named[i];
        if (c.twin) config.hardwareAddress = proven.config().hardwareAddress;
        if (c.from != 0) {
            config.fault = nassim::Fault::ForeignSubnet;
            config.foreignAddress = c.from;
        }
        nassim::Unit& unit = f.add(config);
        nastest::ScopedNetConfig scope(f.netConfig());

        auto found = Find();
        EXPECT_EQ(found.count("PROVEN"), 1u);
        ASSERT_EQ(found.count("CASE"), c.taken ? 1u : 0u);
        ASSERT_TRUE(proven.waitForAcks(1, std::chrono::seconds(3)));
        const auto replies = unit.replies();
        ASSERT_EQ(replies.size(), 1u) << "the unit did not answer: the case shows nothing";
        EXPECT_EQ(replies[0].from, c.from != 0 ? c.from : own);
        if (c.taken) {
            EXPECT_EQ(found["CASE"].ipAddress[2], c.named[2]);
            EXPECT_TRUE(unit.waitForAcks(1, std::chrono::seconds(3)));
        } else {
            EXPECT_TRUE(unit.acks().empty()) << "an ignored reply was acknowledged";
        }
    }
}

TEST(Discovery, UnitOnTwoLocalNetworksIsStoredOnce) {
    DiscoveryFixture f;
    nassim::Unit& unit = f.add(nastest::DescribedUnit(Ipv4(127, 0, 0, 2), "BOTH", 41));
    nas::NetConfig config = f.netConfig();
    config.localInterfaces = std::vector<nas::LocalInterface>{
        {Ipv4(127, 0, 0, 1), Ipv4(255, 0, 0, 0)}, {Ipv4(127, 0, 5, 1), Ipv4(255, 0, 0, 0)}};
    nastest::ScopedNetConfig scope(config);

    auto found = Find();
    ASSERT_EQ(found.size(), 1u);
    nastest::ExpectDescribedRecord(found["BOTH"], Ipv4(127, 0, 0, 2), "BOTH", 41);
    ASSERT_TRUE(unit.waitForAcks(1, std::chrono::seconds(3)));
    std::vector<uint32_t> askedFrom;
    for (const nassim::Request& request : unit.requests())
        if (request.header && request.header->command == nassim::kCommandServerInfo)
            askedFrom.push_back(request.from);
    EXPECT_EQ(askedFrom, (std::vector<uint32_t>{Ipv4(127, 0, 0, 1), Ipv4(127, 0, 5, 1)}));
    auto acks = unit.acks();
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0].from, Ipv4(127, 0, 0, 1)) << "acknowledged from the network that stored it";
}

TEST(Discovery, BusyDiscoveryPortFailsTheCall) {
    DiscoveryFixture f;
    f.add(nastest::DescribedUnit(Ipv4(127, 0, 0, 2), "UNSEEN", 42));
    int holder = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(holder, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(Ipv4(127, 0, 0, 1));
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    socklen_t size = sizeof local;
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&local), &size);
    nas::NetConfig config = f.netConfig();
    config.discoveryLocalPort = ntohs(local.sin_port);
    nastest::ScopedNetConfig scope(config);
    Find(-1);
    ::close(holder);
}

// A unit that answers a discovery request with an endless stream of replies.
class FloodingUnit {
public:
    FloodingUnit(uint32_t address, uint16_t udpPort, std::chrono::milliseconds pause)
        : pause_(pause) {
        nassim::UnitConfig config = nastest::DescribedUnit(address, "FLOOD", 51);
        config.udpPort = udpPort;
        reply_ = nassim::EncodeServerReply(config);
        listener_ = Bound(INADDR_ANY, udpPort);
        sender_ = Bound(address, 0);
        thread_ = std::thread([this] { run(); });
    }
    ~FloodingUnit() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
        ::close(sender_);
    }
    long sent() const { return sent_; }

private:
    static int Bound(uint32_t address, uint16_t port) {
        int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(address);
        local.sin_port = htons(port);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
        timeval wait{0, 20000};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        return fd;
    }

    void run() {
        sockaddr_in requester{};
        socklen_t size = sizeof requester;
        uint8_t buffer[512];
        while (!stop_ && ::recvfrom(listener_, buffer, sizeof buffer, 0,
                                    reinterpret_cast<sockaddr*>(&requester), &size) <= 0)
            size = sizeof requester;
        while (!stop_) {
            ::sendto(sender_, reply_.data(), reply_.size(), 0,
                     reinterpret_cast<sockaddr*>(&requester), sizeof requester);
            ++sent_;
            std::this_thread::sleep_for(pause_);
        }
    }

    std::chrono::milliseconds pause_;
    std::vector<uint8_t> reply_;
    int listener_ = -1, sender_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<long> sent_{0};
    std::thread thread_;
};

TEST(Discovery, UnitThatNeverStopsSendingCannotHoldTheCall) {
    const struct {
        const char* what;
        int collectMs;
        int maxDatagrams;
        std::chrono::milliseconds pause;
    } cases[] = {
        {"collecting time", 500, 100000, std::chrono::milliseconds(5)},
        {"datagram cap", 600000, 40, std::chrono::milliseconds(1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        uint16_t port = nassim::FreeUdpPort();
        FloodingUnit flood(Ipv4(127, 0, 0, 9), port, c.pause);
        nas::NetConfig config = nastest::LoopbackConfig();
        config.udpPort = port;
        config.discoveryCollectMs = c.collectMs;
        config.discoveryMaxDatagrams = c.maxDatagrams;
        nastest::ScopedNetConfig scope(config);
        auto start = std::chrono::steady_clock::now();
        auto found = Find();
        long long elapsed = nastest::MsSince(start);
        EXPECT_LT(elapsed, 4000);
        EXPECT_EQ(found.size(), 1u);
        EXPECT_TRUE(found.count("FLOOD"));
        EXPECT_GT(flood.sent(), 20) << "the unit did not keep sending: the case shows nothing";
    }
}

} // namespace
