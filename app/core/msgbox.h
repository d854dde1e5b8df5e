// The message table: every text the program shows, by message id, in the language chosen at
// start, and the small string functions that compose messages from those texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Language of the message texts: 0 English, 1 Traditional Chinese, 2 Simplified Chinese.
// 0 until SelectLanguage runs; set once at start.
extern int LanguageIndex;

inline constexpr int kMessageCount = 937; // valid message ids are 1 to kMessageCount
// The word in message texts that callers replace by the product name of the branding data.
inline constexpr char kProductWord[] = "Quorvik";

// Language identifiers are 16 bits: the primary language in the low 10 bits, the territory above
// (0x0404 Chinese, Taiwan; 0x0009 English of no particular territory).
// The language index for a language identifier, or `current` when it selects no table language.
int LanguageIndexForLangId(std::uint16_t langId, int current);
// The language identifier of a POSIX locale name ("zh_TW.UTF-8" gives 0x0404);
// the language's primary identifier when its territory has none of its own, 0 when unknown.
std::uint16_t LangIdFromLocaleName(std::string_view localeName);
// The locale name that decides the message language: LC_ALL, else LC_MESSAGES, else LANG
// (the first one set and not empty); empty when none is.
std::string MessageLocaleName();
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

// The code page of the message language for conversions of texts that other systems store in it:
// 1252 English, 950 Traditional Chinese, 936 Simplified Chinese; and its iconv name ("CP1252"...).
unsigned AnsiCodePage();
const char* AnsiCodePageName();
