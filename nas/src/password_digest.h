// Passwords travel as a salted MD4 digest with the plain length beside it.
#pragma once

#include "md4.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace nas {

inline constexpr size_t kMaxPasswordLength = 80;
inline constexpr std::string_view kPasswordSalt = "Quemby--Tallwork";

// MD4 of password + salt + password, cut to 128 bytes: 0, or -1 (digest untouched) when the
// password is longer than the protocol's 80 characters.
int DigestPassword(std::string_view password, uint8_t digest[kMd4DigestSize]);

} // namespace nas
