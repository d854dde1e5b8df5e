// The main window's timers against datagrams sent through a real loopback socket to its
// announcement port: ready and off-line announcements add and remove nodes and rows, a repeat of
// the last sender within 10 s is dropped (a hand-driven clock), datagrams of a wrong length change
// nothing, a unit going off-line while its folder is selected leaves nothing dangling, and the
// automatic refresh comes every RefreshInterval minutes of 10-second ticks.
#include "mainwin_fixture.h"

#include "clock/clock.h"
#include "fmwizard.h"
#include "nasannouncement.h"

#include "vcl/status_bar.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>

namespace {

using Strings = std::vector<std::string>;
using namespace std::chrono_literals;

// One announcement, laid out field by field: type (u16, little-endian) at 24, the sender's
// hardware address at 112, LAN 1's address (network order) at 200, name at 236, workgroup at 252
// and comment at 168.
std::vector<std::uint8_t> Announcement(int type, std::uint8_t id, const std::string& name,
                                       const std::string& comment = "", std::size_t size = 284) {
    std::vector<std::uint8_t> d(size, 0);
    auto put = [&](std::size_t at, const std::string& text, std::size_t room) {
        for (std::size_t i = 0; i < text.size() && i < room && at + i < d.size(); ++i)
            d[at + i] = static_cast<std::uint8_t>(text[i]);
    };
    if (size > 25) {
        d[24] = static_cast<std::uint8_t>(type);
        d[25] = static_cast<std::uint8_t>(type >> 8);
    }
    if (size >= 130) {
        d[112] = id;
        d[113] = 0x5A;
    }
    if (size >= 204) {
        const std::uint8_t address[4] = {127, 0, 66, id};
        std::memcpy(&d[200], address, 4);
    }
    put(236, name, 15);
    put(252, "LAB", 15);
    put(168, comment, 31);
    return d;
}

// Puts address (host order) into the datagram as LAN port lan's address (network order, at 200).
void NameAddress(std::vector<std::uint8_t>& d, int lan, std::uint32_t address) {
    for (int k = 0; k < 4; ++k)
        d[200 + 4 * static_cast<std::size_t>(lan) + static_cast<std::size_t>(k)] =
            static_cast<std::uint8_t>(address >> (24 - 8 * k));
}

class AnnounceTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        clock_.SetNow(std::chrono::system_clock::time_point(std::chrono::seconds(1'700'000'000)));
    }
    TForm_Central& Window() {
        TForm_Central& w = MakeWindow();
        // Ticks are driven by the test, one handler call each, so that a quiet poll happens only
        // where the test makes one.
        w.Timer_ABSENT->SetEnabled(false);
        w.Timer_Refresh->SetEnabled(false);
        return w;
    }
    void Tick() { W().Timer_ABSENT->OnTimer(W().Timer_ABSENT); }
    // Sent from the address it names, as a unit sends it, and taken at the next tick.
    void Deliver(const std::vector<std::uint8_t>& datagram) {
        SendDatagram(datagram);
        Tick();
    }
    std::string Status() { return W().StatusBar->Panels(1)->GetText(); }
    CNasServer* Found(const std::string& name) {
        for (const auto& s : W().NasSvrNet.Found())
            if (s->GetName() == name) return s.get();
        return nullptr;
    }

    platform::ManualClock clock_;
    platform::ScopedClock scoped_{clock_};
};

TEST_F(AnnounceTest, ReadyAndOfflineAnnouncementsAddAndRemoveNodesAndRows) {
    AddUnit(1, "alpha");
    TForm_Central& w = Window();
    ClickNode(w.NasServersNode);
    ASSERT_EQ(Captions(), (Strings{"alpha"}));

    Deliver(Announcement(8, 7, "zeta"));
    EXPECT_EQ(Status(), "Server zeta is ready.");
    EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{"alpha", "zeta"}));
    EXPECT_EQ(Captions(), (Strings{"alpha", "zeta"}));
    CNasServer* zeta = Found("zeta");
    ASSERT_NE(zeta, nullptr);
    // A second one ("beta") is sorted in among the others.
    Deliver(Announcement(8, 8, "beta"));
    EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{"alpha", "beta", "zeta"}));

    clock_.Advance(10s);
    Deliver(Announcement(9, 7, "zeta"));
    EXPECT_EQ(Status(), "Server zeta is off-line.");
    EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{"alpha", "beta"}));
    EXPECT_EQ(Captions(), (Strings{"alpha", "beta"}));
    EXPECT_EQ(Found("zeta"), nullptr);

    // An off-line unit nobody knows: only the status text.
    clock_.Advance(10s);
    Deliver(Announcement(9, 99, "ghost"));
    EXPECT_EQ(Status(), "Server ghost is off-line.");
    EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{"alpha", "beta"}));
}

TEST_F(AnnounceTest, RepeatOfTheLastSenderWithinTenSecondsIsDropped) {
    TForm_Central& w = Window();
    Deliver(Announcement(8, 7, "zeta", "first"));
    CNasServer* zeta = Found("zeta");
    ASSERT_NE(zeta, nullptr);
    EXPECT_EQ(zeta->GetComment(), "first");

    struct Step {
        std::chrono::seconds after;
        std::uint8_t id;
        std::string comment;
        bool taken;
    };
    // Each announcement taken or dropped renews the record's time.
    const Step steps[] = {
        {9s, 7, "repeat", false},   // same sender, 9 s later
        {9s, 7, "repeat 2", false}, // 9 s after the dropped one
        {10s, 7, "later", true},    // 10 s: taken
        {0s, 8, "other", true},     // another sender at once
        {0s, 7, "back", true},      // and the first again: the record holds the other
    };
    for (const Step& s : steps) {
        clock_.Advance(s.after);
        Deliver(Announcement(8, s.id, s.id == 7 ? "zeta" : "eta", s.comment));
        CNasServer* server = Found(s.id == 7 ? "zeta" : "eta");
        ASSERT_NE(server, nullptr) << s.comment;
        EXPECT_EQ(server->GetComment() == s.comment, s.taken) << s.comment;
    }

    // More than five quiet polls release the record and empty the status text; a repeat
    // afterwards is taken even within 10 s.
    for (int i = 0; i < 7; ++i)
        Tick();
    EXPECT_EQ(w.NasSvrNet.LastAnnouncement(), nullptr);
    EXPECT_EQ(Status(), "");
    Deliver(Announcement(8, 7, "zeta", "after release"));
    EXPECT_EQ(Found("zeta")->GetComment(), "after release");
}

TEST_F(AnnounceTest, DatagramsOfAnotherLengthOrTypeChangeNothing) {
    TForm_Central& w = Window();
    w.StatusBar->Panels(1)->SetText("before");
    for (std::size_t size : {283u, 300u, 1024u, 1u})
        Deliver(Announcement(8, 7, "zeta", "", size));
    Deliver(Announcement(5, 7, "zeta"));
    EXPECT_EQ(Status(), "before");
    EXPECT_EQ(Found("zeta"), nullptr);
    EXPECT_TRUE(ChildTexts(w.NasServersNode).empty());
}

// Under AddressSanitizer: the unit's folder node is selected and its rows shown when the unit
// goes; the selection moves to "NAS Servers" and nothing of the window points at the freed server.
TEST_F(AnnounceTest, UnitGoingOfflineWithItsFolderSelected) {
    AddUnit(1, "alpha", true, {"A"}, {Image("A/x.iso")});
    AddUnit(2, "beta");
    TForm_Central& w = Window();
    vcl::TTreeNode* alpha = Child(w.NasServersNode, "alpha");
    ASSERT_NE(alpha, nullptr);
    alpha->Expand(false);
    vcl::TTreeNode* folder = Child(alpha, "A");
    ASSERT_NE(folder, nullptr);
    ClickNode(folder);
    ASSERT_EQ(Captions(), (Strings{"x.iso"}));
    // Its tool-tip was shown, its node right-clicked.
    w.HintedNode = alpha;
    w.RightClickNode = folder;

    // The found unit's hardware address begins with its number (the fixture's units).
    Deliver(Announcement(9, 1, "alpha"));
    EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{"beta"}));
    EXPECT_EQ(w.TreeView->GetSelected(), w.NasServersNode);
    EXPECT_EQ(Captions(), (Strings{"beta"}));
    EXPECT_EQ(w.HintedNode, nullptr);
    EXPECT_EQ(w.RightClickNode, nullptr);
    // The window goes on: a click on the remaining unit, a hint tick, a refresh of the branch.
    ClickNode(Child(w.NasServersNode, "beta"));
    w.Timer_Hint->OnTimer(w.Timer_Hint);
    w.RefreshTreeNode(w.NasServersNode);
    EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{"alpha", "beta"}));
}

// A host that is not the unit (another loopback address) sends datagrams with a known unit's
// hardware address, name and comment: none changes the unit, its node, its row, the status text or
// the last-sender record. The unit's own announcements, right after them, still act.
TEST_F(AnnounceTest, DatagramsChangeOnlyWhatTheirSenderProves) {
    nassim::Unit& alpha = AddUnit(1, "alpha");
    TForm_Central& w = Window();
    ClickNode(w.NasServersNode);
    ASSERT_EQ(Captions(), (Strings{"alpha"}));
    const std::uint32_t forger = nassim::Ipv4(127, 0, 0, 200);
    const std::uint32_t unit = alpha.address();
    const std::uint32_t elsewhere = nassim::Ipv4(127, 0, 99, 1);
    struct Case {
        const char* what;
        int type;
        std::uint8_t id; // 1: the running unit's hardware address
        std::uint32_t named;
    };
    const Case cases[] = {
        {"ready naming another host", 8, 1, elsewhere},
        {"ready naming its sender", 8, 1, forger},
        {"ready naming the unit's address", 8, 1, unit},
        {"off-line naming the unit's address", 9, 1, unit},
        {"off-line naming its sender", 9, 1, forger},
        {"ready of a new unit naming another host", 8, 9, elsewhere},
        {"off-line of an unknown unit naming another host", 9, 9, elsewhere},
    };
    w.StatusBar->Panels(1)->SetText("before");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> d = Announcement(c.type, c.id, "alpha", "forged");
        NameAddress(d, 0, c.named);
        SendDatagram(d, forger);
        Tick();
        EXPECT_EQ(Status(), "before");
        EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{"alpha"}));
        EXPECT_EQ(Captions(), (Strings{"alpha"}));
        CNasServer* server = Found("alpha");
        ASSERT_NE(server, nullptr);
        EXPECT_EQ(server->GetLanIpText(0), "127.0.66.1");
        EXPECT_EQ(server->GetComment(), "unit 1");
    }

    // The unit's own announcement, at once: taken (no forged one renewed the last sender).
    ASSERT_TRUE(
        alpha.announce(nassim::kCommandReady, nassim::Ipv4(127, 0, 0, 1), AnnouncementPort));
    pollfd p{w.AnnounceSocket(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 10000), 1);
    Tick();
    EXPECT_EQ(Status(), "Server alpha is ready.");
    // From its own address, naming another address besides: taken, and the unit stays where
    // discovery found it.
    clock_.Advance(10s);
    std::vector<std::uint8_t> moved = Announcement(8, 1, "alpha", "moved");
    NameAddress(moved, 0, forger);
    NameAddress(moved, 1, unit);
    SendDatagram(moved, unit);
    Tick();
    CNasServer* server = Found("alpha");
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->GetComment(), "moved");
    EXPECT_EQ(server->GetLanIpText(0), "127.0.66.1");
    EXPECT_EQ(server->GetLanIpText(1), "0.0.0.0");
    // Its own off-line announcement removes it.
    clock_.Advance(10s);
    ASSERT_TRUE(
        alpha.announce(nassim::kCommandOffline, nassim::Ipv4(127, 0, 0, 1), AnnouncementPort));
    ASSERT_EQ(::poll(&p, 1, 10000), 1);
    Tick();
    EXPECT_EQ(Status(), "Server alpha is off-line.");
    EXPECT_TRUE(ChildTexts(w.NasServersNode).empty());
    EXPECT_TRUE(Captions().empty());
}

// 1,000 forged ready announcements (a host announcing units at addresses other than its own)
// arrive in bursts of 200 between ticks; a unit that starts meanwhile announces itself amid the
// last burst and appears at the tick that follows it.
TEST_F(AnnounceTest, AGenuineUnitAppearsAtTheNextTickAfterAFloodOfForgedSenders) {
    AddUnit(1, "alpha");
    TForm_Central& w = Window();
    ClickNode(w.NasServersNode);
    ASSERT_EQ(Captions(), (Strings{"alpha"}));
    nassim::Unit& beta = AddUnit(2, "beta", false);
    for (int i = 0; i < 1000; ++i) {
        std::vector<std::uint8_t> d = Announcement(8, 0, "forged");
        d[112] = static_cast<std::uint8_t>(i);
        d[113] = static_cast<std::uint8_t>(0x80 | (i >> 8));
        NameAddress(d, 0, nassim::Ipv4(127, 0, 99, 1 + static_cast<unsigned>(i) % 250));
        SendDatagram(d, nassim::Ipv4(127, 0, 0, 200));
        if (i == 900) {
            ASSERT_TRUE(
                beta.announce(nassim::kCommandReady, nassim::Ipv4(127, 0, 0, 1), AnnouncementPort));
        }
        if (i % 200 == 199) Tick();
    }
    EXPECT_EQ(Status(), "Server beta is ready.");
    EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{"alpha", "beta"}));
    EXPECT_EQ(Captions(), (Strings{"alpha", "beta"}));
    EXPECT_EQ(w.NasSvrNet.FoundCount(), 2);
}

// The refresh timer ticks every 10 s: a refresh every 6 x RefreshInterval + 1 ticks while a node
// is selected; a unit that appears meanwhile shows only after the refresh.
TEST_F(AnnounceTest, AutomaticRefreshCadence) {
    AddUnit(1, "alpha");
    TForm_Central& w = Window();
    w.IniData.RefreshInterval = 1;
    ClickNode(w.NasServersNode);
    AddUnit(2, "beta");
    auto tick = [&] { w.Timer_Refresh->OnTimer(w.Timer_Refresh); };
    for (int i = 0; i < 6; ++i)
        tick();
    EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{"alpha"}));
    tick();
    EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{"alpha", "beta"}));
    EXPECT_EQ(Captions(), (Strings{"alpha", "beta"}));

    // Switched off, nothing is counted; switched on again, a full interval runs from then.
    AddUnit(3, "gamma");
    w.IniData.RefreshEnable = 0;
    for (int i = 0; i < 10; ++i)
        tick();
    w.IniData.RefreshEnable = 1;
    for (int i = 0; i < 6; ++i)
        tick();
    EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{"alpha", "beta"}));
    // While the wizard refills its list, the timer neither refreshes nor counts.
    WizardRefreshing = 1;
    for (int i = 0; i < 5; ++i)
        tick();
    WizardRefreshing = 0;
    EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{"alpha", "beta"}));
    tick();
    EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{"alpha", "beta", "gamma"}));
}

} // namespace
