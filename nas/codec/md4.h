// The MD4 message digest (RFC 1320).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace nas {

inline constexpr size_t kMd4DigestSize = 16;

struct Md4Context {
    uint32_t state[4];
    uint64_t bitCount;
    uint8_t buffer[64];
};

void Md4Init(Md4Context& context);
void Md4Update(Md4Context& context, const uint8_t* data, size_t length);
// Writes the digest and wipes the context.
void Md4Final(Md4Context& context, uint8_t digest[kMd4DigestSize]);
// One 64-byte block into the chaining state.
void Md4Transform(uint32_t state[4], const uint8_t block[64]);

// MD4 over the first 128 bytes of text (all of it when shorter), without a terminator.
void Md4String(std::string_view text, uint8_t digest[kMd4DigestSize]);

} // namespace nas
