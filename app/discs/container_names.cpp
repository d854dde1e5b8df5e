#include "container_names.h"

#include "container_record.h"

#include <algorithm>

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        unsigned char low = 0x80, high = 0xBF; // range of the first continuation byte
        if (lead < 0x80)
            extra = 0;
        else if (lead >= 0xC2 && lead <= 0xDF)
            extra = 1;
        else if (lead >= 0xE0 && lead <= 0xEF)
            extra = 2;
        else if (lead >= 0xF0 && lead <= 0xF4)
            extra = 3;
        else
            return false;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F; // no surrogates
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
        if (extra > text.size() - i - 1) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if (k == 1 ? (c < low || c > high) : (c & 0xC0) != 0x80) return false;
        }
        i += extra + 1;
    }
    return true;
}

std::size_t Utf8Length(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

int CisValidateEntryName(std::string_view name) {
    if (name.empty()) return kCisNameEmpty;
    // More bytes than 255 characters can take is too long without decoding.
    if (name.size() > 4 * kCisMaxNameCharacters) return kCisNameTooLong;
    if (!IsValidUtf8(name)) return kCisNameBadCharacter;
    if (Utf8Length(name) > kCisMaxNameCharacters) return kCisNameTooLong;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return kCisNameBadCharacter;
        if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            return kCisNameBadCharacter;
    }
    const auto edge = [](char c) { return c == ' ' || c == '.'; };
    if (edge(name.front()) || edge(name.back())) return kCisNameBadCharacter;
    return kCisNameOk;
}

bool IsValidCisFileName(std::string_view name) {
    return CisValidateEntryName(name) == kCisNameOk;
}

std::string UpperCaseName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}
