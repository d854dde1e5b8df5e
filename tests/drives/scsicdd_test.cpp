// One optical drive over a simulated drive: the command blocks it sends, the capability probe,
// media states, door and lock, the reading tasks' counts and sector reads.
#include "cache.h"
#include "clock/clock.h"
#include "disc_replies.h"
#include "scsicdd.h"
#include "sim_machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

class CddTest : public testing::Test {
protected:
    std::shared_ptr<discsim::Drive> Start(std::optional<discsim::Disc> disc,
                                          discsim::DriveConfig config = {}) {
        auto& adapter = machine_.AddAdapter();
        drive_ = machine_.AddDrive(adapter, 0, 0, "cd0", std::move(disc), std::move(config));
        machine_.Start().SetSleeper([this](std::uint32_t ms) { sleeps_.push_back(ms); });
        return drive_;
    }
    std::vector<Bytes> Cdbs() const {
        std::vector<Bytes> out;
        for (const auto& c : drive_->commandLog())
            out.push_back(c.cdb);
        return out;
    }
    std::size_t CountOf(std::uint8_t opcode, int byte4 = -1) const {
        std::size_t n = 0;
        for (const auto& c : drive_->commandLog())
            if (c.cdb[0] == opcode && (byte4 < 0 || c.cdb[4] == byte4)) ++n;
        return n;
    }

    SimMachine machine_;
    std::shared_ptr<discsim::Drive> drive_;
    std::vector<std::uint32_t> sleeps_;
};

TEST_F(CddTest, CommandBlocksCarryTheirFieldsWhereTheDriveReadsThem) {
    Start(discsim::MakeDataCd(3000));
    TScsiCdd cdd(0, 0, 0);
    Bytes buf(4 * 2352);
    struct Case {
        const char* name;
        std::function<int()> send;
        Bytes cdb;
    };
    const Case cases[] = {
        {"eject", [&] { return cdd.StartStop(false); }, {0x1B, 0, 0, 0, 0x02, 0}},
        {"load", [&] { return cdd.StartStop(true); }, {0x1B, 0, 0, 0, 0x03, 0}},
        {"prevent", [&] { return cdd.PreventAllow(true); }, {0x1E, 0, 0, 0, 0x01, 0}},
        {"allow", [&] { return cdd.PreventAllow(false); }, {0x1E, 0, 0, 0, 0x00, 0}},
        {"read(10)",
         [&] { return cdd.Read10(0x123, 3, buf.data(), 3 * 2048); },
         {0x28, 0, 0x00, 0x00, 0x01, 0x23, 0, 0x00, 0x03, 0}},
        {"read cd",
         [&] { return cdd.ReadCd(0, 0xF8, 0x456, 2, buf.data(), 2 * 2352); },
         {0xBE, 0, 0x00, 0x00, 0x04, 0x56, 0, 0x00, 0x02, 0xF8, 0, 0}},
        {"read capacity",
         [&] { return cdd.ReadCapacity(buf.data(), 8, 2000); },
         {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"full toc",
         [&] { return cdd.ReadToc(true, 2, buf.data(), 4096, 2000); },
         {0x43, 0x02, 0, 0, 0, 0, 0, 0x10, 0x00, 0x80}},
        {"session toc",
         [&] { return cdd.ReadToc(false, 1, buf.data(), 4096, 2000); },
         {0x43, 0x00, 0, 0, 0, 0, 0, 0x10, 0x00, 0x40}},
        {"track information",
         [&] { return cdd.ReadTrackInfo(buf.data(), 28, 1, 2000); },
         {0x52, 0x02, 0, 0, 0, 0x01, 0, 0x00, 0x1C, 0}},
        {"configuration",
         [&] { return cdd.GetConfiguration(buf.data(), 908, 4000); },
         {0x46, 0x02, 0, 0, 0, 0, 0, 0x03, 0x8C, 0}},
    };
    for (const Case& c : cases) {
        drive_->clearLog();
        c.send(); // the block is what counts here, not the reply
        const auto log = Cdbs();
        ASSERT_EQ(1u, log.size()) << c.name;
        EXPECT_EQ(c.cdb, log[0]) << c.name;
    }
    drive_->clearLog();
    Bytes big(2053);
    cdd.ReadDiscStructure(1, 0, big.data(), 2053,
                          2000); // refused by a CD; the block is what counts
    EXPECT_EQ((Bytes{0xAD, 0, 0, 0, 0, 0, 0x01, 0x00, 0x08, 0x05, 0, 0}), Cdbs().at(0));
}

TEST_F(CddTest, ProbeReadsCapabilitiesAndBluRayProfiles) {
    discsim::DriveConfig config;
    config.loadingMechanism = 1;
    Start(discsim::MakeBd(1000), config); // a BD loaded: its profile is the current one
    TScsiCdd cdd(0, 0, 0);
    EXPECT_EQ(TScsiCdd::kStateCapabilityPage | TScsiCdd::kStateUnitReady |
                  TScsiCdd::kStateLockSupported | TScsiCdd::kStateEjectSupported,
              cdd.StateBits());
    EXPECT_EQ(0x0F, cdd.readBits);
    EXPECT_EQ(1 << 1, cdd.mechanism);
    EXPECT_EQ(TScsiCdd::kMediaDvdRom, cdd.mediaBits1);
    EXPECT_EQ(TScsiCdd::kMedia2BdRom | TScsiCdd::kMedia2BdRe, cdd.mediaBits2);
}

TEST_F(CddTest, ProbeFallsBackToModeSense6) {
    Start(discsim::MakeDataCd(3000));
    drive_->injectFault({0x5A, discsim::kStatusCheckCondition, 5, 0x24, 0, 0});
    TScsiCdd cdd(0, 0, 0);
    EXPECT_EQ(TScsiCdd::kStateCapabilityPage, cdd.StateBits());
    EXPECT_EQ(0, cdd.mediaBits1);
    EXPECT_EQ(1u, CountOf(0x1A));
    EXPECT_EQ(0u, CountOf(0x46)); // no configuration without the ten-byte page
}

TEST_F(CddTest, MediaStatesFromTestUnitReady) {
    struct Case {
        const char* name;
        std::function<void(discsim::Drive&)> set;
        int code;
    };
    const Case cases[] = {
        {"ready", [](discsim::Drive&) {}, 0},
        {"no disc", [](discsim::Drive& d) { d.setDisc(std::nullopt); }, kMediaNoMedium},
        {"tray open", [](discsim::Drive& d) { d.openTray(); }, kMediaNoMedium},
        {"becoming ready", [](discsim::Drive& d) { d.setBecomingReady(1); }, kMediaBecomingReady},
        {"no reference position",
         [](discsim::Drive& d) {
             d.injectFault({0x00, 2, 2, 0x06, 0x00, 1});
         },
         kMediaNoReferencePosition},
        {"incompatible",
         [](discsim::Drive& d) {
             d.injectFault({0x00, 2, 2, 0x30, 0x00, 1});
         },
         kMediaIncompatible},
        {"medium error keeps its code",
         [](discsim::Drive& d) {
             d.injectFault({0x00, 2, 3, 0x11, 0x00, 1});
         },
         kAspiCheckCondition},
    };
    Start(discsim::MakeDataCd(3000));
    TScsiCdd cdd(0, 0, 0);
    for (const Case& c : cases) {
        drive_->clearFaults();
        drive_->setDisc(discsim::MakeDataCd(3000));
        drive_->closeTray();
        cdd.TScsiDev::TestUnitReady(); // takes the disc change's unit attention
        c.set(*drive_);
        EXPECT_EQ(c.code, cdd.TestUnitReady()) << c.name;
        EXPECT_EQ(c.code == 0, cdd.IsUnitReady()) << c.name;
    }
}

// A drive becoming ready pauses once for a second through the gateway's sleeper; nothing sleeps
// for real.
TEST_F(CddTest, BecomingReadyPausesThroughTheInjectedSleeper) {
    platform::ManualClock clock(5000);
    platform::ScopedClock clockScope(clock);
    Start(discsim::MakeDataCd(3000));
    TScsiCdd cdd(0, 0, 0);
    Aspi32().SetSleeper([&](std::uint32_t ms) {
        sleeps_.push_back(ms);
        clock.Advance(std::chrono::milliseconds(ms));
    });
    drive_->setBecomingReady(1);
    EXPECT_EQ(kMediaBecomingReady, cdd.TestUnitReady());
    EXPECT_EQ((std::vector<std::uint32_t>{1000}), sleeps_);
    EXPECT_EQ(6000u, clock.TickCount());
    EXPECT_EQ(0, cdd.TestUnitReady());
    EXPECT_EQ(6000u, clock.TickCount());
}

TEST_F(CddTest, LockKeepsTheBitAndEjectOpensTheDoorEvenWhenStartStopFails) {
    Start(discsim::MakeDataCd(3000));
    TScsiCdd cdd(0, 0, 0);
    ASSERT_EQ(0, cdd.Lock(true));
    EXPECT_TRUE(cdd.IsDoorLocked());
    EXPECT_TRUE(drive_->locked());
    ASSERT_EQ(0, cdd.Lock(false));
    EXPECT_FALSE(cdd.IsDoorLocked());

    drive_->injectFault({0x1B, 2, 2, 0x04, 0x00, 1}); // the first START STOP UNIT fails
    drive_->clearLog();
    EXPECT_EQ(kAspiCheckCondition, cdd.Eject(false));
    EXPECT_EQ(discsim::TrayState::Open, drive_->trayState());
    EXPECT_EQ(2u, CountOf(0x1B, 0x02));

    EXPECT_EQ(0, cdd.Eject(true));
    EXPECT_EQ(discsim::TrayState::ClosedLoaded, drive_->trayState());
    EXPECT_TRUE(cdd.StateBits() & TScsiCdd::kStateTrayClosed);
}

TEST_F(CddTest, ReadersAreLimitedAndTheDoorFollowsTheLockCount) {
    Start(discsim::MakeDataCd(3000));
    TScsiCdd cdd(0, 0, 0);
    for (int i = 0; i < TScsiCdd::kMaxReaders; ++i)
        ASSERT_TRUE(cdd.AddReader(true));
    EXPECT_FALSE(cdd.AddReader(true));
    EXPECT_EQ(8, cdd.ReaderCount());
    EXPECT_EQ(8, cdd.LockCount());
    EXPECT_EQ(1u, CountOf(0x1E, 1)); // locked once
    for (int i = 0; i < 7; ++i)
        cdd.RemoveReader(true, true);
    EXPECT_TRUE(drive_->locked());
    EXPECT_EQ(discsim::TrayState::ClosedLoaded, drive_->trayState());
    cdd.RemoveReader(true, true); // the last reader unlocks and ejects
    EXPECT_FALSE(drive_->locked());
    EXPECT_EQ(discsim::TrayState::Open, drive_->trayState());
    EXPECT_EQ(0, cdd.ReaderCount());
    EXPECT_EQ(0, cdd.LockCount());
}

// Many tasks coming and going on one drive: the counts end at zero, every lock has its unlock,
// and no more than eight ever read at once.
TEST_F(CddTest, ReaderCountsHoldUnderConcurrentTasks) {
    Start(discsim::MakeDataCd(3000));
    TScsiCdd cdd(0, 0, 0);
    std::atomic<int> reading{0}, most{0}, refused{0};
    std::vector<std::thread> tasks;
    for (int t = 0; t < 12; ++t)
        tasks.emplace_back([&] {
            for (int round = 0; round < 50; ++round) {
                if (!cdd.AddReader(true)) {
                    ++refused;
                    continue;
                }
                const int now = ++reading;
                int seen = most.load();
                while (now > seen && !most.compare_exchange_weak(seen, now)) {
                }
                --reading;
                cdd.RemoveReader(true, false);
            }
        });
    for (auto& t : tasks)
        t.join();
    EXPECT_EQ(0, cdd.ReaderCount());
    EXPECT_EQ(0, cdd.LockCount());
    EXPECT_LE(most.load(), TScsiCdd::kMaxReaders);
    EXPECT_FALSE(drive_->locked());
    EXPECT_EQ(CountOf(0x1E, 1), CountOf(0x1E, 0));
}

TEST_F(CddTest, ReadSectorsIsOneCommandPerRangeInEachMode) {
    Start(discsim::MakeXaCd(3000));
    TScsiCdd cdd(0, 0, 0);
    Bytes user(3 * 2048), raw(3 * 2352), mode2(3 * 2352);
    drive_->clearLog();
    ASSERT_EQ(0, cdd.ReadSectors(kReadUserData, 16, 3, user.data(), user.size()));
    ASSERT_EQ(0, cdd.ReadSectors(kReadRaw, 16, 3, raw.data(), raw.size()));
    ASSERT_EQ(0, cdd.ReadSectors(kReadMode2, 16, 3, mode2.data(), mode2.size()));
    const auto log = Cdbs();
    ASSERT_EQ(3u, log.size());
    EXPECT_EQ(0x28, log[0][0]);
    EXPECT_EQ(3, log[0][8]);
    EXPECT_EQ(0xBE, log[1][0]);
    EXPECT_EQ(3, log[1][8]);
    EXPECT_EQ(0xF8, log[1][9]);
    // Raw sectors start with the sync pattern; Mode 2 user data is the READ(10) data.
    EXPECT_EQ((Bytes{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}),
              Bytes(raw.begin() + 2352, raw.begin() + 2352 + 12));
    EXPECT_TRUE(std::equal(user.begin(), user.end(), mode2.begin()));
    EXPECT_EQ(0, std::memcmp(&user[1], "CD001", 5));
}

TEST_F(CddTest, ReadsBeyondTheBufferAndUnknownModesSendNothing) {
    Start(discsim::MakeDataCd(3000));
    TScsiCdd cdd(0, 0, 0);
    Bytes buf(3 * 2352 - 1);
    drive_->clearLog();
    EXPECT_EQ(kAspiBufferTooBig, cdd.ReadSectors(kReadRaw, 0, 3, buf.data(), buf.size()));
    EXPECT_EQ(kAspiBufferTooBig, cdd.ReadSectors(kReadMode2, 0, 3, buf.data(), buf.size()));
    EXPECT_EQ(kAspiBufferTooBig, cdd.ReadSectors(kReadUserData, 0, 4, buf.data(), 4 * 2048 - 1));
    EXPECT_EQ(kAspiInvalidCdb, cdd.ReadSectors(kReadUserData, 0, 0x10000, buf.data(), SIZE_MAX));
    EXPECT_EQ(0, cdd.ReadSectors(3, 0, 1, buf.data(), buf.size()));
    EXPECT_TRUE(drive_->commandLog().empty());
    EXPECT_EQ(0, cdd.ReadSectors(kReadRaw, 0, 2, buf.data(), buf.size()));
}

// A drive that ends a read GOOD but delivers only part of the sectors: the read fails (code 17),
// in every mode and through the sector cache, so that no caller sends what the buffer held
// before; a whole reply still reads.
TEST_F(CddTest, ReadThatMovesOnlyPartOfTheDataFails) {
    Start(discsim::MakeXaCd(3000));
    std::atomic<bool> cut{true};
    drive_->setReplyFilter([&](const std::vector<std::uint8_t>& cdb, std::vector<std::uint8_t>& r) {
        if (cut && (cdb[0] == 0x28 || cdb[0] == 0xBE)) r.resize(r.size() - 100);
    });
    TScsiCdd cdd(0, 0, 0);
    struct Case {
        const char* name;
        int mode;
        std::size_t sectorBytes;
    };
    const Case cases[] = {
        {"user data", kReadUserData, 2048}, {"raw", kReadRaw, 2352}, {"mode 2", kReadMode2, 2352}};
    for (const Case& c : cases) {
        Bytes buf(3 * c.sectorBytes, 0xEE); // what an earlier read left
        cut = true;
        EXPECT_EQ(kAspiDataOverrun, cdd.ReadSectors(c.mode, 16, 3, buf.data(), buf.size()))
            << c.name;
        EXPECT_EQ(std::uint32_t{kAspiDataOverrun}, cdd.lastCode.load()) << c.name;
        cut = false;
        ASSERT_EQ(0, cdd.ReadSectors(c.mode, 16, 3, buf.data(), buf.size())) << c.name;
        EXPECT_EQ(0, std::memcmp(&buf[c.mode == kReadRaw ? 24 + 1 : 1], "CD001", 5)) << c.name;
        EXPECT_NE(0xEE, buf[3 * (c.mode == kReadUserData ? 2048 : 2352) - 1]) << c.name;
    }

    auto cache = std::make_shared<TCache>(4, 2352);
    ASSERT_TRUE(cache->Enable());
    cdd.SetCache(cache);
    Bytes buf(2 * 2048, 0xEE);
    cut = true;
    EXPECT_EQ(kAspiDataOverrun, cdd.ReadSectors(kReadUserData, 100, 2, buf.data(), buf.size()));
    // Nothing of the failed run stayed in the cache: the next read asks the drive again.
    cut = false;
    drive_->clearLog();
    ASSERT_EQ(0, cdd.ReadSectors(kReadUserData, 100, 2, buf.data(), buf.size()));
    EXPECT_EQ(1u, CountOf(0x28));
}

TEST_F(CddTest, VolumeOfAnAudioDiscIsTheCdFileSystemWithoutLabel) {
    Start(discsim::MakeAudioCd({4510, 6000, 3000}));
    TScsiCdd cdd(0, 0, 0);
    ASSERT_EQ(0, cdd.Analyse());
    VolumeInfo v;
    ASSERT_TRUE(cdd.ReadVolumeInfo(v));
    EXPECT_EQ("CDFS", v.fileSystemName);
    EXPECT_EQ("", v.label);
}

} // namespace
