#include "base64.h"

namespace nas {

std::string Base64Encode(const uint8_t* data, uint16_t length) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((length + 2u) / 3u * 4u);
    size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        uint32_t group = static_cast<uint32_t>(data[i]) << 16 | data[i + 1] << 8 | data[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6)
            out += kAlphabet[(group >> shift) & 0x3F];
    }
    size_t rest = length - i;
    if (rest != 0) {
        uint32_t group = static_cast<uint32_t>(data[i]) << 16;
        if (rest == 2) group |= static_cast<uint32_t>(data[i + 1]) << 8;
        out += kAlphabet[(group >> 18) & 0x3F];
        out += kAlphabet[(group >> 12) & 0x3F];
        out += rest == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=';
        out += '=';
    }
    return out;
}

} // namespace nas
