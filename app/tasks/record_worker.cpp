#include "record_worker.h"

#include "elapsed.h"
#include "nasserver.h"
#include "task_record.h"
#include "task_session.h"
#include "task_wait.h"

#include <cstring>
#include <vector>

namespace {

constexpr std::uint32_t kPollMs = 5000;
constexpr std::uint32_t kJobTakeMs = 1000;
constexpr int kNoJobYet = 16; // the status of a writer with no job: no failure before the request

void Fail(TaskRecord& task, int code) {
    FailTask(task, code, task_status::RecordFailed);
}

std::string Field(const char* text, std::size_t width) {
    return std::string(text, strnlen(text, width));
}

// Applies one status reply; true when polling ends.
bool ApplyWriterState(TaskRecord& task, const NasCDBurningStat& stat) {
    const unsigned percent = stat.percentDone > 100 ? 100 : stat.percentDone;
    switch (stat.writerState) {
    case 0:
        task.status.store(stat.endReason == 4096u ? task_status::RecordAborted
                          : stat.endReason == 15u ? task_status::WriteError
                                                  : task_status::RecordDone);
        task.progress.store(static_cast<std::uint8_t>(percent));
        return true;
    case 1:
    case 2:
        task.status.store(task_status::WaitRecording);
        break;
    case 3:
    case 4:
    case 9:
        task.status.store(task_status::Blanking);
        break;
    case 5:
    case 6:
    case 7:
    case 8:
        task.status.store(task_status::Recording);
        break;
    case 10:
        task.status.store(task_status::NoDisc);
        break;
    default:
        Fail(task, task_error::RecordFail);
        return true;
    }
    task.progress.store(static_cast<std::uint8_t>(percent));
    const std::uint64_t t = TickDiff(task.startTick.load(), platform::GetTickCount());
    const std::uint64_t done = std::uint64_t{percent} * 10000;
    if (t != 0 && done / t != 0)
        task.remainingMs.store(static_cast<std::uint32_t>((1000000 - done) / (done / t)));
    return false;
}

// The first pass: the writer's job counter, the image, the request and the wait until the
// unit took the job. False when the recording ended.
bool RequestRecording(TaskRecord& task, CNasServer& server) {
    const std::uint32_t job[2] = {task.writer, task.jobWord};
    NasCDBurningStat stat{};
    int result = server.GetCdBurningStat(job, &stat);
    if (result != 0 && result != kNoJobYet) {
        Fail(task, MapApiResultToTaskError(result));
        return false;
    }
    task.jobCounter = result == 0 ? stat.jobCounter : 0;
    const std::string imageName = Field(task.request.imageName, sizeof task.request.imageName);
    const std::int64_t id = FindServerImage(server, imageName, result);
    if (id < 0) {
        if (result == 0)
            task.notes.push_back("The unit lists no image named \"" + imageName + "\".");
        Fail(task, MapApiResultToTaskError(result));
        return false;
    }
    NasBurnInfo burn{};
    std::memcpy(burn.userName, task.request.userName, sizeof burn.userName);
    std::memcpy(burn.password, task.request.password, sizeof burn.password);
    burn.imageId = static_cast<std::uint32_t>(id);
    std::memcpy(burn.imageName, task.request.imageName, sizeof burn.imageName);
    burn.writer = static_cast<std::uint8_t>(task.writer & 0xFF);
    burn.flags = static_cast<std::uint8_t>(((task.recordFlags & 2) ? 1 : 0) |
                                           ((task.recordFlags & 16) ? 2 : 0));
    if (result = server.RemoteCdBurning(&burn); result != 0) {
        Fail(task, MapApiResultToTaskError(result));
        return false;
    }
    // The unit takes the job when the writer's job counter moves on; the wait is bounded.
    for (int poll = 0; task.Running(); ++poll) {
        if (poll == kJobTakePolls) {
            task.notes.push_back("The unit did not take the recording job.");
            Fail(task, task_error::RecordFail);
            return false;
        }
        TaskSleep(task, kJobTakeMs);
        if (!task.Running()) break;
        if (result = server.GetCdBurningStat(job, &stat); result != 0) {
            Fail(task, MapApiResultToTaskError(result));
            return false;
        }
        if (stat.jobCounter > task.jobCounter) return true;
    }
    return false;
}

} // namespace

std::int64_t FindServerImage(CNasServer& server, const std::string& name, int& result) {
    std::vector<NasImgInfo> images(NAS_IMG_INFO_MAX);
    int count = 0;
    result = server.GetImgList(count, images.data());
    if (result != 0) return -1;
    for (int i = 0; i < count && i < NAS_IMG_INFO_MAX; ++i)
        if (Field(images[i].name, sizeof images[i].name) == name) return images[i].imageId;
    return -1;
}

void RunRemoteRecording(TaskRecord& task) {
    task.status.store(task_status::WaitRecording);
    task.progress.store(0);
    task.remainingMs.store(0);
    if (!task.nas) {
        Fail(task, task_error::UnknownResult);
        return;
    }
    CNasServer& server = *task.nas;
    const std::uint32_t job[2] = {task.writer, task.jobWord};
    bool first = true;
    bool ended = false;
    while (!ended && task.Running()) {
        TaskSleep(task, kPollMs);
        if (!task.Running()) break;
        if (first) {
            first = false;
            if (!RequestRecording(task, server)) break;
            continue;
        }
        NasCDBurningStat stat{};
        if (const int result = server.GetCdBurningStat(job, &stat); result != 0) {
            Fail(task, MapApiResultToTaskError(result));
            break;
        }
        ended = ApplyWriterState(task, stat);
    }
    if (task.State() == run_state::StopRequested && task.status.load() != task_status::RecordFailed)
        task.status.store(task_status::RecordAborted);
}

void RecordTaskExecute(TaskRecord& task) {
    task.status.store(0);
    task.progress.store(0);
    task.startTick.store(platform::GetTickCount());
    task.remainingMs.store(0);
    if (!task.EnterRunning())
        FailTask(task, task_error::StoppedBuilding, task_status::Stopped);
    else if (WaitForScheduledStart(task) == 1 && (task.recordFlags & 1) != 0)
        RunRemoteRecording(task);
    task.SetRunState(run_state::Finished);
}
