#include "request_texts.h"

#include "password_digest.h"
#include "text_codec.h"

#include <cstring>

namespace nas {

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

int PutPasswordDigest(uint8_t* out16, const char* field, size_t fieldWidth) {
    if (!IsTerminated(field, fieldWidth)) return -1;
    return DigestPassword(RecordText(field, fieldWidth), out16);
}

} // namespace nas
