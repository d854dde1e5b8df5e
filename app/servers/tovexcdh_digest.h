// The CD-server password digest and the encodings it needs: MD4 (RFC 1320), Base64 (RFC 4648,
// "=" padding) and the salted digest of a password text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

using CdhDigest = std::array<std::uint8_t, 16>;

CdhDigest Md4(const std::uint8_t* data, std::size_t size);

std::string Base64Encode(const std::uint8_t* data, std::size_t size);

// The salt joined on both sides of a password before it is digested.
inline constexpr char kCdhPasswordSalt[] = "Quemby--Tallwork";
// The joined text is cut to this many characters.
inline constexpr std::size_t kCdhDigestTextLimit = 128;

// Upper-cases a-z of the password in place (its first `width` bytes, up to a terminator), then
// digests password + salt + password, the joined text cut to 128 characters. The password is read
// no further than `width` bytes, terminated or not.
CdhDigest CdhPasswordDigest(char* password, std::size_t width);
