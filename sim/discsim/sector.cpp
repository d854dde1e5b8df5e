#include "sector.h"

#include "discsim.h"

#include <array>
#include <cstring>

namespace discsim {
namespace {

constexpr std::size_t kSyncSize = 12;
constexpr std::size_t kHeaderOffset = 12;
constexpr std::size_t kSubheaderOffset = 16;
constexpr std::size_t kMode1EdcOffset = 2064;
constexpr std::size_t kForm1EdcOffset = 2072;
constexpr std::size_t kForm2EdcOffset = 2348;
constexpr std::size_t kPParityOffset = 2076;
constexpr std::size_t kQParityOffset = 2248;
static_assert(kMode1EdcOffset == 16 + kUserDataSize);
static_assert(kForm1EdcOffset == 24 + kUserDataSize);
static_assert(kForm2EdcOffset == 24 + kForm2UserDataSize);
static_assert(kForm2EdcOffset + 4 == kRawSectorSize);
static_assert(kPParityOffset + 2 * 86 == kQParityOffset);
static_assert(kQParityOffset + 2 * 52 == kRawSectorSize);

// Reflected form of x^32 + x^31 + x^16 + x^15 + x^4 + x^3 + x + 1.
constexpr std::uint32_t kEdcPolynomial = 0xD8018001u;

constexpr std::array<std::uint32_t, 256> MakeEdcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t r = i;
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 1u) ? (r >> 1) ^ kEdcPolynomial : r >> 1;
        table[i] = r;
    }
    return table;
}
constexpr auto kEdcTable = MakeEdcTable();

// GF(2^8) with the primitive polynomial x^8 + x^4 + x^3 + x^2 + 1.
struct Field {
    std::array<std::uint8_t, 512> exp{};
    std::array<int, 256> log{};
    constexpr Field() {
        unsigned x = 1;
        for (int i = 0; i < 255; ++i) {
            exp[i] = static_cast<std::uint8_t>(x);
            log[x] = i;
            x <<= 1;
            if (x & 0x100u) x ^= 0x11Du;
        }
        for (int i = 255; i < 512; ++i)
            exp[i] = exp[i - 255];
    }
    constexpr std::uint8_t mul(std::uint8_t a, std::uint8_t b) const {
        if (a == 0 || b == 0) return 0;
        return exp[log[a] + log[b]];
    }
    constexpr std::uint8_t div(std::uint8_t a, std::uint8_t b) const {
        if (a == 0) return 0;
        return exp[log[a] + 255 - log[b]];
    }
};
constexpr Field kField;

// Two parity symbols c[n-2], c[n-1] of a code word of n symbols with the checks
// sum(c[i]) = 0 and sum(alpha^(n-1-i) c[i]) = 0. `at(i)` reaches symbol i.
template <typename At> void Parity(std::size_t n, At at) {
    std::uint8_t s0 = 0, s1 = 0;
    for (std::size_t i = 0; i + 2 < n; ++i) {
        const std::uint8_t v = at(i);
        s0 ^= v;
        s1 ^= kField.mul(v, kField.exp[(n - 1 - i) % 255]);
    }
    // p1 (weight alpha) + p2 = s0, alpha p1 + p2 = s1.
    const std::uint8_t p1 = kField.div(s0 ^ s1, 0x03);
    at(n - 2) = p1;
    at(n - 1) = s0 ^ p1;
}

void WriteSyncAndHeader(std::uint32_t lba, std::uint8_t mode, std::uint8_t* out) {
    out[0] = 0x00;
    std::memset(out + 1, 0xFF, kSyncSize - 2);
    out[kSyncSize - 1] = 0x00;
    const Msf msf = LbaToMsf(lba);
    out[kHeaderOffset] = ToBcd(msf.minute);
    out[kHeaderOffset + 1] = ToBcd(msf.second);
    out[kHeaderOffset + 2] = ToBcd(msf.frame);
    out[kHeaderOffset + 3] = mode;
}

void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void WriteSubheader(const std::uint8_t* subheader, std::uint8_t* out) {
    std::memcpy(out + kSubheaderOffset, subheader, 4);
    std::memcpy(out + kSubheaderOffset + 4, subheader, 4);
}

} // namespace

Msf LbaToMsf(std::uint32_t lba) {
    const std::uint32_t frames = lba + kMsfOffset;
    Msf msf;
    msf.minute = static_cast<std::uint8_t>(frames / (60 * 75));
    msf.second = static_cast<std::uint8_t>(frames / 75 % 60);
    msf.frame = static_cast<std::uint8_t>(frames % 75);
    return msf;
}

std::uint8_t ToBcd(std::uint8_t value) {
    return static_cast<std::uint8_t>((value / 10 % 10) << 4 | value % 10);
}

std::uint32_t Edc(const std::uint8_t* data, std::size_t length) {
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < length; ++i)
        crc = (crc >> 8) ^ kEdcTable[(crc ^ data[i]) & 0xFFu];
    return crc;
}

void ComputeEcc(std::uint8_t* sector, bool zeroHeader) {
    std::uint8_t saved[4];
    std::memcpy(saved, sector + kHeaderOffset, 4);
    if (zeroHeader) std::memset(sector + kHeaderOffset, 0, 4);
    // The 2340 bytes from the header on are 1170 words; byte b of word w lies at 12 + 2w + b and
    // each byte plane is coded on its own.
    std::uint8_t* base = sector + kHeaderOffset;
    for (int b = 0; b < 2; ++b) {
        for (std::size_t column = 0; column < 43; ++column) // P: 43 columns of 24 + 2 words
            Parity(26,
                   [&](std::size_t i) -> std::uint8_t& { return base[2 * (43 * i + column) + b]; });
        for (std::size_t diagonal = 0; diagonal < 26; ++diagonal) // Q: 26 diagonals of 43 + 2
            Parity(45, [&](std::size_t i) -> std::uint8_t& {
                const std::size_t word =
                    i < 43 ? (44 * i + 43 * diagonal) % 1118 : 1118 + 26 * (i - 43) + diagonal;
                return base[2 * word + b];
            });
    }
    if (zeroHeader) std::memcpy(sector + kHeaderOffset, saved, 4);
}

void EncodeMode1Sector(std::uint32_t lba, const std::uint8_t* userData, std::uint8_t* out) {
    WriteSyncAndHeader(lba, 1, out);
    std::memcpy(out + 16, userData, kUserDataSize);
    PutLe32(out + kMode1EdcOffset, Edc(out, kMode1EdcOffset));
    std::memset(out + kMode1EdcOffset + 4, 0, 8);
    ComputeEcc(out, false);
}

void EncodeMode2Form1Sector(std::uint32_t lba, const std::uint8_t* subheader,
                            const std::uint8_t* userData, std::uint8_t* out) {
    WriteSyncAndHeader(lba, 2, out);
    WriteSubheader(subheader, out);
    out[kSubheaderOffset + 2] &= 0xDF; // submode: form 1
    out[kSubheaderOffset + 6] &= 0xDF;
    std::memcpy(out + 24, userData, kUserDataSize);
    PutLe32(out + kForm1EdcOffset, Edc(out + kSubheaderOffset, kForm1EdcOffset - kSubheaderOffset));
    ComputeEcc(out, true);
}

void EncodeMode2Form2Sector(std::uint32_t lba, const std::uint8_t* subheader,
                            const std::uint8_t* userData, std::uint8_t* out) {
    WriteSyncAndHeader(lba, 2, out);
    WriteSubheader(subheader, out);
    out[kSubheaderOffset + 2] |= 0x20; // submode: form 2
    out[kSubheaderOffset + 6] |= 0x20;
    std::memcpy(out + 24, userData, kForm2UserDataSize);
    PutLe32(out + kForm2EdcOffset, Edc(out + kSubheaderOffset, kForm2EdcOffset - kSubheaderOffset));
}

} // namespace discsim
