#include "call_deadline.h"

#include "netconfig.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace nas {

namespace {

using SteadyClock = std::chrono::steady_clock;

thread_local std::optional<SteadyClock::time_point> callEnd;

thread_local bool callRunning = false;

} // namespace

CallDeadline::CallDeadline(const char* call) {
    if (callRunning) return;
    callRunning = true;
    owner_ = true;
    ObserveCall(call);
    const int limitMs = CurrentNetConfig()->callDeadlineMs;
    if (limitMs < 0) return; // no total limit configured
    callEnd = SteadyClock::now() + std::chrono::milliseconds(limitMs);
}

CallDeadline::~CallDeadline() {
    if (!owner_) return;
    callEnd.reset();
    callRunning = false;
}

int CallMillisecondsLeft() {
    if (!callEnd) return -1;
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*callEnd - SteadyClock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 0x7FFFFFFF));
}

bool CallDeadlinePassed() {
    return CallMillisecondsLeft() == 0;
}

int WithinCallDeadline(int timeoutMs) {
    const int left = CallMillisecondsLeft();
    return left < 0 ? timeoutMs : std::min(timeoutMs, left);
}

} // namespace nas
