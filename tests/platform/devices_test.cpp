// Optical devices found in a sysfs tree of the test's own, the adapters made of them, the drive
// letter map and where a letter's disc is mounted.
#include "devices/enumerate.h"
#include "devices/letter_map.h"
#include "devices/mounts.h"
#include "scsi/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using platform::devices::EnumerateOptical;
using platform::devices::LetterMap;

class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/brimlet-sysfs-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override { fs::remove_all(root); }

    // A SCSI device directory named H:C:T:L under `parent`, with attributes.
    fs::path Device(const std::string& parent, const std::string& hctl, const std::string& type,
                    const std::string& vendor = "", const std::string& model = "") {
        const fs::path dir = root / "devices" / parent / hctl;
        fs::create_directories(dir);
        if (!type.empty()) Write(dir / "type", type + "\n");
        if (!vendor.empty()) Write(dir / "vendor", vendor + "\n");
        if (!model.empty()) Write(dir / "model", model + "\n");
        return dir;
    }
    void Block(const std::string& name, const fs::path& device) {
        const fs::path dir = root / "class" / "block" / name;
        fs::create_directories(dir);
        if (!device.empty()) fs::create_directory_symlink(device, dir / "device");
    }
    void HostDriver(int host, const std::string& name) {
        const fs::path dir = root / "class" / "scsi_host" / ("host" + std::to_string(host));
        fs::create_directories(dir);
        Write(dir / "proc_name", name + "\n");
    }
    static void Write(const fs::path& path, const std::string& text) {
        std::ofstream(path) << text;
    }

    // Three optical drives on three hosts, listed out of order, and entries to pass over.
    void Populate() {
        Block("sr10", Device("pci0/host0/target0:0:3", "0:0:3:0", "5", "SIMV", "SCSI DRIVE"));
        Block("sr0",
              Device("pci0/ata2/host1/target1:0:0", "1:0:0:0", "5", "SIMV    ", "  ATAPI DRIVE  "));
        Block("sr1", Device("pci0/usb1/1-1/host6/target6:0:0", "6:0:0:0", "4"));
        Block("sda", Device("pci0/ata1/host2/target2:0:0", "2:0:0:0", "0"));
        Block("sr2", {});                                          // no device link
        Block("sr3", Device("pci0/host9", "not-an-address", "5")); // unreadable address
        HostDriver(0, "testhba");
        HostDriver(1, "ahci");
        HostDriver(6, "usb-storage");
    }

    fs::path root;
};

TEST_F(FakeSysfs, OpticalDevicesInSrOrderWithTheirAddresses) {
    Populate();
    const auto devices = EnumerateOptical(root.string(), "/devroot");
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].name, "sr0");
    EXPECT_EQ(devices[0].node, "/devroot/sr0");
    EXPECT_EQ(devices[0].host, 1u);
    EXPECT_TRUE(devices[0].ataAttached);
    EXPECT_EQ(devices[0].hostDriver, "ahci");
    EXPECT_EQ(devices[0].vendor, "SIMV");
    EXPECT_EQ(devices[0].model, "ATAPI DRIVE");
    EXPECT_EQ(devices[1].name, "sr1");
    EXPECT_EQ(devices[1].type, 4);
    EXPECT_FALSE(devices[1].ataAttached);
    EXPECT_EQ(devices[2].name, "sr10");
    EXPECT_EQ(devices[2].host, 0u);
    EXPECT_EQ(devices[2].target, 3u);
    EXPECT_EQ(devices[2].lun, 0u);
}

TEST_F(FakeSysfs, AdaptersAreNumberedDenselyByHost) {
    Populate();
    const auto registry = platform::scsi::MakeSystemRegistry(root.string(), "/devroot");
    ASSERT_EQ(registry->AdapterCount(), 3u);
    EXPECT_EQ(registry->At(0)->Describe().identifier, "testhba");
    EXPECT_EQ(registry->At(1)->Describe().identifier, "ATAPI");
    EXPECT_EQ(registry->At(2)->Describe().identifier, "usb-storage");
    EXPECT_EQ(registry->Locate("/devroot/sr10"), (platform::scsi::Address{0, 3, 0}));
    EXPECT_EQ(registry->Locate("/devroot/sr0"), (platform::scsi::Address{1, 0, 0}));
    EXPECT_EQ(registry->Locate("/devroot/sr1"), (platform::scsi::Address{2, 0, 0}));
    EXPECT_FALSE(registry->Locate("/devroot/sda"));
    // The adapter's own id never hides a device.
    for (std::uint32_t a = 0; a < 3; ++a)
        EXPECT_EQ(registry->At(a)->Describe().scsiId, 0xFF);

    const LetterMap letters = LetterMap::FromDevices(EnumerateOptical(root.string(), "/devroot"));
    EXPECT_EQ(letters.PathOf('D'), "/devroot/sr0");
    EXPECT_EQ(letters.PathOf('E'), "/devroot/sr1");
    EXPECT_EQ(letters.PathOf('F'), "/devroot/sr10");
}

TEST_F(FakeSysfs, NoTreeGivesNoDevices) {
    EXPECT_TRUE(EnumerateOptical((root / "missing").string()).empty());
    EXPECT_TRUE(EnumerateOptical(root.string()).empty());
    EXPECT_EQ(platform::scsi::MakeSystemRegistry(root.string())->AdapterCount(), 0u);
}

TEST(LetterMap, LettersFromDUpward) {
    LetterMap map;
    EXPECT_EQ(map.Add("a"), 'D');
    EXPECT_EQ(map.Add("b"), 'E');
    EXPECT_EQ(map.Add("a"), 'D'); // already mapped
    EXPECT_EQ(map.Add(""), 0);
    EXPECT_EQ(map.PathOf('e'), "b");
    EXPECT_EQ(map.PathOf('1'), "");
    EXPECT_EQ(map.LetterOf("b"), 'E');
    EXPECT_EQ(map.LetterOf("zzz"), 0);
    EXPECT_EQ(map.Mask(), (1u << 3) | (1u << 4));

    map.Remove('D');
    EXPECT_EQ(map.Add("c"), 'D'); // the lowest free letter again
    for (int i = 0; i < 21; ++i)
        EXPECT_NE(map.Add("x" + std::to_string(i)), 0);
    EXPECT_EQ(map.PathOf('Z'), "x20");
    EXPECT_EQ(map.Add("one too many"), 0);
    EXPECT_EQ(map.Mask(), ((1u << 26) - 1) & ~7u);
}

TEST(LetterMap, InstalledMapIsTheCurrentOne) {
    LetterMap mine;
    mine.Add("sim:x");
    {
        platform::devices::ScopedLetterMap scope(mine);
        EXPECT_EQ(&platform::devices::CurrentLetterMap(), &mine);
    }
    EXPECT_NE(&platform::devices::CurrentLetterMap(), &mine);
}

// A letter's disc is where the mount table mounts its device; escapes undone, optional fields
// passed over, a second name of the same node accepted, damaged lines skipped.
TEST(MountTable, ALettersDiscIsFoundWhereItsDeviceIsMounted) {
    const fs::path dir =
        fs::temp_directory_path() / ("brimlet-mounts-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "sr9") << "";
    fs::create_symlink(dir / "sr9", dir / "cdrom");
    const std::string node = (dir / "sr9").string();
    const std::string table =
        "22 1 0:21 / /proc rw shared:12 - proc proc rw\n"
        "36 35 11:0 / /media/user/MY\\040DISC ro,nosuid shared:80 master:1 - iso9660 " +
        node +
        " ro\n"
        "37 35 11:1 /\n" // cut short
        "38 35 0:50 / /tmp/video ro - iso9660 sim:VIDEO ro\n"
        "39 35 11:2 / /mnt/other ro - iso9660 " +
        (dir / "cdrom").string() + " ro\n";
    EXPECT_EQ(platform::devices::MountPointOf(node, table), "/media/user/MY DISC");
    EXPECT_EQ(platform::devices::MountPointOf("sim:VIDEO", table), "/tmp/video");
    EXPECT_EQ(platform::devices::MountPointOf("sim:AUDIO", table), "");
    EXPECT_EQ(platform::devices::MountPointOf("", table), "");
    // Only through the link: the node's own name is not in the table.
    EXPECT_EQ(platform::devices::MountPointOf(node, table.substr(table.find("37 35"))),
              "/mnt/other");

    LetterMap map;
    ASSERT_EQ(map.Add("sim:VIDEO"), 'D');
    platform::devices::ScopedLetterMap letters(map);
    {
        platform::devices::ScopedMountTable mounts(table);
        EXPECT_EQ(platform::devices::DiscFolder('d'), "/tmp/video");
        EXPECT_EQ(platform::devices::DiscFolder('E'), "");
    }
    // This machine's own table does not mount a simulated drive.
    EXPECT_EQ(platform::devices::DiscFolder('D'), "");
    fs::remove_all(dir);
}

} // namespace
