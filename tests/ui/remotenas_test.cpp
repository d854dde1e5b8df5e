// The remote NAS list: adding units by address against simulated units, refusals, removal with
// the tree nodes and rows that show an entry, the list order, the rebuild from the tree and the
// list's INI section.
//
// The program reaches units on the protocol's TCP port 2000: each simulated unit listens on that
// port at an address of its own (127.0.66.N), so that tests running side by side never meet.
#include "../platform/ui_fixture.h"

#include "msgbox.h"
#include "nasannouncement.h"
#include "nasserver.h"
#include "nassim.h"
#include "nassvrnet.h"
#include "remotenas.h"
#include "remotenas_settings.h"
#include "rmtnasip.h"
#include "utils.h"

#include "vcl/ini_file.h"
#include "vcl/screen.h"
#include "vcl/tree_view.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using nassim::Ipv4;

constexpr std::uint16_t kNasTcpPort = 2000;

std::array<std::uint8_t, kNasHardwareAddressSize> HardwareAddress(std::uint8_t seed) {
    std::array<std::uint8_t, kNasHardwareAddressSize> mac{};
    for (std::size_t i = 0; i < mac.size(); ++i)
        mac[i] = static_cast<std::uint8_t>(seed * 16 + i);
    return mac;
}

// A unit that answers on port 2000 at its address, which is also its LAN 0 address.
nassim::UnitConfig RemoteUnit(std::uint32_t address, const std::string& name, std::uint8_t seed) {
    nassim::UnitConfig unit;
    unit.address = address;
    unit.tcpPort = kNasTcpPort;
    unit.name = name;
    unit.lan[0] = {address, 0xFF000000u, 0};
    unit.hardwareAddress = HardwareAddress(seed);
    unit.status = 1;
    return unit;
}

// The record such a unit sends, made here for servers that no unit stands behind. Every address
// is a loopback one: the program may dial them.
NasServerInfo Record(const std::string& name, std::uint8_t seed, std::uint32_t lan0,
                     std::uint32_t lan1 = 0) {
    NasServerInfo record{};
    std::strncpy(record.name, name.c_str(), sizeof record.name - 1);
    record.ipAddress[0] = lan0;
    record.ipAddress[1] = lan1;
    const auto mac = HardwareAddress(seed);
    std::memcpy(record.hardwareAddress, mac.data(), mac.size());
    return record;
}

// A ready announcement carrying a hardware address and a name.
std::vector<std::uint8_t> Announcement(std::uint8_t seed, const std::string& name) {
    std::vector<std::uint8_t> datagram(kNasAnnouncementSize, 0);
    datagram[kNasAnnouncementTypeOffset] = kNasAnnouncementReady;
    const auto mac = HardwareAddress(seed);
    std::memcpy(datagram.data() + kNasAnnouncementHardwareOffset, mac.data(), mac.size());
    std::memcpy(datagram.data() + 236, name.data(), std::min<std::size_t>(name.size(), 16));
    return datagram;
}

bool InRemoteList(CNASSvrNet& servers, NasUnitHandle unit) {
    for (const auto& s : servers.Remote())
        if (s->UnitHandle == unit) return true;
    return false;
}

// The main window's side: its server list and a tree with a Remote Servers node.
class TestHost : public TRemoteNasHost {
public:
    CNASSvrNet servers;
    vcl::TTreeNode* node = nullptr;
    std::vector<NasUnitHandle> going;
    std::vector<bool> goingWhileListed; // the server was still in the remote list when told

    CNASSvrNet& ServerList() override { return servers; }
    vcl::TTreeNode* RemoteServersNode() override { return node; }
    void RemoteServerGoing(NasUnitHandle unit) override {
        going.push_back(unit);
        goingWhileListed.push_back(InRemoteList(servers, unit));
    }
};

class RemoteNasTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        savedLanguage_ = LanguageIndex;
        LanguageIndex = 0;
        vcl::Application->CreateForm(Form_RemoteNAS);
        vcl::Application->CreateForm(Form_AddNASIP);
        Form_RemoteNAS->SetHost(&host_);
        window_ = vcl::MakeForm<vcl::TForm>(nullptr);
        tree_ = vcl::Make<vcl::TTreeView>(window_, window_, "TreeView");
        host_.node = tree_->Items()->Add(nullptr, "Remote Servers");
    }
    void TearDown() override {
        delete Form_RemoteNAS;
        delete Form_AddNASIP;
        delete window_;
        LanguageIndex = savedLanguage_;
        UiTest::TearDown();
    }

    // The next add-address dialog takes text and OK.
    void ExpectAddressTyped(const std::string& text) {
        Responder().ExpectModal("Form_AddNASIP", [text](vcl::TForm& form) {
            auto& dialog = dynamic_cast<TForm_AddNASIP&>(form);
            dialog.MaskEdit_IP_Single->SetText(text);
            dialog.AddOK->Click();
        });
    }

    static std::vector<std::string> EntryAddresses(const TForm_RemoteNAS& list) {
        std::vector<std::string> out;
        for (const RMT_NAS_DATA* e = list.GetRemoteList(); e; e = e->Next)
            out.push_back(utils::IpToText(e->Address));
        return out;
    }
    static std::vector<std::string> RowCaptions(TForm_RemoteNAS& list) {
        std::vector<std::string> out;
        for (int i = 0; i < list.NASListView->Items()->Count(); ++i)
            out.push_back(list.NASListView->Items()->Item(i)->GetCaption());
        return out;
    }
    std::vector<std::string> TreeTexts() const {
        std::vector<std::string> out;
        for (vcl::TTreeNode* c = host_.node->GetFirstChild(); c; c = c->GetNextSibling())
            out.push_back(
                c->GetData() ? host_.servers.Share(NasUnitHandle::FromData(c->GetData()))->GetName()
                             : c->GetText());
        return out;
    }
    vcl::TTreeNode* AddNode(const std::string& text, CNasServer* server) {
        vcl::TTreeNode* child = tree_->Items()->AddChild(host_.node, text);
        child->SetData(server ? server->UnitHandle.Data() : nullptr);
        return child;
    }

    TestHost host_;
    vcl::TForm* window_ = nullptr;
    vcl::TTreeView* tree_ = nullptr;
    int savedLanguage_ = 0;
};

TEST_F(RemoteNasTest, CreationSetsTheTexts) {
    TForm_RemoteNAS& list = *Form_RemoteNAS;
    EXPECT_EQ(list.GetCaption(), "Remote NAS List");
    EXPECT_EQ(list.Label1->GetCaption(), "Remote NAS List:");
    EXPECT_EQ(list.btNASAdd->GetCaption(), "Add");
    EXPECT_EQ(list.btNASDelete->GetCaption(), "Delete");
    EXPECT_EQ(list.btNASClose->GetCaption(), "Close");
    EXPECT_EQ(list.NASListView->GetViewStyle(), vcl::vsReport);
    ASSERT_EQ(list.NASListView->Columns()->Count(), 2);
    EXPECT_EQ(list.NASListView->Columns()->Items(0)->GetCaption(), "NAS IP Address");
    EXPECT_EQ(list.NASListView->Columns()->Items(1)->GetCaption(), "NAS Name");
    EXPECT_EQ(list.GetRemoteList(), nullptr);
    EXPECT_FALSE(list.IsChanged());
}

TEST_F(RemoteNasTest, AddedUnitsGoFirstWithTheirNamesAndRemoteServers) {
    nassim::Unit alpha(RemoteUnit(Ipv4(127, 0, 66, 1), "ALPHA", 1));
    nassim::Unit bravo(RemoteUnit(Ipv4(127, 0, 66, 2), "BRAVO", 2));
    TForm_RemoteNAS& list = *Form_RemoteNAS;

    ExpectAddressTyped("127.0.66.1");
    list.btNASAddClick(nullptr);
    ExpectAddressTyped("127  .0  .66 .2  ");
    list.btNASAddClick(nullptr);

    EXPECT_TRUE(list.IsChanged());
    EXPECT_EQ(EntryAddresses(list), (std::vector<std::string>{"127.0.66.2", "127.0.66.1"}));
    EXPECT_EQ(RowCaptions(list), (std::vector<std::string>{"127.0.66.2", "127.0.66.1"}));
    const RMT_NAS_DATA* head = list.GetRemoteList();
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->Name, "BRAVO");
    EXPECT_EQ(head->Next->Name, "ALPHA");
    EXPECT_EQ(list.GetLastEntry(), head->Next);
    EXPECT_EQ(list.NASListView->Items()->Item(0)->SubItems()->Strings(0), "BRAVO");
    EXPECT_EQ(list.NASListView->Items()->Item(0)->GetData(), head);

    // Each entry holds its unit's remote server, made from the record the unit sent.
    EXPECT_EQ(host_.servers.RemoteCount(), 2);
    for (const RMT_NAS_DATA* e = head; e; e = e->Next) {
        const CNASSvrNet::ServerPtr server = host_.servers.Share(e->Unit);
        ASSERT_NE(server, nullptr);
        EXPECT_TRUE(InRemoteList(host_.servers, e->Unit));
        EXPECT_EQ(server->RemoteFlag, 1);
        EXPECT_EQ(server->Info.ipAddress[0], e->Address);
    }
    EXPECT_EQ(host_.servers.Share(head->Unit)->Info.hardwareAddress[0], HardwareAddress(2)[0]);
    for (nassim::Unit* unit : {&alpha, &bravo}) {
        const auto asked = unit->requestsFor(nassim::kCommandServerInfo);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].via, nassim::Via::Tcp);
    }
    EXPECT_EQ(vcl::Screen->GetCursor(), vcl::crDefault);

    // Showing the dialog lists the entries newest first; closing it changes nothing.
    list.ClearChanged();
    Responder().ExpectModal("Form_RemoteNAS", [&](vcl::TForm&) {
        EXPECT_EQ(RowCaptions(list), (std::vector<std::string>{"127.0.66.2", "127.0.66.1"}));
        list.btNASClose->Click();
    });
    list.ShowModal();
    EXPECT_FALSE(list.IsChanged());
}

TEST_F(RemoteNasTest, UnreachableAndKnownUnitsAreNotAdded) {
    nassim::Unit charlie(RemoteUnit(Ipv4(127, 0, 66, 4), "CHARLIE", 4));
    nassim::Unit delta(RemoteUnit(Ipv4(127, 0, 66, 5), "DELTA", 5));
    TForm_RemoteNAS& list = *Form_RemoteNAS;
    // Discovery knows CHARLIE already (it announced itself).
    ASSERT_NE(host_.servers.AddFromAnnouncement(Announcement(4, "CHARLIE")), nullptr);
    ExpectAddressTyped("127.0.66.5");
    list.btNASAddClick(nullptr);
    ASSERT_EQ(list.EntryCount(), 1);
    list.ClearChanged();

    struct Case {
        const char* typed;
        const char* text;
        const char* caption;
    };
    const Case cases[] = {
        {"127.0.66.3", "The NAS cannot be found : 127.0.66.3", "Error"},  // nothing answers
        {"127.0.66.4", "NAS Server already exists : CHARLIE", "Quorvik"}, // in the found list
        {"127.0.66.5", "NAS Server already exists : DELTA", "Quorvik"},   // in the remote list
    };
    for (const Case& c : cases) {
        ExpectAddressTyped(c.typed);
        Responder().ExpectBox(c.text, vcl::IDOK);
        list.btNASAddClick(nullptr);
        ASSERT_FALSE(Responder().Boxes().empty());
        const vcl::TMessageBoxRequest& box = Responder().Boxes().back().Request;
        EXPECT_EQ(box.Text, c.text);
        EXPECT_EQ(box.Caption, c.caption);
        EXPECT_EQ(box.Icon, vcl::TBoxIcon::Stop);
        EXPECT_EQ(vcl::Screen->GetCursor(), vcl::crDefault);
    }
    EXPECT_EQ(list.EntryCount(), 1);
    EXPECT_EQ(list.NASListView->Items()->Count(), 1);
    EXPECT_EQ(host_.servers.RemoteCount(), 1);
    EXPECT_EQ(host_.servers.FoundCount(), 1);
    EXPECT_FALSE(list.IsChanged());
    EXPECT_EQ(charlie.requestsFor(nassim::kCommandServerInfo).size(), 1u);
    EXPECT_EQ(delta.requestsFor(nassim::kCommandServerInfo).size(), 2u);
}

TEST_F(RemoteNasTest, CancelledAddChangesNothing) {
    TForm_RemoteNAS& list = *Form_RemoteNAS;
    Responder().ExpectModal("Form_RemoteNAS", [&](vcl::TForm&) {
        list.btNASAdd->Click();
        list.btNASClose->Click();
    });
    Responder().ExpectModal("Form_AddNASIP", [](vcl::TForm& form) {
        auto& dialog = dynamic_cast<TForm_AddNASIP&>(form);
        dialog.MaskEdit_IP_Single->SetText("127.0.66.6");
        dialog.AddCancel->Click();
    });
    list.ShowModal();
    EXPECT_EQ(list.EntryCount(), 0);
    EXPECT_EQ(list.NASListView->Items()->Count(), 0);
    EXPECT_FALSE(list.IsChanged());
    EXPECT_TRUE(Responder().Boxes().empty());
}

TEST_F(RemoteNasTest, DeleteRemovesExactlyThatEntryWithItsRowAndNode) {
    TForm_RemoteNAS& list = *Form_RemoteNAS;
    CNasServer* romeo = host_.servers.AddRemote(Record("ROMEO", 7, Ipv4(127, 0, 66, 7)));
    ASSERT_NE(romeo, nullptr);
    RMT_NAS_DATA* reachable = list.AddEntry(Ipv4(127, 0, 66, 7));
    reachable->Name = "ROMEO";
    reachable->Unit = romeo->UnitHandle;
    list.AddEntry(Ipv4(127, 0, 66, 8));
    RMT_NAS_DATA* newest = list.AddEntry(Ipv4(127, 0, 66, 9));
    // The tree as the main window builds it from the list, head first.
    AddNode("127.0.66.9", nullptr);
    AddNode("127.0.66.8", nullptr);
    AddNode("ROMEO", romeo);

    Responder().ExpectModal("Form_RemoteNAS", [&](vcl::TForm&) {
        ASSERT_EQ(RowCaptions(list),
                  (std::vector<std::string>{"127.0.66.9", "127.0.66.8", "127.0.66.7"}));
        // Delete with nothing selected does nothing.
        list.btNASDelete->Click();
        EXPECT_FALSE(list.IsChanged());

        // The unreachable entry in the middle.
        list.NASListView->Items()->Item(1)->SetSelected(true);
        list.btNASDelete->Click();
        EXPECT_TRUE(list.IsChanged());
        EXPECT_EQ(RowCaptions(list), (std::vector<std::string>{"127.0.66.9", "127.0.66.7"}));
        EXPECT_EQ(EntryAddresses(list), (std::vector<std::string>{"127.0.66.9", "127.0.66.7"}));
        EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"127.0.66.9", "ROMEO"}));
        EXPECT_TRUE(host_.going.empty());

        // The reachable tail: its server goes, and nothing that showed it stays.
        list.NASListView->Items()->Item(1)->SetSelected(true);
        list.btNASDelete->Click();
        list.btNASClose->Click();
    });
    list.ShowModal();
    EXPECT_EQ(RowCaptions(list), (std::vector<std::string>{"127.0.66.9"}));
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"127.0.66.9"}));
    EXPECT_EQ(host_.servers.RemoteCount(), 0);
    EXPECT_EQ(host_.going, (std::vector<NasUnitHandle>{romeo->UnitHandle}));
    EXPECT_EQ(host_.goingWhileListed, (std::vector<bool>{true}));
    EXPECT_EQ(list.GetRemoteList(), newest);
    EXPECT_EQ(list.GetLastEntry(), newest);
    EXPECT_EQ(newest->Next, nullptr);

    // An entry that is not in the list is refused; the last one leaves the list empty.
    RMT_NAS_DATA stray;
    EXPECT_EQ(list.RemoveEntry(&stray), -1);
    EXPECT_EQ(list.RemoveEntry(nullptr), -1);
    EXPECT_EQ(list.EntryCount(), 1);
    EXPECT_EQ(list.RemoveEntry(newest), 0);
    EXPECT_EQ(list.GetRemoteList(), nullptr);
    EXPECT_EQ(list.GetLastEntry(), nullptr);
    EXPECT_EQ(list.NASListView->Items()->Count(), 0);
    EXPECT_TRUE(TreeTexts().empty());
}

TEST_F(RemoteNasTest, AServerSharedByTwoEntriesStaysUntilTheLastOneGoes) {
    TForm_RemoteNAS& list = *Form_RemoteNAS;
    CNasServer* sierra = host_.servers.AddRemote(Record("SIERRA", 10, Ipv4(127, 0, 66, 10)));
    ASSERT_NE(sierra, nullptr);
    RMT_NAS_DATA* first = list.AddEntry(Ipv4(127, 0, 66, 10));
    RMT_NAS_DATA* second = list.AddEntry(Ipv4(127, 0, 66, 11));
    first->Unit = second->Unit = sierra->UnitHandle;
    AddNode("SIERRA", sierra);

    EXPECT_EQ(list.RemoveEntry(first), 0);
    EXPECT_TRUE(InRemoteList(host_.servers, sierra->UnitHandle));
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"SIERRA"}));
    EXPECT_TRUE(host_.going.empty());
    EXPECT_EQ(host_.servers.Share(second->Unit)->GetName(), "SIERRA"); // still a live server

    EXPECT_EQ(list.RemoveEntry(second), 0);
    EXPECT_EQ(host_.servers.RemoteCount(), 0);
    EXPECT_TRUE(TreeTexts().empty());
    EXPECT_EQ(host_.going, (std::vector<NasUnitHandle>{sierra->UnitHandle}));
}

TEST_F(RemoteNasTest, SyncFromTreeRebuildsAnEmptyListInTheTreesOrder) {
    nassim::Unit foxtrot(RemoteUnit(Ipv4(127, 0, 66, 12), "FOXTROT", 12));
    TForm_RemoteNAS& list = *Form_RemoteNAS;
    // LAN 0 does not answer, LAN 1 does: the entry takes the address that answers.
    CNasServer* reachable =
        host_.servers.AddRemote(Record("FOXTROT", 12, Ipv4(127, 0, 66, 16), Ipv4(127, 0, 66, 12)));
    // A unit that is away: nothing answers at its second address.
    CNasServer* away = host_.servers.AddRemote(Record("GOLF", 13, 0, Ipv4(127, 0, 66, 13)));
    ASSERT_TRUE(reachable && away);

    vcl::TTreeNode* root = host_.node;
    host_.node = nullptr;
    list.SyncFromTree(); // no Remote Servers node: nothing to read
    EXPECT_EQ(list.EntryCount(), 0);
    host_.node = root;

    AddNode("FOXTROT", reachable);
    AddNode("127.0.66.14", nullptr);
    AddNode("not an address", nullptr);
    AddNode("GOLF", away);
    list.SyncFromTree();

    EXPECT_EQ(EntryAddresses(list),
              (std::vector<std::string>{"127.0.66.12", "127.0.66.14", "127.0.66.13"}));
    const RMT_NAS_DATA* e = list.GetRemoteList();
    EXPECT_EQ(e->Name, "FOXTROT");
    EXPECT_EQ(e->Unit, reachable->UnitHandle);
    EXPECT_EQ(e->Next->Name, "127.0.66.14");
    EXPECT_FALSE(e->Next->Unit);
    EXPECT_EQ(e->Next->Next->Name, "GOLF");
    EXPECT_EQ(e->Next->Next->Unit, away->UnitHandle);
    EXPECT_EQ(list.GetLastEntry(), e->Next->Next);

    // A list that has entries is left alone.
    AddNode("127.0.66.15", nullptr);
    list.SyncFromTree();
    EXPECT_EQ(list.EntryCount(), 3);
}

class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "remotenas_test.XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : "";
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const char* name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(RemoteNasTest, SettingsSectionKeepsTheListOrder) {
    TempFolder folder;
    const std::string path = folder.File("brimlet.ini");
    TForm_RemoteNAS& list = *Form_RemoteNAS;
    list.AddEntry(Ipv4(127, 0, 66, 21))->Name = "ONE";
    list.AddEntry(Ipv4(127, 0, 66, 22))->Name = "TWO\r\nLINES";
    list.AddEntry(Ipv4(127, 0, 66, 23));
    {
        vcl::TIniFile ini(path);
        SaveRemoteNasSettings(ini, list);
    }
    const std::string text = ReadAll(path);
    EXPECT_NE(text.find("[Remote NAS List]"), std::string::npos) << text;
    EXPECT_NE(text.find("IP1=127.0.66.23"), std::string::npos) << text;
    EXPECT_NE(text.find("NAS1=----"), std::string::npos) << text;
    EXPECT_NE(text.find("NAS2=TWO  LINES"), std::string::npos) << text;
    EXPECT_NE(text.find("IP3=127.0.66.21"), std::string::npos) << text;
    EXPECT_NE(text.find("NASNumber=3"), std::string::npos) << text;

    auto* loaded = vcl::MakeForm<TForm_RemoteNAS>(nullptr);
    LoadRemoteNasSettings(vcl::TIniFile(path), *loaded);
    EXPECT_EQ(EntryAddresses(*loaded), EntryAddresses(list));
    EXPECT_EQ(loaded->GetRemoteList()->Name, "----");
    delete loaded;
}

TEST_F(RemoteNasTest, SettingsLoaderSkipsWhatIsNoAddress) {
    TempFolder folder;
    const std::string path = folder.File("brimlet.ini");
    std::ofstream(path) << "[Remote NAS List]\n"
                           "NASNumber=2000000000\n"
                           "IP1=127.0.66.31\n"
                           "IP2=999.1.1.1\n"
                           "IP3=abc\n"
                           "IP4=\n"
                           "IP5=127.0.66.35\n"
                           "[Other]\n"
                           "IP6=127.0.66.36\n";
    TForm_RemoteNAS& list = *Form_RemoteNAS;
    LoadRemoteNasSettings(vcl::TIniFile(path), list);
    EXPECT_EQ(EntryAddresses(list), (std::vector<std::string>{"127.0.66.31", "127.0.66.35"}));

    std::ofstream(path) << "[Remote NAS List]\nNASNumber=-4\nIP1=127.0.66.31\n";
    auto* other = vcl::MakeForm<TForm_RemoteNAS>(nullptr);
    LoadRemoteNasSettings(vcl::TIniFile(path), *other);
    EXPECT_EQ(other->EntryCount(), 0);
    delete other;
}

} // namespace
