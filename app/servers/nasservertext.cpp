#include "nasservertext.h"

#include <cstring>
#include <optional>
#include <utility>

namespace {

std::string_view FieldView(const char* field, std::size_t width) {
    const void* end = std::memchr(field, 0, width);
    return {field, end ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : width};
}

} // namespace

std::string AnsiFieldText(const char* field, std::size_t width) {
    std::optional<std::string> text = AnsiToUtf8(FieldView(field, width), "?", CutTail::Drop);
    return text ? std::move(*text) : Utf8FieldText(field, width);
}

std::string Utf8FieldText(const char* field, std::size_t width) {
    return MakeValidUtf8(FieldView(field, width), "?", CutTail::Drop);
}

void PutUtf8Field(char* field, std::size_t width, std::string_view text) {
    if (width == 0) return;
    std::memset(field, 0, width);
    const std::string_view cut = CutUtf8(text, width - 1);
    std::memcpy(field, cut.data(), cut.size());
}
