// Reads that the window starts and may give up: RunBounded (a job the caller stops waiting for
// finishes on its own), the folder reader and the remote prober against units that accept and
// never answer or trickle a byte every 15 s: the other units' answers still come, a unit being
// read is not read twice at once, and destroying the reader or the prober waits for no unit
// (the bound is checked by a generous watchdog).
#include "../platform/app_fixture.h"
#include "../platform/watchdog.h"
#include "nas_unit_fixture.h"

#include "bounded_call.h"
#include "folder_reader.h"
#include "remote_prober.h"

#include <atomic>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;
using servertest::StartUnit;

// The stuck reads here are far from their library limits (minutes) when the watchdog's bound
// (20 s) is reached; a destructor that waited for them would end the program.
constexpr auto kCloseBound = 20s;

class BackgroundReadsTest : public AppTest {
protected:
    std::unique_ptr<nassim::Unit> Unit(std::uint8_t id, nassim::Fault fault,
                                       std::vector<std::string> folders,
                                       std::chrono::milliseconds pause = 1ms) {
        nassim::UnitConfig config;
        config.name = "U" + std::to_string(id);
        config.capabilities = 1;
        config.hardwareAddress[0] = id;
        config.hardwareAddress[1] = 0xB9;
        config.fault = fault;
        config.fragmentPause = pause;
        config.state.imageFolders = std::move(folders);
        return StartUnit(config, true);
    }
    static NasServerInfo RecordOf(const nassim::Unit& unit, std::uint8_t id) {
        NasServerInfo record{};
        record.ipAddress[0] = unit.address();
        record.capabilityFlags = 1;
        record.hardwareAddress[0] = id;
        record.hardwareAddress[1] = 0xB9;
        return record;
    }
    // Waits until the unit has taken in a request for its image folders.
    bool Asked(const nassim::Unit& unit) {
        return PumpUntil(
            [&] { return !unit.requestsFor(nassim::kCommandImageFolderList).empty(); });
    }
};

TEST_F(BackgroundReadsTest, RunBoundedWaitsForTheJobOrGivesUpAndTheJobEndsOnItsOwn) {
    // A job that finishes: its result is there when the wait ends.
    auto value = std::make_shared<int>(0);
    EXPECT_TRUE(RunBounded([value] { *value = 7; }, 60s));
    EXPECT_EQ(*value, 7);

    // A job held by the test: the wait is given up at its limit, the job goes on and finishes
    // later with its own state.
    auto release = std::make_shared<std::promise<void>>();
    auto released = release->get_future().share();
    auto ended = std::make_shared<std::atomic<bool>>(false);
    EXPECT_FALSE(RunBounded(
        [released, ended] {
            released.wait();
            ended->store(true);
        },
        10ms));
    EXPECT_FALSE(ended->load());
    release->set_value();
    EXPECT_TRUE(PumpUntil([&] { return ended->load(); }));

    // A cancelled gate ends a wait under way at once, and a later call runs nothing.
    auto gate = std::make_shared<CallGate>();
    auto started = std::make_shared<std::atomic<bool>>(false);
    auto hold = std::make_shared<std::promise<void>>();
    auto held = hold->get_future().share();
    std::thread canceller([&] {
        while (!started->load())
            std::this_thread::sleep_for(1ms);
        gate->Cancel();
    });
    EXPECT_FALSE(RunBounded(
        [started, held] {
            started->store(true);
            held.wait();
        },
        std::chrono::hours(1), gate));
    canceller.join();
    hold->set_value();
    auto ran = std::make_shared<std::atomic<bool>>(false);
    EXPECT_FALSE(RunBounded([ran] { ran->store(true); }, 60s, gate));
    EXPECT_FALSE(ran->load());
}

TEST_F(BackgroundReadsTest, FolderReaderAnswersWhileOtherUnitsAreSilentOrTrickleAndClosesAtOnce) {
    auto silent = Unit(1, nassim::Fault::TcpSilence, {"S"});
    auto trickling = Unit(2, nassim::Fault::Fragment, {"T"}, 15s);
    auto good = Unit(3, nassim::Fault::None, {"ISO", "CD"});
    ASSERT_TRUE(silent && trickling && good);

    std::vector<TFolderReader::Answer> answers;
    auto reader = std::make_unique<TFolderReader>(
        [&](const TFolderReader::Answer& answer) { answers.push_back(answer); });
    // The two units that hold their readers are asked first.
    ASSERT_TRUE(reader->Queue(RecordOf(*silent, 1)));
    ASSERT_TRUE(reader->Queue(RecordOf(*trickling, 2)));
    ASSERT_TRUE(Asked(*silent));
    ASSERT_TRUE(Asked(*trickling));
    ASSERT_TRUE(reader->Queue(RecordOf(*good, 3)));
    ASSERT_TRUE(PumpUntil([&] { return !answers.empty(); }));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].Record.hardwareAddress[0], 3);
    EXPECT_EQ(answers[0].Result, 0);
    ASSERT_EQ(answers[0].Count, 2);
    EXPECT_STREQ(answers[0].Folders.data() + 8, "ISO");

    // A unit being read is not read a second time meanwhile (the trickling one is read for
    // minutes: the library ends such a call only at its whole-call limit).
    const std::size_t before = reader->Pending();
    EXPECT_GE(before, 1u);
    EXPECT_TRUE(reader->Queue(RecordOf(*trickling, 2)));
    EXPECT_LE(reader->Pending(), before);

    {
        Watchdog dog(kCloseBound, "destroying the folder reader during two stuck reads");
        reader.reset();
    }
    // Nothing of the given-up reads reaches anyone afterwards.
    PumpFor(50ms);
    EXPECT_EQ(answers.size(), 1u);
}

TEST_F(BackgroundReadsTest, RemoteProberAnswersWhileAnotherUnitTricklesAndClosesAtOnce) {
    // Answers who it is at once, then trickles its image folders a byte every 15 s.
    auto holding = Unit(4, nassim::Fault::None, {"S"}, 15s);
    auto good = Unit(5, nassim::Fault::None, {"ISO"});
    ASSERT_TRUE(holding && good);
    nassim::CommandFault trickle;
    trickle.command = nassim::kCommandImageFolderList;
    trickle.fragmentBytes = 1;
    holding->addCommandFault(trickle);

    std::vector<TRemoteProber::Answer> answers;
    auto prober = std::make_unique<TRemoteProber>(
        [&](const TRemoteProber::Answer& answer) { answers.push_back(answer); });
    ASSERT_TRUE(prober->Queue(holding->address()));
    ASSERT_TRUE(Asked(*holding));
    ASSERT_TRUE(prober->Queue(good->address()));
    ASSERT_TRUE(PumpUntil([&] { return !answers.empty(); }));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].Address, good->address());
    EXPECT_EQ(answers[0].Result, 0);
    EXPECT_EQ(answers[0].FolderCount, 1);
    EXPECT_EQ(prober->Pending(), 1u);

    {
        Watchdog dog(kCloseBound, "destroying the remote prober during a stuck probe");
        prober.reset();
    }
    PumpFor(50ms);
    EXPECT_EQ(answers.size(), 1u);
}

} // namespace
