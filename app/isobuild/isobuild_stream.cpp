// The file walk of a build: every file of the container, in the order the directory records give
// them their extents, read through the task's buffer and sent in whole sectors of at most 32 KiB
// a message. Small files share a message: the buffer is sent when it is full, when the next file
// does not fit beside what it holds, and at the end. A large file's whole messages are read
// several at a time and sent from where they were read, which saves a read per message.
#include "isobuild.h"

#include "clock/clock.h"
#include "elapsed.h"
#include "file_handle.h"
#include "iso9660_records.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace {

using Record = _CDH_CIS_RECORD_;

// Whole messages read from a file at once.
constexpr std::size_t kMessagesPerRead = 8;
constexpr std::size_t kReadAheadSize = kMessagesPerRead * kTransferBufferSize;

// Reads exactly size bytes unless the file ends first: the bytes read, or -1 on an error.
ssize_t ReadFully(int fd, std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

// The open file is still the one the entry describes.
bool SameAsEntry(const struct stat& st, const Record& entry) {
    return static_cast<std::uint64_t>(st.st_size) == entry.size &&
           CisFileTimeFromUnix(st.st_mtim.tv_sec, static_cast<std::uint32_t>(st.st_mtim.tv_nsec)) ==
               entry.time;
}

class FileWalk {
public:
    FileWalk(MIRROR_CONTAINER& container, TaskRecord& task, IsoImageSink& server)
        : container_(container), task_(task), server_(server), rootSize_(container.GetRoot()->size),
          lastMiB_(task.sentBytes >> 20) {}

    int Send(const Record& entry) {
        if (entry.IsVirtual()) {
            ++task_.folderCount;
            return 0;
        }
        task_.pathBuffer = entry.source;
        MIRROR_CONTAINER::FileInfo info;
        const std::uint32_t flags = container_.CompareWithSource(info, &entry);
        if ((flags & kCisSourceMissing) != 0) {
            struct stat st {};
            return ::lstat(entry.source.c_str(), &st) != 0 ? task_error::SourceMissing
                                                           : task_error::SourceKindChanged;
        }
        // A source found only under another spelling (renamed in letter case) changed too: it is
        // not opened under the old one.
        constexpr std::uint32_t folderChanges =
            kCisSourceAttributesChanged | kCisSourceTimeChanged | kCisSourcePathChanged;
        if (entry.IsFolder()) {
            if ((flags & folderChanges) != 0) return task_error::SourceChanged;
            ++task_.folderCount;
            return 0;
        }
        if ((flags & (folderChanges | kCisSourceSizeChanged)) != 0)
            return task_error::SourceChanged;
        return SendFile(entry);
    }

    // Sends what the buffer still holds and waits until the unit has acknowledged every message.
    int Finish() {
        if (const int code = Flush(); code != 0) return code;
        // A refusal keeps the unit's reason (a full disk, a refused account), not a plain send
        // failure.
        if (const int code = MapApiResultToTaskError(server_.Drain()); code != 0) return code;
        UpdateProgress();
        return 0;
    }

private:
    int SendFile(const Record& entry) {
        FileHandle file(::open(entry.source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
        if (file.get() < 0) return task_error::OpenFailed;
        struct stat st {};
        if (::fstat(file.get(), &st) != 0) return task_error::SourceChanged;
        if (!S_ISREG(st.st_mode)) return task_error::SourceKindChanged;
        if (!SameAsEntry(st, entry)) return task_error::SourceChanged;

        ++task_.fileCount;
        task_.allocatedBytes += entry.allocated;
        // A file that does not fit beside what the buffer holds starts a message of its own.
        if (pending_ != 0 && entry.allocated > kTransferBufferSize - pending_) {
            if (const int code = Flush(); code != 0) return code;
        }
        std::uint8_t* buffer = task_.transferBuffer.data();
        std::uint64_t remaining = entry.size;
        while (remaining > 0 && task_.Running()) {
            if (pending_ == 0 && remaining >= kTransferBufferSize) {
                const std::size_t size = static_cast<std::size_t>(
                    std::min<std::uint64_t>(remaining / kTransferBufferSize, kMessagesPerRead) *
                    kTransferBufferSize);
                const ssize_t n = ReadFully(file.get(), buffer, size);
                if (n < 0) return task_error::ReadFailed;
                if (static_cast<std::size_t>(n) != size) return task_error::SourceChanged;
                for (std::size_t at = 0; at < size && task_.Running(); at += kTransferBufferSize) {
                    if (const int code =
                            SendMessage(buffer + at, kTransferBufferSize, kTransferBufferSize);
                        code != 0)
                        return code;
                    remaining -= kTransferBufferSize;
                }
                continue;
            }
            const std::size_t chunk = static_cast<std::size_t>(
                std::min<std::uint64_t>(remaining, kTransferBufferSize - pending_));
            const ssize_t n = ReadFully(file.get(), buffer + pending_, chunk);
            if (n < 0) return task_error::ReadFailed;
            if (static_cast<std::size_t>(n) != chunk) return task_error::SourceChanged; // shrank
            const std::size_t rounded =
                (chunk + iso::kSectorSize - 1) / iso::kSectorSize * iso::kSectorSize;
            std::memset(buffer + pending_ + chunk, 0, rounded - chunk); // the pad is zero
            pending_ += rounded;
            pendingData_ += chunk;
            remaining -= chunk;
            if (pending_ == kTransferBufferSize) {
                if (const int code = Flush(); code != 0) return code;
            }
        }
        if (remaining != 0) return 0; // stopped
        UpdateProgress();
        // A file written to while it was read would put a mix of old and new bytes in the image.
        if (::fstat(file.get(), &st) != 0 || !SameAsEntry(st, entry))
            return task_error::SourceChanged;
        return 0;
    }

    // Sends the buffer's whole sectors as one message.
    int Flush() {
        if (pending_ == 0) return 0;
        const int code = SendMessage(task_.transferBuffer.data(), pending_, pendingData_);
        pending_ = 0;
        pendingData_ = 0;
        return code;
    }

    // One message of whole sectors, fileBytes of them the files' own.
    int SendMessage(const std::uint8_t* data, std::size_t size, std::uint64_t fileBytes) {
        if (const int code = MapApiResultToTaskError(server_.Send(data, size)); code != 0)
            return code;
        task_.sentBytes += fileBytes;
        if ((task_.sentBytes >> 20) != lastMiB_) UpdateProgress();
        return 0;
    }

    void UpdateProgress() {
        const std::uint64_t sent = task_.sentBytes;
        lastMiB_ = sent >> 20;
        task_.progress.store(static_cast<std::uint8_t>(
            rootSize_ == 0 ? 100 : std::min<std::uint64_t>(sent * 100 / rootSize_, 100)));
        const std::uint32_t elapsed = TickDiff(task_.startTick.load(), platform::GetTickCount());
        const std::uint64_t rate = elapsed != 0 ? sent / elapsed : 0;
        if (elapsed != 0 && rate != 0) {
            const std::uint64_t left = rootSize_ > sent ? (rootSize_ - sent) / rate : 0;
            task_.remainingMs.store(
                static_cast<std::uint32_t>(std::min<std::uint64_t>(left, 0xFFFFFFFFu)));
        }
    }

    MIRROR_CONTAINER& container_;
    TaskRecord& task_;
    IsoImageSink& server_;
    const std::uint64_t rootSize_;
    std::uint64_t lastMiB_;
    std::size_t pending_ = 0;       // bytes in the buffer, whole sectors
    std::uint64_t pendingData_ = 0; // file bytes among them
};

} // namespace

int BuildCdImage(MIRROR_CONTAINER& container, TaskRecord& task, IsoImageSink* server,
                 const CisFolderList& folders) {
    if (server == nullptr) return -1;
    if (container.GetRoot() == nullptr) return task_error::NoMemory;
    task.status.store(task_status::Sending);
    task.progress.store(0);
    try {
        if (task.transferBuffer.size() < kReadAheadSize) task.transferBuffer.resize(kReadAheadSize);
    } catch (const std::bad_alloc&) {
        return task_error::NoMemory;
    }
    FileWalk walk(container, task, *server);
    for (const Record* folder : folders) {
        const Record* first = folder->firstChild;
        if (first == nullptr) continue;
        const Record* child = first;
        do {
            if (!task.Running()) return task_error::StoppedSending;
            if (const int code = walk.Send(*child); code != 0) return code;
            child = child->next;
        } while (child != first);
    }
    if (!task.Running()) return task_error::StoppedSending;
    return walk.Finish();
}
