#include "msgbox.h"
#include "textcodec.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace std::string_view_literals;

const std::string kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// Sets the message language for one scope.
class ScopedLanguage {
public:
    explicit ScopedLanguage(int index) : saved_(LanguageIndex) { LanguageIndex = index; }
    ~ScopedLanguage() { LanguageIndex = saved_; }
    ScopedLanguage(const ScopedLanguage&) = delete;
    ScopedLanguage& operator=(const ScopedLanguage&) = delete;

private:
    int saved_;
};

TEST(AppTextCodec, SequenceLengthAndValidity) {
    struct Case {
        std::string_view text;
        int length; // at offset 0
    };
    const Case cases[] = {
        {"A", 1},
        {"\xC3\xA9", 2},
        {"\xE4\xB8\xAD", 3},
        {"\xF0\x9F\x98\x80", 4},
        {"\xED\x9F\xBF", 3},     // U+D7FF, just below the surrogates
        {"\xEE\x80\x80", 3},     // U+E000, just above them
        {"\xF4\x8F\xBF\xBF", 4}, // U+10FFFF
        {"\x80", 0},             // stray continuation byte
        {"\xC0\xAF", 0},         // overlong '/'
        {"\xC1\xBF", 0},         // overlong U+007F
        {"\xE0\x80\xAF", 0},     // overlong, three bytes
        {"\xE0\x9F\xBF", 0},     // overlong U+07FF
        {"\xF0\x8F\xBF\xBF", 0}, // overlong U+FFFF
        {"\xED\xA0\x80", 0},     // U+D800
        {"\xED\xBF\xBF", 0},     // U+DFFF
        {"\xF4\x90\x80\x80", 0}, // U+110000
        {"\xF5\x80\x80\x80", 0}, // lead beyond U+10FFFF
        {"\xFF", 0},
        {"\xE4\x41\xAD", 0},     // ASCII in place of a continuation byte
        {"\xF0\x9F\x98\x41", 0}, // last continuation byte missing
        {"\xC3", kUtf8CutOff},
        {"\xE4\xB8", kUtf8CutOff},
        {"\xF0\x9F\x98", kUtf8CutOff},
        {"\xE0\x80", 0}, // invalid before the end cuts it
        {"\xED\xA0", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8SequenceLength(c.text, 0), c.length) << testing::PrintToString(c.text);
        EXPECT_EQ(IsValidUtf8(c.text), c.length == static_cast<int>(c.text.size()))
            << testing::PrintToString(c.text);
        // The same bytes after valid ones: the check walks character by character.
        const std::string after = std::string("a\xC3\xA9") + std::string(c.text);
        EXPECT_EQ(Utf8SequenceLength(after, 3), c.length) << testing::PrintToString(c.text);
        EXPECT_EQ(IsValidUtf8(after), c.length == static_cast<int>(c.text.size()))
            << testing::PrintToString(c.text);
    }
    EXPECT_TRUE(IsValidUtf8(""));
    // A character cut off in the middle of a longer text is no cut-off tail but invalid.
    EXPECT_FALSE(IsValidUtf8("\xE4\xB8z"));
    EXPECT_EQ(Utf8Length("a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"), 4u);
}

TEST(AppTextCodec, MakeValidReplacesBadBytesAndHandlesTheCutTail) {
    struct Case {
        std::string_view text;
        std::string replacement;
        CutTail tail;
        std::string expected;
    };
    const Case cases[] = {
        {"plain \xC3\xA9", "?", CutTail::Drop, "plain \xC3\xA9"},
        {"a\x80z", "?", CutTail::Drop, "a?z"},
        {"a\xC0\xAFz", "?", CutTail::Drop, "a??z"},
        {"a\xED\xA0\x80z", "", CutTail::Drop, "az"},
        {"\xE4\x41\xAD", "?", CutTail::Drop, "?A?"},
        {"ok\xE4\xB8", "?", CutTail::Drop, "ok"},
        {"ok\xE4\xB8", kReplacement, CutTail::AsBadBytes, "ok" + kReplacement + kReplacement},
        {"ok\xE4\xB8", "", CutTail::AsBadBytes, "ok"},
        {"\xFF\xE4\xB8\xAD", kReplacement, CutTail::Drop, kReplacement + "\xE4\xB8\xAD"},
    };
    for (const Case& c : cases) {
        const std::string out = MakeValidUtf8(c.text, c.replacement, c.tail);
        EXPECT_EQ(out, c.expected) << testing::PrintToString(c.text);
        EXPECT_TRUE(IsValidUtf8(out)) << testing::PrintToString(c.text);
    }
}

TEST(AppTextCodec, AnsiToUtf8FromTheMessageLanguagesCodePage) {
    struct Case {
        int language; // 0 CP1252, 1 CP950, 2 CP936
        std::string_view text;
        std::string replacement;
        CutTail tail;
        std::string expected;
    };
    const Case cases[] = {
        {0, "caf\xE9 \x80", "?", CutTail::Drop, "caf\xC3\xA9 \xE2\x82\xAC"},
        {0, "a\x81z", "?", CutTail::Drop, "a?z"}, // 0x81 is no character of the code page
        {0, "a\x81z", "", CutTail::AsBadBytes, "az"},
        {1, "\xA4\xA4x", "?", CutTail::Drop, "\xE4\xB8\xADx"},
        {1, "a\xFFz", "?", CutTail::Drop, "a?z"},
        {1, "a\xFFz", "", CutTail::Drop, "az"},
        {1, "\xA4\xA4\xA4", "?", CutTail::Drop, "\xE4\xB8\xAD"}, // lead byte cut off at the end
        {1, "\xA4\xA4\xA4", "?", CutTail::AsBadBytes, "\xE4\xB8\xAD?"},
        {1, "\xA4\xA4\xA4", "", CutTail::AsBadBytes, "\xE4\xB8\xAD"},
        {2, "\xD6\xD0x", "?", CutTail::Drop, "\xE4\xB8\xADx"},
        {2, "a\xFFz", "?", CutTail::Drop, "a?z"},
        {2, "a\xFFz", "", CutTail::AsBadBytes, "az"},
        {2, "\xD6\xD0\xD6", "?", CutTail::Drop, "\xE4\xB8\xAD"},
    };
    for (const Case& c : cases) {
        ScopedLanguage language(c.language);
        const std::optional<std::string> out = AnsiToUtf8(c.text, c.replacement, c.tail);
        ASSERT_TRUE(out.has_value()) << c.language;
        EXPECT_EQ(*out, c.expected) << c.language << " " << testing::PrintToString(c.text);
    }
    // A text longer than one conversion chunk comes through whole.
    const std::string many(1000, '\xE9');
    std::string expected;
    for (int i = 0; i < 1000; ++i)
        expected += "\xC3\xA9";
    EXPECT_EQ(AnsiToUtf8(many, "?", CutTail::Drop, "CP1252"), expected);
    EXPECT_FALSE(AnsiToUtf8("abc", "?", CutTail::Drop, "NO-SUCH-CODE-PAGE").has_value());
}

TEST(AppTextCodec, Utf8ToAnsiRefusesWhatTheCodePageCannotHold) {
    struct Case {
        int language;
        std::string_view text;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {0, "caf\xC3\xA9 \xE2\x82\xAC", std::string("caf\xE9 \x80")},
        {0, "\xE4\xB8\xAD", std::nullopt},              // no such character in CP1252
        {0, "a\xC3", std::nullopt},                     // not valid UTF-8
        {1, "\xE4\xB8\xADx", std::string("\xA4\xA4x")}, // two bytes in CP950
        {2, "\xE4\xB8\xADx", std::string("\xD6\xD0x")},
    };
    for (const Case& c : cases) {
        ScopedLanguage language(c.language);
        EXPECT_EQ(Utf8ToAnsi(c.text), c.expected)
            << c.language << " " << testing::PrintToString(c.text);
    }
    // A text longer than one conversion chunk comes through whole.
    EXPECT_EQ(Utf8ToAnsi(std::string(600, 'x'), "CP1252"), std::string(600, 'x'));
    EXPECT_FALSE(Utf8ToAnsi("abc", "NO-SUCH-CODE-PAGE").has_value());
}

TEST(AppTextCodec, CutAtCharacterBoundaryByBytesAndByCharacters) {
    struct Case {
        std::string_view text;
        std::size_t maxBytes;
        std::string_view expected;
    };
    const std::string_view mixed = "a\xE4\xB8\xAD\xF0\x9F\x98\x80z"; // 1 + 3 + 4 + 1 bytes
    const Case cases[] = {
        {mixed, 100, mixed},
        {mixed, 9, mixed},
        {mixed, 8, mixed.substr(0, 8)},
        {mixed, 7, mixed.substr(0, 4)},
        {mixed, 4, mixed.substr(0, 4)},
        {mixed, 3, "a"},
        {mixed, 1, "a"},
        {mixed, 0, ""},
        {"\xE4\xB8\xAD", 2, ""},
        {"", 0, ""},
    };
    for (const Case& c : cases) {
        const std::string_view cut = CutUtf8(c.text, c.maxBytes);
        EXPECT_EQ(cut, c.expected) << testing::PrintToString(c.text) << " " << c.maxBytes;
        EXPECT_EQ(cut.data(), c.text.data()); // a prefix of the text itself
    }
    // Cuts by characters: continuation bytes stay with the character before them.
    const Case byCharacters[] = {
        {mixed, 4, mixed},
        {mixed, 3, mixed.substr(0, 8)},
        {mixed, 1, "a"},
        {mixed, 0, ""},
        {"\x80\x80"
         "a",
         0, "\x80\x80"},
    };
    for (const Case& c : byCharacters)
        EXPECT_EQ(CutUtf8Characters(c.text, c.maxBytes), c.expected)
            << testing::PrintToString(c.text) << " " << c.maxBytes;
}

} // namespace
