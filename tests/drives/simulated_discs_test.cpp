// Simulated discs named at start-up: entries that do not load are reported and skipped, the ones
// that do become drives after this machine's own, and the drive table reads their discs' labels.
#include "aspi32.h"
#include "cdrom.h"
#include "discsim.h"
#include "sim_adapter.h"
#include "simulated_discs.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using platform::devices::CurrentLetterMap;
using platform::devices::LetterMap;
using platform::scsi::Registry;
using platform::scsi::SimulatedDiscs;

class SimulatedDiscsTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("brimlet-simdiscs-" + std::to_string(::getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "tree");
        std::ofstream(dir_ / "tree" / "readme.txt") << "a file on the disc\n";
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A real ISO 9660 image with the given volume label, made by another program.
    std::string MakeIso(const std::string& name, const std::string& label) {
        const std::string out = (dir_ / name).string();
        const std::string command = "genisoimage -quiet -V " + label + " -o '" + out + "' '" +
                                    (dir_ / "tree").string() + "'";
        EXPECT_EQ(0, std::system(command.c_str())) << command;
        return out;
    }
    std::string Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name) << text;
        return (dir_ / name).string();
    }

    fs::path dir_;
};

TEST_F(SimulatedDiscsTest, BadEntriesAreSkippedAndGoodOnesFollowTheMachinesDrives) {
    const std::string good = MakeIso("demo.iso", "DEMO_DISC");
    const std::string missing = (dir_ / "missing.iso").string();
    const std::string empty = Write("empty.iso", "");
    const std::string badDescription = Write("broken.disc", "track 1 mode1 0\n"); // no image line

    // This machine already has a drive: adapter 0, letter D:.
    auto base = std::make_unique<Registry>();
    auto own = std::make_unique<platform::scsi::SimAdapter>("ATAPI OWN");
    own->Attach(0, 0, std::make_shared<discsim::Drive>(discsim::MakeDataCd(3000)), "own:cd0");
    base->Add(std::move(own));
    LetterMap machineLetters;
    ASSERT_EQ('D', machineLetters.Add("own:cd0"));

    std::ostringstream errors;
    {
        SimulatedDiscs discs(missing + "::" + empty + ":" + good + ":" + badDescription, errors,
                             std::move(base), machineLetters);
        EXPECT_EQ(1u, discs.count());
        EXPECT_EQ(&discs.letters(), &CurrentLetterMap()); // installed while it lives
        EXPECT_EQ("own:cd0", CurrentLetterMap().PathOf('D'));
        EXPECT_EQ("sim:disc1", CurrentLetterMap().PathOf('E'));
        EXPECT_EQ(0u, CurrentLetterMap().Mask() >> ('F' - 'A'));
        ASSERT_EQ(2u, discs.registry().AdapterCount());
        EXPECT_EQ(1u, discs.registry().Locate("sim:disc1")->adapter);

        TAspi32 aspi(&discs.registry());
        aspi.SetSleeper([](std::uint32_t) {});
        ScopedAspi32 aspiScope(aspi);
        CDH_LOGICAL_CDROM_CLASS table;
        ASSERT_TRUE(table.Rescan());
        EXPECT_EQ("(D:)SIMULATED_DISC", table.GetDriveCaption('D'));
        EXPECT_EQ("(E:)DEMO_DISC", table.GetDriveCaption('E'));
        EXPECT_EQ("CD-Data", table.GetDiscFormatName('E'));
        EXPECT_FALSE(table.IsCdDrive('F'));
    }
    EXPECT_NE("sim:disc1", CurrentLetterMap().PathOf('E')); // the previous map is back

    // Each bad entry is named once; the good one and the empty entry are not.
    const std::string text = errors.str();
    for (const std::string& bad : {missing, empty, badDescription})
        EXPECT_NE(std::string::npos, text.find(bad + ":")) << text;
    EXPECT_EQ(std::string::npos, text.find(good)) << text;
    EXPECT_EQ(3, std::count(text.begin(), text.end(), '\n')) << text;
}

TEST_F(SimulatedDiscsTest, NoFreeLetterSkipsTheDiscAndAddsNoAdapter) {
    const std::string good = MakeIso("demo.iso", "DEMO_DISC");
    LetterMap full;
    for (char l = 'D'; l <= 'Z'; ++l)
        ASSERT_EQ(l, full.Add(std::string("own:") + l));

    std::ostringstream errors;
    SimulatedDiscs discs(good, errors, std::make_unique<Registry>(), full);
    EXPECT_EQ(0u, discs.count());
    EXPECT_EQ(0u, discs.registry().AdapterCount());
    EXPECT_FALSE(discs.registry().Locate("sim:disc1"));
    EXPECT_NE(std::string::npos, errors.str().find(good + ": no free drive letter"))
        << errors.str();
}

} // namespace
