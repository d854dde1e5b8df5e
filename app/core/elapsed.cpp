#include "elapsed.h"

#include <cstdio>

std::uint32_t TickDiff(std::uint32_t start, std::uint32_t now) {
    return now - start; // modulo 2^32
}

std::string FormatSeconds(std::uint32_t seconds) {
    const unsigned hours = seconds / 3600;
    const unsigned minutes = (seconds / 60) % 60;
    const unsigned secs = seconds % 60;
    char text[32];
    if (hours != 0)
        std::snprintf(text, sizeof text, "%uh:%02um:%02us", hours, minutes, secs);
    else if (minutes != 0)
        std::snprintf(text, sizeof text, "%um:%02us", minutes, secs);
    else
        std::snprintf(text, sizeof text, "%u sec.", secs);
    return text;
}
