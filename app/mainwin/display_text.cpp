#include "display_text.h"

namespace {

// Length of the valid UTF-8 sequence at s[i], 0 when none starts there.
std::size_t SequenceLength(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80) return 1;
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF)
        n = 2;
    else if (c == 0xE0)
        n = 3, lo = 0xA0;
    else if (c == 0xED)
        n = 3, hi = 0x9F; // no surrogates
    else if (c >= 0xE1 && c <= 0xEF)
        n = 3;
    else if (c == 0xF0)
        n = 4, lo = 0x90;
    else if (c >= 0xF1 && c <= 0xF3)
        n = 4;
    else if (c == 0xF4)
        n = 4, hi = 0x8F;
    else
        return 0;
    if (i + n > s.size()) return 0;
    if (b(i + 1) < lo || b(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < n; ++k)
        if (b(i + k) < 0x80 || b(i + k) > 0xBF) return 0;
    return n;
}

} // namespace

std::string DisplayText(std::string_view text, std::size_t fieldBytes) {
    if (text.size() > fieldBytes) text = text.substr(0, fieldBytes);
    if (auto nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = SequenceLength(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string DisplayText(std::string_view text) {
    return DisplayText(text, text.size());
}
