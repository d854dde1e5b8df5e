#include "textcodec.h"

#include "msgbox.h"

#include <iconv.h>

#include <array>
#include <cerrno>

namespace {

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// An iconv conversion descriptor, closed when it goes.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) ::iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

} // namespace

int Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) return 1;
    int extra = 0;
    // The first continuation byte's range shuts out overlong forms, surrogates and code points
    // beyond U+10FFFF.
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
        const std::size_t at = i + static_cast<std::size_t>(k);
        if (at >= text.size()) return kUtf8CutOff;
        const auto c = static_cast<unsigned char>(text[at]);
        if (k == 1 ? (c < low || c > high) : !IsContinuation(text[at])) return 0;
    }
    return extra + 1;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const int length = Utf8SequenceLength(text, i);
        if (length <= 0) return false;
        i += static_cast<std::size_t>(length);
    }
    return true;
}

std::size_t Utf8Length(std::string_view text) {
    std::size_t count = 0;
    for (char c : text)
        if (!IsContinuation(c)) ++count;
    return count;
}

std::string MakeValidUtf8(std::string_view text, std::string_view replacement, CutTail tail) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const int length = Utf8SequenceLength(text, i);
        if (length == kUtf8CutOff && tail == CutTail::Drop) break;
        if (length <= 0) {
            out += replacement;
            ++i;
            continue;
        }
        out.append(text.substr(i, static_cast<std::size_t>(length)));
        i += static_cast<std::size_t>(length);
    }
    return out;
}

std::optional<std::string> AnsiToUtf8(std::string_view text, std::string_view replacement,
                                      CutTail tail, const char* codePage) {
    Converter converter("UTF-8", codePage != nullptr ? codePage : AnsiCodePageName());
    if (!converter.valid()) return std::nullopt;
    std::string out;
    std::array<char, 256> chunk{};
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    while (inLeft > 0) {
        char* dst = chunk.data();
        std::size_t dstLeft = chunk.size();
        const std::size_t rc = ::iconv(converter.get(), &in, &inLeft, &dst, &dstLeft);
        const int error = errno;
        out.append(chunk.data(), chunk.size() - dstLeft);
        if (rc != static_cast<std::size_t>(-1) || error == E2BIG) continue;
        if (error == EINVAL && tail == CutTail::Drop) break;
        out += replacement; // EILSEQ: a byte that starts no character (or one of a cut-off tail)
        ++in;
        --inLeft;
    }
    return out;
}

std::optional<std::string> Utf8ToAnsi(std::string_view text, const char* codePage) {
    if (!IsValidUtf8(text)) return std::nullopt;
    Converter converter(codePage != nullptr ? codePage : AnsiCodePageName(), "UTF-8");
    if (!converter.valid()) return std::nullopt;
    std::string out;
    std::array<char, 256> chunk{};
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    while (inLeft > 0) {
        char* dst = chunk.data();
        std::size_t dstLeft = chunk.size();
        const std::size_t rc = ::iconv(converter.get(), &in, &inLeft, &dst, &dstLeft);
        const int error = errno;
        out.append(chunk.data(), chunk.size() - dstLeft);
        if (rc != static_cast<std::size_t>(-1)) {
            // glibc counts characters it could only approximate; none is allowed.
            if (rc != 0) return std::nullopt;
            continue;
        }
        if (error != E2BIG) return std::nullopt;
    }
    return out;
}

std::string_view CutUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = maxBytes;
    // Step back over continuation bytes to the start of the character that crosses the limit.
    while (end > 0 && IsContinuation(text[end]))
        --end;
    return text.substr(0, end);
}

std::string_view CutUtf8Characters(std::string_view text, std::size_t count) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsContinuation(text[i])) continue;
        if (characters == count) return text.substr(0, i);
        ++characters;
    }
    return text;
}
