// The facade's refresh, load and change operations against a simulated CD server.
#include "cdh_test_support.h"
#include "tovexcdh_records.h"

#include <cstring>

namespace {

using cdhtest::ClientTest;
using cdsim::Bytes;

constexpr unsigned kServer = 7; // 127.0.0.7

cdsim::ServerConfig Devices() {
    cdsim::ServerConfig c;
    c.adminPassword = "admin1";
    c.groupPasswords[7] = "share";
    c.status.maskA = 0x0F; // slots 0-3
    c.status.maskB = 0x20; // slot 5
    c.status.groupCount = 2;
    cdsim::SlotBlock disk;
    disk.label = "DISK";
    disk.kind = 1;
    disk.entryCount = 2;
    c.slots[0] = disk;
    cdsim::SlotBlock cdrom;
    cdrom.label = "CD";
    cdrom.kind = 2;
    cdrom.byte90 = 0x10; // not ready: its entries don't count
    cdrom.entryCount = 7;
    c.slots[1] = cdrom;
    cdsim::SlotBlock gone = disk;
    gone.byte90 = 0x30; // state 3: not available
    c.slots[2] = gone;
    // slot 3 answers an all-zero block; slot 5 a block of kind 0
    cdsim::SlotBlock kindless = disk;
    kindless.kind = 0;
    c.slots[5] = kindless;
    c.entries[0] = {{"first", 0, 1, 1, 0, 0x0101, 10}, {"second", 0, 2, 1, 1, 0x0202, 20}};
    cdsim::VolumeEntry ready;
    ready.block.label = "DAT";
    ready.block.kind = 4;
    ready.slot = 6;
    cdsim::VolumeEntry busy = ready;
    busy.slot = 7;
    busy.activity = 1u << 9;
    c.volumes = {ready, busy};
    cdsim::RaidVolume raid;
    raid.members = {0, 1};
    raid.kind = 1;
    raid.entryCount = 1;
    c.raid[0] = raid;
    c.entries[8] = {{"r1"}, {"r2"}, {""}, {"after a gap"}};
    cdsim::TapeHeader header;
    header.setCount = 4;
    header.onTape = 2;
    header.name = "Friday";
    c.tapes[6] = header;
    cdsim::TapeCatalog catalog;
    catalog.scheduleKind = 1;
    catalog.hour = 23;
    catalog.minute = 5;
    catalog.weekday = 5;
    catalog.count = 2;
    catalog.backupType = 1;
    catalog.label = "weekly";
    catalog.names = {"vol-1", "vol-2"};
    c.catalogs[6] = catalog;
    c.groups = {{"sales", 7, 1, 2}, {"sales", 252, 0, 0}};
    return c;
}

class RefreshTest : public ClientTest {
protected:
    void SetUp() override {
        ClientTest::SetUp();
        server = StartServer(Devices(), kServer);
        record = RecordFor(kServer);
    }
    std::size_t Requests(std::uint16_t command) {
        std::size_t n = 0;
        for (const auto& r : server->requests()) {
            EXPECT_EQ(r.problem, "");
            n += r.command == command;
        }
        return n;
    }

    CDH_NET_CLASS& facade = CdhNetClass();
    std::unique_ptr<cdsim::Server> server;
    std::unique_ptr<TCdhSvr> record;
};

TEST_F(RefreshTest, RefreshServerDropsSlotsThatAreNotThere) {
    ASSERT_EQ(facade.RefreshServer(record.get()), kCdhfOk);
    EXPECT_TRUE(facade.SlotExists(record.get(), 0));
    EXPECT_TRUE(facade.SlotExists(record.get(), 1));
    EXPECT_FALSE(facade.SlotExists(record.get(), 2)); // state 3
    EXPECT_FALSE(facade.SlotExists(record.get(), 3)); // empty block
    EXPECT_FALSE(facade.SlotExists(record.get(), 5)); // kind 0
    EXPECT_EQ(facade.GetSlotCountA(record.get()), 2);
    EXPECT_EQ(facade.GetSlotCountB(record.get()), 0);
    EXPECT_EQ(CdhGetU16(record->Status + kStOffSlotsInUse), 2);
    EXPECT_EQ(facade.GetSlotEntryCount(record.get(), 0), 2);
    EXPECT_EQ(facade.GetSlotEntryCount(record.get(), 1), 0);
    EXPECT_EQ(Requests(kCdhSlotInfo), 5u);
    EXPECT_EQ(facade.GetVolumeTableCount(record.get()), 2);
    EXPECT_EQ(facade.GetRaidVolumeCount(record.get()), 1);
    EXPECT_TRUE(facade.SlotIsVolumeMember(record.get(), 6));
    EXPECT_TRUE(facade.IsRaidVolume(record.get(), 8));
}

TEST_F(RefreshTest, AFailedSlotReadClearsTheMasks) {
    server->addFault(cdhtest::Fault(kCdhSlotInfo, 2, cdsim::FaultKind::CloseWithoutReply));
    EXPECT_EQ(facade.RefreshServer(record.get()), kCdhfFailure);
    for (int slot = 0; slot < 8; ++slot)
        EXPECT_FALSE(facade.SlotExists(record.get(), slot)) << slot;
    EXPECT_EQ(facade.GetSlotCountA(record.get()), 0);
    EXPECT_EQ(CdhGetU16(record->Status + kStOffSlotsInUse), 0);
}

TEST_F(RefreshTest, OlderFirmwareHasNoVolumeTableRaidOrCatalogue) {
    auto old = RecordFor(kServer, 1, 0x10);
    ASSERT_EQ(facade.RefreshServer(old.get()), kCdhfOk);
    EXPECT_EQ(facade.LoadTapeCatalog(old.get(), 6), kCdhfOk);
    EXPECT_EQ(facade.RefreshSlot(old.get(), 9), kCdhfFailure); // no volume 9 to read
    EXPECT_EQ(Requests(kCdhVolumeTable) + Requests(kCdhRaidVolumes) + Requests(kCdhTapeCatalog) +
                  Requests(kCdhSlotEntries),
              0u);
    EXPECT_FALSE(facade.IsRaidVolume(old.get(), 8));
    EXPECT_EQ(facade.GetTapeCatalogState(old.get(), 6), 0);
}

TEST_F(RefreshTest, RefreshSlotLoadsEntriesOfDisksAndRaidVolumes) {
    ASSERT_EQ(facade.RefreshServer(record.get()), kCdhfOk);
    ASSERT_EQ(facade.RefreshSlot(record.get(), 0), kCdhfOk);
    EXPECT_EQ(facade.GetEntryCountLoaded(record.get()), 2);
    EXPECT_EQ(facade.GetEntryName(record.get(), 1), "second");
    EXPECT_EQ(facade.GetEntryKindText(record.get(), 1), "Image[M]");

    // A RAID volume is read into room for its count + 10 entries; its count becomes the
    // entries before the first empty one.
    ASSERT_EQ(facade.RefreshSlot(record.get(), 8), kCdhfOk);
    EXPECT_EQ(facade.GetSlotEntryCount(record.get(), 8), 2);
    EXPECT_EQ(facade.GetEntryName(record.get(), 1), "r2");

    EXPECT_EQ(facade.RefreshSlot(record.get(), 12), kCdhfFailure);
    EXPECT_EQ(facade.LoadSlotEntries(record.get(), 10), kCdhfFailure); // no such volume
}

TEST_F(RefreshTest, TapeSlotsNeedAReadyTape) {
    ASSERT_EQ(facade.RefreshServer(record.get()), kCdhfOk);
    EXPECT_TRUE(facade.IsTapeReady(record.get(), 6));
    ASSERT_EQ(facade.RefreshSlot(record.get(), 6), kCdhfOk);
    EXPECT_EQ(facade.GetTapeName(record.get()), "Friday");
    EXPECT_EQ(facade.GetBackupSetCount(record.get()), 4);
    EXPECT_EQ(facade.GetOnTapeVolumeCount(record.get()), 2);
    EXPECT_EQ(Requests(kCdhSlotInfo), 5u); // a tape slot has no slot block to read

    EXPECT_EQ(facade.GetTapeState(record.get(), 7), 1);
    EXPECT_EQ(facade.RefreshSlot(record.get(), 7), kCdhfNotReady);
    EXPECT_EQ(facade.GetBackupSetCount(record.get()), 0);
    EXPECT_EQ(Requests(kCdhTapeHeader), 1u);
}

TEST_F(RefreshTest, TapeCatalogueOfAVolumeTableSlot) {
    ASSERT_EQ(facade.RefreshServer(record.get()), kCdhfOk);
    EXPECT_EQ(facade.LoadTapeCatalog(record.get(), 0), kCdhfFailure); // a disk
    EXPECT_EQ(facade.LoadTapeCatalog(record.get(), 8), kCdhfFailure);
    ASSERT_EQ(facade.LoadTapeCatalog(record.get(), 6), kCdhfOk);
    EXPECT_EQ(facade.GetTapeCatalogState(record.get(), 6), 1);
    EXPECT_EQ(facade.GetTapeCatalogState(record.get(), 7), 0);
    EXPECT_EQ(facade.GetScheduleKind(record.get()), 1u);
    EXPECT_EQ(facade.GetScheduleHour(record.get()), 23u);
    EXPECT_EQ(facade.GetScheduleMinute(record.get()), 5u);
    EXPECT_EQ(facade.GetScheduleWeekday(record.get()), 5u);
    EXPECT_EQ(facade.GetCatalogVolumeCount(record.get()), 2u);
    EXPECT_EQ(facade.GetBackupType(record.get()), 1u);
    EXPECT_EQ(facade.GetTapeLabel(record.get()), "weekly");
    EXPECT_EQ(facade.GetTapeEntryName(record.get(), 1), "vol-2");
    EXPECT_EQ(facade.GetTapeEntryName(record.get(), 1000), "");
    // An empty catalogue reply is a failure.
    EXPECT_EQ(facade.LoadTapeCatalog(record.get(), 7), kCdhfFailure);
}

TEST_F(RefreshTest, GroupListAndChanges) {
    ASSERT_EQ(facade.RefreshGroupList(record.get()), kCdhfOk);
    EXPECT_EQ(facade.GetGroupCount(record.get()), 2);
    EXPECT_EQ(facade.GetGroupName(record.get(), 0), "sales");

    // The first group of that name below 251 is changed, with the kept share password.
    facade.SetThirdPasswordText(record.get(), "share");
    EXPECT_TRUE(facade.ChangeGroupEntries(record.get(), "sales"));
    EXPECT_FALSE(facade.ChangeGroupEntries(record.get(), "nobody"));
    facade.SetThirdPasswordText(record.get(), "wrong");
    EXPECT_FALSE(facade.ChangeGroupEntries(record.get(), "sales"));
    EXPECT_EQ(Requests(kCdhChangeGroup), 2u);

    server->addFault(cdhtest::Fault(kCdhGroups, 1, cdsim::FaultKind::CloseWithoutReply));
    EXPECT_EQ(facade.RefreshGroupList(record.get()), kCdhfFailure);
    EXPECT_EQ(facade.GetGroupCount(record.get()), 0);
}

TEST_F(RefreshTest, ChangeSlotEntriesSendsTheEntrysFields) {
    ASSERT_EQ(facade.RefreshServer(record.get()), kCdhfOk);
    ASSERT_EQ(facade.RefreshSlot(record.get(), 0), kCdhfOk);
    ASSERT_EQ(facade.SendPasswordCommand(record.get(), "admin1", 0, 0), 1);
    EXPECT_FALSE(facade.ChangeSlotEntries(record.get(), 0, "missing"));
    EXPECT_TRUE(facade.ChangeSlotEntries(record.get(), 0, "second"));
    Bytes sent;
    for (const auto& r : server->requests())
        if (r.command == kCdhChangeEntry) sent = r.payload;
    ASSERT_EQ(sent.size(), kCdhEntryChangeSize);
    // id, kind, slot, byte 37, flags (bit 1, and bit 4 for an entry of a mirror)
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 6), (Bytes{0x02, 0x02, 1, 0, 2, 0x12}));
    const auto digest = cdsim::PasswordDigest("admin1");
    EXPECT_EQ(Bytes(sent.begin() + 40, sent.end()), Bytes(digest.begin(), digest.end()));
}

} // namespace
