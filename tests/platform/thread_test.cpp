#include "app_fixture.h"

#include "vcl/exception.h"
#include "vcl/thread.h"

#include <atomic>
#include <functional>
#include <sched.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

// A thread whose Execute is a function given by the test.
class Worker : public vcl::TThread {
public:
    explicit Worker(std::function<void(Worker&)> body, std::atomic<bool>* freed = nullptr)
        : body_(std::move(body)), freed_(freed) {}
    ~Worker() override {
        if (freed_) *freed_ = true;
    }

protected:
    void Execute() override { body_(*this); }

private:
    std::function<void(Worker&)> body_;
    std::atomic<bool>* freed_;
};

using ThreadTest = AppTest;

TEST_F(ThreadTest, RunsWhenStartedAndEndsOnTheGuiThread) {
    std::atomic<bool> ran{false};
    std::atomic<bool> onWorker{false};
    std::vector<std::string> log;
    Worker worker([&](Worker& self) {
        onWorker = !OnGui();
        ran = true;
        self.ReturnValue = 7;
    });
    worker.OnTerminate = [&](vcl::TObject* sender) {
        log.push_back(OnGui() && sender == &worker && ran ? "terminate on gui" : "wrong");
    };
    PumpFor(10ms);
    EXPECT_FALSE(ran); // made suspended
    EXPECT_TRUE(worker.Suspended());
    worker.Start();
    EXPECT_EQ(worker.WaitFor(), 7); // WaitFor on the GUI thread runs OnTerminate meanwhile
    EXPECT_TRUE(onWorker);
    EXPECT_TRUE(worker.Finished());
    EXPECT_EQ(log, (std::vector<std::string>{"terminate on gui"}));
}

TEST_F(ThreadTest, SynchronizeRunsOnTheGuiThreadAndWaits) {
    int guiValue = 0; // touched on the GUI thread only
    std::string error;
    std::atomic<bool> done{false};
    Worker worker([&](Worker& self) {
        for (int i = 0; i < 3; ++i)
            self.Synchronize([&] {
                if (OnGui()) ++guiValue;
            });
        try {
            self.Synchronize([] { throw vcl::Exception("refused"); });
        } catch (const vcl::Exception& e) {
            error = e.Message;
        }
        done = true;
    });
    worker.Start();
    // No event pumping here: WaitFor itself runs the synchronised calls.
    worker.WaitFor();
    EXPECT_TRUE(done);
    EXPECT_EQ(guiValue, 3);
    EXPECT_EQ(error, "refused");
}

TEST_F(ThreadTest, FreeOnTerminateDeletesTheObjectAfterOnTerminate) {
    std::atomic<bool> freed{false};
    bool terminated = false;
    auto* worker = new Worker([](Worker&) {}, &freed);
    worker->FreeOnTerminate = true;
    worker->OnTerminate = [&](vcl::TObject*) { terminated = !freed; };
    worker->Start();
    ASSERT_TRUE(PumpUntil([&] { return freed.load(); }));
    EXPECT_TRUE(terminated);
}

TEST_F(ThreadTest, DestroyingARunningThreadTerminatesAndWaits) {
    std::atomic<bool> running{false}, returned{false};
    {
        Worker worker([&](Worker& self) {
            running = true;
            while (!self.Terminated())
                std::this_thread::sleep_for(1ms);
            returned = true;
        });
        worker.Start();
        ASSERT_TRUE(PumpUntil([&] { return running.load(); }));
        worker.Suspend(); // a pause ends with the terminate request too
        ASSERT_TRUE(PumpUntil([&] { return worker.Paused(); }));
    }
    EXPECT_TRUE(returned);
}

TEST_F(ThreadTest, ExceptionLeavingExecuteIsReportedOnTheGuiThread) {
    std::string reported;
    bool reportedOnGui = false;
    vcl::Application->OnException = [&](vcl::TObject*, const std::exception& e) {
        reported = e.what();
        reportedOnGui = OnGui();
    };
    Worker worker([](Worker&) { throw std::runtime_error("job failed"); });
    worker.Start();
    worker.WaitFor();
    EXPECT_TRUE(worker.FatalException());
    ASSERT_TRUE(PumpUntil([&] { return !reported.empty(); }));
    EXPECT_EQ(reported, "job failed");
    EXPECT_TRUE(reportedOnGui);
}

TEST_F(ThreadTest, PriorityMapsToSchedulingOfTheThread) {
    errno = 0;
    const int base = getpriority(PRIO_PROCESS, 0);
    ASSERT_EQ(errno, 0);
    std::atomic<int> niceAtStart{-100}, niceLater{-100}, policy{-1};
    std::atomic<bool> next{false};
    Worker lower([&](Worker& self) {
        niceAtStart = getpriority(PRIO_PROCESS, 0);
        while (!next && !self.Terminated())
            std::this_thread::sleep_for(1ms);
        niceLater = getpriority(PRIO_PROCESS, 0);
    });
    lower.SetPriority(vcl::tpLower);
    lower.Start();
    ASSERT_TRUE(PumpUntil([&] { return niceAtStart != -100; }));
    lower.SetPriority(vcl::tpLowest); // applied to the running thread
    next = true;
    lower.WaitFor();
    if (base + 10 <= 19) {
        EXPECT_EQ(niceAtStart.load(), base + vcl::NiceOffset(vcl::tpLower));
        EXPECT_EQ(niceLater.load(), base + vcl::NiceOffset(vcl::tpLowest));
    }

    Worker idle([&](Worker&) { policy = sched_getscheduler(0); });
    idle.SetPriority(vcl::tpIdle);
    idle.Start();
    idle.WaitFor();
    EXPECT_EQ(policy.load(), SCHED_IDLE);
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), base); // the GUI thread keeps its own
}

} // namespace
