// The parsers that copy replies into a server record: each one bounded by the bytes received.
#include "tovexcdh_net.h"
#include "tovexcdh_records.h"
#include "tovexcdh_svr.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes VolumeEntryBytes(std::uint16_t slot, const char* label) {
    Bytes e(kCdhVolumeEntrySize, 0);
    std::memcpy(e.data(), label, std::strlen(label));
    CdhPutU16(e.data() + kVtOffSlot, slot);
    return e;
}

TEST(CdhRecords, VolumeTableStopsAtTheFirstEntryThatIsNoDriveSlot) {
    struct Case {
        const char* what;
        std::vector<Bytes> entries;
        std::size_t size; // bytes received; 0 = all
        std::uint32_t count;
        std::vector<int> stored; // slots that hold an entry afterwards
    };
    const Case cases[] = {
        {"second entry names slot 9",
         {VolumeEntryBytes(5, "A"), VolumeEntryBytes(9, "B"), VolumeEntryBytes(6, "C")},
         0,
         1,
         {5}},
        {"entries stored at their slot",
         {VolumeEntryBytes(6, "A"), VolumeEntryBytes(1, "B")},
         0,
         2,
         {1, 6}},
        {"an empty first byte ends the table",
         {VolumeEntryBytes(2, "A"), Bytes(128, 0), VolumeEntryBytes(3, "C")},
         0,
         1,
         {2}},
        {"a half entry is not taken",
         {VolumeEntryBytes(2, "A"), VolumeEntryBytes(3, "B")},
         200,
         1,
         {2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes data;
        for (const Bytes& e : c.entries)
            data.insert(data.end(), e.begin(), e.end());
        auto record = std::make_unique<TCdhSvr>();
        std::memset(record->VolumeTable, 0x55, sizeof record->VolumeTable); // stale bytes
        CdhApplyVolumeTable(*record, data.data(), c.size != 0 ? c.size : data.size());
        EXPECT_EQ(record->VolumeTableCount, c.count);
        for (int slot = 0; slot < 8; ++slot) {
            const bool stored = std::find(c.stored.begin(), c.stored.end(), slot) != c.stored.end();
            EXPECT_EQ(record->VolumeTable[slot][0] != 0, stored) << "slot " << slot;
        }
    }
}

TEST(CdhRecords, RaidVolumesKeepTheirIndexAndAreBoundedByTheData) {
    Bytes data(kCdhRaidTableSize, 0);
    auto entry = [&](int i) { return data.data() + i * kCdhRaidEntrySize; };
    entry(0)[kRdOffMemberCount] = 2;
    entry(0)[kRdOffKind] = 1;
    CdhPutU16(entry(0) + kRdOffEntryCount, 17);
    entry(2)[kRdOffMemberCount] = 3;
    entry(2)[kRdOffKind] = 0; // not initialised: no entries
    CdhPutU16(entry(2) + kRdOffEntryCount, 17);
    entry(3)[kRdOffMemberCount] = 1;

    auto record = std::make_unique<TCdhSvr>();
    CdhApplyRaidVolumes(*record, data.data(), 3 * kCdhRaidEntrySize + 10); // entry 3 cut
    EXPECT_EQ(record->RaidVolumeCount, 2u);
    EXPECT_EQ(record->RaidVolumes[1][kRdOffMemberCount], 0);
    EXPECT_EQ(record->RaidVolumes[3][kRdOffMemberCount], 0);
    EXPECT_EQ(CdhGetU16(record->RaidVolumes[0] + kRdOffEntryCount), 17);
    EXPECT_EQ(CdhGetU32(record->RaidVolumes[2] + kRdOffEntryCount), 0u);
}

Bytes Catalogue(std::size_t size, std::size_t marker, std::uint32_t count) {
    Bytes c(size, 0);
    c[0] = 0x01 | (2 << 1) | (21 << 3); // valid, monthly, 21 h
    c[1] = 3 | (15 << 3);               // Wednesday, the 15th
    c[2] = 45;                          // minute
    CdhPutU32(c.data() + kTcOffCount, count);
    CdhPutU32(c.data() + kTcOffType, 2);
    std::memcpy(c.data() + kTcOffLabel, "LABEL-ABCDEFGHIJKLMNO", 20); // fills the field
    if (marker + 4 <= size) std::memcpy(c.data() + marker, "////", 4);
    return c;
}

TEST(CdhRecords, TapeCatalogueFieldsMarkerAndNames) {
    auto record = std::make_unique<TCdhSvr>();
    Bytes c = Catalogue(200, 40, 3);
    std::memcpy(c.data() + 44, "first", 5);
    std::memcpy(c.data() + 44 + 17, "0123456789ABCDEFXYZ", 17); // no terminator in its 17
    std::memcpy(c.data() + 44 + 34, "third", 5);
    CdhApplyTapeCatalog(*record, 4, c.data(), c.size());
    const CdhTapeCatalog& t = record->TapeCatalog;
    EXPECT_EQ(t.slot, 4u);
    EXPECT_EQ(t.valid, 1);
    const std::uint32_t fields[7] = {2, 45, 21, 3, 15, 3, 2};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(t.fields[i], fields[i]) << i;
    EXPECT_STREQ(t.label, "LABEL-ABCDEFGHIJKLMN"); // 20 bytes, terminated
    EXPECT_STREQ(t.names[0], "first");
    EXPECT_STREQ(t.names[1], "0123456789ABCDEF");
    EXPECT_STREQ(t.names[2], "third");
    EXPECT_STREQ(t.names[3], "");
}

TEST(CdhRecords, TapeCatalogueValidityAndBounds) {
    struct Case {
        const char* what;
        Bytes data;
        int valid;
        int names; // names taken
    };
    Bytes notValid = Catalogue(100, 40, 1);
    notValid[0] &= 0xFE;
    Bytes flooded = Catalogue(26000, 32, 5000);
    for (std::size_t off = 36; off + 17 <= flooded.size(); off += 17)
        flooded[off] = 'n';
    Bytes halfNames = Catalogue(40 + 4 + 17 * 2 + 5, 40, 4);
    for (std::size_t i = 0; i < 3; ++i)
        halfNames[44 + 17 * i] = 'n';
    const Case cases[] = {
        {"bit 0 clear", notValid, 0, 0},
        {"three bytes", Bytes{1, 0, 0}, 0, 0},
        {"marker at the last position tried", Catalogue(8100, 8032, 1), 1, 0},
        {"marker one byte further", Catalogue(8100, 8033, 1), 0, 0},
        {"no marker at all", Catalogue(8100, 9000, 1), 0, 0},
        {"marker and no entries", Catalogue(100, 32, 0), 1, 0},
        {"count above 1000 is cut to 1000", flooded, 1, 1000},
        {"names end with the data", halfNames, 1, 3},
        {"marker cut by the end of the data", Catalogue(34, 32, 1), 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto record = std::make_unique<TCdhSvr>();
        CdhApplyTapeCatalog(*record, 1, c.data.data(), c.data.size());
        EXPECT_EQ(record->TapeCatalog.valid, c.valid);
        int names = 0;
        for (const auto& name : record->TapeCatalog.names)
            names += name[0] != '\0';
        EXPECT_EQ(names, c.names);
    }
}

TEST(CdhRecords, StatusMasksAreRecountedFromTheirLowBits) {
    std::uint8_t status[kCdhStatusSize] = {};
    CdhPutU32(status + kStOffMaskA, 0xFFFF00F1u);
    CdhPutU32(status + kStOffMaskB, 0x80000002u);
    CdhPutU16(status + kStOffCountA, 40);
    CdhRecountStatus(status);
    EXPECT_EQ(CdhGetU16(status + kStOffCountA), 5);
    EXPECT_EQ(CdhGetU16(status + kStOffCountB), 1);
    EXPECT_EQ(CdhGetU16(status + kStOffSlotsInUse), 6);
}

TEST(CdhRecords, AnnounceTextsAreTerminatedAndTrimmed) {
    Bytes reply(kCdhAnnounceSize, 'Q'); // every text field full, no terminator anywhere
    std::memcpy(reply.data() + kCdhAnnOffName, "server name       ", 18);
    auto record = std::make_unique<TCdhSvr>();
    CdhApplyAnnounce(*record, reply.data());
    EXPECT_STREQ(record->Name, "server name");
    EXPECT_EQ(std::strlen(record->Text), 63u);
    EXPECT_EQ(std::strlen(record->FirmwareSuffix), 15u);
    EXPECT_EQ(std::strlen(record->SecondName), 18u); // all 18 characters kept
    EXPECT_EQ(std::strlen(record->Description), 44u);
}

TEST(CdhRecords, NamesSortByUpperCasedLettersThenBytes) {
    struct Case {
        const char* a;
        const char* b;
        bool less;
    };
    const Case cases[] = {
        {"alpha", "Beta", true}, {"Beta", "alpha", false}, {"abc", "ABC", false},
        {"ABC", "abc", false},   {"az", "a[", true},       {"ab", "abc", true},
        {"", "a", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CdhNameLess(c.a, c.b), c.less) << c.a << " < " << c.b;
}

} // namespace
