// The CD-server password digest: MD4 (the access library's codec) over the salted, upper-cased
// password text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

using CdhDigest = std::array<std::uint8_t, 16>;

// The salt joined on both sides of a password before it is digested.
inline constexpr char kCdhPasswordSalt[] = "Quemby--Tallwork";
// The joined text is cut to this many characters.
inline constexpr std::size_t kCdhDigestTextLimit = 128;

// Upper-cases a-z of the password in place (its first `width` bytes, up to a terminator), then
// digests password + salt + password, the joined text cut to 128 characters. The password is read
// no further than `width` bytes, terminated or not.
CdhDigest CdhPasswordDigest(char* password, std::size_t width);
