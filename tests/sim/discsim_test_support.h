// Helpers for the simulated drive's tests: run one command block, check sense data.
#pragma once

#include "discsim.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace discsim_test {

struct Result {
    discsim::Completion completion;
    std::vector<std::uint8_t> data; // the bytes transferred
};

// Runs `cdb` with a data-in buffer of `buffer` bytes (no data phase when 0). The buffer is
// exactly that long, so the sanitizer catches any write past it.
inline Result Send(discsim::Drive& drive, const std::vector<std::uint8_t>& cdb,
                   std::size_t buffer = 4096) {
    std::vector<std::uint8_t> data(buffer);
    const auto c = drive.execute(cdb.data(), cdb.size(),
                                 buffer ? discsim::Direction::In : discsim::Direction::None,
                                 buffer ? data.data() : nullptr, buffer);
    data.resize(c.transferred);
    return {c, data};
}

inline void ExpectSense(const discsim::Completion& c, std::uint8_t key, std::uint8_t asc,
                        std::uint8_t ascq) {
    EXPECT_EQ(c.status, discsim::kStatusCheckCondition);
    EXPECT_EQ(c.sense[0] & 0x7F, 0x70);
    EXPECT_EQ(c.sense[7], 10);
    EXPECT_EQ(c.senseKey(), key);
    EXPECT_EQ(c.asc(), asc);
    EXPECT_EQ(c.ascq(), ascq);
}

inline void ExpectGood(const discsim::Completion& c) {
    EXPECT_EQ(c.status, discsim::kStatusGood);
    EXPECT_EQ(c.senseKey(), 0);
}

// Command blocks as the program sends them.
inline std::vector<std::uint8_t> ReadToc(std::uint8_t format, bool msf, std::uint16_t length,
                                         std::uint8_t track = 0) {
    return {0x43,
            static_cast<std::uint8_t>(msf ? 0x02 : 0x00),
            0,
            0,
            0,
            0,
            track,
            static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(length),
            static_cast<std::uint8_t>(format << 6)};
}
inline std::vector<std::uint8_t> Read10(std::uint32_t lba, std::uint16_t count) {
    return {0x28,
            0,
            static_cast<std::uint8_t>(lba >> 24),
            static_cast<std::uint8_t>(lba >> 16),
            static_cast<std::uint8_t>(lba >> 8),
            static_cast<std::uint8_t>(lba),
            0,
            static_cast<std::uint8_t>(count >> 8),
            static_cast<std::uint8_t>(count),
            0};
}
inline std::vector<std::uint8_t> ReadCd(std::uint32_t lba, std::uint16_t count,
                                        std::uint8_t flags = 0xF8, std::uint8_t type = 0) {
    return {0xBE,
            static_cast<std::uint8_t>(type << 2),
            static_cast<std::uint8_t>(lba >> 24),
            static_cast<std::uint8_t>(lba >> 16),
            static_cast<std::uint8_t>(lba >> 8),
            static_cast<std::uint8_t>(lba),
            0,
            static_cast<std::uint8_t>(count >> 8),
            static_cast<std::uint8_t>(count),
            flags,
            0,
            0};
}
inline const std::vector<std::uint8_t> kTestUnitReady = {0, 0, 0, 0, 0, 0};

} // namespace discsim_test
