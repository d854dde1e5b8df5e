#include "mirror_worker.h"

#include "cd_table.h"
#include "cdrom.h"
#include "overlapped_sink.h"
#include "record_worker.h"
#include "scsicdd.h"
#include "task_codes.h"
#include "task_drive.h"
#include "task_session.h"
#include "task_wait.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr std::uint8_t kModeFromDisc = 1;
constexpr std::uint32_t kPrimaryDescriptor = 16;
constexpr std::size_t kVolumeSpaceSizeOffset = 80;

void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

class DiscMirror {
public:
    DiscMirror(TaskRecord& task, MirrorSession& session, const DiscInfo& disc,
               const ReadParameters& read)
        : task_(task), session_(session), disc_(disc), read_(read),
          buffer_(kRunSectors * kRawSectorBytes), total_(disc.totalSectors * 2048) {}

    void Run() {
        task_.status.store(task_status::Sending);
        const int tracks = std::min<int>(disc_.lastTrack, DiscInfo::TrackCount - 1);
        for (int i = 0; i < tracks && task_.Running(); ++i)
            if (!Track(i)) return;
        if (!session_.Flush() || task_.errorCode.load() != 0) return;
        if (task_.State() == run_state::StopRequested)
            FailTask(task_, task_error::StoppedSending, task_status::Stopped);
        else if (task_.Running())
            task_.status.store(task_status::Done);
    }

private:
    // One track: header, data, padding, gap. False when the task failed.
    bool Track(int i) {
        const DiscTrackEntry& t = disc_.tracks[static_cast<std::size_t>(i)];
        int mode = read_.mode;
        std::uint32_t size = read_.sectorSize;
        bool header = false;
        if (disc_.discKind == disc_kind::Audio || (disc_.discKind == disc_kind::Video && i > 0)) {
            mode = kReadRaw;
            size = kRawSectorBytes;
            header = true;
        } else if (disc_.discKind == disc_kind::Video) {
            mode = kReadMode2;
            size = kUserSectorBytes;
        }
        const std::uint64_t dataSize = std::uint64_t{t.length} * kRawSectorBytes;
        const std::uint64_t stream = (dataSize + kTrackHeaderSize + 2047) / 2048 * 2048;
        if (header) {
            std::uint8_t h[kTrackHeaderSize] = {};
            PutU32(h + 4, static_cast<std::uint32_t>(stream));
            if (disc_.discKind == disc_kind::Video) h[28] = static_cast<std::uint8_t>(i);
            PutU32(h + 40, static_cast<std::uint32_t>(dataSize));
            if (!session_.Send(h, sizeof h)) return false;
        }
        std::uint32_t passes = 0;
        const std::uint64_t end = std::uint64_t{t.start} + t.length;
        for (std::uint64_t lba = t.start; lba < end;) {
            task_.WaitWhilePaused();
            if (!task_.Running()) return true;
            auto run =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(read_.runLength, end - lba));
            int rc = Read(mode, lba, run);
            while (rc != 0) {
                if (run < 4 || lba + 16 >= disc_.vdAddress + disc_.endAddress) {
                    ++passes;
                    break;
                }
                run /= 4;
                rc = Read(mode, lba, run);
            }
            if (rc != 0) {
                if (passes >= kFailedPassLimit) {
                    task_.failedLba = static_cast<std::uint32_t>(lba);
                    task_.failedRun = run;
                    task_.failedPasses = passes;
                    FailTask(task_, task_error::ReadFailed41);
                    return false;
                }
                // What the drive could not read goes as zeros, never as stale bytes.
                std::memset(buffer_.data(), 0, std::size_t{run} * size);
                task_.notes.push_back(
                    FormatText("%u sector(s) at LBA %llu could not be read and were sent as zeros.",
                               run, static_cast<unsigned long long>(lba)));
            }
            if (!session_.Send(buffer_.data(), std::size_t{run} * size)) return false;
            Sent(run);
            lba += run;
        }
        if (header && stream > dataSize + kTrackHeaderSize) {
            const std::vector<std::uint8_t> pad(stream - dataSize - kTrackHeaderSize, 0);
            if (!session_.Send(pad.data(), pad.size())) return false;
        }
        const DiscTrackEntry& next = disc_.tracks[static_cast<std::size_t>(i) + 1];
        if (end < next.start) {
            std::memset(buffer_.data(), 0, buffer_.size());
            for (std::uint64_t gap = next.start - end; gap > 0 && task_.Running();) {
                const auto run =
                    static_cast<std::uint32_t>(std::min<std::uint64_t>(kRunSectors, gap));
                if (!session_.Send(buffer_.data(), std::size_t{run} * size)) return false;
                Sent(run);
                gap -= run;
            }
        }
        return true;
    }

    int Read(int mode, std::uint64_t lba, std::uint32_t run) {
        return task_.drive->ReadSectors(mode, static_cast<std::uint32_t>(lba), run, buffer_.data(),
                                        buffer_.size());
    }

    void Sent(std::uint32_t sectors) {
        sent_ += std::uint64_t{sectors} * 2048;
        SetTransferProgress(task_, sent_, total_);
    }

    TaskRecord& task_;
    MirrorSession& session_;
    const DiscInfo& disc_;
    const ReadParameters& read_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t sent_ = 0;
    const std::uint64_t total_;
};

// A mixed or XA disc goes as its first (data) track, cut to the size its volume descriptor
// declares, and described as a one-session data disc.
void MakeDataDisc(TaskRecord& task, DiscInfo& disc) {
    NasMirrorInfo& r = task.request;
    std::vector<std::uint8_t> pvd(kUserSectorBytes);
    if (task.drive->ReadSectors(kReadUserData, kPrimaryDescriptor, 1, pvd.data(), pvd.size()) ==
        0) {
        const std::uint8_t* p = pvd.data() + kVolumeSpaceSizeOffset;
        const std::uint32_t size =
            p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
        if (size < r.sectorCount) {
            disc.tracks[0].length = size;
            r.sectorCount = size;
        }
    }
    r.sectorCount2 = r.sectorCount;
    const int left = disc.lastTrack > 1 ? disc.lastTrack - 1 : 0;
    if (left > 0)
        task.notes.push_back(FormatText(
            "%d further track(s) of the disc were left out: the image holds its data track.",
            left));
    disc.firstSession = disc.lastSession = disc.sessionCount = disc.lastTrack = 1;
    disc.endAddress = disc.totalSectors = r.sectorCount;
    DiscTrackEntry& leadOut = disc.tracks[1];
    leadOut = DiscTrackEntry{1, 1, 1, 0x14, disc.tracks[0].start + disc.tracks[0].length, 0};
}

void Mirror(TaskRecord& task, MirrorSession& session) {
    // The worker's own copy of the disc description, taken under the drive's lock.
    DiscInfo disc = task.drive->Disc();
    ReadParameters read;
    if (PrepareMirrorSource(task, disc, read) < 0) {
        FailTask(task, task_error::DiscUnsupported);
        return;
    }
    NasCDTable table;
    BuildCdTable(disc, table);
    if (!session.Start(table)) return;
    DiscMirror(task, session, disc, read).Run();
}

} // namespace

int PrepareMirrorSource(TaskRecord& task, DiscInfo& disc, ReadParameters& read) {
    NasMirrorInfo& r = task.request;
    r.sectorCount = static_cast<std::uint32_t>(std::max<std::int64_t>(0, DiscSectorCount(disc)));
    r.sectorCount2 = r.sectorCount;
    r.fileSystem = SetMirrorFsFlag(disc.fileSystemCode);
    r.discKind = SetMirrorDiscFlags(disc.discKind);
    if (r.discKind == 0) return -1;
    read = ReadParameters{};
    switch (disc.discKind) {
    case disc_kind::Data:
    case disc_kind::MultiSession | disc_kind::Data:
    case disc_kind::Dvd:
    case disc_kind::BluRay:
        return 0;
    case disc_kind::Audio:
    case disc_kind::Video:
        read.mode = kReadRaw;
        read.sectorSize = kRawSectorBytes;
        return 0;
    case disc_kind::Mixed:
    case disc_kind::XA:
        MakeDataDisc(task, disc);
        return 0;
    default:
        return -1;
    }
}

void RunMirrorTask(TaskRecord& task) {
    if (!task.EnterRunning()) {
        FailTask(task, task_error::StoppedBuilding, task_status::Stopped);
        task.SetRunState(run_state::Finished);
        return;
    }
    task.request.mode = kModeFromDisc;
    {
        std::unique_ptr<ServerSessionSink> sink;
        std::unique_ptr<OverlappedSink> overlapped; // the drive reads on while the unit answers
        if (task.nas) {
            sink = std::make_unique<ServerSessionSink>(*task.nas, 1);
            overlapped = std::make_unique<OverlappedSink>(*sink);
        }
        MirrorSession session(task, overlapped.get());
        DriveReader reader;
        if (WaitForScheduledStart(task) == 1) {
            if (task.drive == nullptr)
                FailTask(task, task_error::DiscUnsupported);
            else if (!reader.Acquire(*task.drive, task.lockDoor, task.eject))
                FailTask(task, task_error::DriveOverload);
            else
                Mirror(task, session);
        }
        session.End();
    }
    if (task.status.load() == task_status::Done && (task.recordFlags & 1) != 0)
        RunRemoteRecording(task);
    task.SetRunState(run_state::Finished);
}

void MirrorTaskExecute(TaskRecord& task) {
    task.status.store(0);
    task.progress.store(0);
    task.startTick.store(platform::GetTickCount());
    task.remainingMs.store(0);
    RunMirrorTask(task);
}
