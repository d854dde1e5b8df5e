// Base64 of RFC 4648 (standard alphabet, "=" padding), the simulator's own codec.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nassim::crypto {

std::string Base64Encode(const std::uint8_t* data, std::size_t size);
// None when the text is not canonical Base64 (length, alphabet, padding, non-zero pad bits).
std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text);

} // namespace nassim::crypto
