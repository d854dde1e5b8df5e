#include "vcl/sync_queue.h"

namespace vcl::detail {

SyncQueue& SyncQueue::Instance() {
    // Never destroyed: a thread that frees itself may still signal while the process exits.
    static SyncQueue* queue = new SyncQueue;
    return *queue;
}

void SyncQueue::RunAndWait(const std::function<void()>& call) {
    Request request{&call, false, nullptr};
    std::function<void()> wake;
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(&request);
        wake = wake_;
    }
    guiWake_.notify_all();
    if (wake) wake();
    std::unique_lock lock(mutex_);
    requestDone_.wait(lock, [&] { return request.done; });
    if (request.error) std::rethrow_exception(request.error);
}

bool SyncQueue::RunPending() {
    std::deque<Request*> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(pending_);
    }
    for (Request* request : batch) {
        std::exception_ptr error;
        try {
            (*request->call)();
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            request->error = std::move(error); // the worker alone holds it from here on
            request->done = true; // the waiting worker may free the request from here on
        }
        requestDone_.notify_all();
    }
    return !batch.empty();
}

void SyncQueue::WaitUntil(const std::function<bool()>& done, bool runCalls) {
    std::unique_lock lock(mutex_);
    while (!done()) {
        if (runCalls && !pending_.empty()) {
            lock.unlock();
            RunPending();
            lock.lock();
            continue;
        }
        guiWake_.wait(lock);
    }
}

void SyncQueue::Signal(const std::function<void()>& change) {
    {
        std::lock_guard lock(mutex_);
        change();
    }
    guiWake_.notify_all();
}

void SyncQueue::SetWake(std::function<void()> wake) {
    std::lock_guard lock(mutex_);
    wake_ = std::move(wake);
}

} // namespace vcl::detail
