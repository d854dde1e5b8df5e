#include "task_wait.h"

#include "elapsed.h"

#include <mutex>

namespace {

std::mutex sleeperMutex;
TaskSleeper installed;

} // namespace

void SetTaskSleeper(TaskSleeper sleeper) {
    std::lock_guard lock(sleeperMutex);
    installed = std::move(sleeper);
}

void TaskSleep(TaskRecord& task, std::uint32_t ms) {
    TaskSleeper sleeper;
    {
        std::lock_guard lock(sleeperMutex);
        sleeper = installed;
    }
    if (sleeper) {
        sleeper(task, ms);
        return;
    }
    const std::uint8_t before = task.runState.load();
    task.WaitFor(std::chrono::milliseconds(ms), [&] { return task.runState.load() != before; });
}

int WaitForScheduledStart(TaskRecord& task) {
    if (task.scheduled.load() != 0 && task.ChangeUnlessStopped(run_state::Waiting)) {
        while (task.State() == run_state::Waiting) {
            if (platform::Now() < task.startTime)
                TaskSleep(task, 1000);
            else
                task.ChangeFrom(run_state::Waiting, run_state::Running);
        }
    }
    task.startTick.store(platform::GetTickCount());
    if (task.State() == run_state::Running) return 1;
    task.errorCode.store(task_error::StoppedBuilding);
    task.status.store(task_status::Stopped);
    task.RequestStop();
    return -1;
}

void SetTransferProgress(TaskRecord& task, std::uint64_t done, std::uint64_t total) {
    std::uint64_t percent = total == 0 ? 100 : done * 100 / total;
    if (percent > 100) percent = 100;
    task.progress.store(static_cast<std::uint8_t>(percent));
    const std::uint64_t elapsed = TickDiff(task.startTick.load(), platform::GetTickCount());
    if (done == 0 || elapsed == 0) return;
    const std::uint64_t left = done < total ? total - done : 0;
    const auto ms = static_cast<unsigned __int128>(left) * elapsed / done;
    task.remainingMs.store(ms > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(ms));
}
