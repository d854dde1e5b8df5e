#include "vcl/critical_section.h"
#include "vcl/rw_synchronizer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Runs work on its own thread; false when it has not finished within a generous bound (a
// deadlock), in which case the thread is left behind and the test fails.
bool FinishesInTime(std::function<void()> work) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([work = std::move(work), done] {
        work();
        done->set_value();
    }).detach();
    return finished.wait_for(20s) == std::future_status::ready;
}

bool WaitFor(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(CriticalSection, ReentrantForItsHolderExclusiveForOthers) {
    vcl::TCriticalSection section;
    section.Enter();
    EXPECT_TRUE(section.TryEnter());
    {
        std::lock_guard again(section);
        EXPECT_FALSE(std::async(std::launch::async, [&] { return section.TryEnter(); }).get());
    }
    section.Leave();
    section.Leave();
    EXPECT_TRUE(std::async(std::launch::async, [&] {
                    bool entered = section.TryEnter();
                    if (entered) section.Leave();
                    return entered;
                }).get());
}

TEST(RWSynchronizer, WriterMayTakeReadAndWriteAgain) {
    vcl::TMultiReadExclusiveWriteSynchronizer lock;
    ASSERT_TRUE(FinishesInTime([&] {
        EXPECT_TRUE(lock.BeginWrite());
        lock.BeginRead();
        EXPECT_TRUE(lock.BeginWrite());
        lock.EndWrite();
        lock.EndRead();
        lock.EndWrite();
    }));
    // Everything was given back: another thread writes.
    ASSERT_TRUE(FinishesInTime([&] {
        lock.BeginWrite();
        lock.EndWrite();
    }));
}

TEST(RWSynchronizer, ReaderReentersWhileAWriterWaits) {
    vcl::TMultiReadExclusiveWriteSynchronizer lock;
    std::mutex logMutex;
    std::vector<std::string> log;
    auto note = [&](const char* what) {
        std::lock_guard g(logMutex);
        log.push_back(what);
    };
    std::thread writer, lateReader;
    ASSERT_TRUE(FinishesInTime([&] {
        lock.BeginRead();
        writer = std::thread([&] {
            lock.BeginWrite();
            note("write");
            lock.EndWrite();
        });
        WaitFor([&] { return lock.WaitingWriters() == 1; });
        lateReader = std::thread([&] {
            lock.BeginRead(); // a new reader lets the waiting writer go first
            note("late read");
            lock.EndRead();
        });
        lock.BeginRead(); // re-entry while the writer waits: no deadlock
        note("reentered");
        std::this_thread::sleep_for(20ms); // time for the late reader to cut in, wrongly
        lock.EndRead();
        lock.EndRead();
    }));
    writer.join();
    lateReader.join();
    EXPECT_EQ(log, (std::vector<std::string>{"reentered", "write", "late read"}));
}

TEST(RWSynchronizer, WriterExcludesReaders) {
    vcl::TMultiReadExclusiveWriteSynchronizer lock;
    std::atomic<bool> writing{false};
    std::atomic<bool> overlap{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            for (int n = 0; n < 200; ++n) {
                if (i == 0) {
                    lock.BeginWrite();
                    writing = true;
                    std::this_thread::yield();
                    writing = false;
                    lock.EndWrite();
                } else {
                    lock.BeginRead();
                    if (writing) overlap = true;
                    lock.EndRead();
                }
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_FALSE(overlap);
}

TEST(RWSynchronizer, TwoReadersAskingToWriteTakeTurns) {
    vcl::TMultiReadExclusiveWriteSynchronizer lock;
    std::atomic<int> reading{0};
    bool result[2] = {false, false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i)
        threads.emplace_back([&, i] {
            lock.BeginRead();
            ++reading;
            while (reading < 2) // both hold the read side before either asks to write
                std::this_thread::yield();
            result[i] = lock.BeginWrite(); // gives up the read side while waiting
            lock.EndWrite();
            lock.EndRead();
        });
    ASSERT_TRUE(FinishesInTime([&] {
        for (auto& t : threads)
            t.join();
    }));
    // The second writer learns that the first wrote in between.
    EXPECT_NE(result[0], result[1]);
}

} // namespace
