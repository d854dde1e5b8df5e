// Ends the test program when a step that must not hang has not finished within a generous
// bound: a step whose fault is to wait on a peer without end never reaches an assertion after
// it. The bound is no speed goal; a step that finishes in time leaves no trace.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

class Watchdog {
public:
    Watchdog(std::chrono::seconds bound, std::string step) : step_(std::move(step)) {
        thread_ = std::thread([this, bound] {
            std::unique_lock<std::mutex> lock(mutex_);
            if (done_.wait_for(lock, bound, [this] { return finished_; })) return;
            std::fprintf(stderr, "watchdog: %s did not finish within %lld s\n", step_.c_str(),
                         static_cast<long long>(bound.count()));
            std::fflush(stderr);
            std::_Exit(3);
        });
    }
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::string step_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};
