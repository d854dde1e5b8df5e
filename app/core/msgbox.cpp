#include "msgbox.h"

#include "messages/message_table.h"

#include <cstdlib>
#include <initializer_list>

int LanguageIndex = 0;

static_assert(message_table::kMessageCount == kMessageCount);

namespace {

std::string Concat(std::initializer_list<std::string_view> parts) {
    std::string joined;
    for (std::string_view part : parts)
        joined.append(part);
    return joined;
}

} // namespace

void SelectLanguage() {
    LanguageIndex = LocaleLanguageIndex(LanguageIndex);
}
const char* GetMessageText(int id) {
    if (LanguageIndex < 0 || LanguageIndex >= message_table::kLanguageCount) return "";
    if (id < 1 || id > kMessageCount) return "";
    return message_table::kTexts[LanguageIndex][id - 1];
}

std::string JoinStrings2(std::string_view s1, std::string_view s2) {
    return Concat({s1, s2});
}

std::string JoinStrings3(std::string_view s1, std::string_view s2, std::string_view s3) {
    return Concat({s1, s2, s3});
}

std::string JoinStrings4(std::string_view s1, std::string_view s2, std::string_view s3,
                         std::string_view s4) {
    return Concat({s1, s2, s3, s4});
}

std::string JoinStrings5(std::string_view s1, std::string_view s2, std::string_view s3,
                         std::string_view s4, std::string_view s5) {
    return Concat({s1, s2, s3, s4, s5});
}

std::string JoinStrings6(std::string_view s1, std::string_view s2, std::string_view s3,
                         std::string_view s4, std::string_view s5, std::string_view s6) {
    return Concat({s1, s2, s3, s4, s5, s6});
}

std::string ReplaceFirst(std::string_view pattern, std::string_view replacement,
                         std::string_view text) {
    std::size_t at = text.find(pattern);
    if (text.empty() || at == std::string_view::npos) return std::string(text);
    return Concat({text.substr(0, at), replacement, text.substr(at + pattern.size())});
}

unsigned AnsiCodePage() {
    return CodePageForLanguage(LanguageIndex);
}

const char* AnsiCodePageName() {
    return CodePageNameForLanguage(LanguageIndex);
}
