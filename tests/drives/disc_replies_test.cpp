// The readers of drive replies on replies built by hand: number routines, the full TOC's limits,
// the profile list and the CD-XA descriptor texts.
#include "disc_replies.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Point {
    std::uint8_t session, adrControl, point, pmin, psec, pframe;
};

// A full TOC reply (binary times) with the given descriptors; `declared` overrides the length.
std::vector<std::uint8_t> FullToc(const std::vector<Point>& points, int declared = -1) {
    std::vector<std::uint8_t> r(4, 0);
    for (const Point& p : points) {
        const std::vector<std::uint8_t> d = {p.session, p.adrControl, 0,      p.point, 0, 0, 0,
                                             0,         p.pmin,       p.psec, p.pframe};
        r.insert(r.end(), d.begin(), d.end());
    }
    const int length = declared >= 0 ? declared : static_cast<int>(r.size() - 2);
    r[0] = static_cast<std::uint8_t>(length >> 8);
    r[1] = static_cast<std::uint8_t>(length);
    r[2] = 1;
    r[3] = points.empty() ? 1 : points.back().session;
    return r;
}

// Binary MSF of an LBA.
Point At(std::uint8_t point, std::uint32_t lba, std::uint8_t control = 0x14) {
    const std::uint32_t f = lba + 150;
    return {1,
            control,
            point,
            static_cast<std::uint8_t>(f / 4500),
            static_cast<std::uint8_t>(f / 75 % 60),
            static_cast<std::uint8_t>(f % 75)};
}

// A one-session data disc of `tracks` tracks of 1000 sectors.
std::vector<Point> DataDisc(int tracks) {
    std::vector<Point> p = {{1, 0x14, 0xA0, 1, 0, 0},
                            {1, 0x14, 0xA1, static_cast<std::uint8_t>(tracks), 0, 0},
                            At(0xA2, 1000u * tracks)};
    for (int t = 1; t <= tracks; ++t)
        p.push_back(At(static_cast<std::uint8_t>(t), 1000u * (t - 1)));
    return p;
}

DiscInfo WithCapacity(std::uint32_t sectors, std::uint8_t lastTrack) {
    DiscInfo d;
    d.endAddress = sectors;
    d.lastTrack = lastTrack;
    return d;
}

TEST(DiscNumbers, BcdMsfAndFileSystemNames) {
    EXPECT_TRUE(IsNotBcd(0x0A));
    EXPECT_TRUE(IsNotBcd(0xA0));
    EXPECT_FALSE(IsNotBcd(0x99));
    EXPECT_EQ(12345678u, BcdToBin(0x12345678));
    EXPECT_EQ(0, MsfToLba(0, 0, 2, 0));
    EXPECT_EQ(4510, MsfToLba(1, 0x01, 0x02, 0x10)); // BCD 01:02:10
    EXPECT_EQ(0x010203, MsfToLba(2, 1, 2, 3));      // taken as it stands
    EXPECT_EQ((60 * 3 + 20 - 2) * 75 + 50, MsfToLba(3, 3, 20, 50));
    EXPECT_EQ(0, FileSystemCode("cdfs"));
    EXPECT_EQ(2, FileSystemCode("UDF"));
    EXPECT_EQ(2, FileSystemCode("UDF2.01"));
    EXPECT_EQ(5, FileSystemCode("Fat32"));
    EXPECT_EQ(8, FileSystemCode("ISO9660"));
    EXPECT_EQ(8, FileSystemCode(""));
}

// A declared length far beyond the bytes returned: only the descriptors present are read.
TEST(FullToc, DescriptorCountIsClampedToTheReply) {
    const auto reply = FullToc(DataDisc(2), 0xFFFF);
    DiscInfo d = WithCapacity(2000, 2);
    FullTocFacts facts;
    ASSERT_EQ(0, ReadFullToc(reply, d, facts));
    EXPECT_EQ(2000u, d.totalSectors);
    EXPECT_EQ(1000u, d.tracks[1].start);
    EXPECT_EQ(1000u, d.tracks[1].length);
    EXPECT_EQ(kLeadOutTrack, d.tracks[2].track);
}

// A reply cut off inside its last descriptor (track 2): that descriptor is not read, so the
// lead-out entry follows track 1, which runs to it.
TEST(FullToc, PartialDescriptorIsIgnored) {
    auto reply = FullToc(DataDisc(2));
    reply.resize(reply.size() - 5);
    DiscInfo d = WithCapacity(2000, 2);
    FullTocFacts facts;
    ASSERT_EQ(0, ReadFullToc(reply, d, facts));
    EXPECT_EQ(kLeadOutTrack, d.tracks[1].track);
    EXPECT_EQ(2000u, d.tracks[0].length);
}

TEST(FullToc, RefusedAsBadToc) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> reply;
    };
    auto pointOutside = DataDisc(2);
    pointOutside.push_back(At(0x9F, 1500)); // binary times: track 159 has no entry
    auto noLeadOut = DataDisc(2);
    noLeadOut.erase(noLeadOut.begin() + 2);
    auto zeroTime = DataDisc(2);
    zeroTime[4].pmin = zeroTime[4].psec = zeroTime[4].pframe = 0; // track 2 at 00:00:00
    auto tooMany = DataDisc(99);
    tooMany.push_back(At(0x63, 0)); // a 100th track descriptor
    const Case cases[] = {
        {"track outside the table", FullToc(pointOutside)},
        {"no lead-out", FullToc(noLeadOut)},
        {"lead-in time zero", FullToc(zeroTime)},
        {"more tracks than the table", FullToc(tooMany)},
        {"shorter than its header", {0, 2, 1}},
    };
    for (const Case& c : cases) {
        DiscInfo d = WithCapacity(200000, 2);
        FullTocFacts facts;
        EXPECT_EQ(kMediaBadToc, ReadFullToc(c.reply, d, facts)) << c.name;
    }
}

// POINT 9Fh in a TOC read as BCD converts to 105: outside the table too.
TEST(FullToc, BcdTrackNumberBeyondTheTableIsRefused) {
    std::vector<Point> p = {{1, 0x14, 0xA0, 1, 0, 0},
                            {1, 0x14, 0xA1, 1, 0, 0},
                            {1, 0x14, 0xA2, 0x00, 0x20, 0x00},
                            {1, 0x14, 0x01, 0x00, 0x02, 0x00},
                            {1, 0x14, 0x9F, 0x00, 0x04, 0x00}};
    DiscInfo d = WithCapacity(1350, 1);
    FullTocFacts facts;
    EXPECT_EQ(kMediaBadToc, ReadFullToc(FullToc(p), d, facts));
}

// 99 tracks fill the table; there is no room for the lead-out entry and the last track ends at
// the lead-out.
TEST(FullToc, NinetyNineTracksFillTheTable) {
    DiscInfo d = WithCapacity(99000, 99);
    FullTocFacts facts;
    ASSERT_EQ(0, ReadFullToc(FullToc(DataDisc(99)), d, facts));
    EXPECT_EQ(99, d.tracks[98].track);
    EXPECT_EQ(98000u, d.tracks[98].start);
    EXPECT_EQ(1000u, d.tracks[98].length);
    EXPECT_EQ(99u, facts.lastSessionTrack);
}

TEST(TrackAndStructureReplies, FieldsBeyondTheReplyReadAsZero) {
    // Track information cut after the start address: no size.
    const std::vector<std::uint8_t> track = {0x00, 0x2E, 1, 1, 0, 4, 1, 0, 0, 0, 0x10, 0x00};
    const TrackInformation t = ReadTrackInformation(track);
    EXPECT_EQ(0x1000u, t.start);
    EXPECT_EQ(0u, t.length);
    // Physical format whose declared length ends before the starting sector.
    const std::vector<std::uint8_t> dvd = {0x00, 0x05, 0, 0, 0x01, 0x02, 0x31, 0x10, 0, 0x03, 0, 0};
    const DvdPhysicalFormat f = ReadDvdPhysicalFormat(dvd);
    EXPECT_EQ(2, f.layers);
    EXPECT_TRUE(f.oppositeTrackPath);
    EXPECT_EQ(0u, f.startingSector);
}

std::vector<std::uint8_t> ProfileList(const std::vector<std::pair<std::uint16_t, bool>>& profiles,
                                      std::uint16_t current, int listLength = -1) {
    std::vector<std::uint8_t> r(12, 0);
    for (const auto& [p, cur] : profiles) {
        r.push_back(static_cast<std::uint8_t>(p >> 8));
        r.push_back(static_cast<std::uint8_t>(p));
        r.push_back(cur ? 1 : 0);
        r.push_back(0);
    }
    const std::size_t data = r.size() - 4;
    r[2] = static_cast<std::uint8_t>(data >> 8);
    r[3] = static_cast<std::uint8_t>(data);
    r[6] = static_cast<std::uint8_t>(current >> 8);
    r[7] = static_cast<std::uint8_t>(current);
    r[10] = 0x03;
    r[11] = static_cast<std::uint8_t>(listLength >= 0 ? listLength : r.size() - 12);
    return r;
}

TEST(Profiles, BluRayProfilesCountWhetherCurrentOrNot) {
    const ProfileFacts current = ReadProfiles(ProfileList({{0x08, false}, {0x40, true}}, 0x40));
    EXPECT_EQ(0x40, current.currentProfile);
    EXPECT_TRUE(current.bdRom);
    EXPECT_FALSE(current.bdRe);
    const ProfileFacts both = ReadProfiles(ProfileList({{0x41, false}, {0x43, false}}, 0));
    EXPECT_TRUE(both.bdRom);
    EXPECT_TRUE(both.bdRe);
    // A descriptor past the list's own length is not one of its profiles.
    const ProfileFacts cut = ReadProfiles(ProfileList({{0x08, false}, {0x43, false}}, 0, 4));
    EXPECT_FALSE(cut.bdRe);
}

TEST(Profiles, CapabilityPageBits) {
    std::vector<std::uint8_t> r(8 + 30, 0);
    r[2] = 0x41; // medium type
    r[8] = 0x2A;
    r[8 + 2] = 0x08;        // DVD-ROM read
    r[8 + 3] = 0x01 | 0x20; // writes CD-R and DVD-RAM
    r[8 + 4] = 0x10 | 0x40; // Mode 2 Form 1, multi-session
    r[8 + 6] = 0x01 | 0x08 | (1 << 5);
    const CapabilityPage c = ReadCapabilityPage(r);
    ASSERT_TRUE(c.valid);
    EXPECT_EQ(0x41, c.mediumType);
    EXPECT_TRUE(c.dvdRomRead && c.cdrWrite && c.dvdramWrite && c.mode2Form1 && c.multiSession);
    EXPECT_FALSE(c.cdrwWrite || c.dvdrWrite || c.mode2Form2 || c.locked);
    EXPECT_TRUE(c.lockSupported && c.ejectSupported);
    EXPECT_EQ(1, c.loadingMechanism);
    r[8] = 0x0E;
    EXPECT_FALSE(ReadCapabilityPage(r).valid);
}

// Each descriptor text runs to its NUL or the end of the sector, never past it.
TEST(XaDescriptor, TextsStayInsideTheSector) {
    struct Case {
        const char* name;
        std::size_t at;
        std::string text;
        std::uint8_t kind, bridge;
    };
    const Case cases[] = {
        {"application names VCD", 574, "CDI/CDI_VCD.APP;1", disc_kind::Video, 0},
        {"application names the loader, any case", 574, "cdi/cdi_load.app", disc_kind::Video, 0},
        {"preparer names VCD", 446, "VCD PREPARER", disc_kind::Video, 0},
        {"system names the bridge", 8, "CD-RTOS CD-BRIDGE", disc_kind::XA, 1},
        {"text cut at the sector end", 2046, "VCD", disc_kind::XA, 0},
        {"VCD after a NUL", 574, std::string("APP\0VCD", 7), disc_kind::XA, 0},
    };
    for (const Case& c : cases) {
        // Blanks to the end, so that a search ignoring the sector's end would run on.
        std::vector<std::uint8_t> sector(2048, ' ');
        for (std::size_t i = 0; i < c.text.size() && c.at + i < sector.size(); ++i)
            sector[c.at + i] = static_cast<std::uint8_t>(c.text[i]);
        std::uint8_t kind = disc_kind::XA, bridge = 0;
        ExamineXaDescriptor(sector, kind, bridge);
        EXPECT_EQ(c.kind, kind) << c.name;
        EXPECT_EQ(c.bridge, bridge) << c.name;
    }
    // Only a CD-XA disc is looked at.
    std::vector<std::uint8_t> sector(2048, ' ');
    std::memcpy(&sector[574], "VCD", 3);
    std::uint8_t kind = disc_kind::Data, bridge = 0;
    ExamineXaDescriptor(sector, kind, bridge);
    EXPECT_EQ(disc_kind::Data, kind);
}

} // namespace
