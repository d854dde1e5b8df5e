#include "elapsed.h"
#include "msgbox.h"

#include "clock/clock.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TEST(Elapsed, TickDiffAcrossTheWrap) {
    const struct {
        std::uint32_t start, now, diff;
    } cases[] = {
        {100, 250, 150},        {5, 5, 0},
        {0xFFFFFF00u, 16, 272}, // 256 ticks before the wrap, 16 after
        {0xFFFFFFFFu, 0, 1},    {0, 0xFFFFFFFFu, 0xFFFFFFFFu},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TickDiff(c.start, c.now), c.diff) << c.start << " -> " << c.now;
}

TEST(Elapsed, TickDiffOfTheInstalledClock) {
    platform::ManualClock clock(0xFFFFFF00u);
    platform::ScopedClock use(clock);
    const std::uint32_t start = platform::GetTickCount();
    clock.Advance(std::chrono::milliseconds(272));
    EXPECT_EQ(platform::GetTickCount(), 16u);
    EXPECT_EQ(TickDiff(start, platform::GetTickCount()), 272u);
}

TEST(Elapsed, FormatSeconds) {
    const struct {
        std::uint32_t seconds;
        const char* text;
    } cases[] = {
        {0, "0 sec."},        {59, "59 sec."},
        {60, "1m:00s"},       {125, "2m:05s"},
        {3599, "59m:59s"},    {3600, "1h:00m:00s"},
        {3725, "1h:02m:05s"}, {4294967295u, "1193046h:28m:15s"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatSeconds(c.seconds), c.text) << c.seconds;
}

// The units of time are in the message language, as the texts the durations end.
TEST(Elapsed, FormatSecondsInTheMessageLanguage) {
    const int saved = LanguageIndex;
    const struct {
        int language;
        std::uint32_t seconds;
        const char* text;
    } cases[] = {
        {1, 0, "0 秒"},   {1, 125, "2分:05秒"},       {1, 3725, "1時:02分:05秒"},
        {2, 59, "59 秒"}, {2, 3725, "1时:02分:05秒"}, {0, 3725, "1h:02m:05s"},
    };
    for (const auto& c : cases) {
        LanguageIndex = c.language;
        EXPECT_EQ(FormatSeconds(c.seconds), c.text) << c.language << " " << c.seconds;
    }
    LanguageIndex = saved;
}

} // namespace
