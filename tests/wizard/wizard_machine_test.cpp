// The page machine over all 12 jobs: the pages each job visits, Back, Next and OK as they show and
// enable, the skip of the CD recording page, the switch to the container jobs for a Video CD,
// Back keeping what a page shows, and the reset when the wizard closes.
#include "wizard_fixture.h"

#include "devices/mounts.h"

#include <filesystem>
#include <fstream>
#include <map>

namespace {

class WizardMachineTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        discFolder_ = std::filesystem::path(home_) / "disc";
        std::filesystem::create_directories(discFolder_ / "MPEGAV");
        std::ofstream(discFolder_ / "MPEGAV" / "AVSEQ01.DAT") << "video";
        // The discs of D: and E: are mounted at discFolder_.
        mounts_ = std::make_unique<platform::devices::ScopedMountTable>(
            "40 30 0:52 / " + discFolder_.string() + " ro - iso9660 sim:VIDEO ro\n" +
            "41 30 0:53 / " + discFolder_.string() + " ro - iso9660 sim:DATA ro\n");
        // "My Container" of the window with one folder.
        Window();
        ASSERT_NE(MyContainer().GetRoot(), nullptr);
        MyContainer().ImportHostPath(MyContainer().GetRoot(), nullptr,
                                     (discFolder_ / "MPEGAV").string());
    }
    void TearDown() override {
        WizardTest::TearDown();
        mounts_.reset();
    }

    // Does what the user does on the current page so that Next is accepted.
    void Satisfy(int kind, bool writerDestination) {
        TFmWizard& w = Wizard();
        switch (kind) {
        case kPageLocalCdrom:
            // The drive the case names.
            for (int i = 0; i < w.ListView_LocalCdrom->Items()->Count(); ++i) {
                vcl::TListItem* row = w.ListView_LocalCdrom->Items()->Item(i);
                row->SetSelected(row->GetCaption().rfind(std::string("(") + drive_ + ":)", 0) == 0);
            }
            break;
        case kPageDestination:
            if (WzdInfo.Job == kJobUploadIso) {
                const auto iso = discFolder_ / "image.iso";
                std::ofstream(iso) << std::string(4096, 'x');
                w.Edit_ISOSourceName->SetText(iso.string());
            }
            if (w.ListView_MethodResult->Items()->Count() == 0)
                AddDestination(*units_[writerDestination ? 0 : 1]);
            break;
        case kPageVolumeName:
            if (w.RadioButton_UserDefineVolume->GetChecked() &&
                w.Edit_UserDefineVolume->GetText().empty()) {
                w.Edit_UserDefineVolume->SetText("LABEL");
                w.bbUpdateVolume->Click();
            }
            break;
        case kPageCdRecording:
            if (WzdInfo.Job == kJobRecordCd) w.Button_AddCdrOption->Click();
            break;
        case kPageServerDetail:
            w.ListView_ServerDetail->Items()->Item(0)->SetSelected(true);
            break;
        case kPageServerName:
            w.Edit_SmbDomain->SetText("WORKGROUP");
            break;
        case kPageCdhFolder: {
            const auto images = discFolder_ / "_IMAGE_";
            std::filesystem::create_directories(images);
            std::ofstream(images / "DISC.IMG") << std::string(8192, '\0');
            w.Edit_CDHImgFolder->SetText(images.string());
            break;
        }
        case kPageSelectCdhImages:
            w.ListView_CDHImgNotSel->Items()->Item(0)->SetSelected(true);
            w.BBtn_AddCDHImg->Click();
            break;
        default:
            break;
        }
    }

    // Starts the job and presses Next to the last page; the kinds visited.
    std::vector<int> Walk(int job, bool writerDestination) {
        TFmWizard& w = Wizard();
        // The main window copies the preselected server for the quick setup.
        if (job == kJobSetupPreselected) WizardRefreshInfo.Take(*units_[0]->server);
        w.StartJob(job);
        std::vector<int> kinds;
        buttons_.clear();
        for (int guard = 0; guard < 10; ++guard) {
            kinds.push_back(Kind());
            buttons_.push_back(Buttons());
            Satisfy(Kind(), writerDestination);
            if (!w.bbNext->GetVisible()) break;
            w.bbNext->Click();
        }
        return kinds;
    }
    // Back enabled, Next shown and enabled, OK shown and enabled: "BN-", "B-O" and so on.
    std::string Buttons() {
        TFmWizard& w = Wizard();
        std::string b;
        b += w.bbBack->GetEnabled() ? 'B' : '-';
        b += w.bbNext->GetVisible() && w.bbNext->GetEnabled() ? 'N' : '-';
        b += w.bbOk->GetVisible() && w.bbOk->GetEnabled() ? 'O' : '-';
        if (w.bbNext->GetVisible() != w.bbNext->GetEnabled() ||
            w.bbOk->GetVisible() != w.bbOk->GetEnabled())
            b += '!';
        return b;
    }
    std::vector<int> WalkBack() {
        TFmWizard& w = Wizard();
        std::vector<int> kinds{Kind()};
        while (w.bbBack->GetEnabled()) {
            w.bbBack->Click();
            kinds.push_back(Kind());
        }
        return kinds;
    }

    std::filesystem::path discFolder_;
    std::unique_ptr<platform::devices::ScopedMountTable> mounts_;
    char drive_ = 'D';
    std::vector<std::string> buttons_; // on each page of the last walk
};

TEST_F(WizardMachineTest, EveryJobVisitsItsPagesWithItsButtons) {
    AddDrives();
    Unit& writer = AddUnit("WRITER", 1, true);
    AddUnit("PLAIN", 2, false);
    SelectImage(writer, "IMAGE1", 1000);

    struct Case {
        int job;
        bool writerDestination;
        std::vector<int> forward;
        int endJob;
        char drive = 'D'; // E: holds a Video CD
    };
    // Jobs 7 and 8 are reached from 1 and 6 with a Video CD (or started as 8).
    const std::vector<Case> cases = {
        {1, true, {1, 3, 4, 15, 6, 7}, 1}, {1, false, {1, 3, 4, 6, 7}, 1},
        {2, true, {2, 3, 4, 15, 6, 7}, 2}, {2, false, {2, 3, 4, 6, 7}, 2},
        {3, false, {8, 10, 13, 12}, 3},    {4, false, {14}, 4},
        {5, false, {10, 13, 12}, 5},       {6, true, {3, 4, 15, 6, 7}, 6},
        {6, false, {3, 4, 6, 7}, 6},       {1, true, {1, 3, 4, 15, 6, 7}, 7, 'E'},
        {6, false, {3, 4, 6, 7}, 8, 'E'},  {8, true, {3, 4, 15, 6, 7}, 8},
        {8, false, {3, 4, 6, 7}, 8},       {9, true, {15, 6}, 9},
        {10, false, {17, 16, 18}, 10},     {11, true, {3, 4, 6, 7}, 11},
        {11, false, {3, 4, 6, 7}, 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("job " + std::to_string(c.job) + (c.writerDestination ? " writer" : "") +
                     " drive " + c.drive);
        drive_ = c.drive;
        Wizard().SourceDriveLetter = c.drive;
        EXPECT_EQ(Walk(c.job, c.writerDestination), c.forward);
        EXPECT_EQ(WzdInfo.Job, c.endJob);
        // Back from the second page on, Next up to the last page, OK only there.
        std::vector<std::string> expected;
        for (std::size_t i = 0; i < c.forward.size(); ++i)
            expected.push_back(std::string(i > 0 ? "B" : "-") +
                               (i + 1 < c.forward.size() ? "N-" : "-O"));
        EXPECT_EQ(buttons_, expected);
        std::vector<int> backward(c.forward.rbegin(), c.forward.rend());
        EXPECT_EQ(WalkBack(), backward);
        ExpectButtons(false, c.forward.size() > 1, c.forward.size() == 1);
        // Back kept the destinations: the destination page was not entered again.
        if (c.job != 9 && c.forward.size() > 1 && c.forward[0] == 3) {
            EXPECT_EQ(Wizard().ListView_MethodResult->Items()->Count(), 1);
        }
        vcl::TCloseAction action = vcl::caHide;
        Wizard().FormClose(&Wizard(), action);
        EXPECT_EQ(WzdInfo.Job, 0);
        EXPECT_EQ(WzdInfo.PageIndex, 0);
        EXPECT_TRUE(WzdInfo.Jobs.empty());
        EXPECT_EQ(WzdInfo.SourceDrive, nullptr);
        EXPECT_EQ(WzdInfo.Scheduled, 0);
        EXPECT_EQ(Wizard().ListView_MethodResult->Items()->Count(), 0);
        EXPECT_EQ(Wizard().ListView_CdrOption->Items()->Count(), 0);
        EXPECT_EQ(Wizard().Container(), nullptr);
        EXPECT_EQ(Kind(), kPageJobList);
        ExpectButtons(false, true, false);
    }
}

TEST_F(WizardMachineTest, JobListShowsOnlyNextAndNextStartsTheChosenJob) {
    TFmWizard& w = Wizard();
    EXPECT_EQ(Kind(), kPageJobList);
    EXPECT_EQ(w.ListView_JobList->Items()->Count(), 3);
    ExpectButtons(false, true, false);
    EXPECT_FALSE(w.Panel1->GetVisible());
    w.ListView_JobList->Items()->Item(1)->SetSelected(true);
    EXPECT_EQ(w.Label_JobName->GetCaption(), GetMessageText(423));
    w.ListView_JobList->ClearSelection();
    w.bbNext->Click(); // nothing chosen: nothing happens
    EXPECT_EQ(WzdInfo.Job, 0);
    w.ListView_JobList->Items()->Item(1)->SetSelected(true);
    w.bbNext->Click();
    EXPECT_EQ(WzdInfo.Job, 2);
    EXPECT_EQ(Kind(), kPageContainer);
    EXPECT_TRUE(w.Panel1->GetVisible());
    EXPECT_EQ(w.GetCaption(), "Wizard - Build Image");
}

TEST_F(WizardMachineTest, AVideoCdTurnsTheMirrorJobsIntoContainerJobs) {
    AddDrives();
    AddUnit("WRITER", 1, true);
    AddUnit("PLAIN", 2, false);
    for (auto [start, becomes] : std::map<int, int>{{1, 7}, {6, 8}}) {
        SCOPED_TRACE("job " + std::to_string(start));
        TFmWizard& w = Wizard();
        w.SourceDriveLetter = 'E';
        w.StartJob(start);
        if (start == 1) {
            // Choose the Video CD on the drive page.
            for (int i = 0; i < w.ListView_LocalCdrom->Items()->Count(); ++i)
                w.ListView_LocalCdrom->Items()->Item(i)->SetSelected(
                    w.ListView_LocalCdrom->Items()->Item(i)->GetCaption().rfind("(E:)", 0) == 0);
            w.bbNext->Click();
        }
        EXPECT_EQ(Kind(), kPageDestination);
        EXPECT_EQ(WzdInfo.Job, becomes);
        AddDestination(*units_[0]);
        AddDestination(*units_[1]);
        ASSERT_EQ(WzdInfo.Jobs.size(), 2u);
        // Each destination has the disc read into a container of its own.
        for (const auto& entry : WzdInfo.Jobs) {
            ASSERT_NE(entry->Container, nullptr);
            EXPECT_EQ(entry->Container->GetTotalFileCount(entry->Container->GetRoot()), 1u);
        }
        EXPECT_NE(WzdInfo.Jobs[0]->Container, WzdInfo.Jobs[1]->Container);
        vcl::TCloseAction action = vcl::caHide;
        w.FormClose(&w, action);
    }
}

} // namespace
