// CNASSvrNet::Discover against simulated units answering a loopback broadcast. The program's
// library has the protocol's fixed ports; this test is linked with the library's own objects
// instead, so that its configuration can point discovery at ports of the test's own.
#include "nassvrnet.h"

#include "nassim.h"
#include "netconfig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using nassim::Ipv4;

// Units on one shared UDP port and one shared TCP port, and the library pointed at them.
class DiscoverTest : public ::testing::Test {
protected:
    void SetUp() override {
        udpPort_ = nassim::FreeUdpPort();
        tcpPort_ = nassim::FreeTcpPort();
        nas::NetConfig config = nas::NetConfig::Defaults();
        config.broadcastAddress = nassim::kLoopbackBroadcast;
        config.localInterfaces =
            std::vector<nas::LocalInterface>{{Ipv4(127, 0, 0, 1), 0xFF000000u}};
        config.hostName = "brimlet-test";
        config.discoveryLocalPort = 0;
        config.udpPort = udpPort_;
        config.tcpPort = tcpPort_;
        config.connectRaceMs = 2000;
        config.readinessWaitMs = 2000;
        nas::SetNetConfig(config);
    }
    void TearDown() override {
        units_.clear();
        nas::ResetNetConfig();
    }

    nassim::Unit& AddUnit(std::uint8_t n, const std::string& name, std::uint32_t capabilities,
                          std::vector<std::string> folders = {}) {
        nassim::UnitConfig config;
        config.address = Ipv4(127, 0, 64, n);
        config.udpPort = udpPort_;
        config.tcpPort = tcpPort_;
        config.name = name;
        config.capabilities = capabilities;
        config.hardwareAddress[0] = n;
        config.lan[0].address = config.address;
        config.state.imageFolders = std::move(folders);
        units_.push_back(std::make_unique<nassim::Unit>(config));
        return *units_.back();
    }

    static std::vector<std::string> Names(const CNASSvrNet::ServerList& servers) {
        std::vector<std::string> names;
        for (const auto& s : servers)
            names.push_back(s->GetName());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::uint16_t udpPort_ = 0;
    std::uint16_t tcpPort_ = 0;
    std::vector<std::unique_ptr<nassim::Unit>> units_;
};

TEST_F(DiscoverTest, NoAnswerLeavesTheFoundListEmpty) {
    CNASSvrNet list;
    EXPECT_EQ(list.Discover(), -1);
    EXPECT_EQ(list.FoundCount(), 0);
    EXPECT_EQ(list.RetiredCount(), 0);
}

TEST_F(DiscoverTest, AUnitIsOneObjectForAsLongAsItAnswersAndAgainWhenItComesBack) {
    nassim::Unit& mirror = AddUnit(2, "MIRROR", 1, {"Folder1", "Folder2"});
    nassim::Unit& plain = AddUnit(3, "PLAIN", 0, {"Hidden"});
    CNASSvrNet list;

    ASSERT_EQ(list.Discover(), 0);
    EXPECT_EQ(Names(list.Found()), (std::vector<std::string>{"MIRROR", "PLAIN"}));
    // Discovery asks no unit for its image folders (a background reader of the window does):
    // no address a reply names makes it wait.
    CNasServer* withFolders = list.FindByName("mirror");
    ASSERT_NE(withFolders, nullptr);
    EXPECT_EQ(withFolders->ImgFolderCount, 0);
    CNasServer* without = list.FindByName("plain");
    ASSERT_NE(without, nullptr);
    EXPECT_TRUE(mirror.requestsFor(nassim::kCommandImageFolderList).empty());
    EXPECT_TRUE(plain.requestsFor(nassim::kCommandImageFolderList).empty());

    // Credentials typed for a unit and the folders read for it stay with it; a new name
    // reaches the same object.
    std::strcpy(withFolders->Password, "secret");
    ASSERT_EQ(withFolders->RefreshImageFolders(), 0);
    EXPECT_EQ(withFolders->GetImgFolderName(1), "Folder2");
    units_.erase(units_.begin()); // the unit restarts under a new name with other folders
    AddUnit(2, "RENAMED", 1, {"Only"});
    ASSERT_EQ(list.Discover(), 0);
    EXPECT_EQ(list.FoundCount(), 2);
    EXPECT_EQ(list.RetiredCount(), 0);
    EXPECT_EQ(list.FindByName("renamed"), withFolders);
    EXPECT_STREQ(withFolders->Password, "secret");
    EXPECT_EQ(withFolders->ImgFolderCount, 2);
    EXPECT_EQ(withFolders->GetImgFolderName(1), "Folder2");
    EXPECT_EQ(list.FindByName("plain"), without);

    // A unit that no longer answers is retired, not freed, while something shares it.
    CNASSvrNet::ServerPtr held = list.Share(without->UnitHandle);
    ASSERT_EQ(held.get(), without);
    units_.erase(units_.begin()); // PLAIN
    ASSERT_EQ(list.Discover(), 0);
    EXPECT_EQ(Names(list.Found()), (std::vector<std::string>{"RENAMED"}));
    EXPECT_FALSE(list.IsLive(without->UnitHandle));
    EXPECT_TRUE(list.IsLive(withFolders->UnitHandle));
    EXPECT_EQ(list.RetiredCount(), 1);
    EXPECT_EQ(list.Sweep(), 0);
    EXPECT_EQ(held->GetName(), "PLAIN");

    // It comes back: the same object, live again.
    AddUnit(3, "PLAIN2", 0);
    ASSERT_EQ(list.Discover(), 0);
    EXPECT_EQ(list.FindByName("plain2"), without);
    EXPECT_TRUE(list.IsLive(without->UnitHandle));
    EXPECT_EQ(list.RetiredCount(), 0);

    // Nobody answers: every unit is retired, and those nobody holds are freed by the sweep.
    held.reset();
    units_.clear();
    EXPECT_EQ(list.Discover(), -1);
    EXPECT_EQ(list.FoundCount(), 0);
    EXPECT_EQ(list.RetiredCount(), 2);
    EXPECT_EQ(list.Sweep(), 2);
    EXPECT_EQ(list.RetiredCount(), 0);
}

} // namespace
