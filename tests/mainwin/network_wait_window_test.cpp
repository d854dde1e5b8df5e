// The main window never waits on the network for a refresh, a timer tick or a datagram, whatever
// the units that discovery replies and announcements name do (accept and never answer, trickle a
// byte every 15 s): the access library's call hook shows which thread makes each call. Closing
// the window gives up a background read stuck on a trickling unit (a generous watchdog checks
// the bound), and a command the user starts on a unit that trickles waits for it within the
// program's own limit, with the wait shown.
#include "../platform/watchdog.h"
#include "mainwin_fixture.h"

#include "about.h"
#include "form1.h"
#include "unit_call.h"

#include "vcl/screen.h"
#include "vcl/status_bar.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

// One library call as the hook saw it.
struct SeenCall {
    std::string Name;
    bool OnGui = false;
    std::string StatusText; // for calls made while the GUI thread waits: what it shows
    vcl::TCursor Cursor = vcl::crDefault;
};

// The calls the library makes, recorded from any thread.
struct CallLog {
    std::mutex Mutex;
    std::vector<SeenCall> Calls;
    std::thread::id Gui;

    std::vector<SeenCall> Snapshot() {
        std::lock_guard<std::mutex> lock(Mutex);
        return Calls;
    }
};

class NetworkWaitTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        log_->Gui = std::this_thread::get_id();
        nas::NetConfig config = *nas::CurrentNetConfig();
        // The library's own waits for a unit (the fixture shortens them for answering units):
        // what a silent or trickling unit meets in the program.
        const nas::NetConfig product = nas::NetConfig::Defaults();
        config.connectRaceMs = product.connectRaceMs;
        config.readinessWaitMs = product.readinessWaitMs;
        config.callDeadlineMs = product.callDeadlineMs;
        config.callObserver = [log = log_](const char* call) {
            SeenCall seen;
            seen.Name = call;
            seen.OnGui = std::this_thread::get_id() == log->Gui;
            // The image list is asked only while the GUI thread waits for it (blocked): what the
            // window shows then can be read here.
            if (!seen.OnGui && seen.Name == "NasApiGetImgList" && Form_Central &&
                Form_Central->StatusBar && vcl::Screen) {
                seen.StatusText = Form_Central->StatusBar->Panels(1)->GetText();
                seen.Cursor = vcl::Screen->GetCursor();
            }
            std::lock_guard<std::mutex> lock(log->Mutex);
            log->Calls.push_back(std::move(seen));
        };
        nas::SetNetConfig(config);
        Form1 = vcl::MakeForm<TForm1>(nullptr);
        // The splash the program shows before the window: the first paint ends it.
        Form_About = vcl::MakeForm<TForm_About>(nullptr);
        Form_About->Interactive = false;
    }
    void TearDown() override {
        if (Form_Central) {
            Form_Central->OnDestroy = nullptr;
            delete Form_Central;
            Form_Central = nullptr;
        }
        delete Form1;
        Form1 = nullptr;
        delete Form_About;
        Form_About = nullptr;
        MainWindowTest::TearDown();
    }

    // A unit on 127.0.66.id with image folders; fault and the pause between trickled bytes.
    nassim::Unit& Unit(std::uint8_t id, const std::string& name, bool discoverable,
                       nassim::Fault fault, std::vector<std::string> folders) {
        nassim::UnitConfig config;
        config.address = nassim::Ipv4(127, 0, 66, id);
        config.udpPort = discoverable ? udpPort_ : 0;
        config.tcpPort = tcpPort_;
        config.name = name;
        config.workgroup = "LAB";
        config.status = 1;
        config.capabilities = 1;
        config.hardwareAddress[0] = id;
        config.hardwareAddress[1] = 0x5A;
        config.lan[0].address = config.address;
        config.fault = fault;
        config.fragmentPause = 15s;
        config.state.imageFolders = std::move(folders);
        units_.push_back(std::make_unique<nassim::Unit>(config));
        return *units_.back();
    }

    // A ready announcement of unit id (image folders offered), sent from the unit's own address
    // to the window's port, as a unit sends it: type at 24, hardware address at 112,
    // capabilities at 132, LAN 1's address at 200, name at 236, workgroup at 252.
    void Announce(std::uint8_t id, const std::string& name) {
        std::vector<std::uint8_t> d(284, 0);
        d[24] = 8;
        d[112] = id;
        d[113] = 0x5A;
        d[132] = 1;
        const std::uint8_t address[4] = {127, 0, 66, id};
        std::memcpy(&d[200], address, 4);
        std::memcpy(&d[236], name.data(), std::min<std::size_t>(name.size(), 15));
        std::memcpy(&d[252], "LAB", 3);
        const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(s, 0);
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(nassim::Ipv4(127, 0, 66, id));
        ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(AnnouncementPort);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const ssize_t sent =
            ::sendto(s, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        ::close(s);
        ASSERT_EQ(sent, static_cast<ssize_t>(d.size()));
        pollfd p{W().AnnounceSocket(), POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 10000), 1) << "the datagram never arrived";
    }

    // The calls made on the GUI thread, but for discovery's broadcast (bounded by its own
    // collection time, whatever the replies name).
    std::vector<std::string> GuiCalls() {
        std::vector<std::string> names;
        for (const SeenCall& call : log_->Snapshot())
            if (call.OnGui && call.Name != "NasApiFindServer") names.push_back(call.Name);
        return names;
    }
    std::size_t CallsOffGui(const std::string& name) {
        std::size_t n = 0;
        for (const SeenCall& call : log_->Snapshot())
            if (!call.OnGui && call.Name == name) ++n;
        return n;
    }
    static bool AskedForFolders(const nassim::Unit& unit) {
        return !unit.requestsFor(nassim::kCommandImageFolderList).empty();
    }

    std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
};

TEST_F(NetworkWaitTest, RefreshTickAndDatagramsNeverWaitOnUnitsThatAreSilentOrTrickle) {
    Unit(1, "alpha", true, nassim::Fault::None, {"ISO"});
    nassim::Unit& mute = Unit(2, "mute", true, nassim::Fault::TcpSilence, {"M"});
    nassim::Unit& drip = Unit(3, "drip", true, nassim::Fault::Fragment, {"D"});
    nassim::Unit& hush = Unit(4, "hush", false, nassim::Fault::TcpSilence, {"H"});
    nassim::Unit& ooze = Unit(5, "ooze", false, nassim::Fault::Fragment, {"O"});
    const std::size_t waitsBefore = UnitWaitCount();

    // Building the tree runs discovery: every unit that replied has its node at once, and the
    // answering unit's folders come while the others' reads are stuck.
    TForm_Central& w = MakeWindow(false);
    w.Timer_ABSENT->SetEnabled(false);
    w.Timer_Refresh->SetEnabled(false);
    EXPECT_EQ(ChildTexts(w.NasServersNode), (std::vector<std::string>{"alpha", "drip", "mute"}));
    ASSERT_TRUE(PumpUntil([&] { return Child(Child(w.NasServersNode, "alpha"), "ISO"); }));
    ASSERT_TRUE(PumpUntil([&] { return AskedForFolders(mute) && AskedForFolders(drip); }));

    // The automatic refresh (its ticks as the timer gives them) with the units' branch shown.
    ClickNode(w.NasServersNode);
    w.IniData.RefreshEnable = 1;
    w.IniData.RefreshInterval = 1;
    for (int i = 0; i < 7; ++i)
        w.Timer_Refresh->OnTimer(w.Timer_Refresh);
    EXPECT_EQ(ChildTexts(w.NasServersNode), (std::vector<std::string>{"alpha", "drip", "mute"}));

    // Announcements of units no discovery found, each handled at a listener tick.
    Announce(4, "hush");
    w.Timer_ABSENT->OnTimer(w.Timer_ABSENT);
    Announce(5, "ooze");
    w.Timer_ABSENT->OnTimer(w.Timer_ABSENT);
    EXPECT_NE(Child(w.NasServersNode, "hush"), nullptr);
    EXPECT_NE(Child(w.NasServersNode, "ooze"), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return AskedForFolders(hush) && AskedForFolders(ooze); }));

    // Every unit was asked for its folders, none of it on the GUI thread, which never waited.
    EXPECT_GE(CallsOffGui("NasApiGetImgFolders"), 5u);
    EXPECT_EQ(GuiCalls(), std::vector<std::string>{});
    EXPECT_EQ(UnitWaitCount(), waitsBefore);
}

TEST_F(NetworkWaitTest, WindowClosesWhileAFolderReadIsStuckOnATricklingUnit) {
    nassim::Unit& drip = Unit(3, "drip", true, nassim::Fault::Fragment, {"D"});
    TForm_Central& w = MakeWindow(false);
    ASSERT_TRUE(PumpUntil([&] { return AskedForFolders(drip); }));
    ASSERT_EQ(w.FolderReadsPending(), 1u);
    {
        // The trickle keeps the read going for minutes (the library's whole-call limit).
        Watchdog dog(30s, "closing the main window during a stuck folder read");
        Form_Central->OnDestroy = nullptr;
        delete Form_Central;
        Form_Central = nullptr;
    }
}

TEST_F(NetworkWaitTest, ACommandOnATricklingUnitWaitsWithinItsLimitAndShowsIt) {
    nassim::Unit& late = Unit(6, "late", true, nassim::Fault::None, {"ISO"});
    TForm_Central& w = MakeWindow();
    w.Timer_ABSENT->SetEnabled(false);
    w.Timer_Refresh->SetEnabled(false);
    vcl::TTreeNode* folder = Child(Child(w.NasServersNode, "late"), "ISO");
    ASSERT_NE(folder, nullptr);
    late.setFault(nassim::Fault::Fragment); // from now on a byte every 15 s
    const std::string before = w.StatusBar->Panels(1)->GetText();
    const std::size_t waitsBefore = UnitWaitCount();

    {
        // The program's own limit for a command is kUnitCommandWait; the library alone would
        // follow the trickle for minutes.
        Watchdog dog(kUnitCommandWait / 1s * 4s, "listing the images of a trickling unit");
        ClickNode(folder);
    }
    EXPECT_EQ(Captions(), std::vector<std::string>{});
    EXPECT_EQ(UnitWaitCount(), waitsBefore + 1);
    EXPECT_EQ(GuiCalls(), std::vector<std::string>{});
    // While it waited, the window said so and showed the wait cursor; afterwards neither.
    bool seen = false;
    for (const SeenCall& call : log_->Snapshot())
        if (call.Name == "NasApiGetImgList") {
            seen = true;
            EXPECT_EQ(call.StatusText, "Waiting for server late to answer...");
            EXPECT_EQ(call.Cursor, vcl::crHourGlass);
        }
    EXPECT_TRUE(seen);
    EXPECT_EQ(w.StatusBar->Panels(1)->GetText(), before);
}

} // namespace
