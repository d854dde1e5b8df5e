#include "request_texts.h"

#include "netconfig.h"
#include "password_digest.h"
#include "text_codec.h"

#include <cstring>

namespace nas {

namespace {

// A UTF-8 text without the start of a character that the end of its field cut off: such a tail is
// left out rather than sent as '?'.
std::string_view WithoutCutOffCharacter(std::string_view text) {
    size_t start = text.size();
    size_t continuations = 0;
    while (start > 0 && continuations < 3 &&
           (static_cast<uint8_t>(text[start - 1]) & 0xC0) == 0x80) {
        --start;
        ++continuations;
    }
    if (start == 0) return text;
    const auto lead = static_cast<uint8_t>(text[start - 1]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 1;
    if (lead >= 0xC2 && lead <= 0xF4 && continuations + 1 < length)
        return text.substr(0, start - 1);
    return text;
}

} // namespace

std::string_view RecordText(const char* field, size_t width) {
    return FieldText(field, width);
}

bool IsTerminated(const char* field, size_t width) {
    return std::memchr(field, 0, width) != nullptr;
}

void PutText(uint8_t* out, size_t width, const char* field, size_t fieldWidth) {
    std::string_view text = RecordText(field, fieldWidth);
    std::memset(out, 0, width);
    std::memcpy(out, text.data(), std::min(text.size(), width));
}

std::string RecordTextUtf8(const char* field, size_t fieldWidth) {
    std::string_view text = RecordText(field, fieldWidth);
    // Only an unknown code page fails a lossy conversion: the bytes then go as they are.
    return AnsiToUtf8(text, true).value_or(std::string(text));
}

void PutUtf8Text(uint8_t* out, size_t width, const char* field, size_t fieldWidth) {
    PutFieldText(out, width, RecordTextUtf8(field, fieldWidth), kUtf8);
}

void PutUnitText(uint8_t* out, size_t width, const char* field, size_t fieldWidth,
                 int textEncodingKind) {
    std::string_view text = RecordText(field, fieldWidth);
    if (textEncodingKind == 1 || textEncodingKind == 2) {
        text = WithoutCutOffCharacter(text);
        PutFieldText(out, width, ConvertText(text, kUtf8, kUtf8, true).value_or(std::string()),
                     kUtf8);
        return;
    }
    // A code-page unit: the caller gave the text in the unit's code page, and it goes as it is.
    PutText(out, width, field, fieldWidth);
}

int PutPasswordDigest(uint8_t* out16, const char* field, size_t fieldWidth) {
    if (!IsTerminated(field, fieldWidth)) return -1;
    return DigestPassword(RecordText(field, fieldWidth), out16);
}

} // namespace nas
