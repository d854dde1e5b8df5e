#include "locale_codepage.h"

#include <cstdlib>

namespace {

struct LocaleLangId {
    std::string_view code;
    std::uint16_t langId;
};

// Territories that have an identifier of their own.
constexpr LocaleLangId kEnglishTerritories[] = {
    {"US", 0x0409}, {"GB", 0x0809}, {"AU", 0x0C09},  {"CA", 0x1009}, {"NZ", 0x1409}, {"IE", 0x1809},
    {"ZA", 0x1C09}, {"JM", 0x2009}, {"029", 0x2409}, {"BZ", 0x2809}, {"TT", 0x2C09},
};
constexpr LocaleLangId kChineseTerritories[] = {
    {"TW", 0x0404}, {"HK", 0x0C04}, {"CN", 0x0804}, {"SG", 0x1004}, {"MO", 0x1404},
};

// Primary language identifiers by ISO 639-1 code.
constexpr LocaleLangId kPrimaryLanguages[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06},
    {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C},
    {"he", 0x0D}, {"hu", 0x0E}, {"is", 0x0F}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12},
    {"nl", 0x13}, {"nb", 0x14}, {"nn", 0x14}, {"no", 0x14}, {"pl", 0x15}, {"pt", 0x16},
    {"ro", 0x18}, {"ru", 0x19}, {"hr", 0x1A}, {"sr", 0x1A}, {"sk", 0x1B}, {"sq", 0x1C},
    {"sv", 0x1D}, {"th", 0x1E}, {"tr", 0x1F}, {"ur", 0x20}, {"id", 0x21}, {"uk", 0x22},
    {"be", 0x23}, {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27}, {"fa", 0x29},
    {"vi", 0x2A},
};

template <std::size_t N> std::uint16_t Find(const LocaleLangId (&table)[N], std::string_view code) {
    for (const LocaleLangId& entry : table)
        if (entry.code == code) return entry.langId;
    return 0;
}

// ASCII case folding: locale names are ASCII, and the user's locale must not change the result.
std::string Cased(std::string_view s, bool upper) {
    std::string out(s);
    for (char& c : out) {
        if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

} // namespace

int LanguageIndexForLangId(std::uint16_t langId, int current) {
    switch (langId) {
    case 0x0409:
    case 0x0809:
    case 0x0C09:
    case 0x1009:
    case 0x1409:
    case 0x1809:
    case 0x1C09:
    case 0x2009:
    case 0x2409:
    case 0x2809:
    case 0x2C09:
        return 0;
    case 0x0404:
    case 0x0C04:
        return 1;
    case 0x0804:
    case 0x1004:
        return 2;
    default: // Chinese (Macau) included: the table has no language for it
        return current;
    }
}

std::uint16_t LangIdFromLocaleName(std::string_view localeName) {
    // language[_territory][.codeset][@modifier]; a "-" between language and territory is taken too.
    localeName = localeName.substr(0, localeName.find_first_of(".@"));
    std::size_t separator = localeName.find_first_of("_-");
    std::string language = Cased(localeName.substr(0, separator), false);
    std::string territory = separator == std::string_view::npos
                                ? std::string()
                                : Cased(localeName.substr(separator + 1), true);
    std::uint16_t langId = 0;
    if (language == "en") langId = Find(kEnglishTerritories, territory);
    if (language == "zh") langId = Find(kChineseTerritories, territory);
    return langId ? langId : Find(kPrimaryLanguages, language);
}

std::string MessageLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return value;
    }
    return {};
}

int LocaleLanguageIndex(int current) {
    return LanguageIndexForLangId(LangIdFromLocaleName(MessageLocaleName()), current);
}

unsigned CodePageForLanguage(int languageIndex) {
    switch (languageIndex) {
    case 1:
        return 950;
    case 2:
        return 936;
    default:
        return 1252;
    }
}

const char* CodePageNameForLanguage(int languageIndex) {
    switch (CodePageForLanguage(languageIndex)) {
    case 950:
        return "CP950";
    case 936:
        return "CP936";
    default:
        return "CP1252";
    }
}
