#include "md4.h"

#include "nassim.h"

#include <string>
#include <vector>

namespace nassim {
namespace crypto {

namespace {

std::uint32_t Rotl(std::uint32_t x, int s) {
    return x << s | x >> (32 - s);
}

std::uint32_t LoadLe(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

void Block(std::uint32_t h[4], const std::uint8_t* block) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = LoadLe(block + 4 * i);
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
    auto f = [](std::uint32_t u, std::uint32_t v, std::uint32_t w) { return (u & v) | (~u & w); };
    auto g = [](std::uint32_t u, std::uint32_t v, std::uint32_t w) {
        return (u & v) | (u & w) | (v & w);
    };
    auto hh = [](std::uint32_t u, std::uint32_t v, std::uint32_t w) { return u ^ v ^ w; };
    // Round 1: words in order, shifts 3 7 11 19.
    static const int s1[4] = {3, 7, 11, 19};
    for (int i = 0; i < 16; ++i) {
        const std::uint32_t t = Rotl(a + f(b, c, d) + x[i], s1[i % 4]);
        a = d, d = c, c = b, b = t;
    }
    // Round 2: words by column, constant 0x5A827999, shifts 3 5 9 13.
    static const int s2[4] = {3, 5, 9, 13};
    for (int i = 0; i < 16; ++i) {
        const int k = (i % 4) * 4 + i / 4;
        const std::uint32_t t = Rotl(a + g(b, c, d) + x[k] + 0x5A827999u, s2[i % 4]);
        a = d, d = c, c = b, b = t;
    }
    // Round 3: bit-reversed word order, constant 0x6ED9EBA1, shifts 3 9 11 15.
    static const int s3[4] = {3, 9, 11, 15};
    static const int order3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    for (int i = 0; i < 16; ++i) {
        const std::uint32_t t = Rotl(a + hh(b, c, d) + x[order3[i]] + 0x6ED9EBA1u, s3[i % 4]);
        a = d, d = c, c = b, b = t;
    }
    h[0] += a, h[1] += b, h[2] += c, h[3] += d;
}

} // namespace

std::array<std::uint8_t, 16> Md4(const std::uint8_t* data, std::size_t size) {
    std::uint32_t h[4] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};
    std::size_t done = 0;
    for (; size - done >= 64; done += 64)
        Block(h, data + done);
    // Padding: 0x80, zeros up to 56 mod 64, then the bit count little-endian.
    std::uint8_t tail[128] = {};
    const std::size_t rest = size - done;
    for (std::size_t i = 0; i < rest; ++i)
        tail[i] = data[done + i];
    tail[rest] = 0x80;
    const std::size_t tail_size = rest < 56 ? 64 : 128;
    const std::uint64_t bits = static_cast<std::uint64_t>(size) * 8;
    for (int i = 0; i < 8; ++i)
        tail[tail_size - 8 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    for (std::size_t off = 0; off < tail_size; off += 64)
        Block(h, tail + off);
    std::array<std::uint8_t, 16> out{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            out[4 * i + j] = static_cast<std::uint8_t>(h[i] >> (8 * j));
    return out;
}

} // namespace crypto

std::array<std::uint8_t, 16> PasswordDigest(const std::string& password) {
    constexpr std::size_t kMaxComposition = 128;
    std::string composed = password + "Quemby--Tallwork" + password;
    if (composed.size() > kMaxComposition) composed.resize(kMaxComposition);
    return crypto::Md4(reinterpret_cast<const std::uint8_t*>(composed.data()), composed.size());
}

} // namespace nassim
