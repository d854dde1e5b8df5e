// The simulator's own MD4, SHA-256 and Base64 against published vectors, and the password digest
// and CD table checksum built on them.
#include "base64.h"
#include "md4.h"
#include "nassim.h"
#include "sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using nassim::Bytes;

template <std::size_t N> std::string Hex(const std::array<std::uint8_t, N>& d) {
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    for (std::uint8_t b : d) {
        s += kDigits[b >> 4];
        s += kDigits[b & 15];
    }
    return s;
}

std::string Md4Hex(const std::string& text) {
    return Hex(
        nassim::crypto::Md4(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

Bytes Of(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

TEST(Digests, Md4MatchesTheRfcVectors) {
    const std::pair<const char*, const char*> cases[] = {
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
    for (const auto& [text, digest] : cases)
        EXPECT_EQ(Md4Hex(text), digest) << '"' << text << '"';
}

TEST(Digests, PasswordDigestSaltsAndCutsAt128Bytes) {
    EXPECT_EQ(nassim::PasswordDigest(""),
              nassim::crypto::Md4(reinterpret_cast<const std::uint8_t*>("Quemby--Tallwork"), 16));
    const std::string p56(56, 'p');
    EXPECT_EQ(Hex(nassim::PasswordDigest(p56)), Md4Hex(p56 + "Quemby--Tallwork" + p56));
    // From 57 characters on, the end of the second copy is not hashed.
    const std::string p60(60, 'q');
    EXPECT_EQ(Hex(nassim::PasswordDigest(p60)),
              Md4Hex((p60 + "Quemby--Tallwork" + p60).substr(0, 128)));
}

TEST(Digests, Sha256MatchesTheStandardVectorsInAnyChunking) {
    EXPECT_EQ(nassim::Sha256Hex({}),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(nassim::Sha256Hex(Of("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(nassim::Sha256Hex(Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    const Bytes million(1000000, 'a');
    EXPECT_EQ(nassim::Sha256Hex(million),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    nassim::crypto::Sha256 pieces;
    std::size_t done = 0;
    for (std::size_t step = 1; done < million.size(); step = step * 3 % 1000 + 1) {
        const std::size_t n = std::min(step, million.size() - done);
        pieces.update(million.data() + done, n);
        done += n;
    }
    EXPECT_EQ(Hex(pieces.finish()),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Digests, Base64MatchesTheRfcVectorsAndRejectsBadText) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, text] : cases) {
        const std::string p = plain;
        EXPECT_EQ(
            nassim::crypto::Base64Encode(reinterpret_cast<const std::uint8_t*>(p.data()), p.size()),
            text);
        EXPECT_EQ(nassim::crypto::Base64Decode(text), Of(p)) << text;
    }
    for (const char* bad : {"Zg=", "Zg=a", "Z===", "Zh==", "Zm9v!A==", "=Zm9"})
        EXPECT_FALSE(nassim::crypto::Base64Decode(bad)) << bad;
}

TEST(Digests, CdTableChecksumWrapsAndCarriesTheTrackCount) {
    Bytes table(nassim::kCdTableSize, 0);
    auto put = [&](std::size_t off, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            table[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    table[1] = 12;
    put(13, 0xFFFFFFF0u);   // track 1
    put(13 + 8 * 98, 0x20); // the last of the 99 slots
    put(805, 0x01000000u);  // lead-out
    put(4, 0x7777);         // the lead-out copy at 4 is not summed
    EXPECT_EQ(nassim::CdTableChecksum(table), ((0xFFFFFFF0u + 0x20u + 0x01000000u) | 12u << 24));
    EXPECT_EQ(nassim::CdTableChecksum(Bytes(100, 1)), 0u);
}

} // namespace
