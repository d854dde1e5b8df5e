// The message table: every text the program shows, by message id, in the language chosen at
// start, and the small string functions that compose messages from those texts.
#pragma once

#include "locale_codepage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Language of the message texts: 0 English, 1 Traditional Chinese, 2 Simplified Chinese.
// 0 until SelectLanguage runs; set once at start.
extern int LanguageIndex;

inline constexpr int kMessageCount = 976; // valid message ids are 1 to kMessageCount
// The word in message texts that callers replace by the product name of the branding data.
inline constexpr char kProductWord[] = "Quorvik";

// Sets LanguageIndex from the message locale of the environment.
void SelectLanguage();

// The UTF-8 text of a message in the current language; valid for the whole run. An empty text for
// an id outside 1..kMessageCount or a language index outside 0..2.
const char* GetMessageText(int id);

// The concatenation of their arguments (never null). Each call returns a string of its own, so
// results may be kept side by side and passed back in.
std::string JoinStrings2(std::string_view s1, std::string_view s2);
std::string JoinStrings3(std::string_view s1, std::string_view s2, std::string_view s3);
std::string JoinStrings4(std::string_view s1, std::string_view s2, std::string_view s3,
                         std::string_view s4);
std::string JoinStrings5(std::string_view s1, std::string_view s2, std::string_view s3,
                         std::string_view s4, std::string_view s5);
std::string JoinStrings6(std::string_view s1, std::string_view s2, std::string_view s3,
                         std::string_view s4, std::string_view s5, std::string_view s6);

// The text with the first occurrence of pattern replaced; the text unchanged when the pattern
// does not occur in it (an empty text included).
std::string ReplaceFirst(std::string_view pattern, std::string_view replacement,
                         std::string_view text);

// The code page of the message language for conversions of texts that other systems store in it
// (CodePageForLanguage of LanguageIndex), and its iconv name.
unsigned AnsiCodePage();
const char* AnsiCodePageName();
