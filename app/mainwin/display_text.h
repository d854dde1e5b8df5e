// Texts from outside (unit records, disc labels) made fit for display: cut at the first NUL and
// at most the field's width in bytes, then made valid UTF-8 (each byte that starts no valid
// sequence becomes U+FFFD) without splitting a character at the end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

std::string DisplayText(std::string_view text, std::size_t fieldBytes);
// The same without a field width.
std::string DisplayText(std::string_view text);
