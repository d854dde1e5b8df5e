// The simulator's own MD4 (RFC 1320), password digest and Base64 decoder.
#include "cdsim.h"

#include <cstring>

namespace cdsim {
namespace {

struct Md4State {
    std::uint32_t a = 0x67452301u, b = 0xEFCDAB89u, c = 0x98BADCFEu, d = 0x10325476u;
};

inline std::uint32_t Rol(std::uint32_t v, unsigned s) {
    return (v << s) | (v >> (32 - s));
}

void Transform(Md4State& st, const std::uint8_t* p) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = GetU32(p + 4 * i);
    std::uint32_t a = st.a, b = st.b, c = st.c, d = st.d;
#define R1(a, b, c, d, k, s) a = Rol(a + ((b & c) | (~b & d)) + x[k], s)
#define R2(a, b, c, d, k, s) a = Rol(a + ((b & c) | (b & d) | (c & d)) + x[k] + 0x5A827999u, s)
#define R3(a, b, c, d, k, s) a = Rol(a + (b ^ c ^ d) + x[k] + 0x6ED9EBA1u, s)
    for (int k = 0; k < 16; k += 4) {
        R1(a, b, c, d, k, 3);
        R1(d, a, b, c, k + 1, 7);
        R1(c, d, a, b, k + 2, 11);
        R1(b, c, d, a, k + 3, 19);
    }
    for (int k = 0; k < 4; ++k) {
        R2(a, b, c, d, k, 3);
        R2(d, a, b, c, k + 4, 5);
        R2(c, d, a, b, k + 8, 9);
        R2(b, c, d, a, k + 12, 13);
    }
    static const int order[4] = {0, 2, 1, 3};
    for (int j = 0; j < 4; ++j) {
        const int k = order[j];
        R3(a, b, c, d, k, 3);
        R3(d, a, b, c, k + 8, 9);
        R3(c, d, a, b, k + 4, 11);
        R3(b, c, d, a, k + 12, 15);
    }
#undef R1
#undef R2
#undef R3
    st.a += a;
    st.b += b;
    st.c += c;
    st.d += d;
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

} // namespace

std::array<std::uint8_t, 16> Md4(const std::uint8_t* data, std::size_t size) {
    Bytes message(data, data + size);
    message.push_back(0x80);
    while (message.size() % 64 != 56)
        message.push_back(0);
    const std::uint64_t bits = static_cast<std::uint64_t>(size) * 8;
    for (int i = 0; i < 8; ++i)
        message.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    Md4State st;
    for (std::size_t off = 0; off < message.size(); off += 64)
        Transform(st, message.data() + off);
    std::array<std::uint8_t, 16> out{};
    const std::uint32_t words[4] = {st.a, st.b, st.c, st.d};
    for (int i = 0; i < 16; ++i)
        out[i] = static_cast<std::uint8_t>(words[i / 4] >> (8 * (i % 4)));
    return out;
}

std::array<std::uint8_t, 16> PasswordDigest(const std::string& password) {
    std::string upper = password;
    for (char& ch : upper)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    std::string joined = upper + "Quemby--Tallwork" + upper;
    if (joined.size() > 128) joined.resize(128);
    return Md4(reinterpret_cast<const std::uint8_t*>(joined.data()), joined.size());
}

std::optional<std::string> Base64Decode(const std::string& text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        int v[4];
        int pad = 0;
        for (int j = 0; j < 4; ++j) {
            const char ch = text[i + j];
            if (ch == '=' && i + 4 == text.size() && j >= 2) {
                v[j] = 0;
                ++pad;
            } else {
                if (pad > 0) return std::nullopt;
                v[j] = Base64Value(ch);
                if (v[j] < 0) return std::nullopt;
            }
        }
        const std::uint32_t n =
            static_cast<std::uint32_t>(v[0] << 18 | v[1] << 12 | v[2] << 6 | v[3]);
        out += static_cast<char>(n >> 16);
        if (pad < 2) out += static_cast<char>((n >> 8) & 0xFF);
        if (pad < 1) out += static_cast<char>(n & 0xFF);
    }
    return out;
}

} // namespace cdsim
