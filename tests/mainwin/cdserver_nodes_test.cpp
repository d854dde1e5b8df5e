// The CD-server branch of the main window with a root node put in by the test (the window never
// makes one): discovery makes a node per answering server, the property sheet shows the server,
// a server that leaves is pruned, and without the root every operation gives its no-branch
// answer. A server with devices of every kind gets a node per device, each node's list and
// status text, the warnings of the kinds that have one, and the re-reading of a device that
// fails once.
// The simulator's header comes before any Qt header, whose "slots" macro it would meet.
#include "../cdserver/cdh_test_support.h"

#include "mainwin_fixture.h"

#include "about.h"
#include "form1.h"
#include "form_property.h"
#include "msgbox.h"

#include "shell/shell.h"
#include "vcl/menus.h"
#include "vcl/status_bar.h"

#include <QApplication>

#include <cstring>

// The simulator's configuration has a member named like Qt's keyword macro, which this file needs
// for no class of its own.
#undef slots

namespace {

using Strings = std::vector<std::string>;

class CdhNodesTest : public MainWindowTest {
protected:
    using MainWindowTest::W;
    using UiTest::W;

    void SetUp() override {
        MainWindowTest::SetUp();
        cdhTcp_ = cdsim::FreeTcpPort();
        cdhUdp_ = cdsim::FreeUdpPort();
        SetCdhConfig(cdhtest::LoopbackConfig(cdhTcp_, cdhUdp_));
        TcpSocketManager = new TTcpSocket(0x0101);
        Form_About = vcl::MakeForm<TForm_About>(nullptr);
        Form_About->Interactive = true;
        Form1 = vcl::MakeForm<TForm1>(nullptr);
    }
    void TearDown() override {
        delete Form1;
        Form1 = nullptr;
        delete Form_Property;
        delete Form_Central;
        Form_Central = nullptr;
        servers_.clear();
        delete CdhServerList;
        CdhServerList = nullptr;
        delete TcpSocketManager;
        TcpSocketManager = nullptr;
        ResetCdhConfig();
        delete Form_About;
        Form_About = nullptr;
        MainWindowTest::TearDown();
    }
    cdsim::Server& StartCdServer(unsigned last, const std::string& name,
                                 cdsim::ServerConfig config = {}) {
        config.address = cdsim::Ipv4(127, 0, 0, last);
        config.tcpPort = cdhTcp_;
        config.udpPort = cdhUdp_;
        config.name = name;
        config.mac[5] = static_cast<std::uint8_t>(last);
        servers_.push_back(std::make_unique<cdsim::Server>(std::move(config)));
        return *servers_.back();
    }

    // A server with a device of each kind: three hard disks (mirror, file, not initialised), a
    // CD-ROM drive in cache mode, a CD writer, a tape, and two RAID volumes (mirror, not
    // initialised); entries on the first disk, backup sets on the tape, and three share groups.
    static cdsim::ServerConfig Equipped() {
        cdsim::ServerConfig c;
        c.secondName = "LAB";
        c.description = "rack 1";
        c.status.maskA = 0x18; // CD drives in slots 3 and 4
        c.status.maskB = 0x07; // hard disks in slots 0 to 2
        c.status.groupCount = 3;
        const auto disk = [](const std::string& label, std::uint8_t mode, std::uint16_t entries) {
            cdsim::SlotBlock b;
            b.label = label;
            b.kind = 1;
            b.byte89 = mode;
            b.entryCount = entries;
            b.capacity = 512000; // 1000 MB
            b.free = 256000;
            return b;
        };
        c.slots[0] = disk("hd01", 1, 3);
        c.slots[1] = disk("hd02", 2, 0);
        c.slots[2] = disk("hd03", 0, 0);
        cdsim::SlotBlock cd;
        cd.label = "cd01";
        cd.kind = 2;
        cd.byte89 = 1;
        c.slots[3] = cd;
        cdsim::SlotBlock writer;
        writer.label = "cdr1";
        writer.kind = 3;
        writer.byte89 = 3;
        writer.byte88 = 0x08;
        c.slots[4] = writer;
        cdsim::VolumeEntry tape;
        tape.block.label = "tape1";
        tape.block.kind = 4;
        tape.slot = 5;
        c.volumes.push_back(tape);
        cdsim::RaidVolume mirror;
        mirror.members = {0, 1};
        mirror.kind = 1;
        mirror.capacityMb = 2048;
        mirror.freeMb = 1024;
        c.raid[0] = mirror;
        cdsim::RaidVolume bare;
        bare.members = {2};
        c.raid[1] = bare;
        cdsim::Entry title{"Title A", 0, 0, 0, 0, 1, 100};
        cdsim::Entry image{"Disc B", 1, 0, 1, 1, 2, 51200}; // mirroring, an image of a mirror
        cdsim::Entry file{"Notes", 0, 0, 3, 0, 3, 0};
        c.entries[0] = {title, image, file};
        cdsim::TapeHeader header;
        header.kind = 1;
        header.setCount = 2;
        header.onTape = 1;
        header.firstSet = 1;
        header.sets = {{100, "Monday"}, {200, "Tuesday"}};
        c.tapes[5] = header;
        c.groups = {{"SYS", 251, 0, 0}, {"Team", 5, 1, 0x02}, {"Vol", 6, 2, 0}};
        return c;
    }

    // The window with a root put in, the servers read once.
    vcl::TTreeNode* WindowWithRoot() {
        TForm_Central& w = MakeWindow();
        EXPECT_TRUE(PumpUntil([] { return !FirstIdlePending; }));
        vcl::TTreeNode* root = w.TreeView->Items()->AddChild(w.DesktopNode, "CD Servers");
        root->SetImageIndex(nkCdhRoot);
        root->SetSelectedIndex(nkCdhRoot);
        w.CdhRootNode = root;
        EXPECT_GE(w.RefreshCdhServers(), 1);
        return root;
    }

    // The next modal dialog is the kind dialog with text in its message; it is answered by the
    // button with that caption.
    void ExpectKindMessage(const std::string& text, const std::string& button = "OK") {
        Responder().ExpectModal("Form1", [text, button](vcl::TForm& form) {
            auto& dialog = dynamic_cast<TForm1&>(form);
            EXPECT_NE(dialog.Label1->GetCaption().find(text), std::string::npos)
                << dialog.Label1->GetCaption();
            for (int n = 1; n <= 5; ++n) {
                vcl::TButton* b = dialog.ButtonNumber(n);
                std::string caption = b->GetCaption();
                std::erase(caption, '&');
                if (b->GetVisible() && caption == button) {
                    b->Click();
                    return;
                }
            }
            ADD_FAILURE() << "no button " << button;
            form.SetModalResult(vcl::mrCancel);
        });
    }
    std::string Status() { return W().StatusBar->Panels(0)->GetText(); }
    static std::vector<int> ChildKinds(vcl::TTreeNode* node) {
        std::vector<int> kinds;
        for (int i = 0; node && i < node->Count(); ++i)
            kinds.push_back(node->Item(i)->GetImageIndex());
        return kinds;
    }
    std::vector<int> RowKinds() {
        std::vector<int> kinds;
        for (int i = 0; i < W().ListView->Items()->Count(); ++i)
            kinds.push_back(W().ListView->Items()->Item(i)->GetImageIndex());
        return kinds;
    }
    // A real right-click on a node, choosing an item of its menu.
    void RightClickNode(vcl::TTreeNode* node, vcl::TMenuItem* choose) {
        PopupScript popup;
        popup.choose = choose;
        node->MakeVisible();
        const vcl::TRect r = node->DisplayRect(true);
        const QPoint at(r.Left + 3, (r.Top + r.Bottom) / 2);
        QTest::mousePress(Viewport(W().TreeView), Qt::RightButton, {}, at);
        QTest::mouseRelease(Viewport(W().TreeView), Qt::RightButton, {}, at);
    }
    std::size_t RequestsOf(std::uint16_t command) const {
        std::size_t n = 0;
        for (const cdsim::Request& r : servers_.front()->requests())
            n += r.command == command;
        return n;
    }

    std::uint16_t cdhTcp_ = 0, cdhUdp_ = 0;
    std::vector<std::unique_ptr<cdsim::Server>> servers_;
};

TEST_F(CdhNodesTest, WithoutItsRootTheBranchIsNeverTouched) {
    StartCdServer(2, "CDH-ONE");
    TForm_Central& w = MakeWindow();
    ASSERT_EQ(w.CdhRootNode, nullptr);
    const Strings desktop = ChildTexts(w.DesktopNode);
    EXPECT_EQ(w.BuildCdhServerTree(), -1);
    EXPECT_EQ(w.RefreshCdhServers(), 0);
    EXPECT_EQ(w.BuildCdhServerNode(nullptr), nullptr);
    w.DeleteCdhServerNode(nullptr);
    w.PruneServerNodes();
    EXPECT_EQ(ChildTexts(w.DesktopNode), desktop);
    // No discovery was asked for: the server saw nothing.
    EXPECT_TRUE(servers_[0]->requests().empty());
}

TEST_F(CdhNodesTest, AnInjectedRootGetsANodePerAnsweringServer) {
    StartCdServer(2, "CDH-ONE");
    StartCdServer(3, "CDH-TWO");
    TForm_Central& w = MakeWindow();
    ASSERT_TRUE(PumpUntil([] { return !FirstIdlePending; }));
    vcl::TTreeNode* root = w.TreeView->Items()->AddChild(w.DesktopNode, "CD Servers");
    root->SetImageIndex(nkCdhRoot);
    root->SetSelectedIndex(nkCdhRoot);
    w.CdhRootNode = root;

    EXPECT_EQ(w.RefreshCdhServers(), 2);
    EXPECT_EQ(ChildTexts(root), (Strings{"CDH-ONE", "CDH-TWO"}));
    for (int i = 0; i < root->Count(); ++i)
        EXPECT_EQ(root->Item(i)->GetImageIndex(), 15) << root->Item(i)->GetText();

    // The server's property page, from its node's right-click menu.
    vcl::TTreeNode* one = Child(root, "CDH-ONE");
    QApplication::setActiveWindow(W(&w));
    ClickNode(w.DesktopNode);
    Responder().ExpectModal("Form_Property", [&](vcl::TForm& form) {
        auto& p = static_cast<TForm_Property&>(form);
        EXPECT_EQ(p.PageControl_Property->GetActivePage(), p.TabSheet_Server);
        EXPECT_EQ(p.Label_ServerName->GetCaption(), "CDH-ONE");
        EXPECT_EQ(p.Label_Ip->GetCaption(), "127.0.0.2");
        form.SetModalResult(vcl::mrOk);
    });
    {
        PopupScript popup;
        popup.choose = w.MenuItem_RightProperty;
        one->MakeVisible();
        const vcl::TRect r = one->DisplayRect(true);
        const QPoint at(r.Left + 3, (r.Top + r.Bottom) / 2);
        QTest::mousePress(Viewport(w.TreeView), Qt::RightButton, {}, at);
        QTest::mouseRelease(Viewport(w.TreeView), Qt::RightButton, {}, at);
    }
    EXPECT_EQ(Responder().Pending(), 0);

    // A server that no longer answers leaves the branch at the next discovery.
    servers_.pop_back();
    EXPECT_EQ(w.RefreshCdhServers(), 1);
    EXPECT_EQ(ChildTexts(root), Strings{"CDH-ONE"});
}

TEST_F(CdhNodesTest, EachDeviceGetsItsNodeListStatusAndWarning) {
    StartCdServer(2, "CDH-ONE", Equipped());
    vcl::TTreeNode* root = WindowWithRoot();
    TForm_Central& w = W();
    vcl::TTreeNode* server = Child(root, "CDH-ONE");
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(ChildTexts(server), (Strings{"hd01", "hd02", "hd03", "cd01", "cdr1", "tape1",
                                           "RAID-A", "RAID-B", "Share Folder(s)"}));
    EXPECT_EQ(ChildKinds(server), (std::vector<int>{18, 19, 20, 21, 23, 41, 42, 44, 29}));

    struct Case {
        vcl::TTreeNode* node;
        Strings rows;
        std::vector<int> kinds;
        std::string status;
        std::string warning; // the kind dialog's text part, if any
    };
    const Case cases[] = {
        {root, {"CDH-ONE|LAB|127.0.0.2||V2.00 |rack 1"}, {15}, "1 Server(s)", ""},
        {server,
         {"RAID-A|RAID (Mirror Device)|0|- - - -|2 GB|1 GB",
          "RAID-B|RAID (No Init)|0|- - - -|0 MB|0 MB",
          "Share Folder(s)|- - - -|- - - -|3|- - - -|- - - -",
          "cd01|CD-ROM (Cache Mode)|0|- - - -|0 MB|0 MB",
          "cdr1|CD-R (CD Record Mode)|0|- - - -|0 MB|0 MB",
          "hd01|Target Location|3|- - - -|1,000 MB|500 MB",
          "hd02|HD (File Device)|0|- - - -|1,000 MB|500 MB",
          "hd03|HD (No Init)|0|- - - -|1,000 MB|500 MB",
          "tape1|Tape Device|0|- - - -|0 MB|- - - - - - -"},
         {42, 44, 29, 21, 23, 18, 19, 20, 41},
         "3 HD(s), 1 Tape Device(s), 2 RAID(s), 2 CD-ROM(s), 1 'Share Folder(s)'",
         ""},
        {Child(server, "hd01"),
         {"Disc B|Image[M]|100 MB|Mirroring", "Notes|File|0 MB|", "Title A|CD Title|200 KB|"},
         {58, 25, 27},
         "3 Volume(s)",
         ""},
        {Child(server, "hd03"), {}, {}, " ( No Init )", "The Device is not initialized."},
        {Child(server, "tape1"),
         {"Monday|Image Backup|200 KB|not on Tape", "Tuesday|Image Backup|400 KB|Full Volume"},
         {45, 46},
         "2 Volume(s)",
         ""},
        {Child(server, "RAID-B"), {}, {}, " ( No Init )", "The Device is not initialized."},
        {Child(server, "Share Folder(s)"),
         {"SYS|System|No", "Team|Grouping|Yes", "Vol|Volume|No"},
         {30, 31, 32},
         "3 Share(s)",
         ""},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.node, nullptr);
        SCOPED_TRACE(c.node->GetText());
        if (!c.warning.empty()) ExpectKindMessage(c.warning);
        ClickNode(c.node);
        ASSERT_EQ(w.TreeView->GetSelected(), c.node);
        EXPECT_EQ(Rows(), c.rows);
        EXPECT_EQ(RowKinds(), c.kinds);
        EXPECT_EQ(Status(), c.status);
        EXPECT_EQ(Responder().Pending(), 0);
    }
}

TEST_F(CdhNodesTest, ADeviceThatWentIsRemovedWithItsMessage) {
    StartCdServer(2, "CDH-ONE", Equipped());
    vcl::TTreeNode* root = WindowWithRoot();
    TForm_Central& w = W();
    vcl::TTreeNode* server = Child(root, "CDH-ONE");
    ASSERT_NE(server, nullptr);
    vcl::TTreeNode* disk = Child(server, "hd01");
    ClickNode(disk);

    // The server comes back without its CD writer and its second RAID volume.
    cdsim::ServerConfig fewer = Equipped();
    fewer.slots[4].reset();
    fewer.status.maskA = 0x08;
    fewer.raid[1].reset();
    servers_.clear();
    StartCdServer(2, "CDH-ONE", fewer);

    // Refresh of a device node reads its server (the parent's) again.
    QApplication::setActiveWindow(W(&w));
    ExpectKindMessage("Device : RAID-B not found.");
    ExpectKindMessage("Device : cdr1 not found.");
    RightClickNode(disk, w.MenuItem_RightRefresh);
    EXPECT_EQ(Responder().Pending(), 0);
    EXPECT_EQ(ChildTexts(server),
              (Strings{"hd01", "hd02", "hd03", "cd01", "tape1", "RAID-A", "Share Folder(s)"}));
    EXPECT_EQ(w.TreeView->GetSelected(), disk);
    EXPECT_EQ(Captions(), (Strings{"Disc B", "Notes", "Title A"}));
}

TEST_F(CdhNodesTest, ADeviceThatFailsToLoadIsReadAgainOnceAfterItsServer) {
    cdsim::Server& sim = StartCdServer(2, "CDH-ONE", Equipped());
    vcl::TTreeNode* root = WindowWithRoot();
    TForm_Central& w = W();
    vcl::TTreeNode* server = Child(root, "CDH-ONE");
    ASSERT_NE(server, nullptr);
    vcl::TTreeNode* disk = Child(server, "hd01");
    ClickNode(disk);
    QApplication::setActiveWindow(W(&w));

    // Selecting the disk again loads its slot. Failing once: the server's devices are read
    // again and the second load works, silently.
    ClickNode(server);
    sim.addFault(cdhtest::Fault(cdsim::kSlotInfo, 1, cdsim::FaultKind::CloseWithoutReply));
    const std::size_t statusReads = RequestsOf(cdsim::kStatus);
    ClickNode(disk);
    EXPECT_EQ(RequestsOf(cdsim::kStatus), statusReads + 1);
    EXPECT_EQ(w.TreeView->GetSelected(), disk);
    EXPECT_EQ(Captions(), (Strings{"Disc B", "Notes", "Title A"}));

    // Failing every time: after the second failure the user is told, and the list is empty.
    ClickNode(server);
    sim.addFault(cdhtest::Fault(cdsim::kSlotEntries, 0, cdsim::FaultKind::CloseWithoutReply));
    ExpectKindMessage("Can't get any volume information.", "Cancel");
    ClickNode(disk);
    EXPECT_EQ(Responder().Pending(), 0);
    EXPECT_EQ(w.TreeView->GetSelected(), disk);
    EXPECT_EQ(Captions(), Strings{});
    EXPECT_EQ(Status(), "0 Volume(s)");
}

TEST_F(CdhNodesTest, RowsOpenTheirDeviceOrPageAndSelectedRowsShowTheirSize) {
    StartCdServer(2, "CDH-ONE", Equipped());
    vcl::TTreeNode* root = WindowWithRoot();
    TForm_Central& w = W();
    vcl::TTreeNode* server = Child(root, "CDH-ONE");
    ASSERT_NE(server, nullptr);
    platform::RecordingShell shell;
    QWidget* viewport = Viewport(w.ListView);
    const auto rowAt = [&](const std::string& caption) {
        for (int i = 0; i < w.ListView->Items()->Count(); ++i) {
            vcl::TListItem* row = w.ListView->Items()->Item(i);
            if (row->GetCaption() != caption) continue;
            const vcl::TRect r = row->DisplayRect();
            return QPoint(r.Left + 5, (r.Top + r.Bottom) / 2);
        }
        ADD_FAILURE() << "no row " << caption;
        return QPoint();
    };
    const auto doubleClick = [&](const std::string& caption) {
        const QPoint at = rowAt(caption);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    };

    ClickNode(server);
    doubleClick("hd01");
    ASSERT_EQ(w.TreeView->GetSelected(), Child(server, "hd01"));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, rowAt("Disc B"));
    EXPECT_EQ(Status(), "1 Select 1 Volume(s) , 100 MB");
    doubleClick("Notes");
    ClickNode(Child(server, "tape1"));
    doubleClick("Tuesday");
    EXPECT_EQ(shell.Opened, (Strings{"http://127.0.0.2/admin/shman.cgi?ShareVol",
                                     "http://127.0.0.2/admin/devices.cgi?TapeStatus&5"}));
}

TEST_F(CdhNodesTest, ADevicesPropertyPageReadsItsServerFirst) {
    StartCdServer(2, "CDH-ONE", Equipped());
    vcl::TTreeNode* root = WindowWithRoot();
    TForm_Central& w = W();
    vcl::TTreeNode* server = Child(root, "CDH-ONE");
    ASSERT_NE(server, nullptr);
    ClickNode(server);
    const std::size_t statusReads = RequestsOf(cdsim::kStatus);
    Responder().ExpectModal("Form_Property", [&](vcl::TForm& form) {
        auto& p = static_cast<TForm_Property&>(form);
        EXPECT_EQ(p.PageControl_Property->GetActivePage(), p.TabSheet_CdhDevice);
        EXPECT_EQ(p.Label_CdhDeviceName->GetCaption(), "cdr1");
        EXPECT_EQ(p.Label_CdhDeviceType->GetCaption(), "CD-R (CD Record Mode)");
        form.SetModalResult(vcl::mrOk);
    });
    RightClickNode(Child(server, "cdr1"), w.MenuItem_RightProperty);
    EXPECT_EQ(Responder().Pending(), 0);
    EXPECT_EQ(RequestsOf(cdsim::kStatus), statusReads + 1);
    EXPECT_EQ(w.TreeView->GetSelected(), server);
}

TEST_F(CdhNodesTest, UnreachableAndUnsetServersWarnOnSelection) {
    StartCdServer(2, "CDH-ONE", Equipped());
    StartCdServer(3, "CDH-TWO");
    vcl::TTreeNode* root = WindowWithRoot();
    TForm_Central& w = W();
    vcl::TTreeNode* one = Child(root, "CDH-ONE");
    vcl::TTreeNode* two = Child(root, "CDH-TWO");
    ASSERT_TRUE(one && two);
    ClickNode(root);

    // A server that stops answering: its devices go, the user is told, and selecting it warns.
    servers_.erase(servers_.begin());
    QApplication::setActiveWindow(W(&w));
    ExpectKindMessage("Can't Get Device Information.");
    EXPECT_EQ(w.RefreshCdhServerNode(static_cast<TCdhSvr*>(one->GetData())), 0);
    EXPECT_EQ(one->GetImageIndex(), 17);
    EXPECT_EQ(one->Count(), 0);
    ExpectKindMessage("Can't Get Device Information.");
    ExpectKindMessage("Server : CDH-ONE");
    ClickNode(one);
    EXPECT_EQ(Responder().Pending(), 0);
    EXPECT_EQ(Status(), " ( Connection Error )");
    EXPECT_EQ(Captions(), Strings{});

    // A server at the factory address: no devices, nothing asked of it, and selecting it
    // offers its setup.
    auto* twoRecord = static_cast<TCdhSvr*>(two->GetData());
    const std::uint8_t factory[4] = {192, 168, 1, 1};
    std::memcpy(twoRecord->IpAddress, factory, 4);
    w.UpdateCdhServerNode(two, twoRecord);
    EXPECT_EQ(two->GetImageIndex(), 16);
    ExpectKindMessage("CDH-TWO", "No");
    ClickNode(two);
    EXPECT_EQ(Responder().Pending(), 0);
    const std::size_t asked = servers_.front()->requests().size();
    EXPECT_EQ(w.RefreshCdhDeviceNodes(twoRecord), 0);
    EXPECT_EQ(servers_.front()->requests().size(), asked);
    EXPECT_EQ(two->GetImageIndex(), 16);
    EXPECT_EQ(two->Count(), 0);
    EXPECT_EQ(Status(), " ( Un-initialized )");
    EXPECT_EQ(Captions(), Strings{});
}

} // namespace
