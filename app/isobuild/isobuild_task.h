// The build task as the image builder sees it: the task record's fields that a build reads and
// writes, and the worker that lays out a container as an image and streams it to a unit.
#pragma once

#include "container.h"
#include "disc_info.h"
#include "isobuild_sink.h"
#include "nasapi.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// Task status byte.
namespace task_status {
inline constexpr std::uint8_t Numbering = 1;
inline constexpr std::uint8_t Layout = 2; // path tables and directory records
inline constexpr std::uint8_t Descriptors = 3;
inline constexpr std::uint8_t Sending = 4;
inline constexpr std::uint8_t Failed = 5;
inline constexpr std::uint8_t Done = 6;
inline constexpr std::uint8_t Stopped = 8;
} // namespace task_status

// Task run state byte: the low four bits; the high bit marks a paused task.
namespace run_state {
inline constexpr std::uint8_t Waiting = 1;
inline constexpr std::uint8_t Running = 2;
inline constexpr std::uint8_t StopRequested = 3;
inline constexpr std::uint8_t Finished = 4;
inline constexpr std::uint8_t Paused = 0x80;
} // namespace run_state

// Task error codes of a build.
namespace task_error {
inline constexpr std::uint8_t NoMemory = 2;
inline constexpr std::uint8_t SendFailed = 23;
inline constexpr std::uint8_t TooLarge = 42; // also every limit the image format cannot hold
inline constexpr std::uint8_t SourceMissing = 43;
inline constexpr std::uint8_t SourceChanged = 44;
inline constexpr std::uint8_t SourceKindChanged = 45;
inline constexpr std::uint8_t OpenFailed = 46;
inline constexpr std::uint8_t ReadFailed = 47;
inline constexpr std::uint8_t StoppedBuilding = 48;
inline constexpr std::uint8_t StoppedSending = 49;
inline constexpr std::uint8_t Inconsistent = 240; // the layout's phases disagree (never expected)
inline constexpr std::uint8_t CheckFailed = 241;  // the build's totals disagree with the container
inline constexpr std::uint8_t UnknownResult = 255;
} // namespace task_error

// Reasons of an aborted session.
inline constexpr int kAbortStopped = 4096;
inline constexpr int kAbortFailed = 4097;

inline constexpr std::size_t kTransferBufferSize = 32768;

struct TaskRecord {
    // Written by the worker, read by the task list at any time; a stop request writes runState.
    std::atomic<std::uint8_t> status{0};
    std::atomic<std::uint8_t> runState{0};
    std::atomic<std::uint8_t> progress{0}; // 0-100
    std::atomic<std::uint8_t> errorCode{0};
    std::atomic<std::uint32_t> startTick{0};
    std::atomic<std::uint32_t> remainingMs{0};

    IsoImageSink* server = nullptr; // the task's own server object
    MIRROR_CONTAINER* container = nullptr;
    std::vector<std::uint8_t> transferBuffer; // 32 KiB, allocated by the build worker
    std::string pathBuffer; // the source being read; the log path; an entry the image refuses
    std::string volumeLabel;
    NasMirrorInfo request{}; // filled by the wizard; the build sets the image's counts

    // Build statistics.
    std::uint32_t folderCount = 0;
    std::uint32_t fileCount = 0;
    std::uint64_t bytesBeforeData = 0; // system area, descriptors, path tables, directories
    std::uint64_t fileDataBytes = 0;
    std::uint64_t imageBytes = 0;
    std::uint64_t sentBytes = 0;
    std::uint64_t allocatedBytes = 0;

    bool Running() const { return (runState.load() & 15) == run_state::Running; }
};

// The task error code of an access-library result: 0 for success, 255 for a result without a
// code of its own.
std::uint8_t MapApiResultToTaskError(int result);
// The track table of a disc description, as a mirror session announces it.
void BuildCdTable(const DiscInfo& disc, NasCDTable& table);

// The build worker: lays out the task's container, opens the session, sends the system area, the
// volume structures and every file's data, checks the totals and ends the session (completed on
// success, aborted otherwise). Leaves status, error code and run state 4 (finished) in the task.
void RunBuildContainerTask(TaskRecord& task);
// The execute event of a build task: status, progress and remaining time 0, start tick now, then
// the build worker.
void BuildTaskExecute(TaskRecord& task);
// The end of a build task, on the GUI thread: a container that owns its hidden tree node gives
// up its binding.
void BuildTaskTerminate(TaskRecord& task);
