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

    static std::vector<std::string> Names(CNasServer* head) {
        std::vector<std::string> names;
        for (CNasServer* s = head; s && names.size() < 300; s = s->Next)
            names.push_back(s->GetName());
        std::sort(names.begin(), names.end());
        return names;
    }
    static int Length(CNasServer* head) {
        int n = 0;
        for (CNasServer* s = head; s && n < 300; s = s->Next)
            ++n;
        return n;
    }

    std::uint16_t udpPort_ = 0;
    std::uint16_t tcpPort_ = 0;
    std::vector<std::unique_ptr<nassim::Unit>> units_;
};

TEST_F(DiscoverTest, NoAnswerLeavesTheFoundListEmpty) {
    CNASSvrNet list;
    EXPECT_EQ(list.Discover(), -1);
    EXPECT_EQ(list.FirstFound(), nullptr);
    EXPECT_EQ(list.FoundCount(), 0);
    EXPECT_EQ(list.FirstPrevious(), nullptr);
}

TEST_F(DiscoverTest, TwoDiscoveriesHandTheFoundListToThePreviousList) {
    nassim::Unit& mirror = AddUnit(2, "MIRROR", 1, {"Folder1", "Folder2"});
    nassim::Unit& plain = AddUnit(3, "PLAIN", 0, {"Hidden"});
    CNASSvrNet list;

    ASSERT_EQ(list.Discover(), 0);
    EXPECT_EQ(Names(list.FirstFound()), (std::vector<std::string>{"MIRROR", "PLAIN"}));
    EXPECT_EQ(list.FoundCount(), 2);
    EXPECT_EQ(Length(list.FirstFound()), list.FoundCount());
    EXPECT_EQ(list.FirstPrevious(), nullptr);
    // Units with image folders have them read during discovery; others are not asked.
    CNasServer* withFolders = list.FindByName("mirror");
    ASSERT_NE(withFolders, nullptr);
    EXPECT_EQ(withFolders->ImgFolderCount, 2);
    EXPECT_EQ(withFolders->GetImgFolderName(1), "Folder2");
    EXPECT_EQ(list.FindByName("plain")->ImgFolderCount, 0);
    EXPECT_EQ(mirror.requestsFor(nassim::kCommandImageFolderList).size(), 1u);
    EXPECT_TRUE(plain.requestsFor(nassim::kCommandImageFolderList).empty());

    CNasServer* first = list.FirstFound();
    CNasServer* second = first->Next;
    ASSERT_EQ(list.Discover(), 0);
    // The entries of the first discovery live on as the previous list, for the tree to match.
    EXPECT_EQ(list.FirstPrevious(), first);
    EXPECT_EQ(first->Next, second);
    EXPECT_EQ(list.PreviousCount(), 2);
    EXPECT_EQ(list.FoundCount(), 2);
    EXPECT_NE(list.FirstFound(), first);
    EXPECT_EQ(list.FindByRecord(first)->GetName(), first->GetName());

    // A third discovery without the previous list freed: the oldest list goes.
    units_.pop_back();
    ASSERT_EQ(list.Discover(), 0);
    EXPECT_EQ(Names(list.FirstFound()), (std::vector<std::string>{"MIRROR"}));
    EXPECT_EQ(list.FoundCount(), 1);
    EXPECT_EQ(list.PreviousCount(), 2);
    EXPECT_EQ(Names(list.FirstPrevious()), (std::vector<std::string>{"MIRROR", "PLAIN"}));
    // The tree matches its nodes by record: the unit still there is found, the one gone is not.
    for (CNasServer* earlier = list.FirstPrevious(); earlier; earlier = earlier->Next) {
        const bool stays = earlier->GetName() == "MIRROR";
        EXPECT_EQ(list.FindByRecord(earlier), stays ? list.FirstFound() : nullptr);
    }
    list.FreePreviousList();
    EXPECT_EQ(list.FirstPrevious(), nullptr);
    EXPECT_EQ(list.PreviousCount(), 0);

    // Nobody answers: the found list moves on and stays empty.
    units_.clear();
    EXPECT_EQ(list.Discover(), -1);
    EXPECT_EQ(list.FoundCount(), 0);
    EXPECT_EQ(list.FirstFound(), nullptr);
    EXPECT_EQ(Names(list.FirstPrevious()), (std::vector<std::string>{"MIRROR"}));
}

} // namespace
