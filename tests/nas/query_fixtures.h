// A simulated unit for the status, list and administration tests, the library pointed at it, and
// small helpers shared by those tests.
#pragma once

#include "nas_test_support.h"
#include "nassim.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace nastest {

using Bytes = std::vector<uint8_t>;

// One unit on a free TCP port, reached through the last entry of its address array.
struct QueryUnit {
    nassim::Unit unit;
    std::array<uint32_t, 3> addrs;

    explicit QueryUnit(uint32_t address) : unit(Config(address)), addrs{0, 0, address} {}

    // Waits long enough for a loaded machine; tests of a time-out shorten the one they wait on.
    nas::NetConfig netConfig() const {
        nas::NetConfig c = LoopbackConfig();
        c.tcpPort = unit.tcpPort();
        c.connectRaceMs = 2000;
        c.sessionRaceMs = 2000;
        c.readinessWaitMs = 3000;
        c.idleRounds = 1;
        c.directWaitMs = 3000;
        c.configReadWaitMs = 3000;
        c.configWriteWritableMs = 3000;
        c.configWriteReplyMs = 3000;
        return c;
    }

private:
    static nassim::UnitConfig Config(uint32_t address) {
        nassim::UnitConfig config;
        config.address = address;
        config.tcpPort = nassim::FreeTcpPort();
        return config;
    }
};

// Distinct bytes for raw record i of size bytes.
inline Bytes RawRecord(size_t i, size_t size) {
    Bytes record(size);
    for (size_t k = 0; k < size; ++k)
        record[k] = static_cast<uint8_t>(i * 37 + k * 11 + 1);
    return record;
}

inline Bytes Pattern(size_t size, unsigned seed) {
    Bytes bytes(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return bytes;
}

inline long long MsSinceStart(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

} // namespace nastest
