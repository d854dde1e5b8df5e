#include "upload_worker.h"

#include "overlapped_sink.h"
#include "task_session.h"
#include "task_wait.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr std::uint32_t kDataDiscBits = 1;
constexpr std::uint32_t kCdfsWord = 1;
constexpr std::uint32_t kUploadMethod = 16;
constexpr std::uint8_t kModeFromFile = 3;

struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

ssize_t ReadChunk(int fd, std::uint8_t* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buffer + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

void Upload(TaskRecord& task, MirrorSession& session) {
    // The file is opened before the session, so that a file that cannot be read opens none.
    task.pathBuffer = task.imagePath;
    FileDescriptor file;
    file.fd = ::open(task.imagePath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        FailTask(task, task_error::OpenFailed);
        return;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);

    task.EditRequest([&](NasMirrorInfo& r) {
        std::memcpy(r.shareName, r.imageName, sizeof r.shareName);
        std::memcpy(r.sourceLabel, r.imageName, sizeof r.sourceLabel);
        r.sectorCount = task.imageSizeKb / 2;
        r.sectorCount2 = r.sectorCount;
        r.discKind = kDataDiscBits;
        r.fileSystem = kCdfsWord;
        r.methodBits = kUploadMethod;
        r.replyWord = 0;
        r.mode = kModeFromFile;
    });
    NasCDTable table{}; // an upload announces no tracks
    if (!session.Start(table)) return;

    task.status.store(task_status::Sending);
    TaskSleep(task, 1000);
    std::vector<std::uint8_t> chunk(kUploadChunk);
    std::uint64_t sent = 0;
    for (;;) {
        task.WaitWhilePaused();
        if (!task.Running()) {
            if (task.State() == run_state::StopRequested && task.errorCode.load() == 0)
                FailTask(task, task_error::StoppedSending, task_status::Stopped);
            return;
        }
        const ssize_t n = ReadChunk(file.fd, chunk.data(), chunk.size());
        if (n < 0) {
            FailTask(task, task_error::ReadFailed);
            return;
        }
        if (n == 0) break;
        if (!session.Send(chunk.data(), static_cast<std::size_t>(n))) return;
        sent += static_cast<std::uint64_t>(n);
        SetTransferProgress(task, sent, size);
    }
    if (!session.Flush()) return;
    SetTransferProgress(task, sent, size);
    if (sent != size) {
        // The file changed while it was sent: the image on the unit would not be the file.
        FailTask(task, task_error::SourceChanged);
        return;
    }
    if (task.Running()) task.status.store(task_status::Done);
}

} // namespace

void RunUploadImageTask(TaskRecord& task) {
    if (!task.EnterRunning()) {
        FailTask(task, task_error::StoppedBuilding, task_status::Stopped);
    } else if (WaitForScheduledStart(task) == 1) {
        std::unique_ptr<ServerSessionSink> sink;
        std::unique_ptr<OverlappedSink> overlapped; // the file reads on while the unit answers
        if (task.nas) {
            sink = std::make_unique<ServerSessionSink>(*task.nas, 0);
            overlapped = std::make_unique<OverlappedSink>(*sink);
        }
        MirrorSession session(task, overlapped.get());
        Upload(task, session);
        session.End();
    }
    task.SetRunState(run_state::Finished);
}

void UploadTaskExecute(TaskRecord& task) {
    task.status.store(0);
    task.progress.store(0);
    task.startTick.store(platform::GetTickCount());
    task.remainingMs.store(0);
    RunUploadImageTask(task);
}
