// Internal to the form layer: the calls that worker threads hand to the GUI thread and wait for,
// and the one condition the GUI thread sleeps on while it waits for a thread (so that a waiting
// GUI thread still runs those calls and a worker waiting for it cannot deadlock).
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

namespace vcl::detail {

class SyncQueue {
public:
    static SyncQueue& Instance();

    // From a worker: has the GUI thread run call, waits for it and rethrows what it threw.
    void RunAndWait(const std::function<void()>& call);
    // On the GUI thread: runs the calls waiting now; true when there were any.
    bool RunPending();
    // Waits until done() holds; done() is evaluated under the queue's lock and made true through
    // Signal(). With runCalls (the GUI thread) the waiting calls run meanwhile.
    void WaitUntil(const std::function<bool()>& done, bool runCalls);
    // Applies change under the queue's lock and wakes the waiters.
    void Signal(const std::function<void()>& change);
    // How the queue asks the GUI thread's event loop to call RunPending; empty for none.
    void SetWake(std::function<void()> wake);

private:
    struct Request {
        const std::function<void()>* call;
        bool done = false;
        std::exception_ptr error;
    };

    std::mutex mutex_;
    std::condition_variable guiWake_;
    std::condition_variable requestDone_;
    std::deque<Request*> pending_;
    std::function<void()> wake_;
};

} // namespace vcl::detail
