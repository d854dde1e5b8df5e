#include "bounded_call.h"

#include <system_error>
#include <thread>

void CallGate::Cancel() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
    }
    changed_.notify_all();
}

bool CallGate::Cancelled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cancelled_;
}

namespace {

// What the waiter and the job's thread share; it lives as long as either of them needs it.
struct CallState {
    std::shared_ptr<CallGate> gate;
    bool finished = false; // under gate->mutex_
};

} // namespace

bool RunBounded(std::function<void()> job, std::chrono::milliseconds limit,
                const std::shared_ptr<CallGate>& gate) {
    auto state = std::make_shared<CallState>();
    state->gate = gate ? gate : std::make_shared<CallGate>();
    if (state->gate->Cancelled()) return false;
    try {
        std::thread([state, job = std::move(job)]() mutable {
            job();
            job = nullptr; // what the job holds goes before the waiter hears of the end
            {
                std::lock_guard<std::mutex> lock(state->gate->mutex_);
                state->finished = true;
            }
            state->gate->changed_.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    CallGate& g = *state->gate;
    std::unique_lock<std::mutex> lock(g.mutex_);
    g.changed_.wait_for(lock, limit, [&] { return state->finished || g.cancelled_; });
    return state->finished;
}
