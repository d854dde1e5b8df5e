// The program's one clock: a millisecond tick count and the wall time. Code that measures elapsed
// time or stamps files asks here, never the system directly, so that tests can install a clock
// they drive by hand and run 10 s or 60 s rules in no time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace platform {

using WallTime = std::chrono::system_clock::time_point;

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start, monotonic, wrapping modulo 2^32 (about 49.7 days).
    virtual std::uint32_t TickCount() = 0;
    // Calendar time.
    virtual WallTime Now() = 0;
};

// The clock of the system: monotonic milliseconds and the real time of day.
Clock& SystemClock();

// Installs the clock every caller uses from now on; nullptr restores the system clock. The clock
// must outlive its installation.
void SetClock(Clock* clock);

// The tick count and time of the installed clock.
std::uint32_t GetTickCount();
WallTime Now();
// Seconds since 1970-01-01 00:00 UTC of the installed clock.
std::int64_t UnixSeconds();

// A clock that moves only when told; safe to read from any thread.
class ManualClock : public Clock {
public:
    explicit ManualClock(std::uint32_t tick = 0, std::int64_t unixSeconds = 0);
    std::uint32_t TickCount() override { return tick_.load(); }
    WallTime Now() override;
    void SetTick(std::uint32_t tick) { tick_.store(tick); }
    // Moves both the tick count (wrapping) and the wall time on.
    void Advance(std::chrono::milliseconds by);
    void SetNow(WallTime now);

private:
    std::atomic<std::uint32_t> tick_;
    std::atomic<std::int64_t> wallMs_; // milliseconds since 1970
};

// Installs a clock for the life of the scope and restores the previous one afterwards.
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

} // namespace platform
