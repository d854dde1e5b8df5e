#include "md4.h"

#include "wire_bytes.h"

#include <algorithm>
#include <cstring>

namespace nas {

namespace {

constexpr size_t kMd4StringLimit = 128;

uint32_t RotateLeft(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}
uint32_t F(uint32_t x, uint32_t y, uint32_t z) {
    return (x & y) | (~x & z);
}
uint32_t G(uint32_t x, uint32_t y, uint32_t z) {
    return (x & y) | (x & z) | (y & z);
}
uint32_t H(uint32_t x, uint32_t y, uint32_t z) {
    return x ^ y ^ z;
}

} // namespace

void Md4Init(Md4Context& context) {
    context.state[0] = 0x67452301u;
    context.state[1] = 0xefcdab89u;
    context.state[2] = 0x98badcfeu;
    context.state[3] = 0x10325476u;
    context.bitCount = 0;
    std::memset(context.buffer, 0, sizeof context.buffer);
}

void Md4Transform(uint32_t state[4], const uint8_t block[64]) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = GetU32(block + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

    // Round 1: F, words in order, shifts 3 7 11 19.
    static constexpr int kShift1[4] = {3, 7, 11, 19};
    for (int i = 0; i < 16; ++i) {
        uint32_t t = a + F(b, c, d) + x[i];
        a = d;
        d = c;
        c = b;
        b = RotateLeft(t, kShift1[i % 4]);
    }
    // Round 2: G, words by column, constant 0x5a827999, shifts 3 5 9 13.
    static constexpr int kOrder2[16] = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
    static constexpr int kShift2[4] = {3, 5, 9, 13};
    for (int i = 0; i < 16; ++i) {
        uint32_t t = a + G(b, c, d) + x[kOrder2[i]] + 0x5a827999u;
        a = d;
        d = c;
        c = b;
        b = RotateLeft(t, kShift2[i % 4]);
    }
    // Round 3: H, words in bit-reversed order, constant 0x6ed9eba1, shifts 3 9 11 15.
    static constexpr int kOrder3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    static constexpr int kShift3[4] = {3, 9, 11, 15};
    for (int i = 0; i < 16; ++i) {
        uint32_t t = a + H(b, c, d) + x[kOrder3[i]] + 0x6ed9eba1u;
        a = d;
        d = c;
        c = b;
        b = RotateLeft(t, kShift3[i % 4]);
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

void Md4Update(Md4Context& context, const uint8_t* data, size_t length) {
    size_t used = static_cast<size_t>((context.bitCount / 8) % 64);
    context.bitCount += static_cast<uint64_t>(length) * 8;
    while (length > 0) {
        size_t take = std::min(length, 64 - used);
        std::memcpy(context.buffer + used, data, take);
        used += take;
        data += take;
        length -= take;
        if (used == 64) {
            Md4Transform(context.state, context.buffer);
            used = 0;
        }
    }
}

void Md4Final(Md4Context& context, uint8_t digest[kMd4DigestSize]) {
    uint8_t bits[8];
    for (int i = 0; i < 8; ++i)
        bits[i] = static_cast<uint8_t>(context.bitCount >> (8 * i));
    size_t used = static_cast<size_t>((context.bitCount / 8) % 64);
    size_t padding = used < 56 ? 56 - used : 120 - used;
    uint8_t pad[64] = {0x80};
    Md4Update(context, pad, padding);
    Md4Update(context, bits, sizeof bits);
    for (int i = 0; i < 4; ++i)
        PutU32(digest + 4 * i, context.state[i]);
    std::memset(&context, 0, sizeof context);
}

void Md4String(std::string_view text, uint8_t digest[kMd4DigestSize]) {
    if (text.size() > kMd4StringLimit) text = text.substr(0, kMd4StringLimit);
    Md4Context context;
    Md4Init(context);
    Md4Update(context, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    Md4Final(context, digest);
}

} // namespace nas
