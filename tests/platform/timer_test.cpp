#include "app_fixture.h"

#include "vcl/exception.h"
#include "vcl/timer.h"

#include <QCoreApplication>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

using TimerTest = AppTest;

TEST_F(TimerTest, FiresOnTheGuiThreadWhileEnabled) {
    vcl::TTimer timer(nullptr);
    EXPECT_TRUE(timer.GetEnabled());
    EXPECT_EQ(timer.GetInterval(), 1000u);
    int ticks = 0;
    bool onGui = true;
    timer.OnTimer = [&](vcl::TObject* sender) {
        onGui &= OnGui() && sender == &timer;
        if (++ticks == 3) timer.SetEnabled(false);
    };
    timer.SetInterval(5);
    ASSERT_TRUE(PumpUntil([&] { return ticks == 3; }));
    PumpFor(40ms);
    EXPECT_EQ(ticks, 3); // disabled in its own handler
    EXPECT_TRUE(onGui);

    timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return ticks == 4; }));
    timer.SetInterval(0); // an interval of 0 stops it
    const int stopped = ticks;
    PumpFor(40ms);
    EXPECT_EQ(ticks, stopped);
}

TEST_F(TimerTest, ExceptionsFromTheHandlerGoToTheApplication) {
    std::vector<std::string> reported;
    vcl::Application->OnException = [&](vcl::TObject* sender, const std::exception& e) {
        reported.push_back(e.what());
        EXPECT_NE(sender, nullptr);
    };
    vcl::TTimer timer(nullptr);
    timer.SetInterval(2);
    timer.OnTimer = [](vcl::TObject*) { throw vcl::Exception("tick failed"); };
    // The loop carries on after each one: the timer keeps firing.
    ASSERT_TRUE(PumpUntil([&] { return reported.size() >= 3; }));
    EXPECT_EQ(reported[0], "tick failed");
}

TEST_F(TimerTest, OwnedTimerIsFreedWithItsOwner) {
    auto* owner = new vcl::TComponent(nullptr);
    auto* timer = new vcl::TTimer(owner);
    int ticks = 0;
    timer->OnTimer = [&](vcl::TObject*) { ++ticks; };
    timer->SetInterval(2);
    ASSERT_TRUE(PumpUntil([&] { return ticks > 0; }));
    delete owner; // no tick reaches a freed timer
    PumpFor(20ms);
}

TEST_F(TimerTest, PostRunsOnTheGuiThreadAndSurvivesExceptions) {
    std::vector<std::string> reported;
    vcl::Application->OnException = [&](vcl::TObject*, const std::exception& e) {
        reported.push_back(e.what());
    };
    std::vector<std::string> ran; // GUI thread only
    std::thread worker([&] {
        vcl::Application->Post([&] { ran.push_back(OnGui() ? "first on gui" : "wrong"); });
        vcl::Application->Post([] { throw std::runtime_error("posted call failed"); });
        vcl::Application->Post([&] { ran.push_back("third"); });
    });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return ran.size() == 2; }));
    EXPECT_EQ(ran, (std::vector<std::string>{"first on gui", "third"}));
    EXPECT_EQ(reported, (std::vector<std::string>{"posted call failed"}));
}

// The application object takes the toolkit's application as it finds it.
TEST(TimerWithCoreApplication, RunsInTheEventLoopOfAnExistingApplication) {
    int argc = 1;
    char name[] = "timer_test";
    char* argv[] = {name, nullptr};
    QCoreApplication core(argc, argv);
    {
        vcl::TApplication app;
        vcl::TTimer timer(nullptr);
        int ticks = 0;
        timer.SetInterval(3);
        timer.OnTimer = [&](vcl::TObject*) {
            if (++ticks == 3) vcl::Application->Terminate();
        };
        app.Run(); // returns after Terminate
        EXPECT_EQ(ticks, 3);
        EXPECT_TRUE(app.Terminated());
    }
    EXPECT_EQ(QCoreApplication::instance(), &core); // not ours to destroy
}

} // namespace
