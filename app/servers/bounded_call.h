// Library calls that a caller can stop waiting for. A call on a unit that accepts and never
// answers, or trickles a byte now and then, cannot be interrupted; RunBounded runs it on a
// detached thread of its own and waits for it only as long as the caller wants: up to a time
// limit, or until a CallGate is cancelled. A call given up finishes on its own later and its
// result is dropped, so the job must own everything it reads or writes (copies, shared buffers).
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// Lets an owner (a background reader, say) end every wait of RunBounded that uses it at once.
class CallGate {
public:
    // Ends the waits under way and every later one at once; they answer "not finished".
    void Cancel();
    bool Cancelled() const;

private:
    friend bool RunBounded(std::function<void()>, std::chrono::milliseconds,
                           const std::shared_ptr<CallGate>&);
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool cancelled_ = false;
};

// Runs job on a detached thread and waits for it at most limit, or until gate (when given) is
// cancelled. True when job finished within the wait; false when the wait was given up (job then
// runs on unwatched) or no thread could be started (job never runs).
bool RunBounded(std::function<void()> job, std::chrono::milliseconds limit,
                const std::shared_ptr<CallGate>& gate = nullptr);
