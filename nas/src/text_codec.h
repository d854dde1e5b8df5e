// Text conversions between code pages with iconv, in per-call storage, and fixed-width text fields
// cut at character boundaries. Texts inside the program are UTF-8; kind-0 units use the ANSI code
// page of NetConfig (CP1252, CP950 or CP936, following the environment's message locale).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nas {

inline constexpr const char* kUtf8 = "UTF-8";

// Converts text between two iconv encodings. None when the encodings are unknown or, unless lossy,
// when a byte sequence is invalid or a character has no form in the target; lossy puts '?' there.
std::optional<std::string> ConvertText(std::string_view text, const char* from, const char* to,
                                       bool lossy = false);
// Between the configured ANSI code page and UTF-8.
std::optional<std::string> AnsiToUtf8(std::string_view text, bool lossy = false);
std::optional<std::string> Utf8ToAnsi(std::string_view text, bool lossy = false);

// The longest prefix of at most width bytes that ends at a character boundary of the encoding
// (before any invalid sequence).
std::string_view CutAtCharBoundary(std::string_view text, const char* encoding, size_t width);
// The bytes of a fixed text field up to its first zero, or all width bytes.
std::string_view FieldText(const void* field, size_t width);
// Writes text into a field of width bytes, cut at a character boundary, the rest zero.
void PutFieldText(uint8_t* field, size_t width, std::string_view text, const char* encoding);

} // namespace nas
