#include "elapsed.h"

#include "msgbox.h"

#include <cstdio>

std::uint32_t TickDiff(std::uint32_t start, std::uint32_t now) {
    return now - start; // modulo 2^32
}

std::string FormatSeconds(std::uint32_t seconds) {
    const unsigned hours = seconds / 3600;
    const unsigned minutes = (seconds / 60) % 60;
    const unsigned secs = seconds % 60;
    // The formats are in the user's language (ids 970 to 972), with the conversions in this
    // order in each.
    char text[96];
    if (hours != 0)
        std::snprintf(text, sizeof text, GetMessageText(970), hours, minutes, secs);
    else if (minutes != 0)
        std::snprintf(text, sizeof text, GetMessageText(971), minutes, secs);
    else
        std::snprintf(text, sizeof text, GetMessageText(972), secs);
    return text;
}
