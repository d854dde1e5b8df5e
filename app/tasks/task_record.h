// TaskRecord: one background task of the task manager (mirror a disc, build an image from a
// container, record an image on a unit's writer, upload an ISO file). Its worker thread writes the
// status, run state, progress, error code, start tick and remaining time; the task manager's
// refresh reads them and the GUI thread writes the run state (stop, pause, resume) and the
// scheduled flag. Those fields are atomics; run-state changes that must not lose a stop use
// compare-exchange (RequestStop, EnterRunning, SetRunState).
#pragma once

#include "isobuild_sink.h"
#include "nasapi.h"

#include "clock/clock.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CNasServer;
class MIRROR_CONTAINER;
class TScsiCdd;
class TBMThread;
namespace vcl {
class TListItem;
}

// Task kinds.
namespace task_kind {
inline constexpr std::uint8_t Mirror = 1;
inline constexpr std::uint8_t Build = 2;
inline constexpr std::uint8_t Record = 4;
inline constexpr std::uint8_t Upload = 6;
} // namespace task_kind

// Task status byte: the phase or result of the job.
namespace task_status {
inline constexpr std::uint8_t None = 0;
inline constexpr std::uint8_t Numbering = 1;
inline constexpr std::uint8_t Layout = 2; // path tables and directory records
inline constexpr std::uint8_t Descriptors = 3;
inline constexpr std::uint8_t Sending = 4;
inline constexpr std::uint8_t Failed = 5;
inline constexpr std::uint8_t Done = 6;
inline constexpr std::uint8_t Paused = 7;
inline constexpr std::uint8_t Stopped = 8;
inline constexpr std::uint8_t Busy = 9;
inline constexpr std::uint8_t WaitRecording = 10; // codes 10 to 18: the recording phase
inline constexpr std::uint8_t NoDisc = 11;
inline constexpr std::uint8_t Startup = 12;
inline constexpr std::uint8_t Blanking = 13;
inline constexpr std::uint8_t Recording = 14;
inline constexpr std::uint8_t Closing = 15;
inline constexpr std::uint8_t RecordFailed = 16;
inline constexpr std::uint8_t RecordDone = 17;
inline constexpr std::uint8_t RecordAborted = 18;
inline constexpr std::uint8_t WriteError = 19; // the writer ended with a write error
} // namespace task_status

// Task run state byte: the low four bits; the high bit marks a paused task.
namespace run_state {
inline constexpr std::uint8_t Created = 0;
inline constexpr std::uint8_t Waiting = 1; // for the scheduled start
inline constexpr std::uint8_t Running = 2;
inline constexpr std::uint8_t StopRequested = 3;
inline constexpr std::uint8_t Finished = 4;
inline constexpr std::uint8_t Removable = 5; // the refresh removes the task
inline constexpr std::uint8_t Paused = 0x80;
} // namespace run_state

// Task error codes the workers set themselves (the access library's results map onto 6-38, 50,
// 51 and 255; the image builder's onto 42-49 and 240).
namespace task_error {
inline constexpr std::uint8_t NoMemory = 2;
inline constexpr std::uint8_t SendFailed = 23;
inline constexpr std::uint8_t DriveOverload = 39;   // the source drive already has 8 readers
inline constexpr std::uint8_t DiscUnsupported = 40; // disc kind not supported
inline constexpr std::uint8_t ReadFailed41 = 41;    // unreadable sectors, a fourth time in a track
inline constexpr std::uint8_t TooLarge = 42;        // also every limit the image format cannot hold
inline constexpr std::uint8_t SourceMissing = 43;
inline constexpr std::uint8_t SourceChanged = 44;
inline constexpr std::uint8_t SourceKindChanged = 45;
inline constexpr std::uint8_t OpenFailed = 46;
inline constexpr std::uint8_t ReadFailed = 47;
inline constexpr std::uint8_t StoppedBuilding = 48; // also: stopped while waiting for the schedule
inline constexpr std::uint8_t StoppedSending = 49;
inline constexpr std::uint8_t RecordFail = 50;
// A name too long for a directory record; the path buffer names the entry. Its text is
// kNameTooLongForImageMessage with that path.
inline constexpr std::uint8_t NameTooLong = 52;
// A name a reader would not give back as it is (a folder name with ';', a name twice in one
// folder); the path buffer names the entry, the notes the reason. Its text is
// kNameNotKeptMessage with that path.
inline constexpr std::uint8_t NameNotKept = 53;
inline constexpr std::uint8_t Inconsistent = 240; // the layout's phases disagree (never expected)
inline constexpr std::uint8_t CheckFailed = 241;  // the build's totals disagree with the container
inline constexpr std::uint8_t UnknownResult = 255;
} // namespace task_error

// "The name of %s is too long for the image."
inline constexpr int kNameTooLongForImageMessage = 936;
// "The image cannot keep the name of %s as it is."
inline constexpr int kNameNotKeptMessage = 938;

// Reasons of an aborted session.
inline constexpr int kAbortStopped = 4096;
inline constexpr int kAbortFailed = 4097;

inline constexpr std::size_t kTransferBufferSize = 32768;

// Container kinds of a build task.
namespace container_kind {
inline constexpr std::uint8_t HostFiles = 1;
inline constexpr std::uint8_t FromDisc = 2;
} // namespace container_kind

struct TaskRecord {
    TaskRecord() = default;
    TaskRecord(const TaskRecord&) = delete;
    TaskRecord& operator=(const TaskRecord&) = delete;

    // ---- Shared between the worker and the GUI thread.
    std::atomic<std::uint8_t> status{0};
    std::atomic<std::uint8_t> runState{0};
    std::atomic<std::uint8_t> progress{0}; // 0-100
    std::atomic<std::uint8_t> scheduled{0};
    std::atomic<std::uint8_t> errorCode{0};
    std::atomic<std::uint32_t> startTick{0};
    std::atomic<std::uint32_t> remainingMs{0};

    // ---- Set when the task is made, read-only afterwards.
    std::uint64_t serial = 0; // the task manager's number for it, never used twice in a run
    std::uint8_t kind = 0;
    platform::WallTime startTime{}; // the scheduled start
    std::string imagePath;          // upload: the ISO file to send
    std::uint32_t imageSizeKb = 0;  // upload: its size in KB
    vcl::TListItem* row = nullptr;  // the task's row (the list owns it)
    bool finishEventRan = false;    // GUI thread: the worker's OnTerminate has run
    bool countsAsReader = false;    // GUI thread: the container counts this task as a reader
    // GUI thread: what the row last saw of the transfer (remaining time and progress) and the
    // tick when that last changed; a transfer that has not moved for a while shows its remaining
    // time as unknown.
    std::uint32_t seenRemainingMs = 0;
    std::uint8_t seenProgress = 0;
    std::uint32_t seenChangeTick = 0;
    TBMThread* worker = nullptr; // owned by the task manager window
    // The task's own copy of the destination server object: every library call of the task goes
    // through it.
    std::shared_ptr<CNasServer> nas;
    TScsiCdd* drive = nullptr; // mirror and record: the source drive; build from a disc: its drive
    std::uint8_t containerKind = 0; // build: container_kind
    bool lockDoor = false;
    bool eject = false;
    // Filled by the wizard; the workers set the counts and kinds, and the session's start writes
    // the image name the unit answers with. The row shows the folder and image name while the
    // worker runs: those are read with RequestText and written with EditRequest, both under the
    // task's lock.
    NasMirrorInfo request{};
    // Recording settings.
    std::uint16_t writer = 0; // the unit's CD writer, shown as number + 1
    std::uint8_t speedIndex = 0;
    std::uint8_t recordFlags = 0; // bit 0 record after a successful transfer; bits 1, 4 options
    std::uint32_t jobWord = 0;

    // ---- Written by the worker; read by the GUI after the worker ended (finish event).
    std::uint32_t failedLba = 0, failedRun = 0, failedPasses = 0; // error 41
    std::vector<std::string> notes; // what the report must say besides the result (skips, zeros)
    std::uint32_t jobCounter = 0;   // the writer's job counter before the recording request

    // ---- The build (read and written by the image builder).
    MIRROR_CONTAINER* container = nullptr;
    // Keeps a container read from a disc alive while the task may read it; the wizard may hold
    // it too, and the last holder frees it.
    std::shared_ptr<MIRROR_CONTAINER> containerOwner;
    IsoImageSink* server = nullptr; // where the image goes; the task's server copy when null
    std::vector<std::uint8_t> transferBuffer; // 32 KiB, allocated by the build worker
    std::string pathBuffer; // the source being read; the log path; an entry the image refuses
    std::string volumeLabel;
    std::uint32_t folderCount = 0;
    std::uint32_t fileCount = 0;
    std::uint64_t bytesBeforeData = 0; // system area, descriptors, path tables, directories
    std::uint64_t fileDataBytes = 0;
    std::uint64_t imageBytes = 0;
    std::uint64_t sentBytes = 0;
    std::uint64_t allocatedBytes = 0;

    bool Running() const { return (runState.load() & 15) == run_state::Running; }
    std::uint8_t State() const { return runState.load() & 15; }
    bool IsPaused() const { return (runState.load() & run_state::Paused) != 0; }

    // The worker marks the task running unless a stop was requested; keeps the paused bit.
    bool EnterRunning() { return ChangeUnlessStopped(run_state::Running); }
    // Changes the low bits to state unless a stop was requested (keeps the paused bit).
    bool ChangeUnlessStopped(std::uint8_t state) {
        std::uint8_t s = runState.load();
        while ((s & 15) != run_state::StopRequested) {
            if (runState.compare_exchange_weak(
                    s, static_cast<std::uint8_t>((s & run_state::Paused) | state))) {
                Wake();
                return true;
            }
        }
        return false;
    }
    // Changes the low bits from one state to another (keeps the paused bit); false when the
    // state was not from.
    bool ChangeFrom(std::uint8_t from, std::uint8_t to) {
        std::uint8_t s = runState.load();
        while ((s & 15) == from) {
            if (runState.compare_exchange_weak(
                    s, static_cast<std::uint8_t>((s & run_state::Paused) | to))) {
                Wake();
                return true;
            }
        }
        return false;
    }
    // A stop request: states below 3 become 3 (the paused bit goes with it). False when the task
    // already stops or has ended.
    bool RequestStop() {
        std::uint8_t s = runState.load();
        while ((s & 15) < run_state::StopRequested) {
            if (runState.compare_exchange_weak(s, run_state::StopRequested)) {
                Wake();
                return true;
            }
        }
        return false;
    }
    // Sets or clears the paused bit; false when it already had that value.
    bool SetPaused(bool paused) {
        std::uint8_t s = runState.load();
        for (;;) {
            if (((s & run_state::Paused) != 0) == paused) return false;
            if (paused && (s & 15) >= run_state::StopRequested) return false;
            const auto next = static_cast<std::uint8_t>(paused ? (s | run_state::Paused)
                                                               : (s & ~run_state::Paused));
            if (runState.compare_exchange_weak(s, next)) {
                Wake();
                return true;
            }
        }
    }
    // Sets the run state as the worker's last word (4) or the refresh's (4, 5).
    void SetRunState(std::uint8_t state) {
        runState.store(state);
        Wake();
    }

    // The worker waits here while the task is paused; a stop or a resume ends the wait.
    void WaitWhilePaused() {
        std::unique_lock lock(wakeMutex_);
        wake_.wait(lock, [this] {
            const std::uint8_t s = runState.load();
            return (s & run_state::Paused) == 0 || (s & 15) >= run_state::StopRequested;
        });
    }
    // Waits up to ms of real time or until the run state changes; tests replace the waiting
    // through SetTaskSleeper (task_wait.h).
    template <typename Pred> void WaitFor(std::chrono::milliseconds ms, Pred changed) {
        std::unique_lock lock(wakeMutex_);
        wake_.wait_for(lock, ms, changed);
    }
    void Wake() {
        { std::lock_guard lock(wakeMutex_); }
        wake_.notify_all();
    }

    // A text field of the request (up to its terminator or its width), read under the lock.
    std::string RequestText(const char* field, std::size_t width) const {
        std::lock_guard lock(requestMutex_);
        std::size_t n = 0;
        while (n < width && field[n] != 0)
            ++n;
        return std::string(field, n);
    }
    // Changes the request under the lock (the worker, while the GUI may read it).
    template <typename Edit> void EditRequest(Edit edit) {
        std::lock_guard lock(requestMutex_);
        edit(request);
    }

private:
    mutable std::mutex requestMutex_;
    std::mutex wakeMutex_;
    std::condition_variable wake_;
};

// The task error code of an access-library result: 0 for success, 255 for a result without a
// code of its own.
std::uint8_t MapApiResultToTaskError(int result);
