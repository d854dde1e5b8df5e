#include "build_worker.h"

#include "cd_table.h"
#include "cdrom.h"
#include "iso9660_records.h"
#include "isobuild.h"
#include "record_worker.h"
#include "task_drive.h"
#include "task_session.h"
#include "task_wait.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

constexpr std::size_t kMetadataMessage = 4 * iso::kSectorSize;
constexpr std::uint8_t kModeFromDisc = 1;
constexpr std::uint8_t kModeFromContainer = 3;

void RunBuild(TaskRecord& task, MirrorSession& session, DriveReader& reader, CisFolderList& folders,
              IsoLayout& layout) {
    MIRROR_CONTAINER* container = task.container;
    if (container == nullptr || container->GetRoot() == nullptr) {
        FailTask(task, task_error::NoMemory);
        return;
    }
    task.transferBuffer.assign(kTransferBufferSize, 0);
    if (!container->AllocPathTable(folders)) {
        FailTask(task, task_error::NoMemory);
        return;
    }
    if (WaitForScheduledStart(task) < 0) return;
    const bool fromDisc = task.containerKind == container_kind::FromDisc;
    if (fromDisc && task.drive != nullptr &&
        !reader.Acquire(*task.drive, task.lockDoor, task.eject)) {
        FailTask(task, task_error::DriveOverload);
        return;
    }

    if (const int code = BuildIsoImage(*container, task, layout, folders); code != 0) {
        FailTask(task, code,
                 code == task_error::StoppedBuilding ? task_status::Stopped : task_status::Failed);
        return;
    }
    DiscInfo disc;
    FillImageDiscInfo(disc, task, layout);
    task.request.sectorCount = static_cast<std::uint32_t>(DiscSectorCount(disc));
    task.request.sectorCount2 = static_cast<std::uint32_t>(disc.endAddress);
    task.request.discKind = SetMirrorDiscFlags(disc.discKind);
    task.request.fileSystem = SetMirrorFsFlag(disc.fileSystemCode);
    task.request.mode = fromDisc ? kModeFromDisc : kModeFromContainer;
    task.bytesBeforeData = FirstFileSector(layout) * iso::kSectorSize;
    task.fileDataBytes = layout.fileDataBytes;
    task.imageBytes = ImageSectors(layout, *container) * iso::kSectorSize;

    NasCDTable table;
    BuildCdTable(disc, table);
    if (!session.Start(table)) return;
    const std::vector<std::uint8_t> zeros(iso::kSectorSize, 0);
    for (std::uint32_t i = 0; i < iso::kSystemAreaSectors; ++i)
        if (!session.Send(zeros.data(), zeros.size())) return;
    for (std::size_t at = 0; at < layout.metadata.size(); at += kMetadataMessage) {
        const std::size_t length = std::min(kMetadataMessage, layout.metadata.size() - at);
        if (!session.Send(layout.metadata.data() + at, length)) return;
    }
    layout.metadata = {};

    IsoImageSink* sink = task.server;
    if (const int code = BuildCdImage(*container, task, sink, folders); code != 0) {
        FailTask(task, code,
                 code == task_error::StoppedSending ? task_status::Stopped : task_status::Failed);
        return;
    }
    const _CDH_CIS_RECORD_& root = *container->GetRoot();
    if (task.folderCount == root.totalFolders && task.fileCount == root.totalFiles &&
        task.sentBytes == root.size && task.allocatedBytes == root.allocated) {
        if (task.Running()) task.status.store(task_status::Done);
    } else {
        WriteContainerLog(task);
        FailTask(task, task_error::CheckFailed);
    }
}

} // namespace

void RunBuildContainerTask(TaskRecord& task) {
    if (task.EnterRunning()) {
        // The image goes through the task's own server object unless a sink was given.
        std::unique_ptr<ServerSessionSink> own;
        if (task.server == nullptr && task.nas) {
            own = std::make_unique<ServerSessionSink>(*task.nas, 1);
            task.server = own.get();
        }
        // The files are read in the worker between messages: from the page cache a read takes
        // less than handing each message to a sending thread would cost.
        IsoImageSink* given = task.server;
        std::unique_ptr<PausingSink> pausing;
        if (given != nullptr) {
            pausing = std::make_unique<PausingSink>(task, *given);
            task.server = pausing.get();
        }
        {
            MirrorSession session(task, task.server);
            DriveReader reader;
            CisFolderList folders;
            IsoLayout layout;
            try {
                RunBuild(task, session, reader, folders, layout);
            } catch (const std::bad_alloc&) {
                FailTask(task, task_error::NoMemory);
            } catch (...) {
                FailTask(task, task_error::CheckFailed);
            }
            session.End();
        }
        task.server = given;
        if (own) task.server = nullptr;
    } else {
        FailTask(task, task_error::StoppedBuilding, task_status::Stopped);
    }
    task.transferBuffer.clear();
    task.transferBuffer.shrink_to_fit();
    if (task.status.load() == task_status::Done && (task.recordFlags & 1) != 0)
        RunRemoteRecording(task);
    task.SetRunState(run_state::Finished);
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
