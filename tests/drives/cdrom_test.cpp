// The local drive table: a machine without optical drives, and one with simulated drives whose
// letters, captions, names, tracks and sizes the windows and tasks read.
#include "cache.h"
#include "cdrom.h"
#include "scsi/registry.h"
#include "scsicdd.h"
#include "sim_machine.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(DriveTableWithoutDrives, ShowsNoneAndNothingFails) {
    // This machine's own registry over an empty system tree.
    const auto root = std::filesystem::temp_directory_path() / "brimlet-no-drives";
    std::filesystem::create_directories(root / "sys" / "class" / "block");
    std::filesystem::create_directories(root / "dev");
    auto registry =
        platform::scsi::MakeSystemRegistry((root / "sys").string(), (root / "dev").string());
    TAspi32 aspi(registry.get());
    ScopedAspi32 aspiScope(aspi);
    platform::devices::LetterMap letters;
    platform::devices::ScopedLetterMap letterScope(letters);

    CDH_LOGICAL_CDROM_CLASS table;
    ASSERT_TRUE(table.Rescan());
    for (char l = 'A'; l <= 'Z'; ++l) {
        EXPECT_FALSE(table.IsCdDrive(l));
        EXPECT_EQ("(!:)", table.GetDriveCaption(l));
        EXPECT_EQ(nullptr, table.GetDevice(l));
        EXPECT_EQ(-1, table.IsDataDisc(l));
        EXPECT_EQ(-1, table.GetDiscBytes(l));
        EXPECT_EQ(-1, table.UnlockDrive(l));
        EXPECT_EQ(-1, table.InvalidateCache(l));
        EXPECT_EQ("", table.GetDiscFormatName(l));
        EXPECT_EQ(0, table.GetLastTrack(l));
        EXPECT_FALSE(table.Reanalyse(l));
    }
    table.RefreshLetter('D');
    EXPECT_EQ(0, table.Bus()->Count());
    std::filesystem::remove_all(root);
}

class DriveTable : public testing::Test {
protected:
    std::shared_ptr<discsim::Drive> Add(const std::string& name, std::optional<discsim::Disc> disc,
                                        discsim::DriveConfig config = {}) {
        if (!adapter_) adapter_ = &machine_.AddAdapter("ATAPI SIM");
        config.product = name;
        return machine_.AddDrive(*adapter_, target_++, 0, name, std::move(disc), config);
    }
    void Start() {
        machine_.Start().SetSleeper([](std::uint32_t) {});
    }

    SimMachine machine_;
    platform::scsi::SimAdapter* adapter_ = nullptr;
    std::uint32_t target_ = 0;
};

TEST_F(DriveTable, LettersCaptionsAndNames) {
    Add("DATA", discsim::MakeDataCd(3000));                                  // D:
    Add("EMPTY", std::nullopt);                                              // E:
    auto mixed = Add("MIXED", discsim::MakeMixedModeCd(3000, {4500, 3000})); // F:
    Start();
    CDH_LOGICAL_CDROM_CLASS table;
    ASSERT_TRUE(table.Rescan());

    EXPECT_TRUE(table.IsCdDrive('D'));
    EXPECT_TRUE(table.IsCdDrive('f'));
    EXPECT_FALSE(table.IsCdDrive('G'));
    EXPECT_EQ(kMediaReady, table.GetMediaState('D'));
    EXPECT_EQ(kMediaEmpty, table.GetMediaState('E'));
    EXPECT_EQ(kMediaNotReady, table.GetMediaState('1'));

    EXPECT_EQ("(D:)SIMULATED_DISC", table.GetDriveCaption('d'));
    EXPECT_EQ("(E:)- Empty -", table.GetDriveCaption('E'));
    EXPECT_EQ("(!:)", table.GetDriveCaption('G'));
    EXPECT_EQ("(?:)", table.GetDriveCaption('1'));

    EXPECT_EQ("SIMDISC DATA 1.00", table.GetDeviceName('D'));
    EXPECT_EQ("IDE", table.GetInterfaceName('D'));
    EXPECT_EQ("BD-RE", table.GetMediaKindName('D')); // the simulated drive lists every profile
    EXPECT_EQ("SIMULATED_DISC", table.GetVolumeLabel('D'));
    EXPECT_EQ("", table.GetVolumeLabel('E'));
    EXPECT_EQ("CDFS", table.GetVolumeInfo('D'));
    EXPECT_TRUE(table.IsDiscReady('D'));
    EXPECT_FALSE(table.IsDiscReady('E'));

    // The mixed disc: format, sizes and its tracks.
    EXPECT_EQ("CD-Mixed", table.GetDiscFormatName('F'));
    EXPECT_EQ(1, table.IsDataDisc('F'));
    EXPECT_EQ(10500 * 2048, table.GetDiscBytes('F'));
    EXPECT_EQ(1, table.GetSessionCount('F'));
    EXPECT_EQ(3, table.GetLastTrack('F'));
    EXPECT_EQ(2, table.GetTrackEntryNumber('F', 1));
    EXPECT_EQ(1, table.GetTrackEntrySession('F', 1));
    EXPECT_EQ("Data", table.GetTrackKindText('F', 0));
    EXPECT_EQ("Audio", table.GetTrackKindText('F', 1));
    EXPECT_EQ(3000u * 2048, table.GetTrackBytes('F', 0));
    EXPECT_EQ(4500u * 2352, table.GetTrackBytes('F', 1));
    EXPECT_EQ(0u, table.GetTrackBytes('F', 99));
    EXPECT_EQ("", table.GetTrackKindText('F', -1));
    EXPECT_EQ(3000, DiscSectorCount(table.GetDevice('F')->Disc()));

    // The disc is taken out: the letter shows empty until a refresh finds the new one.
    mixed->setDisc(discsim::MakeAudioCd({4510, 6000, 3000}));
    table.SetMediaChanged('F');
    EXPECT_EQ("(F:)- Empty -", table.GetDriveCaption('F'));
    table.RefreshLetter('F'); // the disc change's unit attention
    EXPECT_EQ(kMediaNotReady, table.GetMediaState('F'));
    table.RefreshLetter('F');
    EXPECT_EQ(kMediaReady, table.GetMediaState('F'));
    EXPECT_EQ("CD-Audio", table.GetDiscFormatName('F'));
    EXPECT_EQ(13510 * 2352, table.GetDiscBytes('F'));
    EXPECT_TRUE(table.Reanalyse('F'));

    // Unlocking works on a known drive only.
    ASSERT_EQ(0, table.GetDevice('D')->Lock(true));
    EXPECT_EQ(0, table.UnlockDrive('D'));
    EXPECT_FALSE(table.GetDevice('D')->IsDoorLocked());
}

TEST_F(DriveTable, RefreshMapsMediaStates) {
    auto bad = Add("BAD", discsim::MakeAudioCd({4510, 6000, 3000}));
    bad->setReplyFilter([](const std::vector<std::uint8_t>& cdb, std::vector<std::uint8_t>& r) {
        if (cdb[0] == 0x43 && (cdb[9] >> 6) == 2 && r.size() > 4 + 11 * 4)
            r[4 + 11 * 4 + 8] = r[4 + 11 * 4 + 9] = r[4 + 11 * 4 + 10] = 0; // track 2 at 00:00:00
    });
    auto noRef = Add("NOREF", discsim::MakeDataCd(3000));
    noRef->injectFault({0x00, 2, 2, 0x06, 0x00, 0});
    auto odd = Add("ODD", discsim::MakeDataCd(3000));
    odd->injectFault({0x00, 2, 2, 0x30, 0x00, 0});
    auto busy = Add("BUSY", discsim::MakeDataCd(3000));
    busy->injectFault({0x00, discsim::kStatusBusy, 0, 0, 0, 0});
    Start();
    CDH_LOGICAL_CDROM_CLASS table;
    ASSERT_TRUE(table.Rescan());

    // Ready, but the analysis fails: unknown format.
    EXPECT_EQ(kMediaUnknownFormat, table.GetMediaState('D'));
    EXPECT_EQ("(D:)- Unknown Format -", table.GetDriveCaption('D'));
    EXPECT_EQ(kMediaDiscError, table.GetMediaState('E'));
    EXPECT_EQ("(E:)- Disc Error -", table.GetDriveCaption('E'));
    EXPECT_EQ(kMediaUnknownFormat, table.GetMediaState('F'));
    EXPECT_EQ(kMediaNotReady, table.GetMediaState('G'));
    EXPECT_EQ("(G:)- Not Ready -", table.GetDriveCaption('G'));
    EXPECT_EQ("", table.GetDiscFormatName('G'));
}

TEST_F(DriveTable, CacheUnitsAreCappedAndTheCacheStaysDisabled) {
    Add("DATA", discsim::MakeDataCd(3000));
    Start();
    CDH_LOGICAL_CDROM_CLASS table;
    TCache* first = table.Cache();
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(2048u, first->slotCount);
    EXPECT_TRUE(table.SetCacheUnits(4));
    EXPECT_EQ(first, table.Cache());
    EXPECT_TRUE(table.SetCacheUnits(200));
    EXPECT_EQ(TCache::kStatusTooManyUnits, table.Cache()->status);
    EXPECT_EQ(0u, table.Cache()->enabled);
    ASSERT_TRUE(table.Rescan());
    EXPECT_EQ(TCache::kNotEnabled, table.InvalidateCache('D'));
}

TEST(DiscSectorCount, ByKind) {
    DiscInfo d;
    d.totalSectors = 5000;
    d.tracks[0].length = 10;
    d.tracks[1].length = 100;
    d.lastTrack = 1;
    struct Case {
        std::uint8_t kind, lastTrack;
        std::int64_t sectors;
    };
    const Case cases[] = {
        {1, 1, 5000},
        {17, 1, 5000},
        {64, 1, 5000},
        {65, 1, 5000},
        {3, 2, 10},
        {4, 2, 10},
        {2, 1, 12},                              // (10 x 2352 + 2091) / 2048
        {2, 2, 12 + (100 * 2352 + 2091) / 2048}, // 12 + 115
        {6, 2, 10 + 115},
        {24, 2, -1},
        {5, 1, -1},
        {0, 1, -1},
    };
    for (const Case& c : cases) {
        d.discKind = c.kind;
        d.lastTrack = c.lastTrack;
        EXPECT_EQ(c.sectors, DiscSectorCount(d)) << int(c.kind);
    }
    d.discKind = 2;
    d.lastTrack = 255; // counts no further than the table's 99 entries; an empty one counts 1
    EXPECT_EQ(12 + 115 + 97, DiscSectorCount(d));
}

} // namespace
