// The hard-disk initialisation page over the CD-server facade: a CD server's drive slots and a
// RAID volume listed with their functions, added to the initialisation list in a mode, with the
// refusals for a repeated slot, No Init on a volume, the task manager's limit and an empty list.
// Before any Qt header: the simulator has a member named "slots".
#include "../cdserver/cdh_test_support.h"

#include "wizard_fixture.h"

#include "form1.h"
#include "tovexcdh_frame.h"
#include "tovexcdh_records.h"

namespace {

class WizardDiskTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        vcl::Application->CreateForm(Form1);
        SetCdhConfig(cdhtest::LoopbackConfig(cdsim::FreeTcpPort(), cdsim::FreeUdpPort()));
        TcpSocketManager = new TTcpSocket(0x0101);
        // The list as discovery leaves it with one CD server that announced itself.
        CdhServerList = new TCdhNet();
        std::vector<std::uint8_t> reply(kCdhAnnounceSize, 0);
        const std::uint8_t mac[6] = {0, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
        std::copy(std::begin(mac), std::end(mac), reply.begin() + kCdhAnnOffMac);
        const std::string name = "CDH-ONE";
        std::copy(name.begin(), name.end(), reply.begin() + kCdhAnnOffName);
        reply[kCdhAnnOffFwMajor] = 2;
        CdhServerList->BeginRound();
        server_ = CdhServerList->MergeReply(reply.data());
        CdhServerList->EndRound();
        ASSERT_NE(server_, nullptr);
        // Slot 0: a disk in Mirror mode; slot 1: a disk not initialised; slot 2: a CD-ROM;
        // volume 9: a RAID volume in File mode.
        Slot(0, 1, 0x01, "DISK-0");
        Slot(1, 1, 0x00, "DISK-1");
        Slot(2, 2, 0x00, "CDROM-2");
        std::uint8_t* raid = server_->RaidVolumes[9 - 8];
        raid[kRdOffMemberCount] = 2;
        raid[kRdOffKind] = 2;
        raid[kRdOffMembers] = 0;
        raid[kRdOffMembers + 1] = 1;
    }
    void TearDown() override {
        delete Form1;
        Form1 = nullptr;
        WizardTest::TearDown();
        delete CdhServerList;
        CdhServerList = nullptr;
        delete TcpSocketManager;
        TcpSocketManager = nullptr;
        ResetCdhConfig();
    }
    void Slot(int slot, std::uint16_t kind, std::uint8_t mode, const std::string& label) {
        std::uint8_t* b = server_->SlotInfo[slot];
        std::copy(label.begin(), label.end(), b + kSlOffLabel);
        CdhPutU16(b + kSlOffKind, kind);
        b[kSlOffMode89] = mode;
        CdhPutU32(server_->Status + kStOffMaskB,
                  CdhGetU32(server_->Status + kStOffMaskB) | 1u << slot);
    }

    // The host: the facade, and a node refresh that succeeds.
    CDH_NET_CLASS* CdhNet() override { return &CdhNetClass(); }
    int RefreshCdhServerNode(TCdhSvr*) override { return 0; }

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

    TCdhSvr* server_ = nullptr;
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
    taskCount_ = 14;
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
