// Remote recording against a simulated unit whose writer walks through scripted states: the
// request, the task's status and progress on the way, how it ends (success, write error, abort,
// failure), the image looked up by its exact name, the stop, and a mirror that goes on to record.
#include "../drives/sim_machine.h"
#include "cdrom.h"
#include "mirror_worker.h"
#include "record_worker.h"
#include "task_fixtures.h"

#include <gtest/gtest.h>

#include <mutex>

namespace {

class RecordWorker : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(unit_.unit, nullptr);
        nassim::ImageRecord image;
        image.id = 7;
        image.name = "DISC1";
        image.path = "IMAGES/DISC1";
        unit_.unit->setImages({image});
        task_.kind = task_kind::Record;
        task_.nas = unit_.Server();
        task_.recordFlags = 1 | 2 | 16;
        task_.writer = 1;
        tasktest::SetText(task_.request.imageName, sizeof task_.request.imageName, "DISC1");
        tasktest::SetText(task_.request.userName, sizeof task_.request.userName, "alice");
        waits_.hook = [this](TaskRecord& task, std::uint32_t ms) {
            std::lock_guard lock(seenMutex_);
            seen_.push_back({ms, task.status.load()});
        };
    }
    std::vector<std::pair<std::uint32_t, int>> Seen() {
        std::lock_guard lock(seenMutex_);
        return seen_;
    }

    tasktest::Unit unit_;
    tasktest::ManualWaits waits_;
    TaskRecord task_;
    std::mutex seenMutex_;
    std::vector<std::pair<std::uint32_t, int>> seen_; // each wait: its length, the task's status
};

TEST_F(RecordWorker, WriterStatesLeadToSuccessWithProgressAndRemainingTime) {
    unit_.unit->setWriterScript({{1, 0, 0}, {5, 50, 0}, {0, 100, 0}});
    RecordTaskExecute(task_);
    EXPECT_EQ(task_.status.load(), task_status::RecordDone);
    EXPECT_EQ(task_.errorCode.load(), 0);
    EXPECT_EQ(task_.progress.load(), 100);
    EXPECT_EQ(task_.runState.load(), run_state::Finished);
    // 5 s, the request, 1 s until the unit took it, 5 s: 50 percent after 11 s. The rate
    // 500000 / 11000 is truncated to 45 before the division.
    EXPECT_EQ(task_.remainingMs.load(), 500000u / 45u);
    const std::vector<std::pair<std::uint32_t, int>> expected = {
        {5000, 10}, {1000, 10}, {5000, 10}, {5000, 14}};
    EXPECT_EQ(Seen(), expected);
    const auto jobs = unit_.unit->recordings();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].imageId, 7u);
    EXPECT_EQ(jobs[0].imageName, "DISC1");
    EXPECT_EQ(jobs[0].writer, 1);
    EXPECT_EQ(jobs[0].flags & 3, 3); // bit 0 from option bit 1, bit 1 from option bit 4
    EXPECT_EQ(jobs[0].user, "alice");
}

TEST_F(RecordWorker, HowTheWriterEndsGivesTheStatus) {
    const struct {
        std::vector<nassim::WriterStep> script;
        int status, error;
    } table[] = {
        {{{5, 30, 0}, {0, 100, 15}}, task_status::WriteError, 0},
        {{{5, 30, 0}, {0, 40, 4096}}, task_status::RecordAborted, 0},
        {{{3, 0, 0}, {11, 0, 0}}, task_status::RecordFailed, task_error::RecordFail},
    };
    for (const auto& c : table) {
        tasktest::Unit unit;
        nassim::ImageRecord image;
        image.id = 3;
        image.name = "DISC1";
        unit.unit->setImages({image});
        unit.unit->setWriterScript(c.script);
        TaskRecord task;
        task.kind = task_kind::Record;
        task.nas = unit.Server();
        task.recordFlags = 1;
        tasktest::SetText(task.request.imageName, sizeof task.request.imageName, "DISC1");
        RecordTaskExecute(task);
        EXPECT_EQ(task.status.load(), c.status);
        EXPECT_EQ(task.errorCode.load(), c.error);
        EXPECT_EQ(task.runState.load(), run_state::Finished);
    }
}

TEST_F(RecordWorker, AnImageNameThatDiffersInCaseIsNotFound) {
    tasktest::SetText(task_.request.imageName, sizeof task_.request.imageName, "disc1");
    RecordTaskExecute(task_);
    EXPECT_EQ(task_.status.load(), task_status::RecordFailed);
    EXPECT_EQ(task_.errorCode.load(), 0);
    ASSERT_EQ(task_.notes.size(), 1u);
    EXPECT_NE(task_.notes[0].find("disc1"), std::string::npos);
    EXPECT_TRUE(unit_.unit->recordings().empty());
}

TEST_F(RecordWorker, AFailedRequestKeepsItsMappedError) {
    nassim::CommandFault fault;
    fault.command = nassim::kCommandRecord;
    fault.status = 17; // the writer is not a loader/writer
    unit_.unit->addCommandFault(fault);
    RecordTaskExecute(task_);
    EXPECT_EQ(task_.status.load(), task_status::RecordFailed);
    EXPECT_EQ(task_.errorCode.load(), 51);
}

TEST_F(RecordWorker, AStopWhileWaitingForTheUnitToTakeTheJobEndsThePolling) {
    unit_.unit->setWriterScript({{1, 0, 0}});
    waits_.hook = [](TaskRecord& task, std::uint32_t ms) {
        if (ms == 1000) task.RequestStop();
    };
    RecordTaskExecute(task_);
    EXPECT_EQ(task_.status.load(), task_status::RecordAborted);
    EXPECT_EQ(task_.runState.load(), run_state::Finished);
}

TEST_F(RecordWorker, AScheduledStartWaitsForItsTimeOnTheClock) {
    unit_.unit->setWriterScript({{0, 100, 0}});
    task_.scheduled = 1;
    task_.startTime = platform::Now() + std::chrono::seconds(10);
    RecordTaskExecute(task_);
    EXPECT_EQ(task_.status.load(), task_status::RecordDone);
    const auto seen = Seen();
    ASSERT_GE(seen.size(), 10u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(seen[static_cast<std::size_t>(i)].first, 1000u) << "wait " << i;
    EXPECT_EQ(seen[10].first, 5000u); // the first recording poll
}

TEST_F(RecordWorker, AScheduledTaskStoppedWhileWaitingEndsWithError48) {
    task_.scheduled = 1;
    task_.startTime = platform::Now() + std::chrono::hours(1);
    waits_.hook = [](TaskRecord& task, std::uint32_t) { task.RequestStop(); };
    RecordTaskExecute(task_);
    EXPECT_EQ(task_.errorCode.load(), task_error::StoppedBuilding);
    EXPECT_EQ(task_.status.load(), task_status::Stopped);
    EXPECT_TRUE(unit_.unit->recordings().empty());
}

TEST_F(RecordWorker, AMirrorGoesOnToRecordTheImageTheUnitMade) {
    SimMachine machine;
    auto& adapter = machine.AddAdapter("ATAPI SIM");
    machine.AddDrive(adapter, 0, 0, "REC", discsim::MakeDataCd(200));
    machine.Start().SetSleeper([](std::uint32_t) {});
    CDH_LOGICAL_CDROM_CLASS table;
    ASSERT_TRUE(table.Rescan());
    unit_.unit->setImages({});
    unit_.unit->setWriterScript({{5, 50, 0}, {0, 100, 15}});
    TaskRecord task;
    task.kind = task_kind::Mirror;
    task.drive = table.GetDevice('D');
    task.nas = unit_.Server();
    task.recordFlags = 1;
    tasktest::SetText(task.request.folderName, sizeof task.request.folderName, "IMAGES");
    tasktest::SetText(task.request.imageName, sizeof task.request.imageName, "MIRRORED");
    MirrorTaskExecute(task);
    EXPECT_EQ(task.errorCode.load(), 0);
    EXPECT_EQ(task.status.load(), task_status::WriteError);
    const auto jobs = unit_.unit->recordings();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].imageId, unit_.unit->state().images.at(0).id);
}

} // namespace
