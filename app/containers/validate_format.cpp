#include "validate_format.h"

#include "utils.h"

#include <cstdio>
#include <ctime>

namespace {

bool LocalTime(std::int64_t unixSeconds, std::tm& tm) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    return ::localtime_r(&t, &tm) != nullptr;
}

std::string TwoDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

bool StartsWith(std::string_view text, std::size_t at, std::string_view token) {
    return text.substr(at, token.size()) == token;
}

} // namespace

std::string FormatFileSize(std::uint64_t size, int mode) {
    if (size > static_cast<std::uint64_t>(INT64_MAX)) return {};
    return utils::FormatByteCount(mode, static_cast<std::int64_t>(size));
}

std::string FormatFileDate(CisFileTime time, std::string_view format) {
    std::tm tm{};
    const std::int64_t seconds =
        static_cast<std::int64_t>(time / 10000000) - kCisFileTimeEpochOffset;
    if (!LocalTime(seconds, tm)) return {};
    const bool twelveHour = format.find("AM/PM") != std::string_view::npos;
    std::string out;
    for (std::size_t i = 0; i < format.size();) {
        if (StartsWith(format, i, "yyyy")) {
            char year[16];
            std::snprintf(year, sizeof year, "%04d", tm.tm_year + 1900);
            out += year;
            i += 4;
        } else if (StartsWith(format, i, "yy")) {
            out += TwoDigits((tm.tm_year + 1900) % 100);
            i += 2;
        } else if (StartsWith(format, i, "mm")) {
            out += TwoDigits(tm.tm_mon + 1);
            i += 2;
        } else if (StartsWith(format, i, "dd")) {
            out += TwoDigits(tm.tm_mday);
            i += 2;
        } else if (StartsWith(format, i, "hh")) {
            const int hour =
                twelveHour ? (tm.tm_hour % 12 == 0 ? 12 : tm.tm_hour % 12) : tm.tm_hour;
            out += TwoDigits(hour);
            i += 2;
        } else if (StartsWith(format, i, "nn")) {
            out += TwoDigits(tm.tm_min);
            i += 2;
        } else if (StartsWith(format, i, "ss")) {
            out += TwoDigits(tm.tm_sec);
            i += 2;
        } else if (StartsWith(format, i, "AM/PM")) {
            out += tm.tm_hour < 12 ? "AM" : "PM";
            i += 5;
        } else {
            out += format[i++];
        }
    }
    return out;
}

std::string FormatFileAttributes(std::uint32_t attributes) {
    std::string text = "_._._._._._";
    if (attributes & kCisAttrArchive) text[0] = 'A';
    if (attributes & kCisAttrFolder) text[2] = 'D';
    if (attributes & kCisAttrHidden) text[4] = 'H';
    if (attributes & kCisAttrReadOnly) text[6] = 'R';
    if (attributes & kCisAttrSystem) text[8] = 'S';
    if (attributes & kCisAttrVirtual) text[10] = 'I';
    return text;
}

std::string ValidateTimeText(std::chrono::system_clock::time_point now) {
    static constexpr const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm tm{};
    if (!LocalTime(std::chrono::system_clock::to_time_t(now), tm)) return {};
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %d", days[tm.tm_wday % 7],
                  months[tm.tm_mon % 12], tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  tm.tm_year + 1900);
    return text;
}
