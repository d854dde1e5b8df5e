// The local drives under My Computer against simulated drives: their nodes and lists, the disc
// warning when a drive is selected, disc removal and arrival (letters in either case, anything
// else refused), and the drives unlocked when the window closes.
#include "mainwin_fixture.h"

#include "about.h"
#include "cdrom.h"
#include "form1.h"
#include "scsicdd.h"
#include "sim_machine.h"

#include "vcl/status_bar.h"

namespace {

using Strings = std::vector<std::string>;

class DriveNodesTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        auto& adapter = machine_.AddAdapter("ATAPI SIM");
        data_ = machine_.AddDrive(adapter, 0, 0, "DATA", discsim::MakeDataCd(3000)); // D:
        empty_ = machine_.AddDrive(adapter, 1, 0, "EMPTY", std::nullopt);            // E:
        machine_.Start().SetSleeper([](std::uint32_t) {});
        Form1 = vcl::MakeForm<TForm1>(nullptr);
        Form_About = vcl::MakeForm<TForm_About>(nullptr); // the splash, ended by the first paint
        Form_About->Interactive = false;
    }
    void TearDown() override {
        delete Form_Central;
        Form_Central = nullptr;
        delete Form1;
        Form1 = nullptr;
        delete Form_About;
        Form_About = nullptr;
        MainWindowTest::TearDown();
    }
    vcl::TTreeNode* Drive(char letter) {
        return W().FindChildNodeByData(W().MyComputerNode,
                                       reinterpret_cast<void*>(static_cast<std::intptr_t>(letter)));
    }
    std::string Status() { return W().StatusBar->Panels(0)->GetText(); }

    SimMachine machine_;
    std::shared_ptr<discsim::Drive> data_, empty_;
};

TEST_F(DriveNodesTest, DrivesShowAsNodesAndListsAndWarnWithoutADisc) {
    TForm_Central& w = MakeWindow();
    ASSERT_TRUE(PumpUntil([] { return !FirstIdlePending; })); // Desktop selected at first idle
    EXPECT_EQ(ChildTexts(w.MyComputerNode), (Strings{"(D:)SIMULATED_DISC", "(E:)- Empty -"}));
    ASSERT_NE(Drive('D'), nullptr);
    EXPECT_EQ(Drive('D')->GetImageIndex(), nkCdDrive);

    ClickNode(w.MyComputerNode);
    EXPECT_EQ(Captions(), (Strings{"(D:)SIMULATED_DISC", "(E:)- Empty -"}));
    EXPECT_EQ(Status(), "2 CD-ROM(s)");

    ClickNode(Drive('D'));
    PumpFor(std::chrono::milliseconds(20));
    ASSERT_EQ(w.TreeView->GetSelected(), Drive('D'));
    ASSERT_EQ(w.ListView->Items()->Count(), 1);
    vcl::TListItem* disc = w.ListView->Items()->Item(0);
    EXPECT_EQ(disc->GetCaption(), "SIMULATED_DISC");
    EXPECT_EQ(disc->GetImageIndex(), nkDiscData);
    EXPECT_EQ(disc->SubItems()->Strings(0), "CD-Data");
    EXPECT_EQ(w.GetCaption(), "Quorvik  --  (D:)SIMULATED_DISC");
    EXPECT_EQ(Status().rfind("1 Disc , ", 0), 0u) << Status();

    // Selecting the empty drive warns each time it is selected.
    for (int i = 0; i < 2; ++i) {
        Responder().ExpectBox("No disc in CD/DVD-ROM", vcl::IDOK);
        w.TreeView->SetSelected(Drive('E'));
        EXPECT_EQ(w.ListView->Items()->Count(), 0);
        EXPECT_EQ(Status(), "Not Ready !!");
        w.TreeView->SetSelected(w.MyComputerNode);
    }
}

TEST_F(DriveNodesTest, RemovalAndArrivalUpdateTheNodeWithoutWarnings) {
    TForm_Central& w = MakeWindow();
    w.TreeView->SetSelected(Drive('D'));
    ASSERT_EQ(w.ListView->Items()->Count(), 1);

    data_->setDisc(std::nullopt);
    w.CDEventAfterRemove(nullptr, 'd'); // lower case: the same drive
    EXPECT_EQ(Drive('D')->GetText(), "(D:)- Empty -");
    EXPECT_EQ(w.ListView->Items()->Count(), 0); // refilled, and no "No disc" box meanwhile
    EXPECT_TRUE(w.FormReady);

    data_->setDisc(discsim::MakeAudioCd({4500, 3000}));
    data_->closeTray();
    // The first look after a change may find the drive still becoming ready.
    for (int i = 0; i < 3 && w.ListView->Items()->Count() == 0; ++i)
        w.CDEventAfterArrival(nullptr, 'D');
    ASSERT_EQ(w.ListView->Items()->Count(), 1);
    EXPECT_EQ(w.ListView->Items()->Item(0)->GetImageIndex(), nkDiscAudio);
    EXPECT_EQ(Drive('D')->GetText(), CdromTable().GetDriveCaption('D'));
    EXPECT_EQ(w.MyComputerNode->Count(), 2);

    // Anything but a letter is refused with the operation's text, and nothing changes.
    Responder().ExpectBox("CDEventAfterArrival(),input error!", vcl::IDOK);
    w.CDEventAfterArrival(nullptr, '1');
    Responder().ExpectBox("CDEventAfterRemove(),input error!", vcl::IDOK);
    w.CDEventAfterRemove(nullptr, '#');
    EXPECT_EQ(w.MyComputerNode->Count(), 2);
}

TEST_F(DriveNodesTest, ClosingUnlocksEveryDrive) {
    TForm_Central& w = MakeWindow();
    ASSERT_EQ(CdromTable().GetDevice('D')->Lock(true), 0);
    EXPECT_TRUE(data_->locked());
    w.Close();
    EXPECT_FALSE(data_->locked());
}

} // namespace
