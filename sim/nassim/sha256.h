// SHA-256 (FIPS 180-4), the simulator's own incremental implementation: session data is hashed
// as it arrives or after the fact.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace nassim::crypto {

class Sha256 {
public:
    Sha256();
    void update(const std::uint8_t* data, std::size_t size);
    std::array<std::uint8_t, 32> finish(); // the object is spent afterwards

private:
    void block(const std::uint8_t* p);
    std::uint32_t h_[8];
    std::uint8_t buffer_[64];
    std::size_t buffered_ = 0;
    std::uint64_t total_ = 0;
};

} // namespace nassim::crypto
