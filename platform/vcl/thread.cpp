#include "vcl/thread.h"

#include "vcl/application.h"
#include "vcl/sync_queue.h"

#include <algorithm>
#include <cerrno>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace vcl {

int NiceOffset(TThreadPriority priority) {
    switch (priority) {
    case tpLowest:
        return 10;
    case tpLower:
        return 5;
    case tpHigher:
        return -5;
    case tpHighest:
        return -10;
    case tpTimeCritical:
        return -15;
    case tpIdle:
    case tpNormal:
        break;
    }
    return 0;
}

namespace {

// An exception that ended a thread's work is shown on the GUI thread, like any other.
void ReportFromWorker(std::exception_ptr error) {
    if (Application)
        Application->Post([error] { ReportException(nullptr, error); });
    else
        ReportException(nullptr, error);
}

} // namespace

TThread::TThread() {
    errno = 0;
    int nice = getpriority(PRIO_PROCESS, 0);
    baseNice_ = (nice == -1 && errno != 0) ? 0 : nice;
}

TThread::~TThread() {
    if (!thread_.joinable()) return;
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach(); // FreeOnTerminate: the thread deletes its own object as its last act
        return;
    }
    Terminate();
    WaitFor();
    thread_.join();
}

void TThread::Resume() {
    std::lock_guard lock(mutex_);
    if (suspendCount_ == 0) return;
    if (--suspendCount_ > 0) return;
    if (started_) {
        gate_.notify_all();
        return;
    }
    started_ = true;
    syncTerminate_ = static_cast<bool>(OnTerminate);
    thread_ = std::thread([this] { Run(); });
}

void TThread::Suspend() {
    std::lock_guard lock(mutex_);
    ++suspendCount_;
}

void TThread::Terminate() {
    {
        std::lock_guard lock(mutex_);
        terminated_ = true;
    }
    gate_.notify_all();
}

bool TThread::Suspended() const {
    std::lock_guard lock(mutex_);
    return suspendCount_ > 0;
}

bool TThread::Terminated() {
    if (thread_.get_id() != std::this_thread::get_id()) return terminated_;
    std::unique_lock lock(mutex_);
    if (suspendCount_ > 0 && !terminated_) {
        paused_ = true;
        gate_.wait(lock, [this] { return suspendCount_ == 0 || terminated_; });
        paused_ = false;
    }
    return terminated_;
}

int TThread::WaitFor() {
    {
        std::lock_guard lock(mutex_);
        if (!started_) return ReturnValue;
    }
    const bool onGui = Application && Application->InGuiThread();
    detail::SyncQueue::Instance().WaitUntil([this] { return done_; }, onGui);
    return ReturnValue;
}

TThreadPriority TThread::GetPriority() const {
    std::lock_guard lock(mutex_);
    return priority_;
}

void TThread::SetPriority(TThreadPriority priority) {
    std::lock_guard lock(mutex_);
    priority_ = priority;
    if (tid_ != 0) ApplyPriorityLocked();
}

void TThread::ApplyPriorityLocked() {
    // Refusals (raising priority without the right to) leave the thread as it is.
    sched_param param{};
    if (priority_ == tpIdle) {
        pthread_setschedparam(thread_.native_handle(), SCHED_IDLE, &param);
        return;
    }
    int policy = 0;
    if (pthread_getschedparam(thread_.native_handle(), &policy, &param) == 0 &&
        policy == SCHED_IDLE) {
        param = sched_param{};
        pthread_setschedparam(thread_.native_handle(), SCHED_OTHER, &param);
    }
    setpriority(PRIO_PROCESS, static_cast<id_t>(tid_),
                std::clamp(baseNice_ + NiceOffset(priority_), -20, 19));
}

void TThread::Synchronize(const std::function<void()>& method) {
    if (Application)
        Application->Synchronize(method);
    else
        method();
}

void TThread::Run() {
    {
        std::lock_guard lock(mutex_);
        tid_ = static_cast<int>(gettid());
        if (priority_ != tpNormal) ApplyPriorityLocked();
    }
    try {
        Execute();
    } catch (...) {
        fatal_ = std::current_exception();
        ReportFromWorker(fatal_);
    }
    finished_ = true;
    if (syncTerminate_) {
        try {
            Synchronize([this] {
                if (OnTerminate) OnTerminate(this);
            });
        } catch (...) {
            ReportFromWorker(std::current_exception());
        }
    }
    {
        std::lock_guard lock(mutex_);
        tid_ = 0;
    }
    const bool freeSelf = FreeOnTerminate;
    detail::SyncQueue::Instance().Signal([this] { done_ = true; });
    if (freeSelf) delete this;
}

} // namespace vcl
