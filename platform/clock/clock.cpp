#include "clock/clock.h"

namespace platform {
namespace {

class SystemClockImpl : public Clock {
public:
    std::uint32_t TickCount() override {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        return static_cast<std::uint32_t>(ms.count());
    }
    WallTime Now() override { return std::chrono::system_clock::now(); }
};

std::atomic<Clock*> installed{nullptr};

Clock& Current() {
    Clock* c = installed.load(std::memory_order_acquire);
    return c ? *c : SystemClock();
}

} // namespace

Clock& SystemClock() {
    static SystemClockImpl clock;
    return clock;
}

void SetClock(Clock* clock) {
    installed.store(clock, std::memory_order_release);
}

std::uint32_t GetTickCount() {
    return Current().TickCount();
}

WallTime Now() {
    return Current().Now();
}

std::int64_t UnixSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(Now().time_since_epoch()).count();
}

ManualClock::ManualClock(std::uint32_t tick, std::int64_t unixSeconds)
    : tick_(tick), wallMs_(unixSeconds * 1000) {}

WallTime ManualClock::Now() {
    return WallTime(
        std::chrono::duration_cast<WallTime::duration>(std::chrono::milliseconds(wallMs_.load())));
}

void ManualClock::Advance(std::chrono::milliseconds by) {
    tick_.fetch_add(static_cast<std::uint32_t>(by.count()));
    wallMs_.fetch_add(by.count());
}

void ManualClock::SetNow(WallTime now) {
    wallMs_.store(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count());
}

ScopedClock::ScopedClock(Clock& clock) : previous_(installed.load()) {
    SetClock(&clock);
}

ScopedClock::~ScopedClock() {
    SetClock(previous_);
}

} // namespace platform
