#include "nasservertext.h"

#include "msgbox.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace {

std::string_view FieldView(const char* field, std::size_t width) {
    const void* end = std::memchr(field, 0, width);
    return {field, end ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : width};
}

// The length of the valid UTF-8 character at text[i]: 1..4, 0 when the bytes there are invalid,
// -1 when they are a valid start cut off by the end of the text.
int Utf8CharLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) return 1;
    int extra = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    for (int k = 1; k <= extra; ++k) {
        if (i + static_cast<std::size_t>(k) >= text.size()) return -1;
        const auto c = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
        if (k == 1 ? (c < low || c > high) : (c & 0xC0) != 0x80) return 0;
    }
    return extra + 1;
}

} // namespace

std::string AnsiFieldText(const char* field, std::size_t width) {
    const std::string_view text = FieldView(field, width);
    iconv_t cd = ::iconv_open("UTF-8", AnsiCodePageName());
    if (cd == reinterpret_cast<iconv_t>(-1)) return Utf8FieldText(field, width);
    std::string out;
    std::array<char, 256> chunk{};
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    while (inLeft > 0) {
        char* dst = chunk.data();
        std::size_t dstLeft = chunk.size();
        const std::size_t rc = ::iconv(cd, &in, &inLeft, &dst, &dstLeft);
        out.append(chunk.data(), chunk.size() - dstLeft);
        if (rc != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        if (errno == EINVAL) break; // a character cut off by the field's end
        out += '?';                 // EILSEQ: a byte that starts no character
        ++in;
        --inLeft;
    }
    ::iconv_close(cd);
    return out;
}

std::string Utf8FieldText(const char* field, std::size_t width) {
    const std::string_view text = FieldView(field, width);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const int length = Utf8CharLength(text, i);
        if (length < 0) break;
        if (length == 0) {
            out += '?';
            ++i;
            continue;
        }
        out.append(text.substr(i, static_cast<std::size_t>(length)));
        i += static_cast<std::size_t>(length);
    }
    return out;
}

std::string_view CutUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = maxBytes;
    // Step back over continuation bytes to the start of the character that crosses the limit.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

void PutUtf8Field(char* field, std::size_t width, std::string_view text) {
    if (width == 0) return;
    std::memset(field, 0, width);
    const std::string_view cut = CutUtf8(text, width - 1);
    std::memcpy(field, cut.data(), cut.size());
}
