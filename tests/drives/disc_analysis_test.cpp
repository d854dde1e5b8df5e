// Disc analysis over simulated discs: the description each disc kind gets, compared byte for byte
// with records written out by hand at their offsets.
#include "disc_info.h"
#include "disc_replies.h"
#include "golden_bytes.h"
#include "scsicdd.h"
#include "sim_machine.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace {

using discsim::Disc;
using discsim::DriveConfig;

struct AnalysisCase {
    const char* name;
    std::function<std::optional<Disc>()> disc;
    DriveConfig config;
    discsim::ReplyFilter filter;
    int code;
    GoldenBytes golden;
};

void PrintTo(const AnalysisCase& c, std::ostream* os) {
    *os << c.name;
}

DriveConfig BcdDrive() {
    DriveConfig c;
    c.tocInBcd = true;
    return c;
}

// Zeroes the lead-in time of track 2 in the full TOC.
void DamageTrack2(const std::vector<std::uint8_t>& cdb, std::vector<std::uint8_t>& reply) {
    if (cdb[0] != 0x43 || (cdb[9] >> 6) != 2) return;
    for (std::size_t at = 4; at + 11 <= reply.size(); at += 11)
        if (reply[at + 3] == 0x02) reply[at + 8] = reply[at + 9] = reply[at + 10] = 0;
}

// The audio tracks 4510, 6000 and 3000 sectors long start at 00:02:00, 01:02:10 and 02:22:10;
// the lead-out is 03:02:10.
GoldenBytes AudioGolden(std::uint8_t timeEncoding) {
    GoldenBytes g;
    g.u8(0, 2)
        .u8(1, 0)
        .u8(2, 2)
        .u8(3, 1)
        .u8(4, timeEncoding)
        .u8(5, 1)
        .u8(8, 1)
        .u8(9, 1)
        .u8(10, 1)
        .u8(11, 3)
        .u64(12, 16)
        .u64(20, 13510)
        .u64(28, 13510)
        .u64(36, (3u << 24) + 13510 + 0 + 4510 + 10510)
        .u64(44, 0x0A + 1 + 1 + 0x10 + 1) // session info: length, sessions 1-1, 10h, track 1
        .text(52, "NO_TITLE")
        .text(116, "CDFS")
        .track(0, 1, 1, 0, 0x10, 0, 4510)
        .track(1, 1, 2, 0, 0x10, 4510, 6000)
        .track(2, 1, 3, 0, 0x10, 10510, 3000)
        .track(3, 1, 0xAA, 0, 0x10, 13510, 0);
    return g;
}

std::vector<AnalysisCase> Cases() {
    std::vector<AnalysisCase> cases;

    // One Mode 1 track of 3000 sectors; lead-out 00:42:00, binary (42 is no BCD).
    cases.push_back({"DataCd",
                     [] { return discsim::MakeDataCd(3000); },
                     {},
                     {},
                     0,
                     GoldenBytes()
                         .u8(0, 1)
                         .u8(2, 1)
                         .u8(4, 3)
                         .u8(5, 1)
                         .u8(8, 1)
                         .u8(9, 1)
                         .u8(10, 1)
                         .u8(11, 1)
                         .u64(12, 16)
                         .u64(20, 3000)
                         .u64(28, 3000)
                         .u64(36, (1u << 24) + 3000 + 0)
                         .u64(44, 0x0A + 1 + 1 + 0x14 + 1)
                         .text(52, "SIMULATED_DISC")
                         .text(116, "CDFS")
                         .track(0, 1, 1, 1, 0x14, 0, 3000)
                         .track(1, 1, 0xAA, 1, 0x14, 3000, 0)});

    // Lead-out 00:20:00 reads as BCD 00:14:00 = 900 sectors, below the capacity of 1350: the
    // times were binary after all (encoding 3 with the re-chosen bit).
    cases.push_back({"BinaryTocRechosen",
                     [] { return discsim::MakeDataCd(1350); },
                     {},
                     {},
                     0,
                     GoldenBytes()
                         .u8(0, 1)
                         .u8(2, 1)
                         .u8(4, 0x83)
                         .u8(5, 1)
                         .u8(8, 1)
                         .u8(9, 1)
                         .u8(10, 1)
                         .u8(11, 1)
                         .u64(12, 16)
                         .u64(20, 1350)
                         .u64(28, 1350)
                         .u64(36, (1u << 24) + 1350)
                         .u64(44, 0x0A + 1 + 1 + 0x14 + 1)
                         .text(52, "SIMULATED_DISC")
                         .text(116, "CDFS")
                         .track(0, 1, 1, 1, 0x14, 0, 1350)
                         .track(1, 1, 0xAA, 1, 0x14, 1350, 0)});

    // Audio CD with a binary TOC (frame 10 is no BCD) and the same disc from a drive that
    // answers in BCD: one table, encodings 3 and 1. No volume descriptors: the CD file system
    // without a label.
    cases.push_back({"AudioCdBinaryToc",
                     [] {
                         return discsim::MakeAudioCd({4510, 6000, 3000});
                     },
                     {},
                     {},
                     0,
                     AudioGolden(3)});
    cases.push_back({"AudioCdBcdToc",
                     [] {
                         return discsim::MakeAudioCd({4510, 6000, 3000});
                     },
                     BcdDrive(),
                     {},
                     0,
                     AudioGolden(1)});

    // Data track of 3000 sectors, audio tracks of 4500 and 3000: CD-Mixed.
    cases.push_back({"MixedCd",
                     [] {
                         return discsim::MakeMixedModeCd(3000, {4500, 3000});
                     },
                     {},
                     {},
                     0,
                     GoldenBytes()
                         .u8(0, 2)
                         .u8(2, 3)
                         .u8(3, 1)
                         .u8(4, 3)
                         .u8(5, 1)
                         .u8(8, 1)
                         .u8(9, 1)
                         .u8(10, 1)
                         .u8(11, 3)
                         .u64(12, 16)
                         .u64(20, 10500)
                         .u64(28, 10500)
                         .u64(36, (3u << 24) + 10500 + 0 + 3000 + 7500)
                         .u64(44, 0x0A + 1 + 1 + 0x14 + 1)
                         .text(52, "SIMULATED_DISC")
                         .text(116, "CDFS")
                         .track(0, 1, 1, 1, 0x14, 0, 3000)
                         .track(1, 1, 2, 0, 0x10, 3000, 4500)
                         .track(2, 1, 3, 0, 0x10, 7500, 3000)
                         .track(3, 1, 0xAA, 0, 0x10, 10500, 0)});

    // CD-XA whose system identifier names the bridge format: 16 descriptor sectors read.
    cases.push_back({"XaCdBridge",
                     [] {
                         discsim::VolumeInfo v;
                         v.systemId = "CD-RTOS CD-BRIDGE";
                         return discsim::MakeXaCd(3000, v);
                     },
                     {},
                     {},
                     0,
                     GoldenBytes()
                         .u8(0, 2)
                         .u8(2, 4)
                         .u8(3, 1)
                         .u8(4, 3)
                         .u8(5, 1)
                         .u8(8, 1)
                         .u8(9, 1)
                         .u8(10, 1)
                         .u8(11, 1)
                         .u64(12, 16)
                         .u64(20, 3000)
                         .u64(28, 3000)
                         .u64(36, (1u << 24) + 3000)
                         .u64(44, 0x0A + 1 + 1 + 0x14 + 1)
                         .text(52, "SIMULATED_DISC")
                         .text(116, "CDFS")
                         .track(0, 1, 1, 1, 0x14, 0, 3000)
                         .track(1, 1, 0xAA, 1, 0x14, 3000, 0)
                         .u8(1332, 1)});

    // Video CD: XA, application "CDI/CDI_VCD.APP;1"; tracks of 600 and 4500 sectors.
    cases.push_back({"VideoCd",
                     [] { return discsim::MakeVideoCd(600, {4500}); },
                     {},
                     {},
                     0,
                     GoldenBytes()
                         .u8(0, 2)
                         .u8(2, 6)
                         .u8(3, 1)
                         .u8(4, 3)
                         .u8(5, 1)
                         .u8(8, 1)
                         .u8(9, 1)
                         .u8(10, 1)
                         .u8(11, 2)
                         .u64(12, 16)
                         .u64(20, 5100)
                         .u64(28, 5100)
                         .u64(36, (2u << 24) + 5100 + 0 + 600)
                         .u64(44, 0x0A + 1 + 1 + 0x14 + 1)
                         .text(52, "VIDEOCD")
                         .text(116, "CDFS")
                         .track(0, 1, 1, 1, 0x14, 0, 600)
                         .track(1, 1, 2, 1, 0x14, 600, 4500)
                         .track(2, 1, 0xAA, 1, 0x14, 5100, 0)});

    // CD-Extra: audio 4500 + 3000 in session 1; data 2000 at 7500 + 11400 = 18900 in session 2.
    // Signature: ((2 << 24) + 7500 + 0 + 4500) OR (3 << 24), + 20900 + 18900.
    cases.push_back({"CdExtra",
                     [] {
                         return discsim::MakeCdExtra({4500, 3000}, 2000);
                     },
                     {},
                     {},
                     0,
                     GoldenBytes()
                         .u8(0, 2)
                         .u8(2, 24)
                         .u8(3, 1)
                         .u8(4, 3)
                         .u8(5, 1)
                         .u8(8, 1)
                         .u8(9, 2)
                         .u8(10, 2)
                         .u8(11, 3)
                         .u64(12, 18916)
                         .u64(20, 20900)
                         .u64(28, 20900)
                         .u64(36, (((2u << 24) + 7500 + 4500) | (3u << 24)) + 20900 + 18900)
                         // sessions 1-2, 14h, track 3, start 000049D4h
                         .u64(44, 0x0A + 1 + 2 + 0x14 + 3 + 0x49 + 0xD4)
                         .text(52, "SIMULATED_DISC")
                         .text(116, "CDFS")
                         .track(0, 1, 1, 0, 0x10, 0, 4500)
                         .track(1, 1, 2, 0, 0x10, 4500, 3000)
                         .track(2, 2, 3, 1, 0x14, 18900, 2000)
                         .track(3, 2, 0xAA, 1, 0x14, 20900, 0)});

    // Two Mode 1 sessions of 2000 and 1500 sectors; the second starts at 13400 and holds the
    // volume the disc shows.
    cases.push_back({"MultiSessionCd",
                     [] {
                         return discsim::MakeMultiSessionCd({2000, 1500});
                     },
                     {},
                     {},
                     0,
                     GoldenBytes()
                         .u8(0, 2)
                         .u8(2, 17)
                         .u8(3, 1)
                         .u8(4, 3)
                         .u8(5, 1)
                         .u8(8, 1)
                         .u8(9, 2)
                         .u8(10, 2)
                         .u8(11, 2)
                         .u64(12, 13416)
                         .u64(20, 14900)
                         .u64(28, 14900)
                         .u64(36, (((1u << 24) + 2000 + 0) | (2u << 24)) + 14900 + 13400)
                         // sessions 1-2, 14h, track 2, start 00003458h
                         .u64(44, 0x0A + 1 + 2 + 0x14 + 2 + 0x34 + 0x58)
                         .text(52, "SIMULATED_DISC_2")
                         .text(116, "CDFS")
                         .track(0, 1, 1, 1, 0x14, 0, 2000)
                         .track(1, 2, 2, 1, 0x14, 13400, 1500)
                         .track(2, 2, 0xAA, 1, 0x14, 14900, 0)});

    // Track 2's lead-in time 00:00:00: a damaged TOC; what was read before it stays.
    cases.push_back(
        {"DamagedToc",
         [] {
             return discsim::MakeAudioCd({4510, 6000, 3000});
         },
         {},
         DamageTrack2,
         kMediaBadToc,
         GoldenBytes().u8(8, 1).u8(9, 1).u8(10, 1).u8(11, 3).u64(12, 16).u64(20, 13510)});

    // Two layers, opposite track path, 100000 sectors. The layer 1 physical format: length
    // 0802h; 01h, 02h, 31h, 10h; start 030000h; end FCFFFFh (the complement of the layer 0 end
    // 03C34Fh plus the layer's 50000 sectors less one); layer 0 end 03C34Fh.
    cases.push_back({"DvdTwoLayers",
                     [] { return discsim::MakeDvd(100000, 2, true); },
                     {},
                     {},
                     0,
                     GoldenBytes()
                         .u8(0, 1)
                         .u8(2, 64)
                         .u8(4, 2)
                         .u8(5, 2)
                         .u8(6, 2)
                         .u8(8, 1)
                         .u8(9, 1)
                         .u8(10, 1)
                         .u8(11, 1)
                         .u64(12, 16)
                         .u64(20, 100000)
                         .u64(28, 100000)
                         .u64(36, 0x08 + 0x02 + 0x01 + 0x02 + 0x31 + 0x10 + 0x03 + 0xFC + 0xFF +
                                      0xFF + 0x03 + 0xC3 + 0x4F)
                         .u64(44, 0x08 + 0x02 + 0x01 + 0x02 + 0x31 + 0x10 + 0x03 + 0xFC + 0xFF +
                                      0xFF + 0x03 + 0xC3 + 0x4F)
                         .text(52, "SIMULATED_DISC")
                         .text(116, "CDFS")
                         .track(0, 1, 1, 1, 0x14, 0, 100000)});

    // BD of 200000 sectors. Track information: length 002Eh, track 1, session 1, mode 4, data
    // mode 1, size 00030D40h.
    cases.push_back({"Bd",
                     [] { return discsim::MakeBd(200000); },
                     {},
                     {},
                     0,
                     GoldenBytes()
                         .u8(0, 1)
                         .u8(2, 65)
                         .u8(4, 2)
                         .u8(5, 1)
                         .u8(6, 1)
                         .u8(8, 1)
                         .u8(9, 1)
                         .u8(10, 1)
                         .u8(11, 1)
                         .u64(12, 16)
                         .u64(20, 200000)
                         .u64(28, 200000)
                         .u64(36, 0x2E + 1 + 1 + 4 + 1 + 0x03 + 0x0D + 0x40)
                         .u64(44, 0x2E + 1 + 1 + 4 + 1 + 0x03 + 0x0D + 0x40)
                         .text(52, "SIMULATED_DISC")
                         .text(116, "CDFS")
                         .track(0, 1, 1, 1, 0x14, 0, 200000)});

    // No disc: READ CAPACITY fails with a check condition; nothing is filled.
    cases.push_back({"NoMedium",
                     [] { return std::optional<Disc>(); },
                     {},
                     {},
                     kAspiCheckCondition,
                     GoldenBytes()});
    return cases;
}

std::string Differences(const std::array<std::uint8_t, 1333>& want, const DiscInfoBytes& got) {
    std::ostringstream out;
    for (std::size_t i = 0; i < want.size(); ++i)
        if (want[i] != got[i])
            out << " [" << i << "] want " << int(want[i]) << " got " << int(got[i]) << ";";
    return out.str();
}

class DiscAnalysis : public testing::TestWithParam<AnalysisCase> {};

TEST_P(DiscAnalysis, DescriptionMatchesTheHandWrittenRecord) {
    const AnalysisCase& c = GetParam();
    SimMachine machine;
    auto& adapter = machine.AddAdapter();
    auto drive = machine.AddDrive(adapter, 0, 0, "cd0", c.disc(), c.config);
    if (c.filter) drive->setReplyFilter(c.filter);
    machine.Start().SetSleeper([](std::uint32_t) {});

    TScsiCdd cdd(0, 0, 0);
    EXPECT_EQ(c.code, cdd.Analyse());
    const DiscInfoBytes got = EncodeDiscInfo(cdd.Disc());
    EXPECT_EQ(c.golden.bytes(), got) << Differences(c.golden.bytes(), got);
}

INSTANTIATE_TEST_SUITE_P(Discs, DiscAnalysis, testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The drive reads the descriptor sectors of a CD-XA disc one by one; a sector that fails is
// tried again, and three failures in a row end the reading with the read's code.
TEST(DiscAnalysisReads, DescriptorReadsRetryTheSameSectorAndStopAfterThreeFailures) {
    SimMachine machine;
    auto& adapter = machine.AddAdapter();
    auto drive = machine.AddDrive(adapter, 0, 0, "cd0", discsim::MakeXaCd(3000));
    for (std::uint32_t lba = 17; lba <= 19; ++lba)
        drive->addReadError(lba);
    machine.Start().SetSleeper([](std::uint32_t) {});
    TScsiCdd cdd(0, 0, 0);
    drive->clearLog();

    EXPECT_EQ(kAspiCheckCondition, cdd.Analyse());
    const DiscInfo d = cdd.Disc();
    EXPECT_EQ(disc_kind::XA, d.discKind);
    EXPECT_EQ(0, d.readState);
    EXPECT_EQ("SIMULATED_DISC", d.volumeLabel);
    // The raw reads before the volume's label is read with READ(10).
    std::vector<std::uint32_t> rawReads;
    for (const auto& cmd : drive->commandLog()) {
        if (cmd.cdb[0] == 0x28) break;
        if (cmd.cdb[0] == 0xBE)
            rawReads.push_back(std::uint32_t{cmd.cdb[2]} << 24 | cmd.cdb[3] << 16 |
                               cmd.cdb[4] << 8 | cmd.cdb[5]);
    }
    EXPECT_EQ((std::vector<std::uint32_t>{16, 17, 17, 17}), rawReads);
}

// A drive whose TOC has a track more than READ TOC format 0 counts: incompatible medium, the
// table closed at the capacity.
TEST(DiscAnalysisReads, TrackCountDisagreementIsAnIncompatibleMedium) {
    SimMachine machine;
    auto& adapter = machine.AddAdapter();
    auto drive = machine.AddDrive(adapter, 0, 0, "cd0", discsim::MakeAudioCd({4510, 6000, 3000}));
    drive->setReplyFilter([](const std::vector<std::uint8_t>& cdb, std::vector<std::uint8_t>& r) {
        if (cdb[0] == 0x43 && (cdb[9] >> 6) == 0 && r.size() > 3) r[3] = 2; // last track 2
    });
    machine.Start().SetSleeper([](std::uint32_t) {});
    TScsiCdd cdd(0, 0, 0);

    EXPECT_EQ(kMediaIncompatible, cdd.Analyse());
    const DiscInfo d = cdd.Disc();
    EXPECT_EQ(3, d.lastTrack);         // the TOC's track count
    EXPECT_EQ(13510u, d.totalSectors); // the capacity
    EXPECT_EQ(13510u, d.tracks[3].start);
    EXPECT_EQ(13510u - 10510u, d.tracks[2].length);
}

// A DVD of 120 sessions: the track table takes the first 99 and asks for no more; the volume is
// that of the last session in the table.
TEST(DiscAnalysisReads, SessionTableStopsAtNinetyNineEntries) {
    Disc dvd = discsim::MakeDvd(12000);
    dvd.sessions.clear();
    for (std::uint8_t n = 1; n <= 120; ++n)
        dvd.sessions.push_back(
            discsim::Session{n,
                             discsim::SessionFormat::CdDaOrRom,
                             {discsim::Track{n, discsim::TrackMode::Mode1, (n - 1) * 100u}},
                             n * 100u});
    dvd.sectors[9816] = dvd.sectors[16];
    dvd.sectors[9817] = dvd.sectors[17];
    SimMachine machine;
    auto& adapter = machine.AddAdapter();
    auto drive = machine.AddDrive(adapter, 0, 0, "cd0", dvd);
    machine.Start().SetSleeper([](std::uint32_t) {});
    TScsiCdd cdd(0, 0, 0);
    drive->clearLog();

    EXPECT_EQ(0, cdd.Analyse());
    const DiscInfo d = cdd.Disc();
    EXPECT_EQ(99, d.lastTrack);
    EXPECT_EQ(99, d.tracks[98].session);
    EXPECT_EQ(9800u, d.tracks[98].start);
    EXPECT_EQ(9900u, d.totalSectors);
    EXPECT_EQ(9816u, d.vdAddress);
    std::size_t trackInfo = 0;
    for (const auto& cmd : drive->commandLog())
        trackInfo += cmd.cdb[0] == 0x52;
    EXPECT_EQ(99u, trackInfo);
}

} // namespace
