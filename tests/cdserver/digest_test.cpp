// The password digest and the encodings against values computed by programs no one here wrote:
// the RFC 1320 and RFC 4648 test vectors, and `openssl dgst -md4` of the salted texts.
#include "base64.h"
#include "cdsim.h"
#include "tovexcdh_digest.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

std::string Hex(const std::uint8_t* d, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += digits[d[i] >> 4];
        s += digits[d[i] & 15];
    }
    return s;
}

template <class Digest> std::string Hex(const Digest& d) {
    return Hex(d.data(), d.size());
}

TEST(CdhDigest, Md4MatchesTheReferenceVectorsOnBothSides) {
    struct Case {
        std::string text;
        const char* md4;
    };
    const Case cases[] = {
        {"", "31d6cfe0d16ae931b73c59d7e0c089c0"},
        {"a", "bde52cb31de33e46245e05fbdbd6fb24"},
        {"abc", "a448017aaf21d8525fc10ae87aa6729d"},
        {"message digest", "d9130a8164549fe818874806e1c7014b"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "e33b4ddc9c38f2199c3e7b164fcc0536"},
        {"Quemby--Tallwork", "895ed1554357f6410147636002d87057"},
        // 55, 56 and 64 bytes: either side of the one-block / two-block padding boundary.
        {std::string(55, 'a'), "c889c81dd86c4d2e025778944ea02881"},
        {std::string(56, 'a'), "d5f9a9e9257077a5f08b0b92f348b0ad"},
        {std::string(64, 'a'), "52f5076fabd22680234a3fa9f9dc5732"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto* data = reinterpret_cast<const std::uint8_t*>(c.text.data());
        EXPECT_EQ(Hex(cdsim::Md4(data, c.text.size())), c.md4);
    }
}

TEST(CdhDigest, PasswordIsUpperCasedInPlaceSaltedOnBothSidesAndCut) {
    struct Case {
        const char* password;
        std::size_t width;
        const char* upper;
        const char* md4; // openssl dgst -md4 of upper + salt + upper, cut to 128 bytes
    };
    const std::string sixty(60, 'a');
    const std::string sixtyUpper(60, 'A');
    const Case cases[] = {
        {"", 16, "", "895ed1554357f6410147636002d87057"}, // the salt alone
        {"secret", 16, "SECRET", "6e6b3db49f48162ebd077e0ec27ec9c0"},
        {"abcdefghijklmno", 16, "ABCDEFGHIJKLMNO", "818f03982c657030a6621e96fb01f583"},
        {sixty.c_str(), 64, sixtyUpper.c_str(), "e321add9cd78df1063e6369c1cae7837"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password);
        char buffer[80] = {};
        std::strcpy(buffer, c.password);
        EXPECT_EQ(Hex(CdhPasswordDigest(buffer, c.width)), c.md4);
        EXPECT_STREQ(buffer, c.upper);
        EXPECT_EQ(Hex(cdsim::PasswordDigest(c.password)), c.md4);
    }
}

TEST(CdhDigest, AnUnterminatedFieldIsReadNoFurtherThanItsWidth) {
    char field[24];
    std::memcpy(field, "abcdefghijklmnoZZZZZZZZ", 24);
    EXPECT_EQ(Hex(CdhPasswordDigest(field, 15)), "818f03982c657030a6621e96fb01f583");
    EXPECT_EQ(std::string(field, 23), "ABCDEFGHIJKLMNOZZZZZZZZ");
}

TEST(CdhDigest, Base64MatchesTheReferenceVectors) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(nas::Base64Encode(reinterpret_cast<const std::uint8_t*>(plain),
                                    static_cast<std::uint16_t>(std::strlen(plain))),
                  encoded);
        EXPECT_EQ(cdsim::Base64Decode(encoded), plain);
    }
}

} // namespace
