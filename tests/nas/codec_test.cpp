// MD4, the salted password digest, Base64 and the code-page conversions, against values made by
// independent tools (RFC test vectors, openssl's MD4, the iconv program).
#include "base64.h"
#include "md4.h"
#include "nas_test_support.h"
#include "password_digest.h"
#include "text_codec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string Hex(const uint8_t* bytes, size_t size) {
    std::string text;
    char pair[3];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

std::string Md4Hex(const std::string& text) {
    uint8_t digest[nas::kMd4DigestSize];
    nas::Md4String(text, digest);
    return Hex(digest, sizeof digest);
}

struct Vector {
    std::string input;
    std::string expected;
};

TEST(Md4, MatchesRfc1320TestSuite) {
    const Vector vectors[] = {
        {"", "31d6cfe0d16ae931b73c59d7e0c089c0"},
        {"a", "bde52cb31de33e46245e05fbdbd6fb24"},
        {"abc", "a448017aaf21d8525fc10ae87aa6729d"},
        {"message digest", "d9130a8164549fe818874806e1c7014b"},
        {"abcdefghijklmnopqrstuvwxyz", "d79e1c308aa5bbcdeea8ed63df412da9"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "043f8582f241db351ce627e153e7f0e4"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "e33b4ddc9c38f2199c3e7b164fcc0536"},
    };
    for (const Vector& v : vectors)
        EXPECT_EQ(Md4Hex(v.input), v.expected) << v.input;
}

TEST(Md4, PiecewiseUpdatesEqualOneUpdateAndFinalWipesTheContext) {
    const std::string text =
        "12345678901234567890123456789012345678901234567890123456789012345678901234567890";
    nas::Md4Context context;
    nas::Md4Init(context);
    // Pieces that straddle the 64-byte block boundary.
    for (size_t at = 0; at < text.size(); at += 7) {
        size_t n = std::min<size_t>(7, text.size() - at);
        nas::Md4Update(context, reinterpret_cast<const uint8_t*>(text.data() + at), n);
    }
    uint8_t digest[nas::kMd4DigestSize];
    nas::Md4Final(context, digest);
    EXPECT_EQ(Hex(digest, sizeof digest), "e33b4ddc9c38f2199c3e7b164fcc0536");
    const auto* raw = reinterpret_cast<const uint8_t*>(&context);
    EXPECT_EQ(std::count(raw, raw + sizeof context, 0), static_cast<long>(sizeof context));
}

TEST(Md4, StringDigestTakesOnlyTheFirst128Bytes) {
    std::string text(128, 'x');
    EXPECT_EQ(Md4Hex(text), Md4Hex(text + "tail that is never hashed"));
    EXPECT_NE(Md4Hex(text.substr(0, 127)), Md4Hex(text));
}

// Expected digests made with `openssl dgst -md4` over password + salt + password (cut at 128).
TEST(PasswordDigest, MatchesIndependentMd4OfSaltedComposition) {
    const std::string p56 = "abcdefghijabcdefghijabcdefghijabcdefghijabcdefghijklmnop";
    const std::string p80 = "0123456789012345678901234567890123456789012345678901234567890123456789"
                            "0123456789";
    ASSERT_EQ(p56.size(), 56u);
    ASSERT_EQ(p80.size(), 80u);
    const Vector vectors[] = {
        {"", "895ed1554357f6410147636002d87057"},        // the salt alone
        {"secret", "e117361c319368e5dc0b9c0dd6151207"},  //
        {"Secret", "70525af7ee9617111710b3ddf4169726"},  // case is kept
        {p56, "ab102ad0c4f9f85971077e8bb00bdfa9"},       // exactly 128 bytes, hashed whole
        {p56 + "q", "d75db12046ed312ed8a8572803d34196"}, // 130 bytes cut to 128
        {p80, "fb7715c54a69eb1c7b2ad27f23d17789"},       // longest accepted password
    };
    for (const Vector& v : vectors) {
        uint8_t digest[nas::kMd4DigestSize];
        ASSERT_EQ(nas::DigestPassword(v.input, digest), 0) << v.input;
        EXPECT_EQ(Hex(digest, sizeof digest), v.expected) << v.input;
    }
}

TEST(PasswordDigest, RefusesPasswordLongerThanTheProtocolField) {
    uint8_t digest[nas::kMd4DigestSize];
    std::fill(std::begin(digest), std::end(digest), 0xAB);
    EXPECT_EQ(nas::DigestPassword(std::string(81, 'p'), digest), -1);
    EXPECT_EQ(std::count(std::begin(digest), std::end(digest), 0xAB), 16) << "digest touched";
    EXPECT_EQ(nas::DigestPassword(std::string(4000, 'p'), digest), -1);
}

TEST(Base64, MatchesRfc4648Vectors) {
    const Vector vectors[] = {{"", ""},
                              {"f", "Zg=="},
                              {"fo", "Zm8="},
                              {"foo", "Zm9v"},
                              {"foob", "Zm9vYg=="},
                              {"fooba", "Zm9vYmE="},
                              {"foobar", "Zm9vYmFy"}};
    for (const Vector& v : vectors) {
        EXPECT_EQ(nas::Base64Encode(reinterpret_cast<const uint8_t*>(v.input.data()),
                                    static_cast<uint16_t>(v.input.size())),
                  v.expected);
    }
}

TEST(Base64, EncodesEveryByteValueWithTheStandardAlphabet) {
    const uint8_t bytes[] = {0x00, 0x10, 0x83, 0x10, 0x51, 0x87, 0x20, 0x92, 0x8b, 0x30,
                             0xd3, 0x8f, 0x41, 0x14, 0x93, 0x51, 0x55, 0x97, 0x61, 0x96,
                             0x9b, 0x71, 0xd7, 0x9f, 0x82, 0x18, 0xa3, 0x92, 0x59, 0xa7,
                             0xa2, 0x9a, 0xab, 0xb2, 0xdb, 0xaf, 0xc3, 0x1c, 0xb3, 0xd3,
                             0x5d, 0xb7, 0xe3, 0x9e, 0xbb, 0xf3, 0xdf, 0xbf, 0xff};
    EXPECT_EQ(nas::Base64Encode(bytes, sizeof bytes),
              "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
              "/w==");
}

// Byte forms made with the iconv program.
struct CodePageCase {
    const char* codePage;
    std::string utf8;
    std::string ansi;
};

TEST(TextCodec, ConvertsBetweenUtf8AndEachAnsiCodePage) {
    const CodePageCase cases[] = {
        {"CP1252", "caf\xC3\xA9 \xE2\x82\xAC \xC5\x92", "caf\xE9 \x80 \x8C"},
        {"CP950", "\xE4\xB8\xAD\xE6\x96\x87\xE6\xB8\xAC", "\xA4\xA4\xA4\xE5\xB4\xFA"},
        {"CP936", "\xE4\xB8\xAD\xE6\x96\x87\xE8\xAF\x95", "\xD6\xD0\xCE\xC4\xCA\xD4"},
    };
    for (const CodePageCase& c : cases) {
        nas::NetConfig config = nas::NetConfig::Defaults();
        config.ansiCodePage = c.codePage;
        nastest::ScopedNetConfig scope(config);
        EXPECT_EQ(nas::Utf8ToAnsi(c.utf8), c.ansi) << c.codePage;
        EXPECT_EQ(nas::AnsiToUtf8(c.ansi), c.utf8) << c.codePage;
    }
}

TEST(TextCodec, UnconvertibleTextIsRefusedOrReplacedWhenLossy) {
    // A simplified character that the traditional code page lacks, and a broken UTF-8 sequence.
    const std::string shi = "\xE8\xAF\x95";
    EXPECT_EQ(nas::ConvertText("a" + shi + "b", nas::kUtf8, "CP950"), std::nullopt);
    EXPECT_EQ(nas::ConvertText("a" + shi + "b", nas::kUtf8, "CP950", true), "a?b");
    EXPECT_EQ(nas::ConvertText("x\xC3", nas::kUtf8, "CP1252"), std::nullopt);
    EXPECT_EQ(nas::ConvertText("x\xC3", nas::kUtf8, "CP1252", true), "x?");
    EXPECT_EQ(nas::ConvertText("abc", "NO-SUCH-CODE-PAGE", nas::kUtf8), std::nullopt);
}

TEST(TextCodec, FieldsAreCutAtCharacterBoundaries) {
    struct Cut {
        const char* encoding;
        std::string text;
        size_t width;
        std::string expected;
    };
    const std::string zhong = "\xE4\xB8\xAD"; // three bytes in UTF-8
    const Cut cuts[] = {
        {"UTF-8", "abcdefghijklmnopq", 16, "abcdefghijklmnop"},
        {"UTF-8", "abcdefghijklmn" + zhong, 16, "abcdefghijklmn"}, // would end inside it
        {"UTF-8", "abcdefghijklm" + zhong, 16, "abcdefghijklm" + zhong},
        {"UTF-8",
         "ab\xFF"
         "cd",
         16, "ab"},                                     // invalid input stops the text
        {"CP950", "a\xA4\xA4\xA4\xE5", 4, "a\xA4\xA4"}, // Big5 trail byte may look like a lead
        {"CP936", "\xD6\xD0\xCE\xC4", 3, "\xD6\xD0"},
        {"CP1252", "caf\xE9s", 4, "caf\xE9"},
    };
    for (const Cut& c : cuts) {
        EXPECT_EQ(nas::CutAtCharBoundary(c.text, c.encoding, c.width), c.expected)
            << c.encoding << " " << c.width;
    }

    uint8_t field[8];
    std::fill(std::begin(field), std::end(field), 0xEE);
    nas::PutFieldText(field, 5, "ab" + zhong, "UTF-8");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(field), 5), "ab" + zhong);
    EXPECT_EQ(field[5], 0xEE) << "wrote past the field";
    nas::PutFieldText(field, 4, "ab" + zhong, "UTF-8");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(field), 4), std::string("ab\0\0", 4));
    EXPECT_EQ(nas::FieldText(field, 4), "ab");
    const char full[4] = {'w', 'x', 'y', 'z'};
    EXPECT_EQ(nas::FieldText(full, 4), "wxyz"); // no terminator: bounded by the width
}

TEST(TextCodec, LongTextsConvertWholeWithoutFixedBuffers) {
    std::string utf8;
    for (int i = 0; i < 500; ++i)
        utf8 += "\xE4\xB8\xAD"; // 1500 bytes, far past any old buffer
    auto big5 = nas::ConvertText(utf8, nas::kUtf8, "CP950");
    ASSERT_TRUE(big5);
    EXPECT_EQ(big5->size(), 1000u);
    EXPECT_EQ(nas::ConvertText(*big5, "CP950", nas::kUtf8), utf8);
}

} // namespace
