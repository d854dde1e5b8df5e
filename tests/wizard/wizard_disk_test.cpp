// The hard-disk initialisation page over the main window's CD-server branch and a simulated CD
// server: its drive slots and a RAID volume listed with their functions, added to the
// initialisation list in a mode, with the refusals for a repeated slot, No Init on a volume, the
// task manager's limit and an empty list.
// Before any Qt header: the simulator has a member named "slots".
#include "../cdserver/cdh_test_support.h"

#include "wizard_fixture.h"

#include "form1.h"

// The simulator's configuration has a member named like Qt's keyword macro.
#undef slots

namespace {

class WizardDiskTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        const std::uint16_t tcp = cdsim::FreeTcpPort();
        const std::uint16_t udp = cdsim::FreeUdpPort();
        SetCdhConfig(cdhtest::LoopbackConfig(tcp, udp));
        TcpSocketManager = new TTcpSocket(0x0101);
        // One CD server: slot 0 a disk in Mirror mode, slot 1 a disk not initialised, slot 2 a
        // CD-ROM; volume 9 a RAID volume in File mode.
        cdsim::ServerConfig config;
        config.address = cdsim::Ipv4(127, 0, 0, 77);
        config.tcpPort = tcp;
        config.udpPort = udp;
        config.name = "CDH-ONE";
        config.mac[5] = 0x5E;
        config.status.maskA = 0x04;
        config.status.maskB = 0x03;
        config.slots[0] = Slot(1, 0x01, "DISK-0");
        config.slots[1] = Slot(1, 0x00, "DISK-1");
        config.slots[2] = Slot(2, 0x00, "CDROM-2");
        cdsim::RaidVolume raid;
        raid.members = {0, 1};
        raid.kind = 2;
        raid.capacityMb = 2048;
        raid.freeMb = 1024;
        config.raid[1] = raid;
        cdServer_ = std::make_unique<cdsim::Server>(std::move(config));
        // The window's CD-server branch (a root the window itself never makes), read once.
        TForm_Central& w = Window();
        vcl::TTreeNode* root = w.TreeView->Items()->AddChild(w.DesktopNode, "CD Servers");
        root->SetImageIndex(nkCdhRoot);
        root->SetSelectedIndex(nkCdhRoot);
        w.CdhRootNode = root;
        ASSERT_EQ(w.RefreshCdhServers(), 1);
    }
    void TearDown() override {
        WizardTest::TearDown();
        cdServer_.reset();
        delete CdhServerList;
        CdhServerList = nullptr;
        delete TcpSocketManager;
        TcpSocketManager = nullptr;
        ResetCdhConfig();
    }
    static cdsim::SlotBlock Slot(std::uint16_t kind, std::uint8_t mode, const std::string& label) {
        cdsim::SlotBlock b;
        b.label = label;
        b.kind = kind;
        b.byte89 = mode;
        b.capacity = 512000;
        b.free = 256000;
        return b;
    }

    void Select(const std::vector<std::string>& labels) {
        vcl::TListView* list = Wizard().ListView_HdDetail;
        list->ClearSelection();
        for (int i = 0; i < list->Items()->Count(); ++i)
            for (const std::string& label : labels)
                if (list->Items()->Item(i)->GetCaption() == label)
                    list->Items()->Item(i)->SetSelected(true);
    }
    void ExpectKind(const std::string& part) {
        Responder().ExpectModal("Form1", [part](vcl::TForm& form) {
            auto& dialog = dynamic_cast<TForm1&>(form);
            EXPECT_NE(dialog.Label1->GetCaption().find(part), std::string::npos)
                << dialog.Label1->GetCaption();
            dialog.ButtonNumber(1)->Click();
        });
    }

    std::unique_ptr<cdsim::Server> cdServer_;
};

TEST_F(WizardDiskTest, SlotsAreListedAndMarkedForInitialisation) {
    TFmWizard& w = Wizard();
    w.StartJob(kJobInitializeHd);
    ASSERT_EQ(Kind(), kPageInitialHdList);
    ExpectButtons(false, false, true);
    EXPECT_EQ(w.ComboBox_HdInitialServer->GetText(), "CDH-ONE");
    // The CD-ROM is not listed; the rows are sorted by their labels.
    vcl::TListView* detail = w.ListView_HdDetail;
    ASSERT_EQ(detail->Items()->Count(), 3);
    EXPECT_EQ(detail->Items()->Item(0)->GetCaption(), "DISK-0");
    EXPECT_EQ(detail->Items()->Item(0)->SubItems()->Strings(0), "Mirror");
    EXPECT_EQ(detail->Items()->Item(1)->SubItems()->Strings(0), "No Init");
    EXPECT_EQ(detail->Items()->Item(2)->GetCaption(), "RAID-B");
    EXPECT_EQ(detail->Items()->Item(2)->SubItems()->Strings(0), "File");

    // Leaving with nothing listed.
    ExpectKind("Nothing selected");
    EXPECT_EQ(w.InitialHdListPage(1), 1);

    Select({"DISK-1"});
    w.Button_MirrorPartition->Click();
    ASSERT_EQ(w.ListView_HdInitial->Items()->Count(), 1);
    EXPECT_EQ(w.ListView_HdInitial->Items()->Item(0)->GetCaption(), "CDH-ONE");
    EXPECT_EQ(w.ListView_HdInitial->Items()->Item(0)->SubItems()->Strings(0), "DISK-1");
    EXPECT_EQ(w.ListView_HdInitial->Items()->Item(0)->SubItems()->Strings(1), "Mirror");
    ASSERT_EQ(WzdInfo.Jobs.size(), 1u);
    EXPECT_EQ(WzdInfo.Jobs[0]->HdInitDevice, 1);
    EXPECT_EQ(WzdInfo.Jobs[0]->HdInitMode, 1);
    EXPECT_EQ(w.InitialHdListPage(1), 0);

    Responder().ExpectBox("Job already exist.", vcl::IDOK);
    w.Button_FilePartition->Click();
    Select({"RAID-B"});
    Responder().ExpectBox("RAID-B can't be initialized to 'No Init'", vcl::IDOK);
    w.Button_NoInitPartition->Click();
    EXPECT_EQ(WzdInfo.Jobs.size(), 1u);

    // With 14 tasks and one entry, one more fits and two do not.
    AddWaitingTasks(14);
    Select({"DISK-0", "RAID-B"});
    Responder().ExpectBox("Job count over Task Manager's limitation !!", vcl::IDOK);
    w.Button_FilePartition->Click();
    Select({"RAID-B"});
    w.Button_FilePartition->Click();
    ASSERT_EQ(WzdInfo.Jobs.size(), 2u);
    EXPECT_EQ(WzdInfo.Jobs[1]->HdInitDevice, 9);
    EXPECT_EQ(WzdInfo.Jobs[1]->HdInitMode, 2);

    // Removing a row removes its entry.
    w.ListView_HdInitial->Items()->Item(0)->SetSelected(true);
    w.Button_RemoveHdInitial->Click();
    ASSERT_EQ(WzdInfo.Jobs.size(), 1u);
    EXPECT_EQ(w.ListView_HdInitial->Items()->Count(), 1);
    EXPECT_EQ(WzdInfo.Jobs[0]->HdInitDevice, 9);
}

} // namespace
