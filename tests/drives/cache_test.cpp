// The sector cache: built disabled as the program makes it, and its enabled operations (lookup,
// reservation, recency, pending reads with an injected sleeper), also through a drive's reads.
#include "cache.h"
#include "clock/clock.h"
#include "scsicdd.h"
#include "sim_machine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(CacheBuild, SizesStatusAndTheOneBlock) {
    struct Case {
        std::uint32_t units, status, slots, buckets;
    };
    const Case cases[] = {{64, TCache::kStatusTooManyUnits, 0, 0},
                          {63, TCache::kStatusNotEnabled, 32256, 4032},
                          {4, TCache::kStatusNotEnabled, 2048, 256}};
    for (const Case& c : cases) {
        TCache cache(c.units, 2352);
        EXPECT_EQ(c.status, cache.status) << c.units;
        EXPECT_EQ(c.slots, cache.slotCount) << c.units;
        EXPECT_EQ(c.buckets, cache.bucketCount) << c.units;
        EXPECT_EQ(0u, cache.enabled);
    }
    // Sector data, 8-byte entries and one bucket pointer of this machine per 8 slots.
    EXPECT_EQ(4u * 512 * 2352 + 4u * 512 * 8 + 4u * 64 * sizeof(void*), TCache::BlockSize(4, 2352));
}

TEST(CacheBuild, DisabledCacheAnswersNotEnabledAndTouchesNothing) {
    TCache cache(4, 2352);
    Bytes dest(2352, 0xAB);
    EXPECT_EQ(TCache::kNotEnabled, cache.Lookup(0, true, 16, dest.data()));
    EXPECT_EQ(Bytes(2352, 0xAB), dest);
    EXPECT_EQ(TCache::kNotEnabled, cache.Reserve(0, true, 16));
    EXPECT_EQ(TCache::kNotEnabled, cache.Fill(0, true, 16, dest.data()));
    EXPECT_EQ(TCache::kNotEnabled, cache.Abandon(0, true, 16));
    EXPECT_EQ(TCache::kNotEnabled, cache.Invalidate(TCache::kAllDrives));
    EXPECT_EQ(TCache::kStatusNotEnabled, cache.status);
    EXPECT_EQ(0u, cache.lookups);
}

class EnabledCache : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(cache_.Enable()); }
    void Put(std::uint32_t drive, bool raw, std::uint32_t lba, std::uint8_t fill) {
        ASSERT_EQ(TCache::kOk, cache_.Reserve(drive, raw, lba));
        const Bytes data(2352, fill);
        ASSERT_EQ(TCache::kOk, cache_.Fill(drive, raw, lba, data.data()));
    }
    int Get(std::uint32_t drive, bool raw, std::uint32_t lba, std::uint8_t* first = nullptr) {
        Bytes dest(2352, 0);
        const int r = cache_.Lookup(drive, raw, lba, dest.data());
        if (first) *first = dest[0];
        return r;
    }
    TCache cache_{1, 2352}; // 512 slots, 64 buckets
};

TEST_F(EnabledCache, SectorsAreKeptPerDriveRawFlagAndAddress) {
    Put(1, true, 100, 0x11);
    Put(1, false, 100, 0x22);
    Put(2, true, 100, 0x33);
    std::uint8_t first = 0;
    EXPECT_EQ(TCache::kOk, Get(1, true, 100, &first));
    EXPECT_EQ(0x11, first);
    EXPECT_EQ(TCache::kOk, Get(1, false, 100, &first));
    EXPECT_EQ(0x22, first);
    EXPECT_EQ(TCache::kNotCached, Get(3, true, 100));
    EXPECT_EQ(3u, cache_.lookups);
    EXPECT_EQ(2u, cache_.hits);
    EXPECT_EQ(3u, cache_.usedCount);
    EXPECT_EQ(509u, cache_.freeCount);

    EXPECT_EQ(2, cache_.Invalidate(1));
    EXPECT_EQ(TCache::kNotCached, Get(1, true, 100));
    EXPECT_EQ(TCache::kOk, Get(2, true, 100));
    EXPECT_EQ(1, cache_.Invalidate(TCache::kAllDrives));
    EXPECT_EQ(512u, cache_.freeCount);
}

TEST_F(EnabledCache, AbandonedAndUnkeepableSectorsAreNotCached) {
    ASSERT_EQ(TCache::kOk, cache_.Reserve(0, false, 5));
    EXPECT_EQ(TCache::kOk, cache_.Abandon(0, false, 5));
    EXPECT_EQ(TCache::kNotCached, cache_.Abandon(0, false, 5));
    EXPECT_EQ(512u, cache_.freeCount);
    // A drive index or address wider than an entry holds is never kept.
    EXPECT_EQ(TCache::kNoEntry, cache_.Reserve(16, false, 5));
    EXPECT_EQ(TCache::kNoEntry, cache_.Reserve(0, false, TCache::kMaxLba + 1));
    EXPECT_EQ(TCache::kNotCached, Get(16, false, 5));
}

// With no free entry, a sector takes the least recently used entry of its own bucket; a bucket
// with nothing in it has nothing to give.
TEST_F(EnabledCache, FullCacheRecyclesTheLeastRecentlyUsedOfTheBucket) {
    for (std::uint32_t k = 0; k < 512; ++k)
        Put(0, true, 64 * k, static_cast<std::uint8_t>(k));
    EXPECT_EQ(0u, cache_.freeCount);
    EXPECT_EQ(TCache::kOk, Get(0, true, 0)); // sector 0 becomes the most recent
    Put(0, true, 64 * 512, 0xEE);
    EXPECT_EQ(TCache::kNotCached, Get(0, true, 64)); // the oldest left
    EXPECT_EQ(TCache::kOk, Get(0, true, 0));
    EXPECT_EQ(TCache::kOk, Get(0, true, 64 * 512));
    EXPECT_EQ(TCache::kNoEntry, cache_.Reserve(0, true, 1)); // bucket 1 is empty
}

TEST_F(EnabledCache, PendingLookupPollsThroughTheSleeper) {
    platform::ManualClock clock;
    std::vector<std::uint32_t> sleeps;
    cache_.SetSleeper([&](std::uint32_t ms) {
        sleeps.push_back(ms);
        clock.Advance(std::chrono::milliseconds(ms));
    });
    ASSERT_EQ(TCache::kOk, cache_.Reserve(0, true, 7));
    EXPECT_EQ(TCache::kNotCached, Get(0, true, 7));
    EXPECT_EQ(std::vector<std::uint32_t>(TCache::kPendingPolls, TCache::kPendingPollMs), sleeps);
    EXPECT_EQ(2000u, clock.TickCount()); // two seconds of waiting, none of them real
    EXPECT_EQ(1u, cache_.pendingWaits);
    EXPECT_EQ(1u, cache_.pendingTimeouts);

    // The reader fills the sector while the lookup waits.
    sleeps.clear();
    const Bytes data(2352, 0x5A);
    cache_.SetSleeper([&](std::uint32_t ms) {
        sleeps.push_back(ms);
        if (sleeps.size() == 3) cache_.Fill(0, true, 7, data.data());
    });
    std::uint8_t first = 0;
    EXPECT_EQ(TCache::kOk, Get(0, true, 7, &first));
    EXPECT_EQ(0x5A, first);
    EXPECT_EQ(3u, sleeps.size());
    EXPECT_EQ(1u, cache_.pendingTimeouts);
}

// A drive reading through an enabled cache: sectors already there cost no command; the misses
// go as one run; a failed run leaves nothing behind; ejecting drops the drive's sectors.
TEST(CachedReads, HitsSkipTheDriveAndMissesGoAsOneRun) {
    SimMachine machine;
    auto& adapter = machine.AddAdapter();
    auto drive = machine.AddDrive(adapter, 0, 0, "cd0", discsim::MakeXaCd(3000));
    drive->addReadError(41);
    machine.Start().SetSleeper([](std::uint32_t) {});
    auto cache = std::make_shared<TCache>(4, 2352);
    ASSERT_TRUE(cache->Enable());
    TScsiCdd cdd(0, 0, 0);
    cdd.SetCache(cache);

    Bytes direct(6 * 2352), first(4 * 2352), second(4 * 2352);
    ASSERT_EQ(0, cdd.Read10(16, 6, direct.data(), 6 * 2048));
    drive->clearLog();
    ASSERT_EQ(0, cdd.ReadSectors(kReadUserData, 16, 4, first.data(), first.size()));
    ASSERT_EQ(0, cdd.ReadSectors(kReadUserData, 18, 4, second.data(), second.size()));
    const auto log = drive->commandLog();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(20, log[1].cdb[5]); // the second read asks only for 20 and 21
    EXPECT_EQ(2, log[1].cdb[8]);
    EXPECT_TRUE(std::equal(direct.begin(), direct.begin() + 4 * 2048, first.begin()));
    EXPECT_TRUE(std::equal(direct.begin() + 2 * 2048, direct.begin() + 6 * 2048, second.begin()));

    Bytes mode2(2 * 2352);
    ASSERT_EQ(0, cdd.ReadSectors(kReadMode2, 16, 2, mode2.data(), mode2.size()));
    EXPECT_TRUE(std::equal(direct.begin(), direct.begin() + 2 * 2048, mode2.begin()));

    EXPECT_EQ(kAspiCheckCondition,
              cdd.ReadSectors(kReadUserData, 40, 2, first.data(), first.size()));
    Bytes dest(2048);
    EXPECT_EQ(TCache::kNotCached, cache->Lookup(cdd.index, false, 40, dest.data()));

    const std::uint32_t used = cache->usedCount;
    EXPECT_GT(used, 0u);
    cdd.Eject(false);
    EXPECT_EQ(0u, cache->usedCount);
}

} // namespace
