// MD4 message digest (RFC 1320), the simulator's own implementation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace nassim::crypto {

std::array<std::uint8_t, 16> Md4(const std::uint8_t* data, std::size_t size);

} // namespace nassim::crypto
