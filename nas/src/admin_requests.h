// Administrator password check, shut-down and account check: their request layouts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace nas {

inline constexpr size_t kPasswordRequestSize = 60;
inline constexpr size_t kUserCheckDataSize = 52;
inline constexpr size_t kMaxUserNameLength = 31;

// The 60-byte request of command 6 (argument 0) or 7 (argument = shut-down mode): extended header,
// sub-code 3, then a zero word, the password's length and its digest. None for a password longer
// than the protocol allows.
std::optional<std::array<uint8_t, kPasswordRequestSize>>
BuildPasswordRequest(uint16_t command, int16_t argument, std::string_view password);

// The account check's data: the name (zero-terminated, zero-filled) at 0, the password's digest at
// 32, four zero bytes. None for a name or password longer than its field.
std::optional<std::array<uint8_t, kUserCheckDataSize>>
BuildUserCheckData(std::string_view user, std::string_view password);

} // namespace nas
