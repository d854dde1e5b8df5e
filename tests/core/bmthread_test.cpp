#include "bmthread.h"
#include "bmthreadgroup.h"

#include "vcl/application.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

class BMThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        app_ = std::make_unique<vcl::TApplication>();
        gui_ = std::this_thread::get_id();
    }
    void TearDown() override { app_.reset(); }

    // Handles GUI events until done() holds; false after a generous bound.
    static bool PumpUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            vcl::Application->ProcessMessages();
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
    // Handles GUI events for a short while (for checks that something does not happen).
    static void PumpFor(std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            vcl::Application->ProcessMessages();
            std::this_thread::sleep_for(1ms);
        }
    }
    bool OnGui() const { return std::this_thread::get_id() == gui_; }

    std::unique_ptr<vcl::TApplication> app_;
    std::thread::id gui_;
};

TEST_F(BMThreadTest, EventsRunOnTheGuiThreadInOrder) {
    TBMThread job(nullptr);
    job.SetTimeInterval(5);
    std::vector<std::string> log; // written on the GUI thread only
    std::atomic<int> ticksAt42{0};
    std::atomic<bool> executeOnWorker{false};
    bool allOnGui = true;

    job.OnStart = [&](vcl::TObject* s, TBMExecuteThread*, void*&) {
        allOnGui &= OnGui() && s == &job;
        log.push_back("start");
    };
    job.OnExecute = [&](vcl::TObject*, TBMExecuteThread* t, void*&) {
        executeOnWorker = !OnGui();
        t->Percent = 42;
        while (ticksAt42 < 3 && !t->Terminated())
            std::this_thread::sleep_for(1ms);
    };
    job.OnUpdate = [&](vcl::TObject*, TBMExecuteThread*, void*&, int percent) {
        allOnGui &= OnGui();
        log.push_back("update");
        if (percent == 42) ++ticksAt42;
    };
    job.OnTerminate = [&](vcl::TObject*, TBMExecuteThread*, void*&) {
        allOnGui &= OnGui();
        log.push_back("end");
    };

    job.Start();
    EXPECT_TRUE(job.GetRuning());
    ASSERT_TRUE(PumpUntil([&] { return !log.empty() && log.back() == "end"; }));
    EXPECT_FALSE(job.GetRuning());
    PumpFor(30ms); // no update after the end
    EXPECT_TRUE(allOnGui);
    EXPECT_TRUE(executeOnWorker);
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log.front(), "start");
    EXPECT_EQ(log.back(), "end");
    for (size_t i = 1; i + 1 < log.size(); ++i)
        EXPECT_EQ(log[i], "update") << i;
    EXPECT_GE(ticksAt42.load(), 3);
}

TEST_F(BMThreadTest, StartTwiceRunsOneJobAndStartSeesItsDataFirst) {
    TBMThread job(nullptr);
    int first = 1, second = 2;
    int starts = 0;
    std::atomic<void*> seen{nullptr};
    std::atomic<bool> release{false};
    job.OnStart = [&](vcl::TObject*, TBMExecuteThread*, void*& data) {
        ++starts;
        EXPECT_EQ(data, &first);
        data = &second; // the job sees the replaced pointer
    };
    job.OnExecute = [&](vcl::TObject*, TBMExecuteThread* t, void*& data) {
        seen = data;
        while (!release && !t->Terminated())
            std::this_thread::sleep_for(1ms);
    };
    bool ended = false;
    job.OnTerminate = [&](vcl::TObject*, TBMExecuteThread*, void*& data) {
        EXPECT_EQ(data, &second);
        ended = true;
    };
    job.Start(&first);
    TBMExecuteThread* worker = job.Worker();
    job.Start(&first);
    EXPECT_EQ(job.Worker(), worker);
    EXPECT_EQ(starts, 1);
    release = true;
    ASSERT_TRUE(PumpUntil([&] { return ended; }));
    EXPECT_EQ(seen.load(), &second);

    // OnTerminate may start the next run.
    release = false;
    job.Start(&first);
    EXPECT_EQ(starts, 2);
    job.Stop();
    ASSERT_TRUE(PumpUntil([&] { return !job.GetRuning(); }));
}

TEST_F(BMThreadTest, SuspendIsACountedGateAtTheTerminatedCheck) {
    TBMThread job(nullptr);
    job.SetTimeInterval(5);
    std::atomic<int> steps{0};
    int ticks = 0;
    bool ended = false;
    job.OnExecute = [&](vcl::TObject*, TBMExecuteThread* t, void*&) {
        while (!t->Terminated()) {
            ++steps;
            std::this_thread::sleep_for(100us);
        }
    };
    job.OnUpdate = [&](vcl::TObject*, TBMExecuteThread*, void*&, int) { ++ticks; };
    job.OnTerminate = [&](vcl::TObject*, TBMExecuteThread*, void*&) { ended = true; };

    job.Start();
    ASSERT_TRUE(PumpUntil([&] { return steps > 0; }));
    job.Suspend();
    job.Suspend();
    ASSERT_TRUE(PumpUntil([&] { return job.Worker()->Paused(); }));
    const int held = steps;
    job.Resume(); // one of two pauses lifted: still held
    const int ticksBefore = ticks;
    ASSERT_TRUE(PumpUntil([&] { return ticks >= ticksBefore + 3; })); // updates go on meanwhile
    EXPECT_TRUE(job.Worker()->Paused());
    EXPECT_EQ(steps.load(), held);
    job.Resume();
    ASSERT_TRUE(PumpUntil([&] { return steps > held; }));

    // Stop on a paused job lets it run to its end.
    job.Suspend();
    ASSERT_TRUE(PumpUntil([&] { return job.Worker()->Paused(); }));
    job.Stop();
    ASSERT_TRUE(PumpUntil([&] { return ended; }));

    // On an idle component these do nothing.
    job.Suspend();
    job.Resume();
    job.Stop();
    EXPECT_FALSE(job.GetRuning());
}

TEST_F(BMThreadTest, DestroyingARunningOrPausedComponentWaitsForTheJob) {
    for (bool paused : {false, true}) {
        auto* owner = new vcl::TComponent(nullptr);
        auto* job = new TBMThread(owner);
        std::atomic<bool> running{false}, returned{false};
        bool terminateRaised = false;
        job->OnExecute = [&](vcl::TObject*, TBMExecuteThread* t, void*&) {
            running = true;
            while (!t->Terminated())
                std::this_thread::sleep_for(1ms);
            std::this_thread::sleep_for(20ms); // the job takes a moment to wind up
            returned = true;
        };
        job->OnTerminate = [&](vcl::TObject*, TBMExecuteThread*, void*&) {
            terminateRaised = true;
        };
        job->Start();
        ASSERT_TRUE(PumpUntil([&] { return running.load(); }));
        if (paused) {
            job->Suspend();
            ASSERT_TRUE(PumpUntil([&] { return job->Worker()->Paused(); }));
        }
        delete owner; // frees the component it owns
        EXPECT_TRUE(returned) << "paused " << paused;
        PumpFor(10ms);
        EXPECT_FALSE(terminateRaised) << "paused " << paused;
    }
}

TEST_F(BMThreadTest, SynchronizeRunsOnTheGuiThreadUntilTerminated) {
    TBMThread job(nullptr);
    int localData = 1, replaced = 2;
    struct Seen {
        bool kind1 = false, kind2 = false, kind3 = false, afterTerminate = false;
        void* callerData = nullptr;
        void* storedData = nullptr;
        std::string error;
    } seen;
    job.OnExecute = [&](vcl::TObject*, TBMExecuteThread* t, void*&) {
        t->Synchronize(
            vcl::TNotifyEvent([&](vcl::TObject* s) { seen.kind1 = OnGui() && s == &job; }));
        t->Synchronize(TBMThreadNotifyEvent([&](TBMThread* s, TBMExecuteThread* w) {
            seen.kind2 = OnGui() && s == &job && w == t;
        }));
        void* data = &localData;
        t->Synchronize(TBMThreadDataNotifyEvent([&](TBMThread*, TBMExecuteThread*, void*& d) {
                           seen.kind3 = OnGui() && d == &localData;
                           d = &replaced;
                       }),
                       data);
        seen.callerData = data;
        seen.storedData = t->SyncData();
        try {
            t->Synchronize(
                vcl::TNotifyEvent([](vcl::TObject*) { throw std::runtime_error("boom"); }));
        } catch (const std::exception& e) {
            seen.error = e.what(); // what the GUI-thread call threw comes back to the job
        }
        t->Synchronize(vcl::TNotifyEvent()); // empty: nothing
        t->Terminate();
        t->Synchronize(vcl::TNotifyEvent([&](vcl::TObject*) { seen.afterTerminate = true; }));
    };
    bool ended = false;
    job.OnTerminate = [&](vcl::TObject*, TBMExecuteThread*, void*&) { ended = true; };
    job.Start();
    ASSERT_TRUE(PumpUntil([&] { return ended; }));
    EXPECT_TRUE(seen.kind1);
    EXPECT_TRUE(seen.kind2);
    EXPECT_TRUE(seen.kind3);
    EXPECT_EQ(seen.callerData, &localData);
    EXPECT_EQ(seen.storedData, &replaced);
    EXPECT_EQ(seen.error, "boom");
    EXPECT_FALSE(seen.afterTerminate);
}

// Two members whose jobs run until released.
class GroupTest : public BMThreadTest {
protected:
    void SetUp() override {
        BMThreadTest::SetUp();
        for (int i = 0; i < 2; ++i) {
            member[i] = new TBMThread(nullptr);
            member[i]->SetTimeInterval(5);
            member[i]->OnExecute = [this, i](vcl::TObject*, TBMExecuteThread* t, void*&) {
                while (!release[i] && !t->Terminated())
                    std::this_thread::sleep_for(1ms);
            };
        }
    }
    void TearDown() override {
        delete member[0];
        delete member[1];
        BMThreadTest::TearDown();
    }
    TBMThread* member[2] = {};
    std::atomic<bool> release[2] = {false, false};
};

TEST_F(GroupTest, FirstStartAndLastEnd) {
    TBMThreadGroup group(nullptr);
    int starts = 0, threadStarts = 0, ends = 0, threadEnds = 0;
    group.OnStart = [&](vcl::TObject*, TBMExecuteThread*, void*&) { ++starts; };
    group.OnThreadStart = [&](vcl::TObject*, TBMExecuteThread*, void*&) { ++threadStarts; };
    group.OnTerminate = [&](vcl::TObject*, TBMExecuteThread*, void*&) { ++ends; };
    group.OnThreadTerminate = [&](vcl::TObject*, TBMExecuteThread*, void*&) { ++threadEnds; };
    group.AddThread(member[0]);
    member[1]->SetThreadGroup(&group);
    EXPECT_EQ(member[0]->GetThreadGroup(), &group);
    ASSERT_EQ(group.GetThreadItemsCount(), 2);
    EXPECT_EQ(group.GetThreads(1), member[1]);

    group.Start();
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(threadStarts, 2);
    EXPECT_EQ(group.GetCountRuning(), 2);
    release[0] = true;
    ASSERT_TRUE(PumpUntil([&] { return threadEnds == 1; }));
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(group.GetRuning());
    release[1] = true;
    ASSERT_TRUE(PumpUntil([&] { return threadEnds == 2; }));
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(group.GetRuning());
}

TEST_F(GroupTest, UpdatesFollowTheRunningMemberWithTheHighestPriority) {
    TBMThreadGroup group(nullptr);
    std::vector<vcl::TObject*> senders;
    group.OnUpdate = [&](vcl::TObject* s, TBMExecuteThread*, void*&, int) { senders.push_back(s); };
    member[0]->UpdatePriority = 1;
    member[1]->UpdatePriority = 2;
    group.AddThread(member[0]);
    group.AddThread(member[1]);
    group.Start();
    ASSERT_TRUE(PumpUntil([&] { return senders.size() >= 6; }));
    for (vcl::TObject* s : senders)
        EXPECT_EQ(s, member[1]);

    release[1] = true;
    ASSERT_TRUE(PumpUntil([&] { return !member[1]->GetRuning(); }));
    senders.clear();
    ASSERT_TRUE(PumpUntil([&] { return senders.size() >= 3; }));
    for (vcl::TObject* s : senders)
        EXPECT_EQ(s, member[0]);
    release[0] = true;
    ASSERT_TRUE(PumpUntil([&] { return !group.GetRuning(); }));
}

TEST_F(GroupTest, NestedGroupsReportUpAndLetGoWhenDestroyed) {
    TBMThreadGroup outer(nullptr);
    auto* inner = new TBMThreadGroup(nullptr);
    int outerStarts = 0, outerEnds = 0;
    outer.OnStart = [&](vcl::TObject*, TBMExecuteThread*, void*&) { ++outerStarts; };
    outer.OnTerminate = [&](vcl::TObject*, TBMExecuteThread*, void*&) { ++outerEnds; };
    inner->AddThread(member[0]);
    member[0]->Start();
    outer.AddThreadGroup(inner); // a running member is reported when its group joins
    EXPECT_EQ(outerStarts, 1);
    EXPECT_EQ(outer.GetCountRuning(), 1);
    EXPECT_EQ(outer.GetThreadsCount(), 1);
    EXPECT_EQ(outer.GetThreads(0), member[0]);

    // No loops: a group joins neither itself nor a group inside it.
    outer.SetThreadGroup(inner);
    inner->AddThreadGroup(&outer);
    inner->SetThreadGroup(inner);
    EXPECT_EQ(outer.GetThreadGroup(), nullptr);
    EXPECT_EQ(inner->GetThreadGroup(), &outer);

    // The inner group leaves the outer one while its job still runs: the outer group counts it
    // as ended and forgets its threads; then its member is let go.
    delete inner;
    EXPECT_EQ(outerEnds, 1);
    EXPECT_EQ(outer.GetCountRuning(), 0);
    EXPECT_EQ(outer.GetThreadsCount(), 0);
    EXPECT_EQ(outer.GetThreadItemsCount(), 0);
    EXPECT_EQ(member[0]->GetThreadGroup(), nullptr);
    release[0] = true;
    ASSERT_TRUE(PumpUntil([&] { return !member[0]->GetRuning(); }));
}

TEST_F(GroupTest, DestroyedRunningMemberCountsAsEnded) {
    TBMThreadGroup group(nullptr);
    int ends = 0;
    group.OnTerminate = [&](vcl::TObject*, TBMExecuteThread*, void*&) { ++ends; };
    group.AddThread(member[0]);
    group.Start();
    ASSERT_EQ(group.GetCountRuning(), 1);
    delete member[0];
    member[0] = nullptr;
    EXPECT_EQ(group.GetCountRuning(), 0);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(group.GetThreadItemsCount(), 0);
}

} // namespace
