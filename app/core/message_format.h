// Message texts used as formats: each conversion ("%s", "%24s", "%24lu", ...) takes the next
// argument, already turned into text, right-aligned in its width ("-" aligns left). A text from
// any language may hold any conversions without harm.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

std::string FormatMessageText(std::string_view format, std::initializer_list<std::string> args);
// A count with its digits grouped in threes by the number locale ("1,234,567").
std::string GroupedNumber(std::uint64_t value);
