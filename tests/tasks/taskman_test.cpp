// The task manager as the user meets it: opened from the real main window's Tools menu, with
// real workers against a simulated unit. Row texts from a table of task states, the caption, the
// window's width and tool buttons, Delete that asks and then stops (the task leaves the list
// through the refresh), refused stops of recording tasks, StopAllTasks, the double-click to the
// unit's page, one report per finished task until it is acknowledged, and File > Exit with a
// task running.
#include "../containers/container_fixtures.h"
#include "../isobuild/iso_test_support.h"
#include "../mainwin/mainwin_fixture.h"
#include "about.h"
#include "build_worker.h"
#include "elapsed.h"
#include "fmmsg.h"
#include "msgbox.h"
#include "nasserver.h"
#include "password.h"
#include "record_worker.h"
#include "task_report.h"
#include "taskman.h"
#include "upload_worker.h"

#include "clock/clock.h"
#include "shell/shell.h"
#include "vcl/screen.h"
#include "vcl/tool_bar.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <cstdio>
#include <cstdlib>

namespace {

void SetText(char* field, std::size_t width, const std::string& text) {
    std::snprintf(field, width, "%s", text.c_str());
}

class TaskManager : public MainWindowTest {
protected:
    using MainWindowTest::W;
    using UiTest::W;

    void SetUp() override {
        MainWindowTest::SetUp();
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        saved_ = LanguageIndex;
        LanguageIndex = 0;
        unit_ = &AddUnit(1, "UNIT1", false);
        AddMoreUnits();
        // The kind dialog and the splash, made at start as the program makes them.
        Form1 = vcl::MakeForm<TForm1>(nullptr);
        Form_About = vcl::MakeForm<TForm_About>(nullptr);
        Form_About->Interactive = false;
        MakeWindow();
        // The Task Manager as the user opens it: Tools > Task Manager.
        ChooseMenu(W().ToolButton_ToolMenu, W().MenuItem_MenuTaskManager);
        ASSERT_NE(FmTaskMan, nullptr);
        form_ = FmTaskMan;
        ASSERT_TRUE(form_->GetVisible());
    }
    void TearDown() override {
        if (FmTaskMan) vcl::Free(FmTaskMan);
        for (TFmMsg* report : TFmMsg::OpenReports())
            vcl::Free(report);
        vcl::Free(FmMsg);
        FmMsg = nullptr;
        LanguageIndex = saved_;
        delete Form1;
        Form1 = nullptr;
        delete Form_About;
        Form_About = nullptr;
        MainWindowTest::TearDown();
    }
    // Units that a test's fixture adds before the window starts.
    virtual void AddMoreUnits() {}
    void ChooseMenu(vcl::TToolButton* menuButton, vcl::TMenuItem* item) {
        PopupScript popup;
        popup.choose = item;
        QTest::mouseClick(W(menuButton), Qt::LeftButton);
    }
    // The task's own copy of the unit, as the wizard's finisher makes it.
    std::shared_ptr<CNasServer> Server() const {
        auto server = std::make_shared<CNasServer>();
        server->Info.ipAddress[0] = unit_->address();
        std::snprintf(server->Info.name, sizeof server->Info.name, "UNIT1");
        return server;
    }
    // The one session the unit has seen, once it ended.
    nassim::Session OnlySession() const {
        EXPECT_TRUE(unit_->waitForSessionsEnded(1, std::chrono::seconds(20)));
        const auto sessions = unit_->sessions();
        EXPECT_EQ(sessions.size(), 1u);
        return sessions.empty() ? nassim::Session{} : sessions[0];
    }
    // A task whose worker has no job: the test writes the bytes a worker would.
    TaskRecord* IdleTask(std::uint8_t kind, const std::string& image = "UP") {
        TaskRecord* task = form_->CreateTask({}, TaskFinished, {});
        task->kind = kind;
        task->nas = Server();
        SetText(task->request.folderName, sizeof task->request.folderName, "IMAGES");
        SetText(task->request.imageName, sizeof task->request.imageName, image);
        return task;
    }
    // A recording (its first poll waits 5 s, unless stopped), then two paused uploads, listed in
    // that order.
    struct RecordingAndUploads {
        TaskRecord* record;
        TaskRecord* a;
        TaskRecord* b;
    };
    RecordingAndUploads StartRecordingAndUploads() {
        TaskRecord* record = form_->CreateTask({}, RecordTaskFinished, RecordTaskExecute);
        record->kind = task_kind::Record;
        record->nas = Server();
        record->recordFlags = 1;
        form_->AddTask(record);
        RecordingAndUploads t{record, PausedUpload(), PausedUpload()};
        form_->AddTask(t.a);
        form_->AddTask(t.b);
        return t;
    }
    // An upload of a file of 1 MiB to the unit, paused before it sends anything.
    TaskRecord* PausedUpload(const std::string& image = "UP") {
        if (file_.empty()) {
            file_ = dir_ / "image.iso";
            isotest::WriteFile(file_, isotest::Pattern(1 << 20, 9));
        }
        TaskRecord* task = form_->CreateTask({}, TaskFinished, UploadTaskExecute);
        task->kind = task_kind::Upload;
        task->nas = Server();
        task->imagePath = file_;
        task->imageSizeKb = 1024;
        SetText(task->request.imageName, sizeof task->request.imageName, image);
        task->SetPaused(true);
        return task;
    }
    void Click(vcl::TControl* control) { QTest::mouseClick(W(control), Qt::LeftButton); }
    void SelectRows(std::initializer_list<int> rows) {
        bool first = true;
        for (int index : rows) {
            const vcl::TRect r = form_->ListView_Task->Items()->Item(index)->DisplayRect();
            QTest::mouseClick(Viewport(form_->ListView_Task), Qt::LeftButton,
                              first ? Qt::NoModifier : Qt::ControlModifier,
                              QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
            first = false;
        }
    }
    std::string Cell(int row, int column) {
        vcl::TListItem* item = form_->ListView_Task->Items()->Item(row);
        return column == 0 ? item->GetCaption() : item->SubItems()->Strings(column - 1);
    }
    void Refresh() { form_->Timer_RefreshTaskStatus->OnTimer(form_->Timer_RefreshTaskStatus); }
    // The texts of the reports open now, oldest first.
    static std::vector<std::string> Reports() {
        std::vector<std::string> texts;
        for (TFmMsg* report : TFmMsg::OpenReports())
            if (report->GetVisible()) texts.push_back(report->Label_Inform->GetCaption());
        return texts;
    }
    static std::string LastReport() {
        const auto texts = Reports();
        return texts.empty() ? std::string() : texts.back();
    }

    fixtures::TempDir dir_;
    nassim::Unit* unit_ = nullptr;
    TFmTaskMan* form_ = nullptr;
    std::string file_;
    int saved_ = 0;
};

struct RowCase {
    std::uint8_t kind, containerKind, status, runState, progress;
    std::int64_t elapsedSeconds; // -1: no start tick
    std::uint32_t remainingMs;
    std::int64_t scheduleOffset; // seconds from now, for run state 1
    std::string description, progress_, time, statusText;
    int image; // -1: the animation frame
};

TEST_F(TaskManager, RowTextsFollowTheTaskStates) {
    platform::ManualClock clock(5000000, 1700000000); // 2023-11-14 22:13:20 UTC
    platform::ScopedClock scope(clock);
    const std::string e = "'UNIT1':IMAGES : [UP]";
    const RowCase table[] = {
        {6, 0, 4, 2, 42, 3725, 1, 0, "[My ISO file] >>> UNIT1: " + e, "42%", "1h:02m:05s",
         "Remaining 1 sec.", -1},
        {6, 0, 4, 2, 0, 59, 0, 0, "[My ISO file] >>> UNIT1: " + e, "0%", "59 sec.", "", -1},
        {2, 1, 1, 2, 7, -1, 0, 0, "[My Container] >>> UNIT1: " + e, "7%", "0 sec.", "Sorting", -1},
        {2, 1, 17, 2, 100, 125, 0, 0, "[My Container] >>> UNIT1 : " + e, "100%", "2m:05s",
         "Record success !!", -1},
        {4, 0, 14, 2, 50, 10, 0, 0, e + " >>> CD Writer1 [UP]", "50%", "10 sec.", "Recording", -1},
        {1, 0, 5, 2, 3, 1, 0, 0, "?:[] >>> " + e, "3%", "1 sec.", "Fail !!", -1},
        {6, 0, 4, 0x82, 10, 1, 5000, 0, "[My ISO file] >>> UNIT1: " + e, "10%", "1 sec.", "Pause!!",
         TFmTaskMan::ImagePaused},
        {6, 0, 0, 1, 0, -1, 0, 2800, "[My ISO file] >>> UNIT1: " + e, "0%", "0 sec.",
         "Schedule at 23:00:00", TFmTaskMan::ImageWaiting},
        {6, 0, 0, 1, 0, -1, 0, 86400 + 3600, "[My ISO file] >>> UNIT1: " + e, "0%", "0 sec.",
         "Schedule at 2023/11/15 23:13:20", TFmTaskMan::ImageWaiting},
        {6, 0, 8, 3, 20, 2, 0, 0, "[My ISO file] >>> UNIT1: " + e, "20%", "2 sec.", "Abort!",
         TFmTaskMan::ImageStopping},
    };
    std::vector<TaskRecord*> tasks;
    for (const RowCase& c : table) {
        TaskRecord* task = IdleTask(c.kind);
        task->containerKind = c.containerKind;
        tasks.push_back(task);
        form_->AddTask(task);
    }
    ASSERT_TRUE(PumpUntil([&] {
        for (TaskRecord* t : tasks)
            if (!t->finishEventRan) return false;
        return true;
    }));
    EXPECT_EQ(form_->GetCaption(), "Task Manager -- 10 task(s)");
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        const RowCase& c = table[i];
        TaskRecord* t = tasks[i];
        t->status = c.status;
        t->runState = c.runState;
        t->progress = c.progress;
        t->startTick = c.elapsedSeconds < 0
                           ? 0u
                           : 5000000u - static_cast<std::uint32_t>(c.elapsedSeconds * 1000);
        t->remainingMs = c.remainingMs;
        t->startTime = platform::Now() + std::chrono::seconds(c.scheduleOffset);
    }
    Responder(); // no box expected
    form_->Timer_RefreshTaskStatus->OnTimer(form_->Timer_RefreshTaskStatus);
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        const RowCase& c = table[i];
        const int row = static_cast<int>(i);
        EXPECT_EQ(Cell(row, 1), c.description) << "row " << i;
        EXPECT_EQ(Cell(row, 2), c.progress_) << "row " << i;
        EXPECT_EQ(Cell(row, 3), c.time) << "row " << i;
        EXPECT_EQ(Cell(row, 4), c.statusText) << "row " << i;
        if (c.image >= 0) {
            EXPECT_EQ(form_->ListView_Task->Items()->Item(row)->GetImageIndex(), c.image)
                << "row " << i;
        }
    }
    EXPECT_EQ(Cell(0, 0), "Mirror");
    EXPECT_EQ(Cell(2, 0), "Build Container");
    EXPECT_EQ(Cell(4, 0), "Record CD/DVD");
    EXPECT_EQ(Cell(5, 0), "Mirror CD/DVD");

    // A finished task shows "Complete!" for one pass, then leaves the list.
    tasks[1]->runState = run_state::Finished;
    form_->Timer_RefreshTaskStatus->OnTimer(form_->Timer_RefreshTaskStatus);
    EXPECT_EQ(Cell(1, 4), "Complete!");
    form_->Timer_RefreshTaskStatus->OnTimer(form_->Timer_RefreshTaskStatus);
    EXPECT_EQ(form_->GetTaskCount(), 9);
    EXPECT_EQ(form_->GetCaption(), "Task Manager -- 9 task(s)");
    EXPECT_EQ(Cell(1, 3), "0 sec."); // the next row moved up
}

TEST_F(TaskManager, DeleteAsksThenStopsAndTheRefreshRemovesTheTask) {
    form_->Timer_RefreshTaskStatus->SetInterval(10);
    TaskRecord* task = PausedUpload();
    form_->AddTask(task);
    ASSERT_TRUE(PumpUntil([&] {
        const auto s = unit_->sessions();
        return !s.empty();
    }));
    SelectRows({0});
    Responder().ExpectBox("Are you sure to delete task(s)?", vcl::IDNO);
    Click(form_->ToolButton_Delete);
    EXPECT_EQ(form_->GetTaskCount(), 1);
    EXPECT_EQ(task->State(), run_state::Running); // "No" leaves it alone

    Responder().ExpectBox("Are you sure to delete task(s)?", vcl::IDYES);
    Click(form_->ToolButton_Delete);
    ASSERT_TRUE(PumpUntil([&] { return form_->GetTaskCount() == 0; }));
    EXPECT_EQ(form_->ListView_Task->Items()->Count(), 0);
    EXPECT_EQ(form_->GetCaption(), "Task Manager -- 0 task(s)");
    const nassim::Session s = OnlySession();
    EXPECT_STREQ(nassim::SessionEndName(s.end),
                 nassim::SessionEndName(nassim::SessionEnd::Aborted));
    EXPECT_EQ(s.abortReason, kAbortStopped);
    EXPECT_EQ(s.dataBytes, 0u); // paused from the start: nothing was sent
    // The report of the finish event.
    EXPECT_NE(LastReport().find("User abort !!"), std::string::npos) << LastReport();
    ASSERT_TRUE(PumpUntil([&] { return !form_->Timer_RefreshTaskStatus->GetEnabled(); }));
}

// A task that ends while the delete question is up leaves the list through the refresh; Yes
// then says that it had already ended instead of doing nothing.
TEST_F(TaskManager, DeleteOfATaskThatEndedWhileTheQuestionWasUpSaysSo) {
    form_->Timer_RefreshTaskStatus->SetInterval(10);
    TaskRecord* task = PausedUpload();
    form_->AddTask(task);
    SelectRows({0});
    Responder().ExpectBox("Are you sure to delete task(s)?", vcl::IDYES, [&] {
        task->SetPaused(false);
        ASSERT_TRUE(PumpUntil([&] { return form_->GetTaskCount() == 0; }));
    });
    Responder().ExpectBox("The task had already ended", vcl::IDOK);
    Click(form_->ToolButton_Delete);
    EXPECT_EQ(Responder().Pending(), 0);
    // It ended by itself, whole.
    EXPECT_EQ(OnlySession().end, nassim::SessionEnd::Completed);
    EXPECT_NE(LastReport().find("[UP]"), std::string::npos) << LastReport();
}

TEST_F(TaskManager, ARunningRecordingIsNotStoppedButTheOthersAre) {
    // No refresh during the test: it would take the stopped uploads out of the list and free them.
    form_->Timer_RefreshTaskStatus->SetInterval(3600 * 1000);
    const RecordingAndUploads t = StartRecordingAndUploads();
    TaskRecord* record = t.record;
    TaskRecord* a = t.a;
    TaskRecord* b = t.b;
    ASSERT_TRUE(PumpUntil([&] { return record->status.load() == task_status::WaitRecording; }));
    SelectRows({0, 1, 2});
    Responder()
        .ExpectBox("Are you sure to delete task(s)?", vcl::IDYES)
        .ExpectBox("Can't delete Recording Task", vcl::IDOK);
    Click(form_->ToolButton_Delete);
    EXPECT_EQ(Responder().Boxes().back().Request.Caption, "Information");
    // The uploads' workers end as soon as they see the stop; the recording goes on.
    ASSERT_TRUE(PumpUntil(
        [&] { return a->State() == run_state::Finished && b->State() == run_state::Finished; }));
    EXPECT_EQ(a->status.load(), task_status::Stopped);
    EXPECT_EQ(b->status.load(), task_status::Stopped);
    EXPECT_EQ(record->State(), run_state::Running);
}

TEST_F(TaskManager, ATaskThatFinishesWhileTheRecordingBoxIsUpIsPassedOverAndTheRestAreStopped) {
    // Only the test's own refresh passes run, inside the box.
    form_->Timer_RefreshTaskStatus->SetInterval(3600 * 1000);
    const RecordingAndUploads t = StartRecordingAndUploads();
    TaskRecord* record = t.record;
    TaskRecord* a = t.a;
    TaskRecord* b = t.b;
    ASSERT_TRUE(PumpUntil([&] { return record->status.load() == task_status::WaitRecording; }));
    SelectRows({0, 1, 2});
    // While the box about the recording is up, upload a ends and the refresh frees it.
    const auto finishA = [&] {
        form_->StopTask(a);
        EXPECT_TRUE(PumpUntil([&] {
            form_->Timer_RefreshTaskStatusTimer(form_->Timer_RefreshTaskStatus);
            return form_->GetTaskCount() == 2;
        }));
    };
    Responder()
        .ExpectBox("Are you sure to delete task(s)?", vcl::IDYES)
        .ExpectBox("Can't delete Recording Task", vcl::IDOK, finishA);
    Click(form_->ToolButton_Delete);
    EXPECT_EQ(Responder().Pending(), 0);
    ASSERT_TRUE(PumpUntil([&] { return b->State() == run_state::Finished; }));
    EXPECT_EQ(b->status.load(), task_status::Stopped);
    EXPECT_EQ(record->State(), run_state::Running);
    EXPECT_EQ(form_->GetTaskCount(), 2);
}

TEST_F(TaskManager, ARecordTaskWaitingForItsScheduleIsStoppedWithoutABox) {
    TaskRecord* record = form_->CreateTask({}, RecordTaskFinished, RecordTaskExecute);
    record->kind = task_kind::Record;
    record->nas = Server();
    record->recordFlags = 1;
    record->scheduled = 1;
    record->startTime = platform::Now() + std::chrono::hours(2);
    form_->AddTask(record);
    ASSERT_TRUE(PumpUntil([&] { return record->State() == run_state::Waiting; }));
    SelectRows({0});
    Responder().ExpectBox("Are you sure to delete task(s)?", vcl::IDYES);
    Click(form_->ToolButton_Delete);
    ASSERT_TRUE(PumpUntil([&] { return record->finishEventRan; }));
    EXPECT_EQ(record->errorCode.load(), task_error::StoppedBuilding);
    EXPECT_EQ(record->status.load(), task_status::Stopped);
}

TEST_F(TaskManager, ABuildCountsAsAReaderOfItsContainerUntilItsFinishEvent) {
    form_->Timer_RefreshTaskStatus->SetInterval(10);
    isotest::WriteFile(dir_ / "a.txt", isotest::Pattern(5000, 1));
    MIRROR_CONTAINER container;
    container.NewContainer();
    container.ImportHostPath(container.GetRoot(), nullptr, dir_ / "a.txt");
    TaskRecord* task = form_->CreateTask({}, TaskFinished, BuildTaskExecute);
    task->kind = task_kind::Build;
    task->containerKind = container_kind::HostFiles;
    task->container = &container;
    task->nas = Server();
    task->volumeLabel = "BUILD";
    SetText(task->request.imageName, sizeof task->request.imageName, "BUILD");
    task->SetPaused(true); // waits before its first message
    form_->AddTask(task);
    EXPECT_EQ(container.PendingCount(), 1u);
    ASSERT_TRUE(PumpUntil([&] { return !unit_->sessions().empty(); }));
    EXPECT_EQ(unit_->sessions()[0].dataBytes, 0u); // paused: nothing sent
    EXPECT_EQ(container.PendingCount(), 1u);
    SelectRows({0});
    Click(form_->tbPlay); // Start resumes it
    ASSERT_TRUE(PumpUntil([&] { return form_->GetTaskCount() == 0; }));
    EXPECT_EQ(container.PendingCount(), 0u);
    EXPECT_STREQ(nassim::SessionEndName(OnlySession().end),
                 nassim::SessionEndName(nassim::SessionEnd::Completed));
    EXPECT_NE(LastReport().find("Build container completed !!"), std::string::npos) << LastReport();
}

TEST_F(TaskManager, StopAllTasksReturnsOnceTheListIsEmpty) {
    form_->Timer_RefreshTaskStatus->SetInterval(10);
    for (int i = 0; i < 3; ++i)
        form_->AddTask(PausedUpload());
    EXPECT_EQ(form_->StopAllTasks(), 3);
    EXPECT_EQ(form_->GetTaskCount(), 0);
    EXPECT_EQ(form_->ListView_Task->Items()->Count(), 0);
}

TEST_F(TaskManager, DoubleClickOpensTheUnitsPageWhileSendingOrRecording) {
    platform::RecordingShell shell;
    TaskRecord* task = IdleTask(task_kind::Upload);
    form_->AddTask(task);
    ASSERT_TRUE(PumpUntil([&] { return task->finishEventRan; }));
    SelectRows({0});
    const vcl::TRect r = form_->ListView_Task->Items()->Item(0)->DisplayRect();
    const QPoint at((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    const std::string base = "http://" + nassim::AddressText(unit_->address());
    const std::pair<std::uint8_t, std::string> table[] = {
        {task_status::Sending,
         base + "/admin/index.php?fuseaction=cdserver&item=cdsvr_item_images&php_token=5178"},
        {task_status::Recording,
         base + "/admin/index.php?fuseaction=cdserver&item=cdsvr_item_recording&php_token=5172"},
        {task_status::Done, ""}};
    for (const auto& [status, url] : table) {
        shell.Opened.clear();
        task->status = status;
        QTest::mouseDClick(Viewport(form_->ListView_Task), Qt::LeftButton, Qt::NoModifier, at);
        EXPECT_EQ(shell.Opened,
                  url.empty() ? std::vector<std::string>{} : std::vector<std::string>{url});
    }
}

TEST_F(TaskManager, TwoTasksThatEndInTheSameSecondLeaveTwoReportsEachUntilItsOk) {
    platform::ManualClock clock(5000000, 1700000000);
    platform::ScopedClock scope(clock);
    // A conversion shows its progress with Cancel on the shared message form meanwhile.
    FmMsg = vcl::MakeForm<TFmMsg>(vcl::Application);
    FmMsg->ShowMessagePage("disc.iso", "Transfer Start !", 140, 411, TFmMsg::IconWait, true, true,
                           false, false);
    TaskRecord* first = IdleTask(task_kind::Upload, "FIRST");
    TaskRecord* second = IdleTask(task_kind::Upload, "SECOND");
    for (TaskRecord* task : {first, second}) {
        task->status = task_status::Done;
        task->runState = run_state::Finished;
        task->startTick = clock.TickCount() - 2000;
        form_->AddTask(task);
    }
    ASSERT_TRUE(PumpUntil([&] { return first->finishEventRan && second->finishEventRan; }));
    ASSERT_EQ(Reports().size(), 2u);
    // One report each, in the order the two finish events ran (the workers end in either order).
    const bool firstFirst = Reports()[0].find("[FIRST]") != std::string::npos;
    const std::string firstName = firstFirst ? "[FIRST]" : "[SECOND]";
    const std::string secondName = firstFirst ? "[SECOND]" : "[FIRST]";
    EXPECT_NE(Reports()[0].find(firstName), std::string::npos) << Reports()[0];
    EXPECT_NE(Reports()[1].find(secondName), std::string::npos) << Reports()[1];
    for (const std::string& text : Reports())
        EXPECT_NE(text.find("ISO File was uploaded"), std::string::npos) << text;
    // The progress keeps its text and its Cancel.
    EXPECT_TRUE(FmMsg->GetVisible());
    EXPECT_TRUE(FmMsg->Button_Cancel->GetVisible());
    EXPECT_EQ(FmMsg->Label_Inform->GetCaption(), "Transfer Start !");
    // The reports do not cover each other.
    const std::vector<TFmMsg*> open = TFmMsg::OpenReports();
    EXPECT_NE(open[0]->GetLeft(), open[1]->GetLeft());

    // The refresh takes both tasks out of the list; the reports stay until acknowledged.
    form_->Timer_RefreshTaskStatus->SetInterval(10);
    ASSERT_TRUE(PumpUntil([&] { return form_->GetTaskCount() == 0; }));
    PumpFor(std::chrono::milliseconds(50));
    ASSERT_EQ(Reports().size(), 2u);
    Click(open[0]->BitBtn1); // OK on the first
    ASSERT_TRUE(PumpUntil([&] { return TFmMsg::OpenReports().size() == 1; }));
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_NE(Reports()[0].find(secondName), std::string::npos);
    Click(TFmMsg::OpenReports()[0]->BitBtn1);
    ASSERT_TRUE(PumpUntil([&] { return TFmMsg::OpenReports().empty(); }));
    EXPECT_TRUE(FmMsg->Button_Cancel->GetVisible());
}

TEST_F(TaskManager, AReportIsShownWholeHoweverLongItIs) {
    struct Case {
        const char* what;
        std::size_t notes;
    } cases[] = {{"unreadable sectors with a long target", 6}, {"taller than the screen", 400}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TaskRecord task;
        task.kind = task_kind::Mirror;
        task.nas = Server();
        task.status = task_status::Failed;
        task.errorCode = task_error::ReadFailed41;
        task.failedLba = 0x1234;
        task.failedRun = 16;
        task.failedPasses = 4;
        SetText(task.request.folderName, sizeof task.request.folderName,
                "a folder of disc images with a rather long name");
        SetText(task.request.imageName, sizeof task.request.imageName,
                "A_VOLUME_LABEL_OF_31_CHARACTERS");
        for (std::size_t i = 0; i < c.notes; ++i)
            task.notes.push_back("16 sector(s) at LBA " + std::to_string(1000 + 16 * i) +
                                 " could not be read and were sent as zeros.");
        const TaskReport composed = ComposeTaskReport(task, 0);
        TFmMsg* report = TFmMsg::OpenReport(composed.caption, composed.text, composed.icon);
        PumpFor(std::chrono::milliseconds(20));
        ASSERT_TRUE(report->GetVisible());
        const int pageBottom =
            report->PageControl_Msg->GetTop() + report->PageControl_Msg->GetHeight();
        if (report->Label_Inform->GetVisible()) {
            vcl::TLabel* label = report->Label_Inform;
            EXPECT_EQ(label->GetCaption(), composed.text);
            const QFontMetrics fm(W(label)->font());
            const QRect needed =
                fm.boundingRect(QRect(0, 0, label->GetWidth(), 1 << 20), Qt::TextWordWrap,
                                QString::fromStdString(composed.text));
            EXPECT_LE(needed.width(), label->GetWidth());
            EXPECT_LE(needed.height(), label->GetHeight());
            EXPECT_LE(label->GetTop() + label->GetHeight(), pageBottom);
            EXPECT_LT(c.notes, 100u);
        } else {
            // Too tall for the screen: the whole text scrolls in its box.
            EXPECT_TRUE(report->Memo_Report->GetVisible());
            EXPECT_EQ(report->Memo_Report->GetText(), composed.text);
            EXPECT_LE(report->Memo_Report->GetTop() + report->Memo_Report->GetHeight(), pageBottom);
            EXPECT_LE(report->GetHeight(), vcl::Screen->Height());
        }
        EXPECT_GE(report->BitBtn1->GetTop(), pageBottom);
        EXPECT_LE(report->BitBtn1->GetTop() + report->BitBtn1->GetHeight(),
                  report->GetClientHeight());
        EXPECT_TRUE(report->BitBtn1->GetVisible());
        Click(report->BitBtn1);
        ASSERT_TRUE(PumpUntil([&] { return TFmMsg::OpenReports().empty(); }));
    }
}

TEST_F(TaskManager, TheRowShowsTheImageNameTheUnitGaveOnceTheSessionStarted) {
    form_->Timer_RefreshTaskStatus->SetInterval(3600 * 1000);
    TaskRecord* task = PausedUpload(""); // the unit names an image that has no name
    form_->AddTask(task);
    EXPECT_EQ(Cell(0, 1), "[My ISO file] >>> UNIT1: 'UNIT1': : []");
    ASSERT_TRUE(PumpUntil([&] { return !unit_->sessions().empty(); }));
    const std::string given = unit_->sessions()[0].files.at(0).name;
    ASSERT_FALSE(given.empty());
    ASSERT_TRUE(PumpUntil([&] {
        Refresh();
        return Cell(0, 1) == "[My ISO file] >>> UNIT1: 'UNIT1': : [" + given + "]";
    })) << Cell(0, 1);
}

TEST_F(TaskManager, ATransferThatStopsMovingShowsItsRemainingTimeAsUnknown) {
    platform::ManualClock clock(5000000, 1700000000);
    platform::ScopedClock scope(clock);
    TaskRecord* task = IdleTask(task_kind::Upload);
    form_->AddTask(task);
    ASSERT_TRUE(PumpUntil([&] { return task->finishEventRan; }));
    for (TFmMsg* report : TFmMsg::OpenReports())
        vcl::Free(report);
    task->status = task_status::Sending;
    task->runState = run_state::Running;
    task->progress = 40;
    task->remainingMs = 99000;
    Refresh();
    EXPECT_EQ(Cell(0, 4), "Remaining 1m:39s");
    clock.Advance(std::chrono::seconds(9));
    Refresh();
    EXPECT_EQ(Cell(0, 4), "Remaining 1m:39s");
    clock.Advance(std::chrono::seconds(2)); // no message has moved for 11 s
    Refresh();
    EXPECT_EQ(Cell(0, 4), "Remaining ??m:??s");
    task->remainingMs = 90000; // it moves again
    Refresh();
    EXPECT_EQ(Cell(0, 4), "Remaining 1m:30s");
}

TEST_F(TaskManager, TheWindowShowsItsColumnsWholeItsButtonsSayWhatTheyDoAndItsCaptionCountsRows) {
    // Opened over a narrow main window.
    form_->Hide();
    W().SetBounds(0, 0, 640, 480);
    ChooseMenu(W().ToolButton_ToolMenu, W().MenuItem_MenuTaskManager);
    EXPECT_EQ(form_->GetCaption(), "Task Manager -- 0 task(s)");
    TaskRecord* task = PausedUpload("A_LONGER_VOLUME_LABEL_OF_A_DISC");
    form_->Timer_RefreshTaskStatus->SetInterval(3600 * 1000);
    form_->AddTask(task);
    EXPECT_EQ(form_->GetCaption(), "Task Manager -- 1 task(s)");
    task->status = task_status::Sending;
    task->remainingMs = 3725000;
    Refresh();
    PumpFor(std::chrono::milliseconds(20));
    EXPECT_EQ(form_->ListView_Task->Items()->Count(), 1);
    EXPECT_EQ(form_->GetCaption(), "Task Manager -- 1 task(s)");

    // Every column is as wide as its title and its texts, and the window shows them all.
    const QFontMetrics fm(W(form_->ListView_Task)->font());
    int total = 0;
    for (int i = 0; i < 5; ++i) {
        vcl::TListColumn* column = form_->ListView_Task->Columns()->Items(i);
        const std::string text = i == 0 ? Cell(0, 0) : Cell(0, i);
        EXPECT_GE(column->GetWidth(), fm.horizontalAdvance(QString::fromStdString(text)))
            << column->GetCaption() << ": " << text;
        EXPECT_GE(column->GetWidth(),
                  fm.horizontalAdvance(QString::fromStdString(column->GetCaption())));
        total += column->GetWidth();
    }
    // (As far as the screen allows: the offscreen screen is 800 pixels wide.)
    EXPECT_TRUE(form_->ListView_Task->GetClientWidth() >= total ||
                form_->GetWidth() >= vcl::Screen->Width())
        << form_->ListView_Task->GetClientWidth() << " for columns of " << total;
    EXPECT_GT(form_->GetWidth(), 640 - 200);

    // The tool buttons show their pictures and say what they do.
    const struct {
        vcl::TToolButton* button;
        const char* tip;
    } buttons[] = {{form_->tbPlay, "Start(Resume) Task"},
                   {form_->ToolButton_Delete, "Delete Task"}};
    for (const auto& b : buttons) {
        EXPECT_TRUE(b.button->GetVisible());
        EXPECT_EQ(W(b.button)->toolTip().toStdString(), b.tip);
        auto* native = qobject_cast<QToolButton*>(W(b.button));
        ASSERT_NE(native, nullptr);
        EXPECT_FALSE(native->icon().isNull());
    }
    EXPECT_EQ(form_->ImageList_TaskToolButton->Count(), 4);
}

TEST_F(TaskManager, FileExitWithATaskRunningEndsTheTaskAndTheProgram) {
    TaskRecord* task = PausedUpload();
    form_->AddTask(task);
    ASSERT_TRUE(PumpUntil([&] { return !unit_->sessions().empty(); }));
    Responder().ExpectBox("There are still tasks in Task Manager.", vcl::IDYES);
    // The program's own loop runs: File > Exit is chosen in it, and it has to end.
    bool timedOut = false;
    vcl::Application->Post([&] { ChooseMenu(W().ToolButton_FileMenu, W().MenuItem_MenuExit); });
    QTimer::singleShot(60000, [&] {
        timedOut = true;
        vcl::Application->Terminate();
    });
    vcl::Application->Run();
    EXPECT_FALSE(timedOut) << "the program did not end";
    EXPECT_EQ(Responder().Pending(), 0);
    EXPECT_TRUE(vcl::Application->Terminated());
    EXPECT_EQ(FmTaskMan->GetTaskCount(), 0);
    const nassim::Session s = OnlySession();
    EXPECT_EQ(s.end, nassim::SessionEnd::Aborted);
    EXPECT_EQ(s.abortReason, kAbortStopped);
}

// Keys go where the desktop sends them: to the window that has the input focus.
void TypeIntoFocus(const std::string& text) {
    for (char c : text) {
        QWindow* window = QGuiApplication::focusWindow();
        ASSERT_NE(window, nullptr) << "no window has the focus";
        QTest::keyClick(window, c);
    }
}
void KeyIntoFocus(Qt::Key key) {
    QWindow* window = QGuiApplication::focusWindow();
    ASSERT_NE(window, nullptr) << "no window has the focus";
    QTest::keyClick(window, key);
}

// A report that opens while the user types into an account prompt opens beneath the prompt:
// the keys typed after it still reach the field the user was in, and the report is there to be
// acknowledged once the prompt has closed.
// A unit in the tree whose image deletion asks for an account.
class ReportUnderPrompt : public TaskManager {
protected:
    void AddMoreUnits() override {
        alpha_ = &AddUnit(2, "alpha", true, {"A"}, {Image("A/disc.iso")});
        alpha_->setUsers({{"user", "secret"}});
    }
    nassim::Unit* alpha_ = nullptr;
};

TEST_F(ReportUnderPrompt, AReportThatOpensDuringAnAccountPromptLeavesItsFieldsAndFocusAlone) {
    form_->Timer_RefreshTaskStatus->SetInterval(3600 * 1000);
    nassim::Unit& alpha = *alpha_;
    vcl::TTreeNode* unitNode = Child(W().NasServersNode, "alpha");
    ASSERT_NE(unitNode, nullptr);
    unitNode->Expand(false);
    ClickNode(Child(unitNode, "A"));
    ASSERT_EQ(W().ListView->Items()->Count(), 1);

    // A transfer runs, held back until the prompt is up.
    TaskRecord* task = PausedUpload();
    form_->AddTask(task);

    Responder().ExpectModal("Form1", Press("Yes")); // delete the image?
    Responder().ExpectModal("Form_Password", [&](vcl::TForm& form) {
        auto& prompt = dynamic_cast<TForm_Password&>(form);
        ASSERT_TRUE(prompt.Edit_UserName->GetVisible());
        // The prompt takes the focus as it opens, as on a desktop.
        ASSERT_TRUE(PumpUntil(
            [&] { return QGuiApplication::focusWindow() == W(&prompt)->windowHandle(); }));
        TypeIntoFocus("user");
        KeyIntoFocus(Qt::Key_Tab);
        TypeIntoFocus("sec");
        // The transfer ends now and its report opens.
        task->SetPaused(false);
        ASSERT_TRUE(PumpUntil([&] { return !Reports().empty(); }));
        PumpFor(std::chrono::milliseconds(50));
        TFmMsg* report = TFmMsg::OpenReports().back();
        EXPECT_FALSE(report->Active());
        EXPECT_EQ(QApplication::activeModalWidget(), W(&prompt));
        EXPECT_EQ(QGuiApplication::focusWindow(), W(&prompt)->windowHandle());
        EXPECT_EQ(QApplication::focusWidget(), W(prompt.Edit_Password));
        TypeIntoFocus("ret");
        EXPECT_EQ(prompt.Edit_UserName->GetText(), "user");
        EXPECT_EQ(prompt.Edit_Password->GetText(), "secret");
        KeyIntoFocus(Qt::Key_Return); // OK
    });
    QApplication::setActiveWindow(W(Form_Central));
    W().ListView->SetFocus();
    QTest::keyClick(FocusTarget(W().ListView), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(FocusTarget(W().ListView), Qt::Key_Delete);
    EXPECT_EQ(Responder().Pending(), 0);
    // The account was taken and the image deleted.
    ASSERT_EQ(alpha.requestsFor(nassim::kCommandDeleteImage).size(), 1u);

    // The report waits for its OK, which now works.
    ASSERT_EQ(TFmMsg::OpenReports().size(), 1u);
    TFmMsg* report = TFmMsg::OpenReports()[0];
    EXPECT_TRUE(report->GetVisible());
    EXPECT_NE(report->Label_Inform->GetCaption().find("[UP]"), std::string::npos)
        << report->Label_Inform->GetCaption();
    Click(report->BitBtn1);
    ASSERT_TRUE(PumpUntil([&] { return TFmMsg::OpenReports().empty(); }));
}

} // namespace
