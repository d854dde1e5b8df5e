#include "base64.h"

namespace nassim::crypto {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

} // namespace

std::string Base64Encode(const std::uint8_t* data, std::size_t size) {
    std::string out;
    for (std::size_t i = 0; i < size; i += 3) {
        const std::size_t n = std::min<std::size_t>(3, size - i);
        std::uint32_t group = std::uint32_t{data[i]} << 16;
        if (n > 1) group |= std::uint32_t{data[i + 1]} << 8;
        if (n > 2) group |= data[i + 2];
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        std::size_t pads = 0;
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=' && last && k >= 2) {
                ++pads;
                group <<= 6;
                continue;
            }
            const int v = Value(c);
            if (v < 0 || pads > 0) return std::nullopt;
            group = group << 6 | static_cast<std::uint32_t>(v);
        }
        const std::size_t n = 3 - pads;
        if (pads > 0 && (group & ((1u << (8 * pads)) - 1)) != 0) return std::nullopt;
        for (std::size_t k = 0; k < n; ++k)
            out.push_back(static_cast<std::uint8_t>(group >> (16 - 8 * k)));
    }
    return out;
}

} // namespace nassim::crypto
