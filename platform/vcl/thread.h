// A thread in the form layer's model: Execute runs on its own thread, OnTerminate on the GUI
// thread after Execute has returned, Synchronize runs a call on the GUI thread and waits.
//
// Linux cannot stop a thread from outside, so Suspend does not freeze the thread where it is:
// suspensions are counted, and the thread waits at its next Terminated() check until Resume has
// brought the count back to zero. Terminate ends any such pause.
#pragma once

#include "vcl/component.h"
#include "vcl/events.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace vcl {

// Mapped to scheduling on Linux: tpIdle runs under the idle policy, the others as nice values
// around the process's (lower +10, +5; higher -5, -10, -15), where the system allows it.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The nice value added for a priority (0 for tpIdle, which uses the idle policy instead).
int NiceOffset(TThreadPriority priority);

class TThread : public TObject {
public:
    // Made suspended: the thread starts once Start(), or as many Resume() calls as suspensions,
    // bring the suspend count to zero.
    TThread();
    // A thread still running is asked to terminate and waited for. A class derived from TThread
    // whose Execute uses the derived object's members stops the thread in its own destructor.
    ~TThread() override;

    void Start() { Resume(); }
    void Resume();
    void Suspend();
    // Sets the Terminated flag (and ends a pause); returns at once.
    void Terminate();
    // Waits for Execute and OnTerminate to be done; on the GUI thread it keeps running the calls
    // that threads synchronise meanwhile. Not for a FreeOnTerminate thread.
    int WaitFor();

    // The job's check: on the thread itself it first waits out a pause, then tells whether
    // Terminate was called. On any other thread it only reads the flag.
    bool Terminated();
    // Reads the flag without waiting.
    bool TerminateRequested() const { return terminated_.load(); }
    bool Suspended() const;
    // True while the thread waits out a pause at a Terminated() check.
    bool Paused() const { return paused_.load(); }
    bool Finished() const { return finished_.load(); }

    TThreadPriority GetPriority() const;
    // Applied to a running thread at once.
    void SetPriority(TThreadPriority priority);

    // Runs method on the GUI thread and waits; rethrows here what it threw.
    void Synchronize(const std::function<void()>& method);

    // What Execute let escape, if anything.
    std::exception_ptr FatalException() const { return fatal_; }

    // Deletes the object once OnTerminate has run. Set before the start.
    bool FreeOnTerminate = false;
    // Runs on the GUI thread after Execute has returned. Assign it before the start.
    TNotifyEvent OnTerminate;
    int ReturnValue = 0;

protected:
    virtual void Execute() = 0;

private:
    void Run();
    void ApplyPriorityLocked();

    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable gate_;
    int suspendCount_ = 1;
    bool started_ = false;
    bool syncTerminate_ = false;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> paused_{false};
    std::atomic<bool> finished_{false};
    bool done_ = false; // Execute and OnTerminate over; guarded by the synchronisation queue
    TThreadPriority priority_ = tpNormal;
    int baseNice_ = 0;
    int tid_ = 0; // kernel thread id while running
    std::exception_ptr fatal_;
};

} // namespace vcl
