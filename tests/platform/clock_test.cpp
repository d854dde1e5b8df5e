#include "clock/clock.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TEST(Clock, InstalledClockServesEveryCallerUntilItsScopeEnds) {
    {
        platform::ManualClock manual(0xFFFFFFF0u, 1700000000);
        platform::ScopedClock use(manual);
        EXPECT_EQ(platform::GetTickCount(), 0xFFFFFFF0u);
        EXPECT_EQ(platform::UnixSeconds(), 1700000000);
        manual.Advance(std::chrono::milliseconds(60016)); // wraps
        EXPECT_EQ(platform::GetTickCount(), 60000u);
        EXPECT_EQ(platform::UnixSeconds(), 1700000060);
        manual.SetTick(7);
        EXPECT_EQ(platform::GetTickCount(), 7u);
    }
    // The system clock again: the real time of day.
    EXPECT_GT(platform::UnixSeconds(), 1700000000);
    const std::uint32_t a = platform::GetTickCount();
    const std::uint32_t b = platform::GetTickCount();
    EXPECT_LT(static_cast<std::uint32_t>(b - a), 1000u); // monotonic, modulo the wrap
}

} // namespace
