// Task codes and texts: the mapping of access-library results, the error, status and recording
// texts, the task-kind names and the result report of every finish status.
#include "msgbox.h"
#include "task_codes.h"
#include "task_report.h"
#include "task_wait.h"

#include "clock/clock.h"

#include <gtest/gtest.h>

namespace {

class TaskTexts : public testing::Test {
protected:
    void SetUp() override {
        saved_ = LanguageIndex;
        LanguageIndex = 0;
        LoadTaskKindTexts();
    }
    void TearDown() override { LanguageIndex = saved_; }
    int saved_ = 0;
};

TEST(TaskCodes, AccessLibraryResultsMapOntoTaskErrors) {
    const std::pair<int, int> table[] = {{0, 0},   {-3, 20}, {-1, 24},  {1, 25},   {2, 36},
                                         {3, 21},  {4, 21},  {8, 21},   {6, 6},    {10, 29},
                                         {11, 33}, {12, 37}, {13, 38},  {14, 34},  {15, 50},
                                         {17, 51}, {5, 255}, {-2, 255}, {16, 255}, {9999, 255}};
    for (const auto& [result, code] : table)
        EXPECT_EQ(MapApiResultToTaskError(result), code) << "result " << result;
}

TEST_F(TaskTexts, ErrorTextsNameTheFileOrTheFailedRead) {
    TaskRecord task;
    task.pathBuffer = "/data/a.txt";
    const std::pair<int, std::string> table[] = {
        {2, "System memory not enough."},
        {26, "Mirror password error."},
        {29, "The same CD/DVD image already exist in the destination."},
        {39, "Source CD drive overload."},
        {40, "Source CD format unsupported."},
        {42, "Container size too large."},
        {44, "Source file has changed. (File=/data/a.txt)"},
        {46, "Source file open error. (File=/data/a.txt)"},
        {52, "The name of /data/a.txt is too long for the image."},
        {53, "The image cannot keep the name of /data/a.txt as it is."},
        {241, "Fatal error occured, check log file.\n(File=/data/a.txt)"},
        {9, "Network communication error. (Code=9)"},
        {24, "Network communication error. (Code=24)"},
        {0, "Unknown error. (Code=0)"},
        {255, "Unknown error. (Code=255)"},
    };
    for (const auto& [code, text] : table) {
        task.errorCode = static_cast<std::uint8_t>(code);
        EXPECT_EQ(FormatTaskError(task), text) << "code " << code;
    }
    task.errorCode = 41;
    task.failedLba = 0x1234;
    task.failedRun = 1;
    task.failedPasses = 4;
    EXPECT_EQ(FormatTaskError(task), "Read source CD error. (LBA=$00001234, SCT=1, ESC=4)");

    const std::pair<int, std::string> record[] = {
        {25, "System busy."},
        {36, "Record disc format unsupported."},
        {40, "Record disc format unsupported."},
        {50, "Record fail !!"},
        {51, "The specified CD writer is not in \"Loader/Writer\" Function"},
        {21, "Network communication error. (Code=21)"},
        {29, "Unknown error. (Code=29)"},
    };
    for (const auto& [code, text] : record) {
        task.errorCode = static_cast<std::uint8_t>(code);
        EXPECT_EQ(FormatRecordError(task), text) << "code " << code;
    }
}

TEST_F(TaskTexts, StatusAndKindTexts) {
    const std::pair<int, std::string> table[] = {{0, ""},
                                                 {1, "Sorting"},
                                                 {3, "Building Volume"},
                                                 {4, "??m:??s"},
                                                 {5, "Fail !!"},
                                                 {8, "Abort !!"},
                                                 {10, "Wait recording"},
                                                 {17, "Record success !!"},
                                                 {18, "Record abort !!"},
                                                 {19, ""},
                                                 {200, ""}};
    for (const auto& [code, text] : table)
        EXPECT_EQ(GetTaskStatusText(static_cast<std::uint8_t>(code)), text) << "code " << code;

    TaskRecord task;
    const std::pair<std::pair<int, int>, std::string> kinds[] = {
        {{task_kind::Mirror, 0}, "Mirror CD/DVD"},
        {{task_kind::Build, container_kind::FromDisc}, "Mirror CD/DVD"},
        {{task_kind::Build, container_kind::HostFiles}, "Build Container"},
        {{task_kind::Record, 0}, "Record CD/DVD"},
        {{task_kind::Upload, 0}, "Mirror"}};
    for (const auto& [k, text] : kinds) {
        task.kind = static_cast<std::uint8_t>(k.first);
        task.containerKind = static_cast<std::uint8_t>(k.second);
        EXPECT_EQ(TaskKindText(TaskKindSlot(task)), text);
    }
}

struct ReportCase {
    std::uint8_t kind, containerKind, status, error;
    std::string text;
    int icon;
};

TEST_F(TaskTexts, ReportsByStatus) {
    const std::string tail = "Source: [My Container]\nTarget: '':IMAGES : [BACKUP]\n";
    const std::string record = "Record: CDR2 [BACKUP]\n";
    const std::string used = "Used time: 1m:05s";
    const ReportCase table[] = {
        {task_kind::Build, 1, 6, 0, "Build container completed !!\n\n" + tail + used, 0},
        {task_kind::Build, 1, 5, 44,
         "Build container fail !!\nSource file has changed. (File=x)\n\n" + tail + used, 1},
        {task_kind::Build, 1, 5, 29,
         "Build container fail !!\nThe same CD/DVD image already exist in the destination.\n\n" +
             tail + used,
         2},
        {task_kind::Build, 3, 5, 2,
         "Mirror Complete: Error Container Type!!!\nSystem memory not enough.\n\n" + tail + used,
         1},
        {task_kind::Build, 1, 8, 49, "User abort !!\n\n" + tail + used, 2},
        {task_kind::Build, 1, 16, 26,
         "Remote record fail !!\nRecord password error.\n\n" + tail + record + used, 1},
        {task_kind::Build, 1, 17, 0, "Remote record completed !!\n\n" + tail + record + used, 0},
        {task_kind::Build, 1, 18, 0, "User abort !!\n\n" + tail + record + used, 2},
        {task_kind::Build, 1, 19, 0, "Could not write to disc!!\n\n" + tail + record + used, 2},
        // A state without a report of its own is no success.
        {task_kind::Build, 1, 7, 3, "Unknown state !! (State=7, Ecode=3)\n\n", 2},
    };
    for (const ReportCase& c : table) {
        TaskRecord task;
        task.kind = c.kind;
        task.containerKind = c.containerKind;
        task.status = c.status;
        task.errorCode = c.error;
        task.pathBuffer = "x";
        task.writer = 1;
        task.startTick = 1000;
        std::snprintf(task.request.folderName, sizeof task.request.folderName, "IMAGES");
        std::snprintf(task.request.imageName, sizeof task.request.imageName, "BACKUP");
        const TaskReport report = ComposeTaskReport(task, 1000 + 65000);
        EXPECT_EQ(report.text, c.text) << "status " << int{c.status};
        EXPECT_EQ(report.icon, c.icon) << "status " << int{c.status};
        EXPECT_EQ(report.caption, "Build Container");
    }
}

TEST_F(TaskTexts, EveryFailureReportHasAHeadline) {
    const struct {
        std::uint8_t kind, containerKind;
        std::string headline;
    } table[] = {
        {task_kind::Upload, 0, "Upload ISO Fail !!\nNetwork communication error. (Code=24)\n"},
        {task_kind::Record, 0, "Record CD/DVD Fail !!\nNetwork communication error. (Code=24)\n"},
        {task_kind::Mirror, 0, "Mirror CD/DVD fail !!\nNetwork communication error. (Code=24)\n"},
    };
    for (const auto& c : table) {
        TaskRecord task;
        task.kind = c.kind;
        task.containerKind = c.containerKind;
        task.status = task_status::Failed;
        task.errorCode = 24;
        const TaskReport report = ComposeTaskReport(task, 0);
        EXPECT_EQ(report.text.substr(0, c.headline.size()), c.headline) << report.text;
        EXPECT_EQ(report.icon, report_icon::Failure);
    }
}

TEST_F(TaskTexts, ANoteTurnsASuccessIntoAWarningAndIsShown) {
    TaskRecord task;
    task.kind = task_kind::Upload;
    task.status = task_status::Done;
    task.notes.push_back("1 sector(s) at LBA 7 could not be read and were sent as zeros.");
    const TaskReport report = ComposeTaskReport(task, 0);
    EXPECT_EQ(report.caption, "Mirror");
    EXPECT_NE(report.text.find("ISO File was uploaded"), std::string::npos);
    EXPECT_NE(report.text.find("\n1 sector(s) at LBA 7"), std::string::npos);
    EXPECT_EQ(report.icon, report_icon::Warning);
}

TEST(TaskProgress, StaysWithinItsBoundsAndNeverDividesByZero) {
    platform::ManualClock clock(10000);
    platform::ScopedClock scope(clock);
    const struct {
        std::uint64_t done, total;
        std::uint32_t elapsedMs;
        int progress;
        std::uint32_t remaining;
    } table[] = {
        {0, 0, 1000, 100, 0},                                   // nothing to send
        {0, 100, 1000, 0, 0},                                   // nothing sent yet: no estimate
        {50, 100, 0, 50, 0},                                    // no time passed: no estimate
        {25, 100, 3000, 25, 9000},                              // the rate so far
        {150, 100, 3000, 100, 0},                               // more than announced
        {1ull << 40, 1ull << 41, 4000000000u, 50, 4000000000u}, // large counts, no overflow
    };
    for (const auto& c : table) {
        TaskRecord task;
        task.startTick = 10000 - c.elapsedMs;
        SetTransferProgress(task, c.done, c.total);
        EXPECT_EQ(task.progress.load(), c.progress) << c.done << "/" << c.total;
        EXPECT_EQ(task.remainingMs.load(), c.remaining) << c.done << "/" << c.total;
    }
}

} // namespace
