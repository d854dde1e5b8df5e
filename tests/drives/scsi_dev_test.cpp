// TScsiDev: the wait policy after each kind of failure (on an injected clock), INQUIRY parsing and
// the command blocks it sends.
#include "clock/clock.h"
#include "scsi.h"
#include "sg_rig.h"
#include "sim_machine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

// A gateway over one scripted device, installed, with a clock and a sleeper that only moves it.
struct PolicyRig {
    platform::ManualClock clock{5'000'000};
    platform::ScopedClock clockScope{clock};
    SgRig sg;
    ScopedAspi32 aspiScope{*sg.aspi};
    std::vector<std::uint32_t> sleeps;

    PolicyRig() {
        sg.aspi->SetSleeper([this](std::uint32_t ms) {
            sleeps.push_back(ms);
            clock.Advance(std::chrono::milliseconds(ms));
        });
    }
};

struct PolicyRow {
    const char* name;
    SgOutcome outcome;
    std::uint32_t takesMs; // how long the command runs on the clock
    int code;
    std::vector<std::uint32_t> sleeps;
    std::uint32_t lastSense;
};

TEST(ScsiDevPolicy, WaitFollowsTheKindOfFailure) {
    const std::vector<PolicyRow> rows = {
        {"success", SgOutcome{}, 0, 0, {}, 0},
        {"recovered error counts as success", Status(2, FixedSense(1, 0x17, 0x01)), 0, 0, {}, 0},
        {"becoming ready: pause", Status(2, FixedSense(2, 0x04, 0x01)), 0, 20, {1000}, 0x020401},
        {"becoming ready, command took 12 s: no pause",
         Status(2, FixedSense(2, 0x04, 0x01)),
         12000,
         20,
         {},
         0x020401},
        {"no medium: pause", Status(2, FixedSense(2, 0x3A, 0x00)), 0, 20, {1000}, 0x023A00},
        {"no medium, command took 3 s: no pause",
         Status(2, FixedSense(2, 0x3A, 0x00)),
         3000,
         20,
         {},
         0x023A00},
        {"unit attention: no pause", Status(2, FixedSense(6, 0x28, 0x00)), 0, 20, {}, 0x062800},
        {"illegal request: no pause", Status(2, FixedSense(5, 0x24, 0x00)), 0, 20, {}, 0x052400},
        {"deferred error: no pause",
         Status(2, FixedSense(2, 0x04, 0x01, 0x71)),
         0,
         20,
         {},
         0x020401},
        {"deferred error in descriptor format",
         Status(2, DescriptorSense(2, 0x04, 0x01, 0x73)),
         0,
         20,
         {},
         0x020401},
        {"target busy: pause", Status(0x08), 0, 21, {1000}, 0},
        {"target busy, command took 11 s: pause", Status(0x08), 11000, 21, {1000}, 0},
        {"target busy, command took 12 s: no pause", Status(0x08), 12000, 21, {}, 0},
        {"queue full: pause", Status(0x28), 0, 23, {1000}, 0},
        {"transport busy: no pause", Host(0x02), 0, 8, {}, 0},
        {"bus reset: no pause", Host(0x08), 0, 13, {}, 0},
        {"no device: no pause", Host(0x04), 0, 5, {}, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        PolicyRig rig;
        TScsiDev dev(0, 0, 0, 5);
        rig.sg.next = r.outcome;
        rig.sg.calls = 0;
        rig.sg.during = [&] { rig.clock.Advance(std::chrono::milliseconds(r.takesMs)); };
        EXPECT_EQ(dev.TestUnitReady(), r.code);
        EXPECT_EQ(rig.sg.calls, 1); // sent exactly once
        EXPECT_EQ(rig.sleeps, r.sleeps);
        EXPECT_EQ(dev.lastCode.load(), static_cast<std::uint32_t>(r.code));
        EXPECT_EQ(dev.lastSense.load(), r.lastSense);
    }
}

TEST(ScsiDevPolicy, SuccessClearsTheLastSense) {
    PolicyRig rig;
    TScsiDev dev(0, 0, 0, 5);
    rig.sg.next = Status(2, FixedSense(6, 0x29, 0x00));
    EXPECT_EQ(dev.TestUnitReady(), 20);
    EXPECT_EQ(dev.lastSense.load(), 0x062900u);
    rig.sg.next = {};
    EXPECT_EQ(dev.TestUnitReady(), 0);
    EXPECT_EQ(dev.lastSense.load(), 0u);
    EXPECT_EQ(dev.lastCode.load(), 0u);
}

// ---- INQUIRY parsing ----

std::vector<std::uint8_t> InquiryReply(const char* vendor, const char* product,
                                       const char* revision) {
    std::vector<std::uint8_t> b(96, 0);
    b[0] = 0x05;
    auto put = [&](std::size_t at, const char* text, std::size_t width) {
        std::string padded(text);
        padded.resize(width, ' ');
        std::copy(padded.begin(), padded.end(), b.begin() + static_cast<long>(at));
    };
    put(8, vendor, 8);
    put(16, product, 16);
    put(32, revision, 4);
    return b;
}

TEST(ScsiDevInquiry, EachInquiryBitLandsInItsField) {
    struct BitRow {
        int byte;
        std::uint8_t mask;
        std::uint8_t version, feature, width;
    };
    const BitRow rows[] = {
        {1, 0x80, 0, 0x01, 0}, // RMB
        {3, 0x80, 0, 0x02, 0}, // AENC
        {7, 0x10, 0, 0x04, 0}, // Sync
        {3, 0x40, 0, 0x08, 0}, // TrmIOP
        {7, 0x08, 0, 0x10, 0}, // Linked
        {7, 0x02, 0, 0x20, 0}, // CmdQue
        {7, 0x01, 0, 0x40, 0}, // SftRe
        {7, 0x80, 0, 0x80, 0}, // RelAdr
        {7, 0x20, 0, 0, 0x01}, // WBus16
        {7, 0x40, 0, 0, 0x02}, // WBus32
        {3, 0x0F, 0, 0, 0x3C}, // response data format
        {2, 0xC0, 0x03, 0, 0}, // ISO version
        {2, 0x07, 0x1C, 0, 0}, // ANSI version
        {2, 0x38, 0xE0, 0, 0}, // ECMA version
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << "byte " << r.byte << " mask " << int(r.mask));
        PolicyRig rig;
        rig.sg.next.reply = InquiryReply("V", "P", "R");
        rig.sg.next.reply[r.byte] = r.mask;
        TScsiDev dev(0, 0, 0, 0);
        EXPECT_EQ(dev.versionBits, r.version);
        EXPECT_EQ(dev.featureBits, r.feature);
        EXPECT_EQ(dev.widthBits, r.width);
        EXPECT_EQ(dev.deviceType, 5u);
    }
}

TEST(ScsiDevInquiry, TextsAreTrimmedAndJoined) {
    PolicyRig rig;
    rig.sg.next.reply = InquiryReply("SIMV", "DVD DRIVE X", "1.0");
    rig.sg.next.reply[0] = 0xE5; // qualifier bits are not the type
    TScsiDev dev(0, 0, 0, 0);
    EXPECT_EQ(dev.deviceType, 5u);
    EXPECT_STREQ(dev.Vendor(), "SIMV");
    EXPECT_STREQ(dev.Product(), "DVD DRIVE X");
    EXPECT_STREQ(dev.Revision(), "1.0");
    EXPECT_STREQ(dev.DisplayText(), "SIMV DVD DRIVE X 1.0");

    // Every field full: the display text takes exactly its 30 characters.
    rig.sg.next.reply = InquiryReply("ABCDEFGH", "0123456789ABCDEF", "WXYZ");
    ASSERT_EQ(dev.Inquire(), 0);
    EXPECT_STREQ(dev.DisplayText(), "ABCDEFGH 0123456789ABCDEF WXYZ");
    EXPECT_STREQ(dev.Revision(), "WXYZ");

    // A reply cut short leaves empty texts, nothing stale.
    rig.sg.next.reply.assign({0x05, 0x80, 0x00, 0x02, 0x1F});
    ASSERT_EQ(dev.Inquire(), 0);
    EXPECT_STREQ(dev.DisplayText(), "  ");
    EXPECT_STREQ(dev.Vendor(), "");
    EXPECT_EQ(dev.featureBits, 0x01);
}

TEST(ScsiDevInquiry, FailedInquiryKeepsTheGivenType) {
    PolicyRig rig;
    rig.sg.next.host = 0x04; // nothing answers
    TScsiDev dev(0, 0, 0, 5);
    EXPECT_EQ(dev.lastCode.load(), static_cast<std::uint32_t>(kAspiInvalidDevice));
    EXPECT_EQ(dev.deviceType, 5u);
    EXPECT_STREQ(dev.DisplayText(), "");
}

// ---- command blocks, seen by a simulated drive ----

TEST(ScsiDevCommands, BlocksCarryLunLengthsAndPages) {
    SimMachine machine;
    auto& adapter = machine.AddAdapter();
    auto drive = machine.AddDrive(adapter, 2, 1, "cd", discsim::MakeDataCd());
    machine.Start();

    TScsiDev dev(0, 2, 1, 0);
    EXPECT_EQ(dev.lastCode.load(), 0u);
    EXPECT_STREQ(dev.DisplayText(), "SIMDISC OPTICAL DRIVE 1.00");
    std::uint8_t page[34] = {};
    EXPECT_EQ(dev.ModeSense10(true, 0x2A, page, sizeof page), 0);
    EXPECT_EQ(dev.ModeSense6(0x2A, page, sizeof page), 0);
    EXPECT_EQ(dev.TestUnitReady(), 0);
    const std::uint8_t longCdb[20] = {0x00, 0x20};
    EXPECT_EQ(dev.Execute(longCdb, 20, nullptr, 0, kSrbNoData, 2000), 0);

    const auto log = drive->commandLog();
    ASSERT_EQ(log.size(), 5u);
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ(log[0].cdb, (Bytes{0x12, 0x20, 0x00, 0x00, 0x60, 0x00}));
    EXPECT_EQ(log[1].cdb, (Bytes{0x5A, 0x28, 0x2A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x22, 0x00}));
    EXPECT_EQ(log[2].cdb, (Bytes{0x1A, 0x20, 0x2A, 0x00, 0x22, 0x00}));
    EXPECT_EQ(log[3].cdb, (Bytes{0x00, 0x20, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(log[4].cdb.size(), 16u); // at most 16 bytes are sent
    EXPECT_EQ(log[1].bufferLength, 34u);
    EXPECT_EQ(log[3].direction, discsim::Direction::None);
}

TEST(ScsiDevCommands, SimulatedBecomingReadyPausesOnce) {
    platform::ManualClock clock{1'000'000};
    platform::ScopedClock scope(clock);
    SimMachine machine;
    auto& adapter = machine.AddAdapter();
    auto drive = machine.AddDrive(adapter, 0, 0, "cd", discsim::MakeDataCd());
    TAspi32& aspi = machine.Start();
    std::vector<std::uint32_t> sleeps;
    aspi.SetSleeper([&](std::uint32_t ms) {
        sleeps.push_back(ms);
        clock.Advance(std::chrono::milliseconds(ms));
    });
    TScsiDev dev(0, 0, 0, 5);
    drive->setBecomingReady(1);
    EXPECT_EQ(dev.TestUnitReady(), kAspiCheckCondition);
    EXPECT_EQ(dev.lastSense.load(), 0x020401u);
    EXPECT_EQ(sleeps, (std::vector<std::uint32_t>{1000}));
    EXPECT_EQ(dev.TestUnitReady(), 0);
}

} // namespace
