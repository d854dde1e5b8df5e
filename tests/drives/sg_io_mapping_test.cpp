// Completions of the SG_IO interface, injected through the ioctl seam, turned into the gateway's
// result codes; and sense data brought into fixed format.
#include "scsi/sense.h"
#include "sg_rig.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <scsi/sg.h>
#include <vector>

namespace {

// Runs one INQUIRY block through the gateway of a rig.
int RunInquiry(SgRig& rig, std::uint8_t* data, std::uint32_t length, std::uint8_t flags,
               int timeoutMs, Srb* out = nullptr) {
    Srb srb;
    srb.flags = flags;
    srb.data = data;
    srb.dataLength = length;
    srb.cdbLength = 6;
    srb.cdb = {0x12, 0, 0, 0, static_cast<std::uint8_t>(length), 0};
    const int code = rig.aspi->ExecSrb(srb, timeoutMs);
    if (out) *out = srb;
    return code;
}

struct Row {
    const char* name;
    SgOutcome in;
    int code;
    std::uint8_t key = 0, asc = 0, ascq = 0;
};

TEST(SgIoMapping, EveryCompletionKindMapsToItsCode) {
    const Row rows[] = {
        {"good", SgOutcome{}, kAspiOk},
        {"check condition, fixed sense", Status(2, FixedSense(5, 0x24, 0)), 20, 5, 0x24, 0},
        {"check condition, descriptor sense", Status(2, DescriptorSense(2, 0x3A, 0x01)), 20, 2,
         0x3A, 0x01},
        {"good status with sense", Status(0, FixedSense(1, 0x17, 0x01)), 20, 1, 0x17, 1},
        {"good status, unusable sense", Status(0, {0x00, 0x00, 0x05}), kAspiOk},
        {"target busy", Status(0x08), 21},
        {"reservation conflict", Status(0x18), 22},
        {"queue full", Status(0x28), 23},
        {"unknown status", Status(0x40), 30},
        {"host: no connect", Host(0x01), 16},
        {"host: bus busy", Host(0x02), 8},
        {"host: timed out", Host(0x03), 1},
        {"host: bad target", Host(0x04), 5},
        {"host: aborted", Host(0x05), 1},
        {"host: parity", Host(0x06), 14},
        {"host: adapter error", Host(0x07), 30},
        {"host: reset", Host(0x08), 13},
        {"host: soft error", Host(0x0B), 8},
        {"host: transport disrupted", Host(0x0E), 13},
        {"host: unknown", Host(0x30), 30},
        {"driver: busy", Driver(0x01), 8},
        {"driver: timeout", Driver(0x06), 1},
        {"driver: hard error", Driver(0x07), 30},
        {"reply longer than the buffer", Resid(-4), 17},
        {"residue beyond the request", Resid(37), 17},
        {"no such device node", Errno(ENODEV), 5},
        {"device busy", Errno(EBUSY), 8},
        {"permission denied", Errno(EACCES), 30},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        SgRig rig;
        rig.next = r.in;
        std::uint8_t buffer[36] = {};
        EXPECT_EQ(RunInquiry(rig, buffer, sizeof buffer, kSrbDirIn, 2000), r.code);
        EXPECT_EQ(rig.aspi->lastCode.load(), static_cast<std::uint32_t>(r.code));
        if (r.code == kAspiCheckCondition) {
            EXPECT_EQ(rig.aspi->senseKey.load(), r.key);
            EXPECT_EQ(rig.aspi->asc.load(), r.asc);
            EXPECT_EQ(rig.aspi->ascq.load(), r.ascq);
        }
    }
}

TEST(SgIoMapping, HeaderCarriesTheRequest) {
    SgRig rig;
    std::uint8_t buffer[36] = {};
    rig.next.resid = 10;
    Srb done;
    ASSERT_EQ(RunInquiry(rig, buffer, sizeof buffer, kSrbDirIn, 2000, &done), 0);
    EXPECT_EQ(rig.seen.interface_id, 'S');
    EXPECT_EQ(rig.seen.dxfer_direction, SG_DXFER_FROM_DEV);
    EXPECT_EQ(rig.seen.dxfer_len, 36u);
    EXPECT_EQ(rig.seen.dxferp, buffer);
    EXPECT_EQ(rig.seen.timeout, 2000u);
    EXPECT_GE(rig.seen.mx_sb_len, 18);
    EXPECT_EQ(rig.seenCdb, (std::vector<std::uint8_t>{0x12, 0, 0, 0, 36, 0}));
    EXPECT_EQ(done.transferred, 26u);

    // No data and no time limit.
    rig.next = {};
    ASSERT_EQ(RunInquiry(rig, nullptr, 0, kSrbNoData, -1), 0);
    EXPECT_EQ(rig.seen.dxfer_direction, SG_DXFER_NONE);
    EXPECT_EQ(rig.seen.dxfer_len, 0u);
    EXPECT_EQ(rig.seen.timeout, UINT_MAX);
}

TEST(SgIoMapping, FailureStaysInLastFailureAfterASuccess) {
    SgRig rig;
    std::uint8_t buffer[36] = {};
    rig.next.status = 0x08;
    EXPECT_EQ(RunInquiry(rig, buffer, sizeof buffer, kSrbDirIn, 2000), 21);
    rig.next = {};
    EXPECT_EQ(RunInquiry(rig, buffer, sizeof buffer, kSrbDirIn, 2000), 0);
    EXPECT_EQ(rig.aspi->lastCode.load(), 0u);
    EXPECT_EQ(rig.aspi->lastFailure.load(), 21u);
    EXPECT_EQ(rig.aspi->LastSrb().cdb[0], 0x12);
}

TEST(SgIoMapping, MalformedBlocksAreRefusedBeforeTheDevice) {
    SgRig rig;
    Srb srb;
    srb.cdbLength = 0;
    EXPECT_EQ(rig.aspi->ExecSrb(srb, 2000), kAspiInvalidCdb);
    srb.cdbLength = 6;
    srb.flags = kSrbDirIn;
    srb.dataLength = 10; // no buffer
    EXPECT_EQ(rig.aspi->ExecSrb(srb, 2000), kAspiInvalidCdb);
    srb.dataLength = 0;
    srb.adapter = 1;
    EXPECT_EQ(rig.aspi->ExecSrb(srb, 2000), kAspiInvalidAdapter);
    srb.adapter = 0;
    srb.target = 3;
    EXPECT_EQ(rig.aspi->ExecSrb(srb, 2000), kAspiInvalidDevice);
    EXPECT_TRUE(rig.seenCdb.empty()); // nothing reached the device
}

// ---- sense conversion ----

TEST(SenseConversion, DescriptorFormatBecomesFixed) {
    // Descriptor sense, deferred, with an information descriptor (fits 32 bits), a sense-key
    // specific descriptor and a block-commands descriptor with the ILI bit.
    const std::vector<std::uint8_t> in = {
        0x73, 0x03, 0x11, 0x05, 0,    0,    0,    24, // header, 24 bytes follow
        0x00, 0x0A, 0x80, 0,    0,    0,    0,    0,  0x00, 0x01, 0x02, 0x03, // information
        0x02, 0x06, 0,    0,    0x80, 0x12, 0x34, 0,                          // sense key specific
        0x05, 0x02, 0,    0x20,                                               // block commands: ILI
    };
    const auto out = platform::scsi::NormalizeSense(in.data(), in.size());
    ASSERT_EQ(out.length, 18);
    const std::uint8_t expected[18] = {0xF1, 0, 0x23, 0x00, 0x01, 0x02, 0x03, 10,   0,
                                       0,    0, 0,    0x11, 0x05, 0,    0x80, 0x12, 0x34};
    EXPECT_EQ(std::memcmp(out.bytes.data(), expected, 18), 0);
}

TEST(SenseConversion, OddInputStaysInsideItsBytes) {
    using platform::scsi::NormalizeSense;
    // Information too wide for the fixed field: left out, VALID clear.
    const std::vector<std::uint8_t> wide = {0x72, 0x04, 0x44, 0, 0, 0, 0, 12, 0x00, 0x0A,
                                            0x80, 0,    1,    0, 0, 0, 0, 0,  0,    5};
    auto out = NormalizeSense(wide.data(), wide.size());
    EXPECT_EQ(out.bytes[0], 0x70);
    EXPECT_EQ(out.bytes[2], 0x04);
    EXPECT_EQ(out.bytes[6], 0);
    // A descriptor that claims more bytes than arrived is ignored.
    const std::vector<std::uint8_t> cut = {0x72, 0x05, 0x24, 0, 0, 0, 0, 200, 0x02, 0x06, 0x80};
    out = NormalizeSense(cut.data(), cut.size());
    EXPECT_EQ(out.length, 18);
    EXPECT_EQ(out.bytes[12], 0x24);
    EXPECT_EQ(out.bytes[15], 0);
    // Too short or of no known format: no sense.
    const std::uint8_t shortDescriptor[] = {0x72, 0x02, 0x04};
    EXPECT_EQ(NormalizeSense(shortDescriptor, sizeof shortDescriptor).length, 0);
    const std::uint8_t vendor[] = {0x7F, 0, 5, 0, 0, 0, 0, 0};
    EXPECT_EQ(NormalizeSense(vendor, sizeof vendor).length, 0);
    // Fixed format longer than 18 bytes is cut; shorter is kept as far as it goes.
    std::vector<std::uint8_t> longFixed(32, 0xAA);
    longFixed[0] = 0x71;
    out = NormalizeSense(longFixed.data(), longFixed.size());
    EXPECT_EQ(out.length, 18);
    EXPECT_EQ(out.bytes[0], 0x71);
    const std::uint8_t shortFixed[] = {0x70, 0, 0x06};
    out = NormalizeSense(shortFixed, sizeof shortFixed);
    EXPECT_EQ(out.length, 3);
    EXPECT_EQ(out.bytes[2], 6);
    EXPECT_EQ(out.bytes[12], 0);
}

} // namespace
