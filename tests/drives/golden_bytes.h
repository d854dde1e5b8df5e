// A disc description written byte by byte at the offsets of the record, little-endian, for
// comparing against what the drive layer encodes. Independent of the program's encoder.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class GoldenBytes {
public:
    GoldenBytes& u8(std::size_t at, std::uint8_t v) {
        b_.at(at) = v;
        return *this;
    }
    GoldenBytes& u32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b_.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
        return *this;
    }
    GoldenBytes& u64(std::size_t at, std::uint64_t v) {
        for (int i = 0; i < 8; ++i)
            b_.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
        return *this;
    }
    GoldenBytes& text(std::size_t at, const std::string& s) {
        for (std::size_t i = 0; i < s.size(); ++i)
            b_.at(at + i) = static_cast<std::uint8_t>(s[i]);
        return *this;
    }
    // Track entry n: 12 bytes from 132.
    GoldenBytes& track(int n, std::uint8_t session, std::uint8_t number, std::uint8_t data,
                       std::uint8_t adrControl, std::uint32_t start, std::uint32_t length) {
        const std::size_t at = 132 + 12 * static_cast<std::size_t>(n);
        return u8(at, session)
            .u8(at + 1, number)
            .u8(at + 2, data)
            .u8(at + 3, adrControl)
            .u32(at + 4, start)
            .u32(at + 8, length);
    }
    const std::array<std::uint8_t, 1333>& bytes() const { return b_; }

private:
    std::array<std::uint8_t, 1333> b_{};
};
