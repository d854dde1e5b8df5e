// The message form: the message page with progress and Cancel, and the critical-task page.
#include "../platform/app_fixture.h"

#include "fmmsg.h"
#include "msgbox.h"
#include "nasapi.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

class FmMsgTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        savedLanguage_ = LanguageIndex;
        LanguageIndex = 0;
        vcl::Application->CreateForm(FmMsg);
    }
    void TearDown() override {
        delete FmMsg;
        FmMsg = nullptr;
        LanguageIndex = savedLanguage_;
        AppTest::TearDown();
    }
    int savedLanguage_ = 0;
};

TEST_F(FmMsgTest, CreationPreparesTheMessagePageWithHiddenTabs) {
    EXPECT_EQ(FmMsg->PageControl_Msg->GetActivePage(), FmMsg->TabSheet_Msg);
    EXPECT_FALSE(FmMsg->TabSheet_Msg->GetTabVisible());
    EXPECT_FALSE(FmMsg->TabSheet_TaskInfo->GetTabVisible());
    EXPECT_EQ(FmMsg->Label_Inform->GetCaption(), "Information");
    EXPECT_EQ(FmMsg->Button_Cancel->GetCaption(), "Cancel");
    EXPECT_EQ(FmMsg->GetWidth(), 407);
    EXPECT_EQ(FmMsg->GetHeight(), 410);
    EXPECT_FALSE(FmMsg->IsCancelled());
    EXPECT_FALSE(FmMsg->GetVisible());
}

TEST_F(FmMsgTest, TheMessagePageShowsWithoutWaitingAndIsLaidOutBySwitches) {
    FmMsg->ShowMessagePage("Export", "Working...", 230, 411, TFmMsg::IconWait, true, true, false,
                           false);
    EXPECT_TRUE(FmMsg->GetVisible());
    EXPECT_EQ(FmMsg->GetCaption(), "Export");
    EXPECT_EQ(FmMsg->GetHeight(), 230);
    EXPECT_EQ(FmMsg->GetWidth(), 411);
    EXPECT_EQ(FmMsg->Label_Inform->GetCaption(), "Working...");
    EXPECT_EQ(FmMsg->Label_Inform->GetHeight(), 8 + 4);
    EXPECT_TRUE(FmMsg->Button_Cancel->GetVisible());
    EXPECT_EQ(FmMsg->PageControl_Msg->GetHeight(), 230 - 50);
    EXPECT_EQ(FmMsg->Button_Cancel->GetTop(), 12 + 40);
    EXPECT_EQ(FmMsg->Button_Cancel->GetLeft(), 329 - 17);
    EXPECT_TRUE(FmMsg->ProgressBar1->GetVisible());
    EXPECT_EQ(FmMsg->ProgressBar1->GetPosition(), 0);
    EXPECT_FALSE(FmMsg->BitBtn1->GetVisible());
    EXPECT_FALSE(FmMsg->Image_Inform->Picture()->Empty());

    FmMsg->ShowMessagePage("Done", "One\nTwo", 230, 407, TFmMsg::IconSuccess, false, false, true,
                           true);
    EXPECT_EQ(FmMsg->Label_Inform->GetHeight(), 12 * 3 + 50);
    EXPECT_EQ(FmMsg->PageControl_Msg->GetHeight(), 230 - 80);
    EXPECT_FALSE(FmMsg->Button_Cancel->GetVisible());
    EXPECT_FALSE(FmMsg->ProgressBar1->GetVisible());
    EXPECT_TRUE(FmMsg->BitBtn1->GetVisible());
    EXPECT_EQ(FmMsg->BitBtn1->GetWidth(), 75);
}

TEST_F(FmMsgTest, FittedLabelHeightIsCappedByTheForm) {
    EXPECT_EQ(FmMsg->FitLabelHeight("one line"), 12 * 2 + 50);
    EXPECT_EQ(FmMsg->FitLabelHeight(std::string(100, '\n')), FmMsg->GetHeight() - 70);
}

TEST_F(FmMsgTest, CancelStopsProgressUntilTheNextPage) {
    FmMsg->ShowMessagePage("Import", "step 1", 140, 411, TFmMsg::IconWait, true, true, false,
                           false);
    EXPECT_TRUE(FmMsg->UpdateProgress("step 2", 40));
    EXPECT_EQ(FmMsg->Label_Inform->GetCaption(), "step 2");
    EXPECT_EQ(FmMsg->ProgressBar1->GetPosition(), 40);

    FmMsg->Button_Cancel->Click();
    EXPECT_TRUE(FmMsg->IsCancelled());
    EXPECT_FALSE(FmMsg->UpdateProgress("step 3", 80));
    EXPECT_EQ(FmMsg->Label_Inform->GetCaption(), "step 2");
    EXPECT_EQ(FmMsg->ProgressBar1->GetPosition(), 40);

    FmMsg->ShowMessagePage("Import", "again", 140, 411, TFmMsg::IconWait, true, true, false, false);
    EXPECT_FALSE(FmMsg->IsCancelled());
    EXPECT_TRUE(FmMsg->UpdateProgress("step 1", 10));
}

TEST_F(FmMsgTest, TheTaskPageListsTaskNamesAndIgnoresProgress) {
    std::vector<NasTaskInfo> tasks(3);
    std::memset(tasks.data(), 0, tasks.size() * sizeof(NasTaskInfo));
    std::strcpy(reinterpret_cast<char*>(tasks[0].data), "Mirror CD1");
    std::strcpy(reinterpret_cast<char*>(tasks[1].data), "Record");
    std::memset(tasks[2].data, 'X', sizeof tasks[2].data); // no terminator in the record

    FmMsg->PageControl_Msg->SetActivePage(FmMsg->TabSheet_TaskInfo);
    FmMsg->ShowCriticalTasks(3, tasks.data(), "NAS1");
    EXPECT_TRUE(FmMsg->GetVisible());
    EXPECT_EQ(FmMsg->GetCaption(), "Critical Task Information");
    EXPECT_EQ(FmMsg->GetWidth(), 407);
    EXPECT_EQ(FmMsg->GetHeight(), 416);
    EXPECT_EQ(FmMsg->PageControl_Msg->GetHeight(), 416 - 84);
    EXPECT_EQ(FmMsg->Label_TaskInfo->GetCaption(),
              std::string(GetMessageText(852)) + "\n\n\nServer :  NAS1\nCritical Task Count: 3");
    EXPECT_EQ(FmMsg->ListView_Task->Columns()->Items(0)->GetCaption(), "Critical Task Name");
    ASSERT_EQ(FmMsg->ListView_Task->Items()->Count(), 3);
    EXPECT_EQ(FmMsg->ListView_Task->Items()->Item(0)->GetCaption(), "Mirror CD1");
    EXPECT_EQ(FmMsg->ListView_Task->Items()->Item(1)->GetCaption(), "Record");
    EXPECT_EQ(FmMsg->ListView_Task->Items()->Item(2)->GetCaption(), std::string(96, 'X'));
    EXPECT_TRUE(FmMsg->BitBtn1->GetVisible());
    EXPECT_EQ(FmMsg->BitBtn1->GetWidth(), 98);

    EXPECT_TRUE(FmMsg->UpdateProgress("ignored", 50));
    EXPECT_NE(FmMsg->Label_Inform->GetCaption(), "ignored");

    FmMsg->ShowCriticalTasks(1, tasks.data(), "NAS1"); // a second showing starts afresh
    EXPECT_EQ(FmMsg->ListView_Task->Items()->Count(), 1);
}

TEST_F(FmMsgTest, ClosingOnlyHidesAndRestoresTheDefaultSize) {
    FmMsg->ShowMessagePage("Done", "ok", 230, 300, TFmMsg::IconSuccess, false, false, true, true);
    FmMsg->BitBtn1->Click();
    AppTest::PumpFor(std::chrono::milliseconds(20));
    EXPECT_FALSE(FmMsg->GetVisible());
    EXPECT_EQ(FmMsg->GetWidth(), 407);
    EXPECT_EQ(FmMsg->GetHeight(), 410);

    FmMsg->ShowMessagePage("Again", "ok", 230, 300, TFmMsg::IconFailure, false, false, true, true);
    EXPECT_TRUE(FmMsg->GetVisible());
}

} // namespace
