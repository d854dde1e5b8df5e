// TScsiBus over simulated drives: the scan, device objects, drive letters from the letter map,
// the commands it sends; and the text routines.
#include "scsi.h"
#include "sim_machine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
const Bytes kInquiry96 = {0x12, 0x00, 0x00, 0x00, 0x60, 0x00};
const Bytes kInquiry36 = {0x12, 0x00, 0x00, 0x00, 0x24, 0x00};

discsim::DriveConfig NotOptical() {
    discsim::DriveConfig c;
    c.deviceType = 0;
    return c;
}

TEST(ScsiBusScan, FindsEachOpticalDriveWithItsLetter) {
    SimMachine machine;
    auto& ide = machine.AddAdapter("ATAPI SIM", 0);              // 0 targets reads as 8
    auto& scsi = machine.AddAdapter("simscsi", 8, /*scsiId=*/3); // its own id is no target
    // Letters are handed out in an order of their own: D b5, E a0, F a7, G b3, H b6.
    auto b5 = machine.AddDrive(scsi, 5, 0, "b5");
    auto a0 = machine.AddDrive(ide, 0, 0, "a0");
    auto a7 = machine.AddDrive(ide, 7, 0, "a7");
    auto b3 = machine.AddDrive(scsi, 3, 0, "b3");
    machine.AddDrive(scsi, 6, 1, "b6"); // LUN 1: not scanned
    machine.AddDrive(scsi, 1, 0, "disk", std::nullopt, NotOptical(), false);
    machine.Start();

    TScsiBus bus(true, 5, false);
    EXPECT_EQ(bus.ready, 1u);
    EXPECT_EQ(bus.adapterCount, 2u);
    ASSERT_EQ(bus.Count(), 3);
    struct Expect {
        std::uint32_t adapter, target, kind;
        char letter;
        const char* key;
    };
    const Expect expected[] = {
        {0, 0, 1, 'E', "sim:a0"}, {0, 7, 1, 'F', "sim:a7"}, {1, 5, 2, 'D', "sim:b5"}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const TScsiDev* d = bus.Device(i);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->adapter, expected[i].adapter);
        EXPECT_EQ(d->target, expected[i].target);
        EXPECT_EQ(d->adapterKind, expected[i].kind);
        EXPECT_EQ(d->driveLetter, expected[i].letter);
        EXPECT_EQ(d->hardwareKey, expected[i].key);
        EXPECT_EQ(d->index, static_cast<std::uint32_t>(i));
        EXPECT_STREQ(d->DisplayText(), "SIMDISC OPTICAL DRIVE 1.00");
    }
    EXPECT_EQ(bus.FindByLetter('d'), 2);
    EXPECT_EQ(bus.FindByLetter('G'), -1); // b3 sits at the adapter's own id
    EXPECT_EQ(bus.FindByLetter('1'), -1);
    EXPECT_EQ(bus.Device(3), nullptr);
    EXPECT_TRUE(b3->commandLog().empty());
    EXPECT_EQ(bus.assignedLetterMask, (1u << 3) | (1u << 4) | (1u << 5));

    EXPECT_STREQ(bus.adapterRows[0].identifier.data(), "ATAPI SIM");
    EXPECT_STREQ(bus.adapterRows[0].managerId.data(), "SIMULATED");
    EXPECT_EQ(bus.adapterRows[0].maxTargets, 8u);
    EXPECT_STREQ(bus.adapterRows[1].identifier.data(), "SIMSCSI"); // upper-cased
    EXPECT_EQ(bus.adapterRows[1].kind, 2u);
    EXPECT_EQ(bus.adapterRows[1].scsiId, 3u);

    // a0's own INQUIRY, then the probe of D (b5's letter: same model, other device, no match)
    // and of E (its own).
    std::vector<Bytes> cdbs;
    for (const auto& c : a0->commandLog())
        cdbs.push_back(c.cdb);
    EXPECT_EQ(cdbs, (std::vector<Bytes>{kInquiry96, kInquiry96, kInquiry36, kInquiry96}));
}

TEST(ScsiBusScan, AdaptersBeyondTheEighthAreScannedToo) {
    SimMachine machine;
    for (int a = 0; a < 10; ++a) {
        auto& adapter = machine.AddAdapter();
        machine.AddDrive(adapter, 0, 0, "d" + std::to_string(a));
    }
    machine.Start();
    TScsiBus bus(true, 5, false);
    EXPECT_EQ(bus.Count(), 10);
    EXPECT_EQ(bus.Device(9)->adapter, 9u);
    EXPECT_EQ(bus.Device(9)->driveLetter, 'M');
}

TEST(ScsiBusScan, DriveWithoutLetterLeavesTheLettersToTheNext) {
    SimMachine machine;
    auto& adapter = machine.AddAdapter();
    machine.AddDrive(adapter, 0, 0, "unlisted", std::nullopt, {}, /*withLetter=*/false);
    machine.AddDrive(adapter, 1, 0, "listed");
    machine.Start();
    TScsiBus bus(true, 5, false);
    ASSERT_EQ(bus.Count(), 2);
    EXPECT_EQ(bus.Device(0)->driveLetter, 0);
    EXPECT_EQ(bus.Device(1)->driveLetter, 'D');
    EXPECT_EQ(bus.opticalLetterMask, 1u << 3);
}

TEST(ScsiBusAdd, KnownTypeAndFactoryResults) {
    SimMachine machine;
    auto& adapter = machine.AddAdapter();
    machine.AddDrive(adapter, 0, 0, "cd");
    machine.AddDrive(adapter, 1, 0, "disk", std::nullopt, NotOptical(), false);
    machine.Start();

    int made = 0, destroyed = 0;
    struct Counted : TScsiDev {
        Counted(std::uint32_t a, std::uint32_t t, std::uint32_t l, int& gone)
            : TScsiDev(a, t, l, 5), gone_(gone) {}
        ~Counted() override { ++gone_; }
        int& gone_;
    };
    bool fail = false;
    {
        TScsiBus bus(
            false, 5, false,
            [&](std::uint32_t a, std::uint32_t t, std::uint32_t l) -> std::unique_ptr<TScsiDev> {
                if (fail) return nullptr;
                ++made;
                return std::make_unique<Counted>(a, t, l, destroyed);
            });
        EXPECT_EQ(bus.Count(), 0); // no scan asked for
        EXPECT_EQ(bus.AddDevice(0, 0, 0, 5), 0);
        EXPECT_EQ(bus.AddDevice(0, 0, 0, 5), 0); // known: no second object
        EXPECT_EQ(bus.AddDevice(0, 0, 0, -1), 0);
        EXPECT_EQ(bus.AddDevice(0, 0, 0, 0), kAspiInvalidDevice);
        EXPECT_EQ(made, 1);
        EXPECT_EQ(bus.Count(), 1);
        EXPECT_EQ(bus.AddDevice(0, 1, 0, -1), kAspiInvalidDevice); // not an optical drive
        EXPECT_EQ(bus.AddDevice(0, 1, 0, 5), kAspiInvalidDevice);
        EXPECT_EQ(bus.AddDevice(0, 2, 0, 5), kAspiInvalidDevice); // nothing there
        EXPECT_EQ(bus.AddDevice(4, 0, 0, 5), kAspiInvalidAdapter);
        bus.Clear();
        EXPECT_EQ(destroyed, 1);
        fail = true;
        EXPECT_EQ(bus.AddDevice(0, 0, 0, 5), kAspiOutOfMemory);
        EXPECT_EQ(bus.Count(), 0);
        fail = false;
        EXPECT_EQ(bus.Scan(5, false), 1);
    }
    EXPECT_EQ(destroyed, 2); // the bus destroys its devices
}

TEST(ScsiBusScan, GatewayNotReady) {
    TAspi32 aspi(nullptr);
    ScopedAspi32 scope(aspi);
    EXPECT_EQ(aspi.lastCode.load(), static_cast<std::uint32_t>(kAspiNotInstalled));
    EXPECT_EQ(aspi.ready, 0u);
    TScsiBus bus(true, 5, false);
    EXPECT_EQ(bus.ready, 0u);
    EXPECT_EQ(bus.Count(), 0);
    EXPECT_EQ(bus.Scan(5, false), kAspiNotInstalled);
    EXPECT_EQ(bus.AddDevice(0, 0, 0, 5), kAspiNotInstalled);
    HostAdapterInfo info;
    EXPECT_EQ(aspi.HostAdapterInquiry(0, info), kAspiNotInstalled);
    std::uint32_t type = 0;
    EXPECT_EQ(aspi.GetDeviceType(0, 0, 0, type), kAspiNotInstalled);
    EXPECT_EQ(type, kAspiUnknownDeviceType);
}

TEST(ScsiBusScan, MachineWithoutOpticalDrivesFindsNone) {
    char pattern[] = "/tmp/brimlet-nodrives-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::filesystem::create_directories(std::filesystem::path(pattern) / "class" / "block");
    auto registry = platform::scsi::MakeSystemRegistry(pattern);
    platform::devices::LetterMap letters =
        platform::devices::LetterMap::FromDevices(platform::devices::EnumerateOptical(pattern));
    platform::devices::ScopedLetterMap letterScope(letters);
    TAspi32 aspi(registry.get());
    ScopedAspi32 scope(aspi);
    EXPECT_EQ(aspi.ready, 1u);
    EXPECT_EQ(aspi.adapterCount, 0u);
    TScsiBus bus(true, 5, false);
    EXPECT_EQ(bus.Count(), 0);
    EXPECT_EQ(bus.opticalLetterMask, 0u);
    EXPECT_EQ(bus.FindByLetter('D'), -1);
    EXPECT_EQ(bus.Device(0), nullptr);
    std::filesystem::remove_all(pattern);
}

TEST(ScsiBusGateway, TimeOutAbortsAndTextsStand) {
    SimMachine machine;
    auto& adapter = machine.AddAdapter();
    auto drive = machine.AddDrive(adapter, 0, 0, "cd", discsim::MakeDataCd());
    TAspi32& aspi = machine.Start();

    drive->hangCommands(0x00);
    Srb srb;
    srb.cdbLength = 6; // TEST UNIT READY
    EXPECT_EQ(aspi.ExecSrb(srb, 30), kAspiAborted);
    EXPECT_EQ(drive->pendingCount(), 0u);
    EXPECT_EQ(aspi.ExecSrb(srb, 30), kAspiOk); // the hang was for one command

    HostAdapterInfo info;
    EXPECT_EQ(aspi.HostAdapterInquiry(0, info), 0);
    EXPECT_EQ(info.adapterCount, 1);
    EXPECT_EQ(aspi.HostAdapterInquiry(1, info), kAspiInvalidAdapter);
    std::uint32_t type = 0;
    EXPECT_EQ(aspi.GetDeviceType(0, 0, 0, type), 0);
    EXPECT_EQ(type, 5u);
    EXPECT_EQ(aspi.GetDeviceType(0, 4, 0, type), kAspiInvalidDevice);
    EXPECT_EQ(type, kAspiUnknownDeviceType);

    EXPECT_STREQ(AspiCodeText(0), "None.");
    EXPECT_STREQ(AspiCodeText(20), "Target check conditions.");
    EXPECT_STREQ(AspiCodeText(25), "ASPI driver not installed.");
    EXPECT_STREQ(AspiCodeText(30), "Unknown error.");
    EXPECT_STREQ(AspiCodeText(31), "");
}

TEST(ScsiBusGateway, UnboundedWaitIsNeverCutShort) {
    platform::scsi::SimAdapter adapter;
    auto drive = std::make_shared<discsim::Drive>(discsim::MakeDataCd());
    adapter.Attach(0, 0, drive, "sim:cd");
    drive->hangCommands(0x00);
    std::thread releaser([&] {
        while (drive->pendingCount() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        drive->abortPending();
    });
    const std::uint8_t cdb[6] = {};
    platform::scsi::Request request;
    request.cdb = cdb;
    request.cdbLength = 6;
    request.timeoutMs = platform::scsi::kNoTimeout;
    // Released from outside, not by a time-out.
    EXPECT_EQ(adapter.Execute(0, 0, request).result, platform::scsi::TransportResult::Aborted);
    releaser.join();
    drive->hangCommands(0x00);
    request.timeoutMs = 20;
    EXPECT_EQ(adapter.Execute(0, 0, request).result, platform::scsi::TransportResult::Timeout);
}

// ---- text routines ----

TEST(TextRoutines, TrimCopyFindBitReplace) {
    char out[12];
    std::memset(out, 'x', sizeof out);
    CopyTrimmedText("AB C    ", out, 8);
    EXPECT_STREQ(out, "AB C");
    EXPECT_EQ(out[8], '\0');
    EXPECT_EQ(out[9], 'x'); // nothing past n
    CopyTrimmedText("        ", out, 8);
    EXPECT_STREQ(out, "");

    struct {
        int mode;
        std::uint32_t mask;
        int bit;
    } const bits[] = {{0, 0x28, 3},      {1, 0x28, 5},      {2, 0x07, 3}, {3, 0x7FFFFFFF, 31},
                      {0, 0, -1},        {1, 0, -1},        {2, ~0u, -1}, {3, ~0u, -1},
                      {1, 1u << 31, 31}, {0, 1u << 31, 31}, {4, 1, -1}};
    for (const auto& b : bits)
        EXPECT_EQ(FindBit(b.mode, b.mask), b.bit) << b.mode << " " << b.mask;

    char text[] = "A B  ";
    TrimTrailingChar(text, ' ', '_');
    EXPECT_STREQ(text, "A B__");
    ReplaceChar(text, ' ', '_');
    EXPECT_STREQ(text, "A_B__");
}

} // namespace
