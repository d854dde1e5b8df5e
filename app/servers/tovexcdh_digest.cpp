#include "tovexcdh_digest.h"

#include <cstring>
#include <vector>

namespace {

std::uint32_t Rotl(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

std::uint32_t LoadLe32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

void Md4Block(std::uint32_t state[4], const std::uint8_t* block) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = LoadLe32(block + 4 * i);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

    auto f = [](std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & y) | (~x & z); };
    auto g = [](std::uint32_t x, std::uint32_t y, std::uint32_t z) {
        return (x & y) | (x & z) | (y & z);
    };
    auto h = [](std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; };

    static constexpr int r1[4] = {3, 7, 11, 19};
    for (int i = 0; i < 16; ++i) {
        const std::uint32_t t = Rotl(a + f(b, c, d) + x[i], r1[i % 4]);
        a = d, d = c, c = b, b = t;
    }
    static constexpr int r2[4] = {3, 5, 9, 13};
    for (int i = 0; i < 16; ++i) {
        const int k = (i % 4) * 4 + i / 4;
        const std::uint32_t t = Rotl(a + g(b, c, d) + x[k] + 0x5A827999u, r2[i % 4]);
        a = d, d = c, c = b, b = t;
    }
    static constexpr int r3[4] = {3, 9, 11, 15};
    static constexpr int order3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    for (int i = 0; i < 16; ++i) {
        const std::uint32_t t = Rotl(a + h(b, c, d) + x[order3[i]] + 0x6ED9EBA1u, r3[i % 4]);
        a = d, d = c, c = b, b = t;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

} // namespace

CdhDigest Md4(const std::uint8_t* data, std::size_t size) {
    std::uint32_t state[4] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};
    std::size_t done = 0;
    for (; size - done >= 64; done += 64)
        Md4Block(state, data + done);

    // The tail, a 0x80 byte, zeros and the bit length: one or two final blocks.
    std::uint8_t tail[128] = {};
    const std::size_t rest = size - done;
    if (rest > 0) std::memcpy(tail, data + done, rest);
    tail[rest] = 0x80;
    const std::size_t tailSize = rest < 56 ? 64 : 128;
    const std::uint64_t bits = static_cast<std::uint64_t>(size) * 8;
    for (int i = 0; i < 8; ++i)
        tail[tailSize - 8 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    for (std::size_t off = 0; off < tailSize; off += 64)
        Md4Block(state, tail + off);

    CdhDigest digest;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<std::uint8_t>(state[i] >> (8 * j));
    return digest;
}

std::string Base64Encode(const std::uint8_t* data, std::size_t size) {
    static constexpr char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    for (std::size_t i = 0; i < size; i += 3) {
        const std::uint32_t n = std::uint32_t{data[i]} << 16 |
                                (i + 1 < size ? std::uint32_t{data[i + 1]} << 8 : 0) |
                                (i + 2 < size ? std::uint32_t{data[i + 2]} : 0);
        out += alphabet[(n >> 18) & 63];
        out += alphabet[(n >> 12) & 63];
        out += i + 1 < size ? alphabet[(n >> 6) & 63] : '=';
        out += i + 2 < size ? alphabet[n & 63] : '=';
    }
    return out;
}

CdhDigest CdhPasswordDigest(char* password, std::size_t width) {
    std::size_t length = 0;
    while (length < width && password[length] != '\0') {
        if (password[length] >= 'a' && password[length] <= 'z') password[length] -= 'a' - 'A';
        ++length;
    }
    std::string joined(password, length);
    joined += kCdhPasswordSalt;
    joined.append(password, length);
    if (joined.size() > kCdhDigestTextLimit) joined.resize(kCdhDigestTextLimit);
    return Md4(reinterpret_cast<const std::uint8_t*>(joined.data()), joined.size());
}
