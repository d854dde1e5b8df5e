// The mirror worker end to end: a simulated drive read through the drive layer, the image sent to
// a simulated unit; the stored image against the disc's own sectors, the track table, audio
// tracks with their headers and padding, unreadable sectors, pause, stop, the reader limit.
#include "../drives/sim_machine.h"
#include "cdrom.h"
#include "mirror_worker.h"
#include "scsicdd.h"
#include "task_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

using tasktest::Bytes;

std::uint32_t Le32(const Bytes& b, std::size_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}

// The bytes a sector holds on the simulated disc: what the disc stores, else its pattern.
Bytes SectorBytes(const discsim::Disc& disc, std::uint32_t lba, std::size_t size) {
    Bytes out(size, 0);
    if (auto it = disc.sectors.find(lba); it != disc.sectors.end()) {
        std::memcpy(out.data(), it->second.data(), std::min(size, it->second.size()));
        return out;
    }
    for (std::size_t i = 0; i < size; ++i)
        out[i] = discsim::PatternByte(lba, i);
    return out;
}

Bytes DataImage(const discsim::Disc& disc, std::uint32_t sectors) {
    Bytes image;
    for (std::uint32_t lba = 0; lba < sectors; ++lba) {
        const Bytes s = SectorBytes(disc, lba, 2048);
        image.insert(image.end(), s.begin(), s.end());
    }
    return image;
}

class MirrorWorker : public testing::Test {
protected:
    // One simulated drive D: holding disc; a mirror task of it aimed at the unit.
    void Load(const discsim::Disc& disc) {
        disc_ = disc;
        adapter_ = &machine_.AddAdapter("ATAPI SIM");
        drive_ = machine_.AddDrive(*adapter_, 0, 0, "MIRROR", disc);
        machine_.Start().SetSleeper([](std::uint32_t) {});
        ASSERT_TRUE(table_.Rescan());
        cdd_ = table_.GetDevice('D');
        ASSERT_NE(cdd_, nullptr);
        ASSERT_NE(unit_.unit, nullptr);
        task_.kind = task_kind::Mirror;
        task_.drive = cdd_;
        task_.nas = unit_.Server();
        tasktest::SetText(task_.request.folderName, sizeof task_.request.folderName, "DISCS");
        tasktest::SetText(task_.request.imageName, sizeof task_.request.imageName, "MIRRORED");
    }
    // Pauses the task once the drive has been asked for the sector at lba.
    void PauseAtSector(std::uint32_t lba) {
        drive_->setReplyFilter([this, lba](const std::vector<std::uint8_t>& cdb, Bytes&) {
            if (cdb[0] != 0x28 && cdb[0] != 0xBE) return;
            const std::uint32_t at = std::uint32_t{cdb[2]} << 24 | std::uint32_t{cdb[3]} << 16 |
                                     std::uint32_t{cdb[4]} << 8 | cdb[5];
            if (at == lba) task_.SetPaused(true);
        });
    }
    // Waits until the unit's session holds exactly bytes data bytes.
    bool WaitForData(std::uint64_t bytes) {
        return nassim::WaitUntil(
            [&] {
                const auto s = unit_.unit->sessions();
                return !s.empty() && s[0].dataBytes == bytes;
            },
            std::chrono::seconds(20));
    }

    SimMachine machine_;
    platform::scsi::SimAdapter* adapter_ = nullptr;
    std::shared_ptr<discsim::Drive> drive_;
    CDH_LOGICAL_CDROM_CLASS table_;
    TScsiCdd* cdd_ = nullptr;
    discsim::Disc disc_;
    tasktest::Unit unit_;
    tasktest::ManualWaits waits_;
    TaskRecord task_;
};

TEST_F(MirrorWorker, DataCdIsStoredByteForByteWithItsTrackTable) {
    Load(discsim::MakeDataCd(3000));
    MirrorTaskExecute(task_);
    ASSERT_EQ(task_.errorCode.load(), 0);
    EXPECT_EQ(task_.status.load(), task_status::Done);
    EXPECT_EQ(task_.runState.load(), run_state::Finished);
    EXPECT_EQ(task_.progress.load(), 100);
    EXPECT_TRUE(task_.notes.empty());

    const nassim::Session s = unit_.OnlySession();
    EXPECT_STREQ(nassim::SessionEndName(s.end),
                 nassim::SessionEndName(nassim::SessionEnd::Completed));
    EXPECT_EQ(nassim::Sha256Hex(s.data), nassim::Sha256Hex(DataImage(disc_, 3000)));
    // Runs of 16 header-free 2048-byte sectors, the last one shorter.
    ASSERT_EQ(s.blockSizes.size(), 188u);
    EXPECT_EQ(s.blockSizes.front(), 16u * 2048);
    EXPECT_EQ(s.blockSizes.back(), 8u * 2048);

    // The track table: one data track and the lead-out at 802.
    Bytes golden(812, 0);
    const std::uint8_t head[] = {1, 1, 1, 1, 0, 0, 0, 0, 0, 1};
    std::memcpy(golden.data(), head, sizeof head);
    const std::uint8_t track1[] = {1, 0x41, 1, 0, 0, 0, 0, 1};
    std::memcpy(golden.data() + 10, track1, sizeof track1);
    const std::uint8_t leadOut[] = {0xAA, 0x41, 1, 0xB8, 0x0B, 0, 0, 1}; // 3000
    std::memcpy(golden.data() + 802, leadOut, sizeof leadOut);
    EXPECT_EQ(s.table, golden);
    EXPECT_EQ(cdd_->ReaderCount(), 0);
}

TEST_F(MirrorWorker, AudioTracksGoWithHeadersAndPaddingToWholeBlocks) {
    Load(discsim::MakeAudioCd({20, 33}));
    MirrorTaskExecute(task_);
    ASSERT_EQ(task_.errorCode.load(), 0);
    ASSERT_EQ(task_.status.load(), task_status::Done);
    const nassim::Session s = unit_.OnlySession();
    std::size_t at = 0;
    std::uint32_t lba = 0;
    for (std::uint32_t length : {20u, 33u}) {
        const std::uint64_t data = std::uint64_t{length} * 2352;
        const std::uint64_t stream = (data + 44 + 2047) / 2048 * 2048;
        ASSERT_GE(s.data.size(), at + stream);
        EXPECT_EQ(Le32(s.data, at + 4), stream);
        EXPECT_EQ(Le32(s.data, at + 40), data);
        for (std::uint32_t i = 0; i < length; ++i, ++lba)
            ASSERT_TRUE(Bytes(s.data.begin() + at + 44 + i * 2352,
                              s.data.begin() + at + 44 + (i + 1) * 2352) ==
                        SectorBytes(disc_, lba, 2352))
                << "sector " << lba;
        EXPECT_TRUE(std::all_of(s.data.begin() + at + 44 + data, s.data.begin() + at + stream,
                                [](std::uint8_t b) { return b == 0; }));
        at += stream;
    }
    EXPECT_EQ(s.data.size(), at);
    EXPECT_EQ(s.table[1], 2); // two tracks
}

TEST_F(MirrorWorker, ThreeUnreadableSectorsOfATrackAreSentAsZerosAndReported) {
    Load(discsim::MakeDataCd(600));
    for (std::uint32_t lba : {40u, 41u, 300u})
        drive_->addReadError(lba);
    MirrorTaskExecute(task_);
    ASSERT_EQ(task_.errorCode.load(), 0);
    EXPECT_EQ(task_.status.load(), task_status::Done);
    EXPECT_EQ(task_.notes.size(), 3u);
    Bytes expected = DataImage(disc_, 600);
    for (std::uint32_t lba : {40u, 41u, 300u})
        std::fill_n(expected.begin() + lba * 2048, 2048, 0);
    EXPECT_TRUE(unit_.OnlySession().data == expected);
}

TEST_F(MirrorWorker, AFourthUnreadableSectorEndsTheTaskWithItsAddress) {
    Load(discsim::MakeDataCd(600));
    for (std::uint32_t lba : {40u, 41u, 300u, 555u})
        drive_->addReadError(lba);
    MirrorTaskExecute(task_);
    EXPECT_EQ(task_.errorCode.load(), task_error::ReadFailed41);
    EXPECT_EQ(task_.status.load(), task_status::Failed);
    EXPECT_EQ(task_.failedLba, 555u);
    EXPECT_EQ(task_.failedRun, 1u);
    EXPECT_EQ(task_.failedPasses, 4u);
    const nassim::Session s = unit_.OnlySession();
    EXPECT_STREQ(nassim::SessionEndName(s.end),
                 nassim::SessionEndName(nassim::SessionEnd::Aborted));
    EXPECT_EQ(s.abortReason, kAbortFailed);
}

TEST_F(MirrorWorker, PauseSendsNothingAndTheImageAfterResumeIsTheSame) {
    Load(discsim::MakeDataCd(1000));
    task_.lockDoor = true;
    PauseAtSector(320); // the run of sectors 320-335 still goes, then the worker waits
    std::thread worker([&] { MirrorTaskExecute(task_); });
    ASSERT_TRUE(WaitForData(336u * 2048));
    EXPECT_TRUE(task_.IsPaused());
    EXPECT_EQ(cdd_->ReaderCount(), 1);
    EXPECT_TRUE(cdd_->IsDoorLocked());
    EXPECT_TRUE(drive_->locked());
    // Still exactly the bytes before the pause: the worker waits at the pause, not at a read.
    EXPECT_EQ(unit_.unit->sessions()[0].dataBytes, 336u * 2048);
    task_.SetPaused(false);
    worker.join();
    EXPECT_EQ(task_.status.load(), task_status::Done);
    EXPECT_TRUE(unit_.OnlySession().data == DataImage(disc_, 1000));
    EXPECT_EQ(cdd_->ReaderCount(), 0);
    EXPECT_FALSE(drive_->locked());
}

TEST_F(MirrorWorker, AStopInTheMiddleAbortsTheSession) {
    Load(discsim::MakeDataCd(1000));
    PauseAtSector(160);
    std::thread worker([&] { MirrorTaskExecute(task_); });
    ASSERT_TRUE(WaitForData(176u * 2048));
    EXPECT_TRUE(task_.RequestStop()); // a paused task takes the stop too
    worker.join();
    EXPECT_EQ(task_.status.load(), task_status::Stopped);
    EXPECT_EQ(task_.errorCode.load(), task_error::StoppedSending);
    EXPECT_EQ(task_.runState.load(), run_state::Finished);
    const nassim::Session s = unit_.OnlySession();
    EXPECT_STREQ(nassim::SessionEndName(s.end),
                 nassim::SessionEndName(nassim::SessionEnd::Aborted));
    EXPECT_EQ(s.abortReason, kAbortStopped);
    EXPECT_EQ(s.dataBytes, 176u * 2048);
}

TEST_F(MirrorWorker, ANinthReaderIsRefusedWhileEightReadTheDrive) {
    Load(discsim::MakeDataCd(100));
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(cdd_->AddReader(false));
    MirrorTaskExecute(task_);
    EXPECT_EQ(task_.errorCode.load(), task_error::DriveOverload);
    EXPECT_EQ(task_.status.load(), task_status::Failed);
    EXPECT_TRUE(unit_.unit->sessions().empty());
    EXPECT_EQ(cdd_->ReaderCount(), 8);
    for (int i = 0; i < 8; ++i)
        cdd_->RemoveReader(false, false);
    TaskRecord again;
    again.kind = task_kind::Mirror;
    again.drive = cdd_;
    again.nas = unit_.Server();
    MirrorTaskExecute(again);
    EXPECT_EQ(again.status.load(), task_status::Done);
}

TEST_F(MirrorWorker, AMixedDiscGoesAsItsDataTrackAndTheReportSaysSo) {
    Load(discsim::MakeMixedModeCd(300, {100, 50}));
    MirrorTaskExecute(task_);
    ASSERT_EQ(task_.errorCode.load(), 0);
    EXPECT_EQ(task_.status.load(), task_status::Done);
    ASSERT_EQ(task_.notes.size(), 1u);
    EXPECT_NE(task_.notes[0].find("2 further track(s)"), std::string::npos);
    const nassim::Session s = unit_.OnlySession();
    EXPECT_TRUE(s.data == DataImage(disc_, 300));
    EXPECT_EQ(s.table[1], 1); // one track
}

TEST_F(MirrorWorker, ADiscKindThatIsNotMirroredIsRefusedBeforeASessionOpens) {
    Load(discsim::MakeCdExtra({300}, 200));
    MirrorTaskExecute(task_);
    EXPECT_EQ(task_.errorCode.load(), task_error::DiscUnsupported);
    EXPECT_TRUE(unit_.unit->sessions().empty());
    EXPECT_EQ(cdd_->ReaderCount(), 0);
}

} // namespace
