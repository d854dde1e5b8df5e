#include "msgbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iconv.h>
#include <string>
#include <vector>

namespace {

// Sets LanguageIndex for one test and puts the start value back.
class LanguageScope {
public:
    explicit LanguageScope(int index) : saved_(LanguageIndex) { LanguageIndex = index; }
    ~LanguageScope() { LanguageIndex = saved_; }

private:
    int saved_;
};

std::string TextIn(int language, int id) {
    LanguageScope scope(language);
    return GetMessageText(id);
}

void SetOrUnset(const char* name, const char* value) {
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

// Converts UTF-8 text to a code page with the system converter; false when it cannot.
bool ConvertTo(const char* codePage, const std::string& text, std::string& out) {
    iconv_t cd = iconv_open(codePage, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string in = text;
    out.assign(4 * in.size() + 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    size_t inLeft = in.size();
    size_t outLeft = out.size();
    bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return ok && inLeft == 0;
}

TEST(MsgboxLanguage, LanguageIdentifiersChooseTheTableLanguage) {
    struct Case {
        std::uint16_t langId;
        int current;
        int expected;
    } cases[] = {
        {0x0409, 2, 0},
        {0x0809, 2, 0},
        {0x0C09, 1, 0},
        {0x1009, 1, 0},
        {0x1409, 1, 0},
        {0x1809, 1, 0},
        {0x1C09, 1, 0},
        {0x2009, 1, 0},
        {0x2409, 1, 0},
        {0x2809, 1, 0},
        {0x2C09, 1, 0},
        {0x0404, 0, 1},
        {0x0C04, 0, 1},
        {0x0804, 0, 2},
        {0x1004, 0, 2},
        // No language of the table: the index stays as it is.
        {0x1404, 0, 0},
        {0x1404, 2, 2},
        {0x0411, 0, 0},
        {0x0411, 1, 1},
        {0x0004, 0, 0},
        {0x0009, 2, 2},
        {0x3009, 0, 0},
        {0x0000, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LanguageIndexForLangId(c.langId, c.current), c.expected)
            << std::hex << c.langId << " from " << c.current;
}

TEST(MsgboxLanguage, LocaleNamesGiveLanguageIdentifiers) {
    struct Case {
        const char* locale;
        std::uint16_t langId;
    } cases[] = {
        {"en_US.UTF-8", 0x0409},
        {"en_GB", 0x0809},
        {"en_AU.utf8", 0x0C09},
        {"en_CA", 0x1009},
        {"en_NZ", 0x1409},
        {"en_IE@euro", 0x1809},
        {"en_ZA", 0x1C09},
        {"en_JM", 0x2009},
        {"en_029", 0x2409},
        {"en_BZ", 0x2809},
        {"en_TT", 0x2C09},
        {"en_IN.UTF-8", 0x0009},
        {"en", 0x0009},
        {"zh_TW.UTF-8", 0x0404},
        {"zh_TW.Big5", 0x0404},
        {"zh_HK.UTF-8", 0x0C04},
        {"zh_CN.GB18030", 0x0804},
        {"zh_SG", 0x1004},
        {"zh_MO", 0x1404},
        {"zh-tw", 0x0404},
        {"zh", 0x0004},
        {"ja_JP.UTF-8", 0x0011},
        {"de_DE@euro", 0x0007},
        {"nb_NO", 0x0014},
        {"C", 0},
        {"C.UTF-8", 0},
        {"POSIX", 0},
        {"", 0},
        {"xx_YY", 0},
        {"_TW", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LangIdFromLocaleName(c.locale), c.langId) << c.locale;
}

TEST(MsgboxLanguage, SelectLanguageReadsLcAllThenLcMessagesThenLang) {
    struct Case {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        int expected;
        const char* codePage;
    } cases[] = {
        {"zh_CN.UTF-8", "zh_TW.UTF-8", "en_US.UTF-8", 2, "CP936"},
        {nullptr, "zh_TW.UTF-8", "zh_CN.UTF-8", 1, "CP950"},
        {"", "", "zh_HK.UTF-8", 1, "CP950"},
        {"", "zh_SG.UTF-8", nullptr, 2, "CP936"},
        {nullptr, nullptr, "en_GB.UTF-8", 0, "CP1252"},
        {nullptr, nullptr, "ja_JP.UTF-8", 0, "CP1252"},
        {nullptr, nullptr, "zh_MO.UTF-8", 0, "CP1252"},
        {nullptr, nullptr, nullptr, 0, "CP1252"},
    };
    for (const Case& c : cases) {
        SetOrUnset("LC_ALL", c.lcAll);
        SetOrUnset("LC_MESSAGES", c.lcMessages);
        SetOrUnset("LANG", c.lang);
        LanguageScope scope(0);
        SelectLanguage();
        EXPECT_EQ(LanguageIndex, c.expected) << MessageLocaleName();
        EXPECT_STREQ(AnsiCodePageName(), c.codePage) << MessageLocaleName();
    }
}

TEST(MsgboxTexts, FixedTextsInEveryLanguage) {
    const char* helpFiles[] = {"Quorvik.chm", "QuorvikTC.CHM", "QuorvikSC.chm"};
    const unsigned codePages[] = {1252, 950, 936};
    for (int language = 0; language < 3; ++language) {
        LanguageScope scope(language);
        EXPECT_STREQ(GetMessageText(1), "") << language;
        EXPECT_STREQ(GetMessageText(3), helpFiles[language]) << language;
        EXPECT_STREQ(GetMessageText(4), "Quorvik.abt") << language;
        EXPECT_STREQ(GetMessageText(172), kProductWord) << language;
        EXPECT_EQ(AnsiCodePage(), codePages[language]);
        // Ids outside the table give an empty text, never a neighbouring record.
        for (int id : {0, -1, kMessageCount + 1})
            EXPECT_STREQ(GetMessageText(id), "") << language << " id " << id;
    }
    for (int language : {-1, 3}) {
        LanguageScope scope(language);
        EXPECT_STREQ(GetMessageText(924), "") << language;
        EXPECT_STREQ(AnsiCodePageName(), "CP1252") << language;
    }
}

TEST(MsgboxTexts, EnglishTextsKeepQuotesBackslashesAndBlanks) {
    LanguageScope scope(0);
    EXPECT_STREQ(GetMessageText(2), "Dravelt Co., Ltd");
    EXPECT_STREQ(GetMessageText(814), "");
    EXPECT_STREQ(GetMessageText(924), "Could not write to disc!!\n\n");
    EXPECT_STREQ(GetMessageText(923), "Server Name, Workgroup/Domain Name, Server Comment already "
                                      "changed and NAS will be restarted.\n\n Do you want to "
                                      "execute ?");
    EXPECT_STREQ(GetMessageText(434), "Abort Job \" %s \\ %s initializing \" !");
    EXPECT_STREQ(GetMessageText(893),
                 "Select an _IMAGE_ folder in Tovex CDH. For example, \\\\CDH\\MIRROR\\_IMAGE_\\");
    EXPECT_STREQ(GetMessageText(373), "          \t\tBuilder\t\t\t\tContainer\n");
    EXPECT_STREQ(GetMessageText(919), " The file is too big.The file will be ignored.");
}

TEST(MsgboxTexts, ChineseTextsAreTranslated) {
    int differing[3] = {}; // ids whose text differs: 0 English/TC, 1 English/SC, 2 TC/SC
    for (int id = 1; id <= kMessageCount; ++id) {
        std::string en = TextIn(0, id), tc = TextIn(1, id), sc = TextIn(2, id);
        differing[0] += en != tc;
        differing[1] += en != sc;
        differing[2] += tc != sc;
    }
    EXPECT_GT(differing[0], kMessageCount / 2);
    EXPECT_GT(differing[1], kMessageCount / 2);
    EXPECT_GT(differing[2], 0);
    for (int language : {1, 2}) {
        std::string text = TextIn(language, 924);
        EXPECT_NE(text, TextIn(0, 924)) << language;
        EXPECT_TRUE(text.ends_with("\n\n")) << language;
        EXPECT_TRUE(std::any_of(text.begin(), text.end(), [](char c) { return c & 0x80; }))
            << language;
    }
}

// Both Chinese texts say what the English one says: an entry created inside the container, no
// disc in the drive, a disc count that follows no number; the network names are the families of
// the English texts in both; a text that follows Chinese text starts with a full-width comma.
TEST(MsgboxTexts, ChineseTextsMeanWhatTheEnglishOnesSay) {
    struct Case {
        int language;
        int id;
        const char* text;
    };
    const Case cases[] = {
        {1, 638, "容器內建立"}, {2, 638, "容器内创建"}, {1, 44, "- 無光碟 -"},
        {2, 44, "- 无光盘 -"},  {1, 189, " 光碟， "},   {2, 189, " 光盘， "},
        {1, 480, "，抹除"},     {2, 480, "，擦除"},     {1, 500, "，刪除映像檔"},
        {2, 500, "，删除映像"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextIn(c.language, c.id), c.text) << "language " << c.language << " id " << c.id;

    std::vector<int> networkIds;
    for (int id = 457; id <= 465; ++id)
        networkIds.push_back(id);
    for (int id : {614, 615, 616, 617, 626, 627, 628})
        networkIds.push_back(id);
    for (int id : networkIds)
        for (const char* family : {"Microsoft", "Netware", "Macintosh", "Windows"})
            for (int language : {1, 2})
                EXPECT_EQ(TextIn(language, id).find(family) != std::string::npos,
                          TextIn(0, id).find(family) != std::string::npos)
                    << "language " << language << " id " << id << " " << family;
}

TEST(MsgboxTexts, EveryTextFitsARecordInItsCodePage) {
    for (int language = 0; language < 3; ++language) {
        LanguageScope scope(language);
        for (int id = 1; id <= kMessageCount; ++id) {
            std::string converted;
            ASSERT_TRUE(ConvertTo(AnsiCodePageName(), GetMessageText(id), converted))
                << "language " << language << " id " << id;
            EXPECT_LE(converted.size(), 149u) << "language " << language << " id " << id;
        }
    }
}

TEST(MsgboxStrings, ReplaceFirst) {
    struct Case {
        const char* pattern;
        const char* replacement;
        const char* text;
        const char* expected;
    } cases[] = {
        {kProductWord, "Brimlet Box", "Exit Quorvik ?", "Exit Brimlet Box ?"},
        {kProductWord, "N", "Quorvik and Quorvik", "N and Quorvik"},
        {kProductWord, "", "Quorvik!", "!"},
        {kProductWord, "Brimlet", "no product word here", "no product word here"},
        {kProductWord, "Brimlet", "ends in Quorvi", "ends in Quorvi"},
        {kProductWord, "Brimlet", "", ""},
        {"\xE5\x8F\x96", "x", "\xE5\x8F\x96\xE6\xB6\x88", "x\xE6\xB6\x88"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReplaceFirst(c.pattern, c.replacement, c.text), c.expected) << c.text;
    LanguageScope scope(0);
    EXPECT_EQ(ReplaceFirst(kProductWord, "Brimlet", GetMessageText(245)), "Exit Brimlet ?");
}

TEST(MsgboxStrings, ResultsStandSideBySideAndMayBePassedBackIn) {
    std::string first = ReplaceFirst("a", "1", "abc");
    std::string second = ReplaceFirst("b", "2", "abc");
    EXPECT_EQ(first, "1bc");
    EXPECT_EQ(second, "a2c");
    EXPECT_EQ(ReplaceFirst(kProductWord, "Brimlet Box",
                           ReplaceFirst(kProductWord, "N", "Quorvik Quorvik")),
              "N Brimlet Box");
    std::string joinedFirst = JoinStrings2("x", "y");
    std::string joinedSecond = JoinStrings2("p", "q");
    EXPECT_EQ(joinedFirst, "xy");
    EXPECT_EQ(joinedSecond, "pq");
}

TEST(MsgboxStrings, JoinStrings) {
    EXPECT_EQ(JoinStrings3("a", "b", "c"), "abc");
    EXPECT_EQ(JoinStrings2("", ""), "");
    EXPECT_EQ(JoinStrings4("1", "", "3", "4"), "134");
    EXPECT_EQ(JoinStrings5("a", "b", "c", "d", "e"), "abcde");
    EXPECT_EQ(JoinStrings6("Can't ", "open ", "\"", "x", "\"", "."), "Can't open \"x\".");
    EXPECT_EQ(JoinStrings3("<", JoinStrings2("a", "b"), ">"), "<ab>");
    // Long texts are kept whole: nothing is cut at a fixed buffer size.
    std::string longText(2000, 'a');
    EXPECT_EQ(JoinStrings2(longText, "\xE4\xB8\xAD").size(), 2003u);
    EXPECT_EQ(ReplaceFirst("Q", longText, "Q\xE4\xB8\xAD").size(), 2003u);
}

} // namespace
