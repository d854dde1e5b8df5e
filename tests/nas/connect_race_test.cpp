// The connect race over a unit's three addresses, against simulated units that accept, refuse or
// never complete a connection; the session and plain connections built on it.
#include "nasapi.h"
#include "transport.h"
#include "unit_fixtures.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <memory>
#include <vector>

namespace {

using nastest::Ipv4;

enum class Slot { Empty, Refused, Stalled, Accepting };

constexpr int kRaceLimitMs = 600;

// Units for the slots of one address array, all on one TCP port, on addresses 127.0.<net>.10+i.
struct RaceUnits {
    std::array<uint32_t, 3> addrs{};
    std::vector<std::unique_ptr<nassim::Unit>> units;
    uint16_t port = 0;

    RaceUnits(const std::array<Slot, 3>& slots, unsigned net) {
        port = nassim::FreeTcpPort();
        for (unsigned i = 0; i < 3; ++i) {
            if (slots[i] == Slot::Empty) continue;
            addrs[i] = Ipv4(127, 0, net, 10 + i);
            nassim::UnitConfig config = nastest::DescribedUnit(addrs[i], "RACE", 1);
            config.tcpPort = port;
            config.fault = slots[i] == Slot::Refused   ? nassim::Fault::Refuse
                           : slots[i] == Slot::Stalled ? nassim::Fault::Stall
                                                       : nassim::Fault::None;
            units.push_back(std::make_unique<nassim::Unit>(config));
        }
    }

    nas::NetConfig config() const {
        nas::NetConfig c = nastest::LoopbackConfig();
        c.tcpPort = port;
        c.connectRaceMs = kRaceLimitMs;
        c.sessionRaceMs = kRaceLimitMs;
        return c;
    }
};

uint32_t PeerAddress(int fd) {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0) return 0;
    return ntohl(peer.sin_addr.s_addr);
}

struct RaceCase {
    const char* name;
    std::array<Slot, 3> slots;
    int winner;         // index, -1 for none
    bool waitsForLimit; // no winner and a connection that never completes
};

const RaceCase kRaceCases[] = {
    {"all empty", {Slot::Empty, Slot::Empty, Slot::Empty}, -1, false},
    {"earlier of two accepting wins", {Slot::Accepting, Slot::Accepting, Slot::Empty}, 0, false},
    {"refused drops out", {Slot::Refused, Slot::Accepting, Slot::Empty}, 1, false},
    {"stalled does not hold up a later one",
     {Slot::Stalled, Slot::Empty, Slot::Accepting},
     2,
     false},
    {"refused and stalled before the winner",
     {Slot::Refused, Slot::Stalled, Slot::Accepting},
     2,
     false},
    {"refused everywhere ends at once", {Slot::Empty, Slot::Refused, Slot::Refused}, -1, false},
    {"stalled waits for the limit", {Slot::Stalled, Slot::Refused, Slot::Empty}, -1, true},
};

TEST(ConnectRace, GetValidIPTakesTheFirstAcceptingEntryInArrayOrder) {
    unsigned net = 20;
    for (const RaceCase& c : kRaceCases) {
        SCOPED_TRACE(c.name);
        RaceUnits units(c.slots, net++);
        nastest::ScopedNetConfig scope(units.config());
        auto start = std::chrono::steady_clock::now();
        uint32_t got = NasApiGetValidIP(units.addrs.data());
        long long elapsed = nastest::MsSince(start);
        EXPECT_EQ(got, c.winner < 0 ? 0u : units.addrs[c.winner]);
        if (c.waitsForLimit) {
            EXPECT_GE(elapsed, kRaceLimitMs - 50);
            EXPECT_LT(elapsed, kRaceLimitMs + 3000);
        } else {
            EXPECT_LT(elapsed, kRaceLimitMs - 100) << "waited although every entry had answered";
        }
    }
}

TEST(ConnectRace, SessionKeepsTheWinnersNonBlockingSocket) {
    unsigned net = 40;
    for (const RaceCase& c : kRaceCases) {
        SCOPED_TRACE(c.name);
        RaceUnits units(c.slots, net++);
        nastest::ScopedNetConfig scope(units.config());
        int session = nas::OpenSession(units.addrs.data());
        if (c.winner < 0) {
            EXPECT_EQ(session, 0);
            continue;
        }
        ASSERT_GT(session, 0);
        nas::Socket owner(session);
        EXPECT_EQ(PeerAddress(session), units.addrs[c.winner]);
        EXPECT_NE(::fcntl(session, F_GETFL) & O_NONBLOCK, 0);
    }
}

TEST(ConnectRace, PlainConnectionGoesAfreshToTheWinnerAndBlocks) {
    RaceUnits units({Slot::Stalled, Slot::Refused, Slot::Accepting}, 60);
    nastest::ScopedNetConfig scope(units.config());
    nas::Socket connection;
    ASSERT_EQ(nas::ConnectServer(units.addrs.data(), connection), 0);
    EXPECT_EQ(PeerAddress(connection.get()), units.addrs[2]);
    EXPECT_EQ(::fcntl(connection.get(), F_GETFL) & O_NONBLOCK, 0);

    RaceUnits none({Slot::Stalled, Slot::Refused, Slot::Empty}, 61);
    nastest::ScopedNetConfig scope2(none.config());
    nas::Socket failed;
    EXPECT_EQ(nas::ConnectServer(none.addrs.data(), failed), -1);
    EXPECT_FALSE(failed.valid());
}

TEST(ConnectRace, SessionSocketIsNotDescriptorZeroWhenStandardInputIsClosed) {
    RaceUnits units({Slot::Accepting, Slot::Empty, Slot::Empty}, 62);
    nastest::ScopedNetConfig scope(units.config());
    ::close(0); // this case runs in a process of its own
    int session = nas::OpenSession(units.addrs.data());
    ASSERT_GT(session, 0);
    nas::Socket owner(session);
    EXPECT_EQ(PeerAddress(session), units.addrs[0]);
}

TEST(ConnectRace, NoSocketMeansFailureNeverAnAddress) {
    // Nothing listens: no other thread of this process wakes while descriptors are short below.
    nas::NetConfig config = nastest::LoopbackConfig();
    config.tcpPort = nassim::FreeTcpPort();
    nastest::ScopedNetConfig scope(config);
    const uint32_t addrs[3] = {Ipv4(127, 0, 64, 10), 0, 0};
    // Each call once with descriptors to spare, so that the sanitizers' first-call checks (which
    // need a descriptor of their own) are done before the limit below.
    NasServerInfo info;
    nas::Socket connection;
    ASSERT_EQ(NasApiGetValidIP(addrs), 0u);
    ASSERT_EQ(nas::OpenSession(addrs), 0);
    ASSERT_EQ(nas::ConnectServer(addrs, connection), -1);
    ASSERT_EQ(NasApiGetRemoteInfo(addrs, &info), -1);
    // Let no further descriptor be opened: every socket the race makes fails.
    int lowestFree = ::dup(2);
    ASSERT_GT(lowestFree, 2);
    ::close(lowestFree);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    uint32_t valid = NasApiGetValidIP(addrs);
    int session = nas::OpenSession(addrs);
    int plain = nas::ConnectServer(addrs, connection);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(valid, 0xFFFFFFFFu);
    EXPECT_EQ(session, -1);
    EXPECT_EQ(plain, -1);
    EXPECT_FALSE(connection.valid());
}

} // namespace
