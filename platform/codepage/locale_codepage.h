// The language the environment's locale chooses (English, Traditional or Simplified Chinese) and
// the ANSI code page that goes with it. The program's message language and the access library's
// conversion of callers' texts both follow this one rule.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Language identifiers are 16 bits: the primary language in the low 10 bits, the territory above
// (0x0404 Chinese, Taiwan; 0x0009 English of no particular territory).
// The language index (0 English, 1 Traditional Chinese, 2 Simplified Chinese) for a language
// identifier, or `current` when it selects no table language.
int LanguageIndexForLangId(std::uint16_t langId, int current);
// The language identifier of a POSIX locale name ("zh_TW.UTF-8" gives 0x0404);
// the language's primary identifier when its territory has none of its own, 0 when unknown.
std::uint16_t LangIdFromLocaleName(std::string_view localeName);
// The locale name that decides the message language: LC_ALL, else LC_MESSAGES, else LANG
// (the first one set and not empty); empty when none is.
std::string MessageLocaleName();
// The language index of the environment's message locale, or `current` when it selects none.
int LocaleLanguageIndex(int current = 0);

// The ANSI code page of a language index: 1252 English, 950 Traditional Chinese, 936 Simplified
// Chinese (English for any other index); and its iconv name ("CP1252", "CP950", "CP936").
unsigned CodePageForLanguage(int languageIndex);
const char* CodePageNameForLanguage(int languageIndex);
// The iconv name of the code page of the environment's message locale.
inline const char* LocaleCodePageName() {
    return CodePageNameForLanguage(LocaleLanguageIndex());
}
