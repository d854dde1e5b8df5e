#include "container_text.h"

#include "container_names.h"
#include "textcodec.h"

#include <ctime>

bool IsValidFileName(std::string_view name) {
    if (name.empty() || !IsValidUtf8(name) || Utf8Length(name) > 255) return false;
    if (CisNameHasBadCharacter(name)) return false;
    for (char edge : {name.front(), name.back()})
        if (edge == ' ' || edge == '.') return false;
    return true;
}

std::string TruncateWithEllipsis(std::string_view text, bool shortText) {
    const std::size_t limit = shortText ? 40 : 100;
    if (Utf8Length(text) <= limit) return std::string(text);
    // Cut after the limit-th character, never inside one.
    std::size_t chars = 0, at = 0;
    while (at < text.size() && chars < limit) {
        ++at;
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
            ++at;
        ++chars;
    }
    return std::string(text.substr(0, at)) + "...";
}

std::string AttributesToText(std::uint32_t attributes) {
    std::string text = "_._._._._._";
    const struct {
        std::uint32_t bit;
        char letter;
    } letters[] = {{0x20, 'A'}, {0x10, 'D'}, {0x2, 'H'}, {0x1, 'R'}, {0x4, 'S'}, {0x10000, 'I'}};
    for (std::size_t i = 0; i < std::size(letters); ++i)
        if (attributes & letters[i].bit) text[i * 2] = letters[i].letter;
    return text;
}

std::string FileTimeToDateTime(CisFileTime time, std::string_view) {
    // File times count 100 ns steps from 1601.
    const std::int64_t seconds =
        static_cast<std::int64_t>(time / 10000000u) - kCisFileTimeEpochOffset;
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&t, &local)) return "";
    char text[64];
    std::strftime(text, sizeof text, "%Y/%m/%d %p %I:%M", &local);
    return text;
}
