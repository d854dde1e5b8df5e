#include "message_format.h"

#include "utils.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

std::string FormatMessageText(std::string_view format, std::initializer_list<std::string> args) {
    std::string out;
    auto next = args.begin();
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i++];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i < format.size() && format[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        bool left = false;
        while (i < format.size() && (format[i] == '-' || format[i] == '+' || format[i] == ' ' ||
                                     format[i] == '#' || format[i] == '0')) {
            left = left || format[i] == '-';
            ++i;
        }
        std::size_t width = 0;
        while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i])) &&
               width < 1000)
            width = width * 10 + static_cast<std::size_t>(format[i++] - '0');
        while (i < format.size() && (format[i] == 'l' || format[i] == 'h' || format[i] == 'z'))
            ++i;
        if (i >= format.size()) break;
        ++i; // the conversion letter: every one takes the next text as it is
        const std::string value = next != args.end() ? *next++ : std::string();
        const std::string pad(value.size() < width ? width - value.size() : 0, ' ');
        out += left ? value + pad : pad + value;
    }
    return out;
}

std::string GroupedNumber(std::uint64_t value) {
    const auto count = static_cast<std::int64_t>(std::min<std::uint64_t>(value, INT64_MAX));
    std::string text = utils::FormatByteCount(1, count); // "1,234 bytes"
    const auto blank = text.rfind(' ');
    return blank == std::string::npos ? text : text.substr(0, blank);
}
