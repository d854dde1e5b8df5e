#include "isobuild_task.h"

#include "cdrom.h"
#include "clock/clock.h"
#include "iso9660_records.h"
#include "isobuild.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t kMetadataMessage = 4 * iso::kSectorSize;

// The mirror request's disc-kind bits and file-system word of a one-track CD-Data image.
constexpr std::uint32_t kDataDiscBits = 1;
constexpr std::uint32_t kCdfsWord = 1;
constexpr std::uint8_t kModeFromContainer = 3;

void Fail(TaskRecord& task, int code, std::uint8_t status) {
    task.errorCode.store(static_cast<std::uint8_t>(code));
    task.status.store(status);
}

// Marks the task running unless a stop was requested before it got here.
bool EnterRunning(TaskRecord& task) {
    std::uint8_t state = task.runState.load();
    while ((state & 15) != run_state::StopRequested) {
        const auto running =
            static_cast<std::uint8_t>((state & run_state::Paused) | run_state::Running);
        if (task.runState.compare_exchange_weak(state, running)) return true;
    }
    return false;
}

// The session of one build: completed when the build succeeded, aborted otherwise.
class BuildSession {
public:
    explicit BuildSession(TaskRecord& task) : task_(task) {}
    ~BuildSession() { End(); }
    BuildSession(const BuildSession&) = delete;
    BuildSession& operator=(const BuildSession&) = delete;

    int Start(const NasCDTable& table) {
        if (task_.server == nullptr) return -1;
        const int result = task_.server->Start(table, task_.request);
        open_ = result == 0;
        return result;
    }
    int Send(const std::uint8_t* data, std::size_t length) {
        return task_.server->Send(data, length);
    }
    void End() {
        if (!open_) return;
        open_ = false;
        const std::uint8_t error = task_.errorCode.load();
        if (error == 0 && task_.status.load() == task_status::Done) {
            if (const int result = task_.server->Complete(); result != 0)
                Fail(task_, MapApiResultToTaskError(result), task_status::Failed);
            return;
        }
        const bool stopped =
            error == task_error::StoppedBuilding || error == task_error::StoppedSending;
        task_.server->Abort(stopped ? kAbortStopped : kAbortFailed);
    }

private:
    TaskRecord& task_;
    bool open_ = false;
};

void RunBuild(TaskRecord& task, BuildSession& session, CisFolderList& folders, IsoLayout& layout) {
    MIRROR_CONTAINER* container = task.container;
    if (container == nullptr || container->GetRoot() == nullptr) {
        Fail(task, task_error::NoMemory, task_status::Failed);
        return;
    }
    task.transferBuffer.assign(kTransferBufferSize, 0);
    if (!container->AllocPathTable(folders)) {
        Fail(task, task_error::NoMemory, task_status::Failed);
        return;
    }

    if (const int code = BuildIsoImage(*container, task, layout, folders); code != 0) {
        Fail(task, code,
             code == task_error::StoppedBuilding ? task_status::Stopped : task_status::Failed);
        return;
    }
    DiscInfo disc;
    FillImageDiscInfo(disc, task, layout);
    task.request.sectorCount = static_cast<std::uint32_t>(DiscSectorCount(disc));
    task.request.sectorCount2 = static_cast<std::uint32_t>(disc.endAddress);
    task.request.discKind = kDataDiscBits;
    task.request.fileSystem = kCdfsWord;
    task.request.mode = kModeFromContainer;
    task.bytesBeforeData = FirstFileSector(layout) * iso::kSectorSize;
    task.fileDataBytes = layout.fileDataBytes;
    task.imageBytes = ImageSectors(layout, *container) * iso::kSectorSize;

    NasCDTable table;
    BuildCdTable(disc, table);
    if (const int result = session.Start(table); result != 0) {
        Fail(task, MapApiResultToTaskError(result), task_status::Failed);
        return;
    }
    const std::vector<std::uint8_t> zeros(iso::kSectorSize, 0);
    for (std::uint32_t i = 0; i < iso::kSystemAreaSectors; ++i) {
        if (const int result = session.Send(zeros.data(), zeros.size()); result != 0) {
            Fail(task, MapApiResultToTaskError(result), task_status::Failed);
            return;
        }
    }
    for (std::size_t at = 0; at < layout.metadata.size(); at += kMetadataMessage) {
        const std::size_t length = std::min(kMetadataMessage, layout.metadata.size() - at);
        if (const int result = session.Send(layout.metadata.data() + at, length); result != 0) {
            Fail(task, MapApiResultToTaskError(result), task_status::Failed);
            return;
        }
    }
    layout.metadata = {};

    if (const int code = BuildCdImage(*container, task, task.server, folders); code != 0) {
        Fail(task, code,
             code == task_error::StoppedSending ? task_status::Stopped : task_status::Failed);
        return;
    }
    const _CDH_CIS_RECORD_& root = *container->GetRoot();
    if (task.folderCount == root.totalFolders && task.fileCount == root.totalFiles &&
        task.sentBytes == root.size && task.allocatedBytes == root.allocated) {
        task.status.store(task_status::Done);
    } else {
        WriteContainerLog(task);
        Fail(task, task_error::CheckFailed, task_status::Failed);
    }
}

} // namespace

std::uint8_t MapApiResultToTaskError(int result) {
    switch (result) {
    case 0:
        return 0;
    case -3:
        return 20;
    case -1:
        return 24;
    case 1:
        return 25;
    case 2:
        return 36;
    case 3:
    case 4:
    case 8:
        return 21;
    case 6:
        return 6;
    case 10:
        return 29;
    case 11:
        return 33;
    case 12:
        return 37;
    case 13:
        return 38;
    case 14:
        return 34;
    case 15:
        return 50;
    case 17:
        return 51;
    default:
        return task_error::UnknownResult;
    }
}

void BuildCdTable(const DiscInfo& disc, NasCDTable& table) {
    std::memset(&table, 0, sizeof table);
    const int tracks = std::min<int>(disc.lastTrack, DiscInfo::TrackCount - 1);
    const auto entry = [](const DiscTrackEntry& t) {
        NasCDTrackEntry e{};
        e.trackNumber = t.track;
        e.controlAdr = static_cast<std::uint8_t>((t.adrControl << 4) | (t.adrControl >> 4));
        e.one = 1;
        e.startAddress = t.start;
        e.session = t.session;
        return e;
    };
    table.one = 1;
    table.trackCount = static_cast<std::uint8_t>(tracks);
    table.discByte2 = disc.firstSession;
    table.discByte3 = disc.lastSession;
    table.leadOutAddress = tracks > 0 ? disc.tracks[tracks - 1].start : 0;
    table.multiSession = disc.sessionCount > 1 ? 1 : 0;
    table.one9 = 1;
    for (int i = 0; i < tracks; ++i)
        table.tracks[i] = entry(disc.tracks[i]);
    table.leadOut = entry(disc.tracks[tracks]);
}

void RunBuildContainerTask(TaskRecord& task) {
    if (EnterRunning(task)) {
        BuildSession session(task);
        CisFolderList folders;
        IsoLayout layout;
        try {
            RunBuild(task, session, folders, layout);
        } catch (const std::bad_alloc&) {
            Fail(task, task_error::NoMemory, task_status::Failed);
        } catch (...) {
            Fail(task, task_error::CheckFailed, task_status::Failed);
        }
        session.End();
    } else {
        Fail(task, task_error::StoppedBuilding, task_status::Stopped);
    }
    task.transferBuffer.clear();
    task.transferBuffer.shrink_to_fit();
    task.runState.store(run_state::Finished);
}

void BuildTaskExecute(TaskRecord& task) {
    task.status.store(0);
    task.progress.store(0);
    task.startTick.store(platform::GetTickCount());
    task.remainingMs.store(0);
    RunBuildContainerTask(task);
}

void BuildTaskTerminate(TaskRecord& task) {
    if (task.container != nullptr &&
        task.container->BindingMode() == MIRROR_CONTAINER::kOwnsHiddenNode)
        task.container->ReleaseTreeBinding();
}
