// UTF-8 checks, repairs and cuts, and conversion of texts stored in the code page of the message
// language. All of them work on byte strings and use storage of their own, so any thread may call
// them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Utf8SequenceLength's answer for a valid start of a character cut off by the end of the text.
inline constexpr int kUtf8CutOff = -1;

// Length (1..4) of the valid UTF-8 character at text[i] (i < text.size()); 0 when none starts
// there (stray continuation byte, overlong form, surrogate, beyond U+10FFFF); kUtf8CutOff when the
// bytes there begin a valid character that the end of the text cuts off.
int Utf8SequenceLength(std::string_view text, std::size_t i);

bool IsValidUtf8(std::string_view text);

// Number of bytes that are no continuation bytes (the characters of a valid text).
std::size_t Utf8Length(std::string_view text);

// What becomes of a character cut off by the end of a text.
enum class CutTail {
    Drop,       // left out, the text ends before it
    AsBadBytes, // each of its bytes is handled as a byte that starts no character
};

// The text's valid characters; each byte that starts no character becomes `replacement` (an empty
// one drops it).
std::string MakeValidUtf8(std::string_view text, std::string_view replacement, CutTail tail);

// A text in a code page (an iconv name; nullptr: the code page of the message language) as UTF-8.
// Each byte that starts no character of the code page becomes `replacement` (an empty one drops
// it). None when the code page cannot be converted from.
std::optional<std::string> AnsiToUtf8(std::string_view text, std::string_view replacement,
                                      CutTail tail, const char* codePage = nullptr);

// A UTF-8 text in a code page (nullptr: the code page of the message language). None when the
// text is not valid UTF-8, holds a character the code page lacks, or the code page cannot be
// converted to: nothing is replaced or dropped in silence.
std::optional<std::string> Utf8ToAnsi(std::string_view text, const char* codePage = nullptr);

// The longest prefix of a UTF-8 text that takes at most maxBytes bytes and ends at a character
// boundary.
std::string_view CutUtf8(std::string_view text, std::size_t maxBytes);
// The first `count` characters of a UTF-8 text (a character: a byte that is no continuation byte
// with the continuation bytes after it).
std::string_view CutUtf8Characters(std::string_view text, std::size_t count);
