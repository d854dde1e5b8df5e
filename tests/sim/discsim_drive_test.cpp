// Replies and conditions of the simulated drive, byte for byte where the layout matters.
#include "discsim.h"
#include "discsim_test_support.h"
#include "sector.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

using namespace discsim;
using discsim_test::ExpectGood;
using discsim_test::ExpectSense;
using discsim_test::Read10;
using discsim_test::ReadCd;
using discsim_test::ReadToc;
using discsim_test::Send;
using Bytes = std::vector<std::uint8_t>;

// Audio tracks at 0 and 4500 (lead-out 7500), then a data session at 18900 (lead-out 20900).
Drive CdExtraDrive(DriveConfig config = {}) {
    return Drive(MakeCdExtra(), std::move(config));
}

TEST(DiscsimToc, TwoSessionDiscInLbaAndMsf) {
    Drive drive(MakeCdExtra());
    struct Case {
        std::vector<std::uint8_t> cdb;
        Bytes expected;
    } cases[] = {
        {ReadToc(0, false, 4096), {0x00, 0x22, 0x01, 0x03,                         //
                                   0x00, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, //
                                   0x00, 0x10, 0x02, 0x00, 0x00, 0x00, 0x11, 0x94, //
                                   0x00, 0x14, 0x03, 0x00, 0x00, 0x00, 0x49, 0xD4, //
                                   0x00, 0x14, 0xAA, 0x00, 0x00, 0x00, 0x51, 0xA4}},
        {ReadToc(0, true, 4096), {0x00, 0x22, 0x01, 0x03,                         //
                                  0x00, 0x10, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, //
                                  0x00, 0x10, 0x02, 0x00, 0x00, 0x01, 0x02, 0x00, //
                                  0x00, 0x14, 0x03, 0x00, 0x00, 0x04, 0x0E, 0x00, //
                                  0x00, 0x14, 0xAA, 0x00, 0x00, 0x04, 0x28, 0x32}},
        {ReadToc(0, false, 4096, 3), {0x00, 0x12, 0x01, 0x03,                         //
                                      0x00, 0x14, 0x03, 0x00, 0x00, 0x00, 0x49, 0xD4, //
                                      0x00, 0x14, 0xAA, 0x00, 0x00, 0x00, 0x51, 0xA4}},
        {ReadToc(0, false, 4096, 0xAA),
         {0x00, 0x0A, 0x01, 0x03, 0x00, 0x14, 0xAA, 0x00, 0x00, 0x00, 0x51, 0xA4}},
        {ReadToc(1, false, 4096),
         {0x00, 0x0A, 0x01, 0x02, 0x00, 0x14, 0x03, 0x00, 0x00, 0x00, 0x49, 0xD4}},
        {ReadToc(1, true, 4096),
         {0x00, 0x0A, 0x01, 0x02, 0x00, 0x14, 0x03, 0x00, 0x00, 0x04, 0x0E, 0x00}},
        // The format may also come in byte 2 (newer command layout).
        {{0x43, 0x00, 0x01, 0, 0, 0, 0, 0x10, 0x00, 0x00},
         {0x00, 0x0A, 0x01, 0x02, 0x00, 0x14, 0x03, 0x00, 0x00, 0x00, 0x49, 0xD4}},
    };
    for (const Case& c : cases) {
        const auto r = Send(drive, c.cdb);
        ExpectGood(r.completion);
        EXPECT_EQ(r.data, c.expected) << "cdb byte 9 " << int(c.cdb[9]) << " track "
                                      << int(c.cdb[6]) << " msf " << int(c.cdb[1]);
    }
    ExpectSense(Send(drive, ReadToc(0, false, 4096, 4)).completion, 5, 0x24, 0);
}

TEST(DiscsimToc, FullTocBinaryAndBcd) {
    const Bytes binary = {0x00, 0x65, 0x01, 0x02,                                           //
                          0x01, 0x10, 0x00, 0xA0, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, //
                          0x01, 0x10, 0x00, 0xA1, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, //
                          0x01, 0x10, 0x00, 0xA2, 0x00, 0x00, 0x00, 0x00, 0x01, 0x2A, 0x00, //
                          0x01, 0x10, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, //
                          0x01, 0x10, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x00, //
                          0x02, 0x14, 0x00, 0xA0, 0x00, 0x00, 0x00, 0x00, 0x03, 0x20, 0x00, //
                          0x02, 0x14, 0x00, 0xA1, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, //
                          0x02, 0x14, 0x00, 0xA2, 0x00, 0x00, 0x00, 0x00, 0x04, 0x28, 0x32, //
                          0x02, 0x14, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x04, 0x0E, 0x00};
    Bytes bcd = binary;
    const auto setTime = [&bcd](std::size_t descriptor, Bytes msf) {
        std::copy(msf.begin(), msf.end(), bcd.begin() + 4 + 11 * descriptor + 8);
    };
    setTime(2, {0x01, 0x42, 0x00});
    setTime(7, {0x04, 0x40, 0x50});
    setTime(8, {0x04, 0x14, 0x00});

    for (bool inBcd : {false, true}) {
        DriveConfig config;
        config.tocInBcd = inBcd;
        Drive drive = CdExtraDrive(config);
        const auto r = Send(drive, ReadToc(2, true, 4096));
        ExpectGood(r.completion);
        EXPECT_EQ(r.data, inBcd ? bcd : binary) << "bcd " << inBcd;
        // Formats 0 and 1 stay binary.
        EXPECT_EQ(Send(drive, ReadToc(0, true, 4096)).data[34], 0x28);
    }

    // Track numbers from 10 on show the difference in POINT and in A1h's PMIN.
    DriveConfig config;
    config.tocInBcd = true;
    Drive drive(MakeAudioCd(std::vector<std::uint32_t>(12, 300)), config);
    const auto r = Send(drive, ReadToc(2, true, 4096));
    ASSERT_EQ(r.data.size(), 4u + 15 * 11);
    EXPECT_EQ(r.data[4 + 11 + 3], 0xA1);
    EXPECT_EQ(r.data[4 + 11 + 8], 0x12);
    EXPECT_EQ(r.data[4 + 14 * 11 + 3], 0x12); // track 12
}

TEST(DiscsimReplies, AllocationLengthAndBufferCutTheReply) {
    Drive drive = CdExtraDrive();
    struct Case {
        std::uint16_t allocation;
        std::size_t buffer;
        std::size_t transferred;
    } cases[] = {{4, 4096, 4}, {4096, 10, 10},  {50, 40, 40},     {0, 4096, 0},
                 {4096, 0, 0}, {103, 103, 103}, {4096, 4096, 103}};
    for (const Case& c : cases) {
        const auto r = Send(drive, ReadToc(2, true, c.allocation), c.buffer);
        ExpectGood(r.completion);
        EXPECT_EQ(r.completion.transferred, c.transferred) << c.allocation << " " << c.buffer;
        if (r.data.size() >= 2) { // the declared length stays that of the whole reply
            EXPECT_EQ(r.data[0], 0x00);
            EXPECT_EQ(r.data[1], 0x65);
        }
    }
    // Allocation lengths of the other commands: INQUIRY byte 4, MODE SENSE(6) byte 4,
    // GET CONFIGURATION, READ TRACK INFORMATION and READ DISC STRUCTURE.
    EXPECT_EQ(Send(drive, {0x12, 0, 0, 0, 36, 0}).data.size(), 36u);
    EXPECT_EQ(Send(drive, {0x1A, 0x08, 0x2A, 0, 12, 0}).data.size(), 12u);
    EXPECT_EQ(Send(drive, {0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}).data.size(), 8u);
    EXPECT_EQ(Send(drive, {0x52, 0x02, 0, 0, 0, 1, 0, 0, 28, 0}).data.size(), 28u);
}

TEST(DiscsimReplies, FilterChangesTheReplyBeforeTheCut) {
    Drive drive = CdExtraDrive();
    // A damaged full TOC: track 2's start time cleared; the reply is then cut as usual.
    drive.setReplyFilter([](const Bytes& cdb, Bytes& reply) {
        if (cdb[0] == 0x43 && (cdb[9] >> 6) == 2) std::fill_n(reply.begin() + 4 + 4 * 11 + 8, 3, 0);
    });
    const auto full = Send(drive, ReadToc(2, true, 4096));
    EXPECT_EQ(Bytes(full.data.begin() + 48, full.data.begin() + 59),
              (Bytes{0x01, 0x10, 0x00, 0x02, 0, 0, 0, 0, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Send(drive, ReadToc(2, true, 50)).data.size(), 50u);
    EXPECT_EQ(Send(drive, ReadToc(0, false, 4096)).data.size(), 36u); // other replies untouched
}

TEST(DiscsimReplies, UnknownAndMalformedCommands) {
    Drive drive(MakeDataCd());
    const std::vector<Bytes> unknown = {{0x51, 0, 0, 0, 0, 0, 0, 0, 34, 0},
                                        {0xA8, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0},
                                        {0xFF, 0, 0, 0, 0, 0},
                                        {}};
    for (const Bytes& cdb : unknown) {
        const auto r = Send(drive, cdb);
        ExpectSense(r.completion, 5, 0x20, 0x00);
        EXPECT_TRUE(r.data.empty());
    }
    ExpectSense(Send(drive, {0x28, 0, 0, 0}).completion, 5, 0x24, 0); // block too short
    ExpectSense(Send(drive, {0x12, 0x01, 0x80, 0, 96, 0}).completion, 5, 0x24, 0); // VPD page
    ExpectSense(Send(drive, {0x5A, 0x08, 0x01, 0, 0, 0, 0, 0, 34, 0}).completion, 5, 0x24, 0);
    ExpectSense(Send(drive, {0x5A, 0x08, 0xEA, 0, 0, 0, 0, 0, 34, 0}).completion, 5, 0x39, 0);
    ExpectSense(Send(drive, ReadCd(0, 1, 0xFA)).completion, 5, 0x24, 0); // C2 error bits
    ExpectSense(Send(drive, Read10(3000, 1)).completion, 5, 0x21, 0);    // past the end
    ExpectSense(Send(drive, Read10(2999, 2)).completion, 5, 0x21, 0);
    ExpectGood(Send(drive, ReadToc(2, true, 4096)).completion);
    const auto log = drive.commandLog();
    ASSERT_EQ(log.size(), 12u);
    EXPECT_TRUE(log[3].cdb.empty());
    EXPECT_EQ(log[4].cdb, (Bytes{0x28, 0, 0, 0}));
}

TEST(DiscsimReads, UserDataRawSectorsAndModes) {
    Drive drive(MakeMixedModeCd(3000, {4500}));
    // READ(10) delivers the user data; unstored sectors carry the pattern.
    auto r = Send(drive, Read10(20, 3), 3 * 2048);
    ExpectGood(r.completion);
    ASSERT_EQ(r.data.size(), 3u * 2048);
    for (std::size_t i : {0u, 2047u, 2048u + 77, 3u * 2048 - 1})
        EXPECT_EQ(r.data[i], PatternByte(20 + i / 2048, i % 2048)) << i;

    // READ CD F8h: the whole sector; 10h: the user data alone; 0: nothing.
    const auto raw = Send(drive, ReadCd(21, 1), 2352);
    ASSERT_EQ(raw.data.size(), 2352u);
    EXPECT_EQ(raw.data[15], 1);
    EXPECT_EQ(Bytes(raw.data.begin() + 16, raw.data.begin() + 2064),
              Bytes(r.data.begin() + 2048, r.data.begin() + 4096));
    EXPECT_EQ(Send(drive, ReadCd(21, 1, 0x10)).data,
              Bytes(raw.data.begin() + 16, raw.data.begin() + 2064));
    EXPECT_EQ(Send(drive, ReadCd(21, 1, 0xB0)).data,
              Bytes(raw.data.begin(), raw.data.begin() + 2064));
    EXPECT_TRUE(Send(drive, ReadCd(21, 1, 0x00)).data.empty());

    // Audio: READ CD returns the stored samples; READ(10) and a wrong sector type are refused.
    const auto audio = Send(drive, ReadCd(3000, 2, 0xF8, 1), 2 * 2352);
    ExpectGood(audio.completion);
    ASSERT_EQ(audio.data.size(), 2u * 2352);
    EXPECT_EQ(audio.data[2352 + 5], PatternByte(3001, 5));
    ExpectSense(Send(drive, Read10(3000, 1)).completion, 5, 0x64, 0);
    ExpectSense(Send(drive, ReadCd(3000, 1, 0xF8, 2)).completion, 5, 0x64, 0);
    ExpectSense(Send(drive, ReadCd(10, 1, 0xF8, 1)).completion, 5, 0x64, 0);
    // A data read running into the audio track stops there, with what came before it.
    const auto across = Send(drive, Read10(2998, 3), 3 * 2048);
    ExpectSense(across.completion, 5, 0x64, 0);
    EXPECT_EQ(across.data.size(), 2u * 2048);

    // Video CD: the video track holds form 2 sectors.
    Drive vcd(MakeVideoCd());
    const auto video = Send(vcd, ReadCd(700, 1, 0xF8, 5), 2352);
    ExpectGood(video.completion);
    EXPECT_EQ(video.data[15], 2);
    EXPECT_EQ(video.data[18] & 0x20, 0x20);
    ExpectSense(Send(vcd, Read10(700, 1)).completion, 5, 0x64, 0);
    const auto form1 = Send(vcd, ReadCd(16, 1, 0xF8, 4), 2352);
    ExpectGood(form1.completion);
    EXPECT_EQ(std::memcmp(&form1.data[24 + 1], "CD001", 5), 0);
    EXPECT_NE(std::string(form1.data.begin() + 24 + 574, form1.data.begin() + 24 + 702)
                  .find("CDI_VCD.APP"),
              std::string::npos);
    EXPECT_EQ(std::string(form1.data.begin() + 24 + 1024, form1.data.begin() + 24 + 1032),
              "CD-XA001");
}

TEST(DiscsimReads, InjectedReadErrorStopsAtTheBadSector) {
    Drive drive(MakeDataCd());
    drive.addReadError(22);
    for (bool raw : {false, true}) {
        const std::size_t size = raw ? 2352 : 2048;
        const auto r = Send(drive, raw ? ReadCd(20, 5) : Read10(20, 5), 5 * size);
        ExpectSense(r.completion, 3, 0x11, 0x00);
        EXPECT_EQ(r.completion.sense[0], 0xF0); // information field valid
        EXPECT_EQ(r.completion.sense[6], 22);   // the failing LBA
        EXPECT_EQ(r.data.size(), 2 * size);
    }
    // An error past the end of a short buffer is still reported.
    ExpectSense(Send(drive, Read10(20, 5), 2048).completion, 3, 0x11, 0x00);
    ExpectGood(Send(drive, Read10(23, 2)).completion);
    drive.clearFaults();
    ExpectGood(Send(drive, Read10(20, 5), 5 * 2048).completion);
}

TEST(DiscsimDrive, TrayStatesLockAndDiscChange) {
    Drive drive; // closed, no disc
    EXPECT_EQ(drive.trayState(), TrayState::ClosedEmpty);
    const Bytes modeSense = {0x5A, 0x08, 0x2A, 0, 0, 0, 0, 0, 34, 0};
    ExpectSense(Send(drive, discsim_test::kTestUnitReady, 0).completion, 2, 0x3A, 0x01);
    EXPECT_EQ(Send(drive, modeSense).data[2], 0x70);
    EXPECT_EQ(Send(drive, {0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}).data[7], 0x00); // no profile

    const Bytes eject = {0x1B, 0, 0, 0, 0x02, 0}, load = {0x1B, 0, 0, 0, 0x03, 0};
    ExpectGood(Send(drive, eject, 0).completion);
    EXPECT_EQ(drive.trayState(), TrayState::Open);
    ExpectSense(Send(drive, discsim_test::kTestUnitReady, 0).completion, 2, 0x3A, 0x02);
    EXPECT_EQ(Send(drive, modeSense).data[2], 0x71);

    // A disc put on the open tray is read once the tray is loaded: one unit attention first.
    drive.setDisc(MakeAudioCd());
    ExpectSense(Send(drive, discsim_test::kTestUnitReady, 0).completion, 2, 0x3A, 0x02);
    ExpectGood(Send(drive, load, 0).completion);
    EXPECT_EQ(drive.trayState(), TrayState::ClosedLoaded);
    ExpectGood(Send(drive, {0x12, 0, 0, 0, 36, 0}).completion); // INQUIRY does not take it
    ExpectSense(Send(drive, discsim_test::kTestUnitReady, 0).completion, 6, 0x28, 0x00);
    ExpectGood(Send(drive, discsim_test::kTestUnitReady, 0).completion);
    EXPECT_EQ(Send(drive, modeSense).data[2], 0x02); // audio disc

    // Locked: neither the command nor the button opens the tray.
    ExpectGood(Send(drive, {0x1E, 0, 0, 0, 0x01, 0}, 0).completion);
    EXPECT_TRUE(drive.locked());
    EXPECT_EQ(Send(drive, modeSense).data[8 + 6] & 0x03, 0x03); // lock supported, locked
    ExpectSense(Send(drive, eject, 0).completion, 5, 0x53, 0x02);
    EXPECT_FALSE(drive.openTray());
    EXPECT_EQ(drive.trayState(), TrayState::ClosedLoaded);
    ExpectGood(Send(drive, {0x1E, 0, 0, 0, 0x00, 0}, 0).completion);
    EXPECT_TRUE(drive.openTray());
    drive.closeTray();
    ExpectSense(Send(drive, discsim_test::kTestUnitReady, 0).completion, 6, 0x28, 0x00);

    // A disc change behind a closed tray, and a disc the drive cannot read.
    DriveConfig cdOnly;
    cdOnly.profiles = {kProfileCdRom};
    Drive old(MakeDataCd(), cdOnly);
    ExpectGood(Send(old, discsim_test::kTestUnitReady, 0).completion);
    old.setDisc(MakeDvd());
    ExpectSense(Send(old, discsim_test::kTestUnitReady, 0).completion, 6, 0x28, 0x00);
    ExpectSense(Send(old, discsim_test::kTestUnitReady, 0).completion, 2, 0x30, 0x00);
    EXPECT_EQ(Send(old, modeSense).data[2], 0x72);
    Disc broken = MakeDataCd();
    broken.sessions.push_back(Session{2, SessionFormat::CdDaOrRom, {}, 9000}); // no track
    old.setDisc(std::move(broken));
    ExpectSense(Send(old, discsim_test::kTestUnitReady, 0).completion, 6, 0x28, 0x00);
    ExpectSense(Send(old, ReadToc(2, true, 4096)).completion, 2, 0x30, 0x00);
    old.setDisc(std::nullopt);
    ExpectSense(Send(old, discsim_test::kTestUnitReady, 0).completion, 2, 0x3A, 0x01);
}

TEST(DiscsimDrive, BecomingReadyFaultsDelaysAndHangs) {
    Drive drive(MakeDataCd());
    drive.setBecomingReady(2);
    ExpectGood(Send(drive, {0x12, 0, 0, 0, 36, 0}).completion); // needs no medium
    ExpectSense(Send(drive, discsim_test::kTestUnitReady, 0).completion, 2, 0x04, 0x01);
    ExpectSense(Send(drive, Read10(0, 1)).completion, 2, 0x04, 0x01);
    ExpectGood(Send(drive, discsim_test::kTestUnitReady, 0).completion);

    drive.injectFault({0x00, kStatusBusy, 0, 0, 0, 2});
    drive.injectFault({0x25, kStatusCheckCondition, 0x06, 0x29, 0x00, 0}); // for ever
    for (int i = 0; i < 2; ++i) {
        const auto r = Send(drive, discsim_test::kTestUnitReady, 0);
        EXPECT_EQ(r.completion.status, kStatusBusy);
        EXPECT_EQ(r.completion.sense[0], 0);
    }
    ExpectGood(Send(drive, discsim_test::kTestUnitReady, 0).completion);
    for (int i = 0; i < 3; ++i)
        ExpectSense(Send(drive, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}).completion, 6, 0x29, 0);
    drive.clearFaults();
    const auto capacity = Send(drive, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(capacity.data, (Bytes{0x00, 0x00, 0x0B, 0xB7, 0x00, 0x00, 0x08, 0x00}));

    // Delays go through the sleeper: per command and for every command.
    std::vector<std::chrono::milliseconds> slept;
    drive.setSleeper([&slept](std::chrono::milliseconds d) { slept.push_back(d); });
    drive.setDelay(0x28, std::chrono::milliseconds(8000));
    drive.setDelay(-1, std::chrono::milliseconds(5));
    ExpectGood(Send(drive, Read10(0, 1)).completion);
    ExpectGood(Send(drive, discsim_test::kTestUnitReady, 0).completion);
    EXPECT_EQ(slept, (std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(8005),
                                                             std::chrono::milliseconds(5)}));

    // A held command completes as aborted once released; the next one is answered.
    drive.hangCommands(0x28);
    std::atomic<bool> done{false};
    Completion held;
    std::thread reader([&] {
        held = Send(drive, Read10(0, 1)).completion;
        done = true;
    });
    while (drive.pendingCount() == 0)
        std::this_thread::yield();
    EXPECT_FALSE(done);
    drive.abortPending();
    reader.join();
    EXPECT_TRUE(held.aborted);
    EXPECT_EQ(held.transferred, 0u);
    EXPECT_EQ(drive.pendingCount(), 0u);
    ExpectGood(Send(drive, Read10(0, 1)).completion);
}

TEST(DiscsimDrive, DestroyingTheDriveReleasesHeldCommands) {
    auto drive = std::make_unique<Drive>(MakeDataCd());
    drive->hangCommands(-1);
    Completion held;
    std::thread reader([&] { held = Send(*drive, discsim_test::kTestUnitReady, 0).completion; });
    while (drive->pendingCount() == 0)
        std::this_thread::yield();
    drive.reset();
    reader.join();
    EXPECT_TRUE(held.aborted);
}

TEST(DiscsimDrive, InquiryCapabilitiesAndConfiguration) {
    DriveConfig config;
    config.vendor = "ACME";
    config.product = "A PRODUCT NAME LONGER THAN 16";
    config.revision = "2.5";
    config.flagsByte = 0x30;
    Drive drive(MakeBd(), config);
    const auto inquiry = Send(drive, {0x12, 0, 0, 0, 96, 0});
    ASSERT_EQ(inquiry.data.size(), 96u);
    EXPECT_EQ(Bytes(inquiry.data.begin(), inquiry.data.begin() + 8),
              (Bytes{0x05, 0x80, 0x00, 0x02, 91, 0x00, 0x00, 0x30}));
    EXPECT_EQ(std::string(inquiry.data.begin() + 8, inquiry.data.begin() + 36),
              "ACME    A PRODUCT NAME L2.5 ");

    // MODE SENSE(10) with DBD: 8-byte header, then page 2Ah.
    const auto mode10 = Send(drive, {0x5A, 0x08, 0x2A, 0, 0, 0, 0, 0, 34, 0});
    ASSERT_EQ(mode10.data.size(), 34u);
    EXPECT_EQ(Bytes(mode10.data.begin(), mode10.data.begin() + 15),
              (Bytes{0x00, 0x24, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // header, 38 bytes in all
                     0x2A, 0x1C, 0x0B, 0x00, 0x70, 0x01, 0x29}));
    // MODE SENSE(6) without DBD carries a block descriptor of 2048-byte blocks.
    const auto mode6 = Send(drive, {0x1A, 0x00, 0x2A, 0, 255, 0});
    ASSERT_EQ(mode6.data.size(), 4u + 8 + 30);
    EXPECT_EQ(Bytes(mode6.data.begin(), mode6.data.begin() + 13),
              (Bytes{41, 0x00, 0x00, 0x08, 0, 0, 0, 0, 0, 0, 0x08, 0x00, 0x2A}));

    // GET CONFIGURATION, one feature: the profile list with the current profile flagged.
    const auto conf = Send(drive, {0x46, 0x02, 0, 0, 0, 0, 0, 0x03, 0x8C, 0});
    const Bytes expected = {0x00, 0x00, 0x00, 0x34, 0x00, 0x00, 0x00, 0x40, // header: BD-ROM
                            0x00, 0x00, 0x03, 0x2C,                         // 11 profiles
                            0x00, 0x08, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x0A, 0x00,
                            0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00, 0x1A,
                            0x00, 0x00, 0x00, 0x1B, 0x00, 0x00, 0x00, 0x40, 0x01, 0x00, 0x00,
                            0x41, 0x00, 0x00, 0x00, 0x42, 0x00, 0x00, 0x00, 0x43, 0x00, 0x00};
    EXPECT_EQ(conf.data, expected);
    // All features: the list, core, removable medium, CD read, DVD read.
    const auto all = Send(drive, {0x46, 0x00, 0, 0, 0, 0, 0, 0x03, 0x8C, 0});
    std::vector<int> codes;
    for (std::size_t at = 8; at + 4 <= all.data.size(); at += 4 + all.data[at + 3])
        codes.push_back(all.data[at] << 8 | all.data[at + 1]);
    EXPECT_EQ(codes, (std::vector<int>{0x0000, 0x0001, 0x0003, 0x001E, 0x001F}));
    // Only the current ones.
    const auto current = Send(drive, {0x46, 0x01, 0, 0, 0, 0, 0, 0x03, 0x8C, 0});
    EXPECT_EQ(current.data.size(), 8u + 4 + 44 + 12 + 8);
}

TEST(DiscsimDrive, DvdAndBdStructures) {
    const Bytes trackInfo = {0x52, 0x02, 0, 0, 0, 1, 0, 0, 28, 0};
    const Bytes structure = {0xAD, 0x00, 0, 0, 0, 0, 0, 0, 0x08, 0x05, 0, 0};
    {
        Drive drive(MakeDvd(100000));
        const auto track = Send(drive, trackInfo);
        ASSERT_EQ(track.data.size(), 28u);
        EXPECT_EQ(track.data,
                  (Bytes{0x00, 0x2E, 1, 1, 0, 0x04, 0x01, 0, 0, 0, 0,    0,    0,    0,
                         0,    0,    0, 0, 0, 0,    0,    0, 0, 0, 0x00, 0x01, 0x86, 0xA0}));
        ExpectSense(Send(drive, {0x52, 0x02, 0, 0, 0, 2, 0, 0, 28, 0}).completion, 5, 0x24, 0);
        const auto layer = Send(drive, structure);
        ASSERT_EQ(layer.data.size(), 2052u);
        EXPECT_EQ(Bytes(layer.data.begin(), layer.data.begin() + 20),
                  (Bytes{0x08, 0x02, 0,    0,    0x01, 0x02, 0x01, 0x10, 0x00, 0x03,
                         0x00, 0x00, 0x00, 0x04, 0x86, 0x9F, 0x00, 0x00, 0x00, 0x00}));
        ExpectSense(Send(drive, {0xAD, 0, 0, 0, 0, 0, 1, 0, 0x08, 0x05, 0, 0}).completion, 5, 0x24,
                    0);
        ExpectSense(Send(drive, ReadCd(0, 1)).completion, 5, 0x30, 0x02);
        ExpectGood(Send(drive, Read10(16, 1)).completion);
        const auto capacity = Send(drive, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        EXPECT_EQ(capacity.data, (Bytes{0x00, 0x01, 0x86, 0x9F, 0x00, 0x00, 0x08, 0x00}));
    }
    {
        Drive drive(MakeDvd(100000, 2, true));
        for (std::uint8_t l : {0, 1}) {
            Bytes cdb = structure;
            cdb[6] = l;
            const auto layer = Send(drive, cdb);
            ExpectGood(layer.completion);
            EXPECT_EQ(Bytes(layer.data.begin() + 4, layer.data.begin() + 20),
                      (Bytes{0x01, 0x02, 0x31, 0x10, 0x00, 0x03, 0x00, 0x00, 0x00, 0xFC, 0xFF, 0xFF,
                             0x00, 0x03, 0xC3, 0x4F}));
        }
    }
    {
        Drive drive(MakeBd(200000));
        const auto track = Send(drive, trackInfo);
        EXPECT_EQ(Bytes(track.data.begin() + 24, track.data.end()), (Bytes{0, 0x03, 0x0D, 0x40}));
        ExpectSense(Send(drive, structure).completion, 5, 0x30, 0x02);
        const auto conf = Send(drive, {0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0});
        EXPECT_EQ(conf.data[7], 0x40);
    }
    Drive cd(MakeDataCd());
    ExpectSense(Send(cd, structure).completion, 5, 0x30, 0x02);
}

TEST(DiscsimDrive, DataSessionsCarryTheirVolumeDescriptors) {
    Drive drive(MakeMultiSessionCd({2000, 1500, 1000}));
    // Sessions start at 0, 2000 + 11400 and 13400 + 1500 + 6900.
    const std::uint32_t starts[] = {0, 13400, 21800};
    for (std::size_t s = 0; s < 3; ++s) {
        const auto r = Send(drive, Read10(starts[s] + 16, 2), 4096);
        ExpectGood(r.completion);
        EXPECT_EQ(r.data[0], 1);
        EXPECT_EQ(std::string(r.data.begin() + 1, r.data.begin() + 6), "CD001");
        EXPECT_EQ(std::string(r.data.begin() + 40, r.data.begin() + 56),
                  "SIMULATED_DISC_" + std::to_string(s + 1));
        EXPECT_EQ(r.data[2048], 255); // terminator
    }
    // Mode 2 sessions: READ(10) delivers the form 1 user data.
    Drive xa(MakeMultiSessionCd({2000, 1500}, TrackMode::Mode2));
    const auto pvd = Send(xa, Read10(13400 + 16, 1));
    EXPECT_EQ(std::string(pvd.data.begin() + 1, pvd.data.begin() + 6), "CD001");
    EXPECT_EQ(std::string(pvd.data.begin() + 1024, pvd.data.begin() + 1032), "CD-XA001");

    const auto session = Send(drive, ReadToc(1, false, 12));
    EXPECT_EQ(Bytes(session.data.begin() + 8, session.data.end()), (Bytes{0, 0, 0x55, 0x28}));
}

} // namespace
