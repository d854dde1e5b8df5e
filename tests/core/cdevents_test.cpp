#include "../platform/app_fixture.h"

#include "cdevents.h"
#include "cdevents_broadcast.h"
#include "cdevents_poll.h"
#include "clock/clock.h"
#include "devices/drive_status.h"
#include "devices/letter_map.h"
#include "registry/key_store.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using platform::devices::DriveStatus;
using platform::registry::KeyStore;
using platform::registry::Value;

namespace {

using Block = std::array<std::uint8_t, platform::devices::kBlockSize>;

// Drives by path whose status, sectors and door the test sets; every door or information command
// is written to log.
class FakeDrives : public platform::devices::DriveStatusSource {
public:
    struct Drive {
        DriveStatus status = DriveStatus::NoDisc;
        bool audio = false;
        std::map<std::uint32_t, Block> blocks; // a missing block fails to read ...
        std::optional<Block> otherBlocks;      // ... unless this is set
        int reads = 0;
        bool openable = true;
        std::optional<std::string> product, mcn, identity;
    };

    DriveStatus Status(const std::string& path) override { return drives[path].status; }
    bool AudioOnly(const std::string& path) override { return drives[path].audio; }
    bool ReadBlock(const std::string& path, std::uint32_t block,
                   std::span<std::uint8_t, platform::devices::kBlockSize> out) override {
        Drive& d = drives[path];
        ++d.reads;
        const auto it = d.blocks.find(block);
        if (it == d.blocks.end() && !d.otherBlocks) return false;
        std::memcpy(out.data(), (it == d.blocks.end() ? *d.otherBlocks : it->second).data(),
                    out.size());
        return true;
    }
    std::unique_ptr<platform::devices::DriveDevice> Open(const std::string& path) override {
        log.push_back("open " + path);
        if (!drives[path].openable) return nullptr;
        return std::make_unique<Device>(*this, path);
    }

    std::map<std::string, Drive> drives;
    std::vector<std::string> log;

private:
    class Device : public platform::devices::DriveDevice {
    public:
        Device(FakeDrives& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
        bool Eject() override { return Log("eject"); }
        bool CloseTray() override { return Log("close"); }
        bool LockDoor(bool lock) override { return Log(lock ? "lock" : "unlock"); }
        std::optional<std::string> Product() override { return owner_.drives[path_].product; }
        std::optional<std::string> MediaCatalogNumber() override {
            return owner_.drives[path_].mcn;
        }
        std::optional<std::string> MediaIdentity() override {
            return owner_.drives[path_].identity;
        }

    private:
        bool Log(const std::string& what) {
            owner_.log.push_back(what + " " + path_);
            return true;
        }
        FakeDrives& owner_;
        std::string path_;
    };
};

// A volume descriptor: type, "CD001", version 1, and for a primary one the volume identifier
// blank-padded at offset 40.
Block Descriptor(std::uint8_t type, const std::string& volumeId = "") {
    Block b{};
    b[0] = type;
    std::memcpy(b.data() + 1, "CD001", 5);
    b[6] = 1;
    std::memset(b.data() + 40, ' ', 32);
    std::memcpy(b.data() + 40, volumeId.data(), std::min<std::size_t>(volumeId.size(), 32));
    return b;
}

// Every test has its own letter map, drive source, clock and program folder.
class CDEventsTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        char templ[] = "/tmp/cdevents-test-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        home_ = templ;
        setenv("BRIMLET_HOME", home_.c_str(), 1);
    }
    void TearDown() override {
        AppTest::TearDown();
        fs::remove_all(home_);
    }

    platform::devices::LetterMap map_;
    platform::devices::ScopedLetterMap useMap_{map_};
    FakeDrives drives_;
    platform::devices::ScopedDriveStatusSource useDrives_{drives_};
    platform::ManualClock clock_{1000};
    platform::ScopedClock useClock_{clock_};
    std::string home_;
};

struct Raised {
    char kind; // 'A' arrival, 'R' removal
    char letter;
    bool operator==(const Raised&) const = default;
};

void Record(TCDEvents& cd, std::vector<Raised>& raised) {
    cd.AfterArrival = [&raised, &cd](vcl::TObject* sender, char letter) {
        EXPECT_EQ(sender, &cd);
        raised.push_back({'A', letter});
    };
    cd.AfterRemove = [&raised, &cd](vcl::TObject* sender, char letter) {
        EXPECT_EQ(sender, &cd);
        raised.push_back({'R', letter});
    };
}

std::vector<std::uint8_t> VolumeBytes(std::uint32_t size, std::uint32_t type, std::uint32_t mask,
                                      std::uint16_t flags, std::size_t length = 18) {
    std::vector<std::uint8_t> b(length, 0);
    const std::uint32_t words[] = {size, type, 0, mask};
    for (std::size_t w = 0; w < 4; ++w)
        for (std::size_t i = 0; i < 4 && w * 4 + i < length; ++i)
            b[w * 4 + i] = static_cast<std::uint8_t>(words[w] >> (8 * i));
    if (length >= 18) {
        b[16] = static_cast<std::uint8_t>(flags);
        b[17] = static_cast<std::uint8_t>(flags >> 8);
    }
    return b;
}

TEST_F(CDEventsTest, BroadcastsAreDecodedIntoTheFirstDriveLetter) {
    const std::uint32_t kArrive = cdevents::kDeviceArrival,
                        kRemove = cdevents::kDeviceRemoveComplete;
    const struct {
        const char* what;
        std::uint32_t event;
        std::vector<std::uint8_t> data;
        std::vector<Raised> expected;
    } cases[] = {
        {"disc into E:", kArrive, VolumeBytes(18, 2, 1u << 4, 1), {{'A', 'E'}}},
        {"disc out of E:", kRemove, VolumeBytes(18, 2, 1u << 4, 1), {{'R', 'E'}}},
        {"D: and F: give D", kArrive, VolumeBytes(18, 2, 1u << 3 | 1u << 5, 1), {{'A', 'D'}}},
        {"other flags beside media", kArrive, VolumeBytes(18, 2, 1, 0x3), {{'A', 'A'}}},
        {"a longer record", kArrive, VolumeBytes(24, 2, 1u << 25, 1, 24), {{'A', 'Z'}}},
        {"drive plugged in, no media flag", kArrive, VolumeBytes(18, 2, 1u << 4, 2), {}},
        {"zero unit mask", kArrive, VolumeBytes(18, 2, 0, 1), {}},
        {"bits beyond Z only", kArrive, VolumeBytes(18, 2, 0xFC000000u, 1), {}},
        {"not a volume", kArrive, VolumeBytes(18, 3, 1u << 4, 1), {}},
        {"other event", 0x8001, VolumeBytes(18, 2, 1u << 4, 1), {}},
        {"declared size beyond the bytes", kArrive, VolumeBytes(19, 2, 1u << 4, 1), {}},
        {"volume record cut short", kArrive, VolumeBytes(16, 2, 1u << 4, 1, 16), {}},
        {"shorter than a header", kArrive, VolumeBytes(8, 2, 0, 0, 8), {}},
        {"empty", kArrive, {}, {}},
    };
    TCDEvents cd(nullptr);
    std::vector<Raised> raised;
    Record(cd, raised);
    for (const auto& c : cases) {
        raised.clear();
        cd.DeviceChange(c.event, c.data);
        EXPECT_EQ(raised, c.expected) << c.what;
    }
    // What the poll encodes decodes back to the same drive.
    raised.clear();
    cd.DeviceChange(kArrive, cdevents::EncodeVolumeBroadcast(1u << 6, cdevents::kVolumeFlagMedia));
    EXPECT_EQ(raised, (std::vector<Raised>{{'A', 'G'}}));
}

TEST_F(CDEventsTest, OnlyEnabledEventModeRaisesAndHandlerErrorsGoToTheApplication) {
    const auto data = cdevents::EncodeVolumeBroadcast(1u << 4, cdevents::kVolumeFlagMedia);
    TCDEvents cd(nullptr);
    EXPECT_TRUE(cd.GetEnabled());
    EXPECT_EQ(cd.GetNotifyMode(), nmEvent);
    std::vector<Raised> raised;
    Record(cd, raised);

    for (TNotifyMode quiet : {nmNone, nmScan}) {
        cd.SetNotifyMode(quiet);
        cd.DeviceChange(cdevents::kDeviceArrival, data);
    }
    cd.SetNotifyMode(nmEvent);
    cd.SetEnabled(false);
    cd.DeviceChange(cdevents::kDeviceArrival, data);
    EXPECT_TRUE(raised.empty());

    cd.SetEnabled(true);
    std::vector<std::string> reported;
    vcl::Application->OnException = [&](vcl::TObject*, const std::exception& e) {
        reported.push_back(e.what());
    };
    cd.AfterArrival = [](vcl::TObject*, char) { throw std::runtime_error("handler failed"); };
    EXPECT_NO_THROW(cd.DeviceChange(cdevents::kDeviceArrival, data));
    EXPECT_NO_THROW(cd.DeviceChange(cdevents::kDeviceRemoveComplete, data)); // still listening
    EXPECT_EQ(reported, std::vector<std::string>{"handler failed"});
    EXPECT_EQ(raised, (std::vector<Raised>{{'R', 'E'}}));
}

TEST_F(CDEventsTest, PollReportsMediaChangesOnceASecondPerDrive) {
    map_.Add("d0");
    map_.Add("d1");
    drives_.drives["d0"].status = DriveStatus::DiscOk; // a disc already there at start
    drives_.drives["d1"].status = DriveStatus::TrayOpen;
    std::vector<std::pair<std::uint32_t, char>> seen;
    TCDDrivePoll poll([&](std::uint32_t event, std::span<const std::uint8_t> data) {
        const auto b = cdevents::DecodeBroadcast(data);
        ASSERT_TRUE(b);
        EXPECT_EQ(b->flags, cdevents::kVolumeFlagMedia);
        EXPECT_EQ(b->unitMask & (b->unitMask - 1), 0u) << "one drive per broadcast";
        seen.emplace_back(event, cdevents::FirstDriveLetter(b->unitMask));
    });
    const auto step = [&](std::uint32_t ms) {
        clock_.Advance(std::chrono::milliseconds(ms));
        return poll.Tick();
    };
    EXPECT_TRUE(poll.Tick()); // the baseline: nothing raised for what is there at start
    EXPECT_TRUE(seen.empty());

    // A disc goes into E: (spinning up first), and the disc in D: comes out.
    drives_.drives["d1"].status = DriveStatus::NotReady;
    drives_.drives["d0"].status = DriveStatus::TrayOpen;
    EXPECT_FALSE(step(999));
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(step(1));
    EXPECT_EQ(seen, (std::vector<std::pair<std::uint32_t, char>>{
                        {cdevents::kDeviceRemoveComplete, 'D'}}));
    drives_.drives["d1"].status = DriveStatus::DiscOk;
    EXPECT_TRUE(step(1500));
    EXPECT_EQ(seen.back(), std::make_pair(cdevents::kDeviceArrival, 'E'));
    EXPECT_EQ(seen.size(), 2u);

    // A drive that cannot tell keeps its state; the same state again raises nothing.
    drives_.drives["d1"].status = DriveStatus::NoInfo;
    EXPECT_TRUE(step(1000));
    drives_.drives["d1"].status = DriveStatus::DiscOk;
    EXPECT_TRUE(step(1000));
    EXPECT_EQ(seen.size(), 2u);

    // Drives that leave the map are forgotten; back in the map they set a new baseline.
    map_.Remove('E');
    EXPECT_TRUE(step(1000));
    drives_.drives["d1"].status = DriveStatus::NoDisc;
    map_.Add("d1");
    EXPECT_TRUE(step(1000));
    EXPECT_EQ(seen.size(), 2u);
    // A letter that now names another drive starts over too.
    map_.Remove('D');
    drives_.drives["d2"].status = DriveStatus::DiscOk;
    EXPECT_EQ(map_.Add("d2"), 'D');
    EXPECT_TRUE(step(1000));
    EXPECT_EQ(seen.size(), 2u);

    // The interval holds across the wrap of the tick count.
    clock_.SetTick(0xFFFFFE00u);
    EXPECT_TRUE(poll.Tick());
    EXPECT_FALSE(step(999)); // wrapped past zero
    EXPECT_TRUE(step(1));
}

TEST_F(CDEventsTest, TheComponentsTimerDrivesThePoll) {
    map_.Add("d0");
    drives_.drives["d0"].status = DriveStatus::NoDisc;
    TCDEvents cd(nullptr);
    std::vector<Raised> raised;
    Record(cd, raised);
    drives_.drives["d0"].status = DriveStatus::DiscOk;
    PumpFor(std::chrono::milliseconds(300)); // timer ticks, but no second has passed
    EXPECT_TRUE(raised.empty());
    clock_.Advance(std::chrono::milliseconds(1000));
    ASSERT_TRUE(PumpUntil([&] { return !raised.empty(); }));
    EXPECT_EQ(raised, (std::vector<Raised>{{'A', 'D'}}));
    drives_.drives["d0"].status = DriveStatus::TrayOpen;
    clock_.Advance(std::chrono::milliseconds(1000));
    ASSERT_TRUE(PumpUntil([&] { return raised.size() == 2; }));
    EXPECT_EQ(raised.back(), (Raised{'R', 'D'}));
}

TEST_F(CDEventsTest, DriveListFollowsTheLetterMap) {
    {
        TCDEvents none(nullptr);
        EXPECT_EQ(none.GetFirstCDDriveLetter(), "[None]");
    }
    map_.Add("d0");
    map_.Add("d1");
    TCDEvents cd(nullptr);
    EXPECT_EQ(cd.Drives(), (std::vector<std::string>{"D:\\", "E:\\"}));
    EXPECT_EQ(cd.GetFirstCDDriveLetter(), "D:\\");
    EXPECT_EQ(cd.GetXCDDriveLetter(1), "E:\\");
    EXPECT_EQ(cd.GetXCDDriveLetter(2), "[None]");
    EXPECT_EQ(cd.GetXCDDriveLetter(-1), "[None]");
    map_.Add("d2");
    EXPECT_EQ(cd.GetXCDDriveLetter(2), "[None]"); // filled at construction ...
    cd.GetAllCDDrives();
    EXPECT_EQ(cd.GetXCDDriveLetter(2), "F:\\"); // ... and on request
}

TEST_F(CDEventsTest, VolumeLabelComesFromThePrimaryDescriptorOrIsEmpty) {
    Block binary = Descriptor(1);
    std::memcpy(binary.data() + 40,
                "AB\x01\xe9"
                "CD  ",
                8);
    const struct {
        const char* what;
        std::map<std::uint32_t, Block> blocks;
        bool audio;
        std::string label;
        bool isAudio;
    } cases[] = {
        {"primary at 16", {{16, Descriptor(1, "MY_DISC")}}, false, "MY_DISC", false},
        {"boot and supplementary first",
         {{16, Descriptor(0)}, {17, Descriptor(2, "OTHER")}, {18, Descriptor(1, "DATA 2024")}},
         false,
         "DATA 2024",
         false},
        {"full 32 characters",
         {{16, Descriptor(1, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345")}},
         false,
         "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345",
         false},
        {"lower case audio cd", {{16, Descriptor(1, "audio cd")}}, false, "audio cd", true},
        {"bytes outside printable ASCII", {{16, binary}}, false, "AB__CD", false},
        {"audio tracks only", {}, true, "Audio CD", true},
        {"no disc (nothing readable)", {}, false, "", false},
        {"terminator before a primary",
         {{16, Descriptor(255)}, {17, Descriptor(1, "X")}},
         false,
         "",
         false},
        {"not ISO 9660", {{16, Block{}}}, false, "", false},
        {"read fails after a supplementary", {{16, Descriptor(2, "S")}}, false, "", false},
    };
    map_.Add("d0");
    TCDEvents cd(nullptr);
    for (const auto& c : cases) {
        drives_.drives["d0"].blocks = c.blocks;
        drives_.drives["d0"].audio = c.audio;
        EXPECT_EQ(cd.GetVolumeName('D'), c.label) << c.what;
        EXPECT_EQ(cd.IsAudioCD('d'), c.isAudio) << c.what;
    }
    // A disc whose descriptors never end is read a bounded number of blocks.
    drives_.drives["d0"].blocks.clear();
    drives_.drives["d0"].otherBlocks = Descriptor(2);
    drives_.drives["d0"].reads = 0;
    EXPECT_EQ(cd.GetVolumeName('D'), "");
    EXPECT_LE(drives_.drives["d0"].reads, 64);
    EXPECT_EQ(cd.GetVolumeName('Q'), ""); // no such drive
}

TEST_F(CDEventsTest, DoorAndInformationUseTheFirstDrive) {
    {
        TCDEvents none(nullptr); // no drive at all
        for (auto call : {+[](TCDEvents& c) { c.OpenDoor(); }, +[](TCDEvents& c) { c.CloseDoor(); },
                          +[](TCDEvents& c) { c.GetProductInfo(); }}) {
            try {
                call(none);
                ADD_FAILURE() << "no error";
            } catch (const EMCIDeviceError& e) {
                EXPECT_EQ(e.Message, "error");
            }
        }
    }
    map_.Add("d0");
    map_.Add("d1");
    drives_.drives["d0"].openable = false;
    {
        TCDEvents locked(nullptr);
        EXPECT_THROW(locked.OpenDoor(), EMCIDeviceError);
    }
    drives_.drives["d0"].openable = true;
    drives_.drives["d0"].product = "ACME DRV-1 1.0";
    drives_.drives["d0"].identity = "0004A3B20110";
    drives_.drives["d0"].mcn = "";
    drives_.log.clear();
    TCDEvents cd(nullptr);
    cd.OpenDoor();
    cd.CloseDoor();
    EXPECT_EQ(cd.GetProductInfo(), "ACME DRV-1 1.0");
    EXPECT_EQ(cd.GetSerialNumber(), "0004A3B20110");
    EXPECT_EQ(cd.GetUPCNumber(), "");
    drives_.drives["d0"].identity.reset();
    EXPECT_EQ(cd.GetSerialNumber(), TCDEvents::kInfoErrorText);
    EXPECT_EQ(cd.GetCDInfo(0x4000), TCDEvents::kInfoErrorText);
    // Opened once and kept; the second drive is never asked.
    EXPECT_EQ(drives_.log, (std::vector<std::string>{"open d0", "eject d0", "close d0"}));
}

// The AutoRun policy in the program's key store.
class AutoRunTest : public CDEventsTest {
protected:
    KeyStore Store() const { return KeyStore::Program(); }
    void Policy(const Value& v) {
        ASSERT_TRUE(Store().CreateKey(TCDOptions::kPolicyKey));
        ASSERT_TRUE(Store().Write(TCDOptions::kPolicyKey, TCDOptions::kPolicyValue, v));
    }
    std::optional<Value> Stored() const {
        return Store().Read(TCDOptions::kPolicyKey, TCDOptions::kPolicyValue);
    }
};

TEST_F(AutoRunTest, SwitchedOffWhileRunningAndRestoredAtTheEnd) {
    const struct {
        Value before, off;
    } cases[] = {
        {Value::Integer(0x91), Value::Integer(0xB1)},
        {Value::Binary({0x91, 0, 0, 0x80}), Value::Binary({0xB1, 0, 0, 0x80})},
    };
    for (const auto& c : cases) {
        Policy(c.before);
        {
            TCDEvents cd(nullptr);
            EXPECT_TRUE(cd.Options()->GetAutoRun());
            cd.Options()->SetAutoRun(false);
            EXPECT_FALSE(cd.Options()->GetAutoRun());
            EXPECT_EQ(Stored(), c.off); // same type as before
            cd.Options()->SetAutoRun(false);
            EXPECT_EQ(Stored(), c.off); // setting it twice changes nothing more
        }
        EXPECT_EQ(Stored(), c.before);
    }

    // Off at start stays off at the end, whatever happened in between.
    Policy(Value::Integer(0xB1));
    {
        TCDOptions options;
        EXPECT_FALSE(options.GetAutoRun());
        options.SetAutoRun(true);
        EXPECT_EQ(Stored(), Value::Integer(0x91));
    }
    EXPECT_EQ(Stored(), Value::Integer(0xB1));

    // Without Reset the change outlives the options.
    {
        TCDOptions options;
        options.Reset = false;
        options.SetAutoRun(true);
    }
    EXPECT_EQ(Stored(), Value::Integer(0x91));
}

TEST_F(AutoRunTest, AMissingOrUnusableValueReadsOnAndIsNeverWritten) {
    const std::string file = Store().Path();
    {
        TCDOptions options; // no key at all
        EXPECT_TRUE(options.GetAutoRun());
        options.SetAutoRun(false);
    }
    EXPECT_FALSE(fs::exists(file)); // the key is never made

    for (const Value& unusable : {Value::String("0xB1"), Value::Binary({0xB1, 0, 0})}) {
        Policy(unusable);
        TCDOptions options;
        EXPECT_TRUE(options.GetAutoRun());
        options.SetAutoRun(false);
        EXPECT_EQ(Stored(), unusable);
    }
}

// The system source speaks to block devices only: a plain file or a character device named in
// the letter map is never read or sent a CD-ROM command.
TEST(DriveStatusSourceTest, NonDevicesAreNeverTouched) {
    char templ[] = "/tmp/drive-status-XXXXXX";
    const int fd = mkstemp(templ);
    ASSERT_GE(fd, 0);
    const std::string file = templ;
    ASSERT_EQ(write(fd, std::string(40000, 'x').data(), 40000), 40000);
    close(fd);
    platform::devices::IoctlDriveStatusSource source;
    Block block{};
    for (const std::string& path :
         {file, std::string("/dev/null"), std::string("sim:0"), std::string()}) {
        EXPECT_EQ(source.Status(path), DriveStatus::NoInfo) << path;
        EXPECT_FALSE(source.AudioOnly(path)) << path;
        EXPECT_FALSE(source.ReadBlock(path, 16, block)) << path;
        EXPECT_EQ(source.Open(path), nullptr) << path;
    }
    unlink(templ);
}

} // namespace
