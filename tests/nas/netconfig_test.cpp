// The configuration object: the broadcast override, snapshots under concurrent replacement, and
// the local interface list it yields.
#include "local_interfaces.h"
#include "nas_test_support.h"
#include "nasapi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

TEST(NetConfig, BroadcastAddressFollowsTheEnvironment) {
    const struct {
        const char* value; // nullptr: unset
        uint32_t expected;
    } cases[] = {
        {nullptr, 0xFFFFFFFFu},
        {"127.255.255.255", nastest::Ipv4(127, 255, 255, 255)},
        {"not-an-address", 0xFFFFFFFFu},
        {"", 0xFFFFFFFFu},
    };
    for (const auto& c : cases) {
        if (c.value)
            ::setenv("NAS_BROADCAST_ADDRESS", c.value, 1);
        else
            ::unsetenv("NAS_BROADCAST_ADDRESS");
        EXPECT_EQ(nas::NetConfig::Defaults().broadcastAddress, c.expected)
            << (c.value ? c.value : "(unset)");
    }
    ::unsetenv("NAS_BROADCAST_ADDRESS");
}

TEST(NetConfig, ReadersAlwaysSeeAWholeConfiguration) {
    constexpr int kReaders = 4;
    std::atomic<bool> stop{false};
    std::atomic<int> started{0};
    std::atomic<long> torn{0}, reads{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < kReaders; ++i) {
        readers.emplace_back([&] {
            ++started;
            while (!stop) {
                auto config = nas::CurrentNetConfig();
                if (config->tcpPort != config->udpPort + 1) ++torn;
                if (!config->clock.tickMs) ++torn;
                ++reads;
            }
        });
    }
    // Replacements go on until every reader runs and many reads overlapped them, however the
    // threads are scheduled.
    while (started < kReaders)
        std::this_thread::yield();
    const long readsBefore = reads;
    for (int n = 0; n < 2000 || reads - readsBefore < 2000; ++n) {
        nas::NetConfig config;
        config.udpPort = static_cast<uint16_t>(3000 + n % 20000);
        config.tcpPort = static_cast<uint16_t>(3001 + n % 20000);
        nas::SetNetConfig(config); // no clock given: the system's is filled in
    }
    stop = true;
    for (auto& reader : readers)
        reader.join();
    nas::ResetNetConfig();
    EXPECT_GE(reads.load() - readsBefore, 2000);
    EXPECT_EQ(torn.load(), 0);
}

TEST(LocalInterfaces, ExplicitListIsUsedAsGivenUpToEighty) {
    nas::NetConfig config = nastest::LoopbackConfig();
    std::vector<nas::LocalInterface> many;
    for (unsigned i = 1; i <= 90; ++i)
        many.push_back({nastest::Ipv4(127, 0, 1, i), 0xFFFFFF00u});
    config.localInterfaces = many;
    auto list = nas::LocalInterfaces(config);
    ASSERT_EQ(list.size(), 80u);
    EXPECT_EQ(list.front().address, nastest::Ipv4(127, 0, 1, 1));
    EXPECT_EQ(list.back().address, nastest::Ipv4(127, 0, 1, 80));
    EXPECT_EQ(nas::GetLocalHostAddress(config), nastest::Ipv4(127, 0, 1, 1));
}

// Runs inside the test namespace, where loopback is the only interface.
TEST(LocalInterfaces, SystemListHoldsTheInterfacesTheBroadcastReaches) {
    nas::NetConfig config = nas::NetConfig::Defaults();
    config.hostName = "localhost";
    config.broadcastAddress = nastest::Ipv4(127, 255, 255, 255);
    auto list = nas::LocalInterfaces(config);
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list.front().address, nastest::Ipv4(127, 0, 0, 1));
    EXPECT_EQ(list.front().mask, nastest::Ipv4(255, 0, 0, 0));

    config.broadcastAddress = 0xFFFFFFFFu; // the all-ones broadcast never goes out on loopback
    for (const nas::LocalInterface& local : nas::LocalInterfaces(config))
        EXPECT_NE(local.address >> 24, 127u) << std::hex << local.address;
}

TEST(Discovery, NoLocalNetworkFindsNothingAndSucceeds) {
    nas::NetConfig config = nastest::LoopbackConfig();
    config.localInterfaces = std::vector<nas::LocalInterface>{};
    nastest::ScopedNetConfig scope(config);
    std::vector<NasServerInfo> out(NAS_FIND_SERVER_MAX);
    int count = 99;
    EXPECT_EQ(NasApiFindServer(out.data(), &count), 0);
    EXPECT_EQ(count, 0);
}

} // namespace
