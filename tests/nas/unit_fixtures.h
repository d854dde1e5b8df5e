// Simulated units with every field of their server record set to a value the tests state, and the
// check of a decoded record against those values.
#pragma once

#include "nas_test_support.h"
#include "nasapi.h"
#include "nassim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

namespace nastest {

// A unit whose fields all derive from one seed, so that several units differ in every field. Its
// LAN 0 address is the one it answers from, as a unit's is.
inline nassim::UnitConfig DescribedUnit(uint32_t address, const std::string& name, uint8_t seed) {
    nassim::UnitConfig unit;
    unit.address = address;
    unit.name = name;
    unit.workgroup = "WG-" + std::to_string(seed);
    unit.comment = "unit number " + std::to_string(seed);
    unit.extraText = "extra-" + std::to_string(seed);
    for (unsigned i = 0; i < 3; ++i) {
        unit.lan[i].address = Ipv4(10, seed, i, 2);
        unit.lan[i].mask = Ipv4(255, 255, 255, 0);
        unit.lan[i].gateway = Ipv4(10, seed, i, 1);
    }
    unit.lan[0].address = address;
    for (unsigned i = 0; i < 18; ++i)
        unit.hardwareAddress[i] = static_cast<uint8_t>(seed + i);
    unit.firmwareVersion = {2, seed, 7, 1234};
    unit.firmwareBuild = "fw-build-" + std::to_string(seed);
    unit.optionWord = 1;
    unit.status = 3;
    unit.capabilities = 0x80000000u | seed;
    unit.mirrorWord = 0;
    unit.encodingKind = 1;
    unit.half130 = 0x1300 + seed;
    unit.word140 = 0x14000000u + seed;
    unit.word148 = 0x14800000u + seed;
    unit.half160 = 0x1600 + seed;
    unit.half162 = 0x1620 + seed;
    unit.word164 = 0x16400000u + seed;
    return unit;
}

inline std::string Field(const char* field, size_t width) {
    return std::string(field, strnlen(field, width));
}

// Every field of a record decoded from DescribedUnit(address, name, seed), values written out
// again; the hardware address too unless the test changed it.
inline void ExpectDescribedRecord(const NasServerInfo& r, uint32_t address, const std::string& name,
                                  uint8_t seed, bool ownHardwareAddress = true) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Field(r.name, 16), name);
    EXPECT_EQ(Field(r.workgroup, 16), "WG-" + std::to_string(seed));
    EXPECT_EQ(Field(r.comment, 32), "unit number " + std::to_string(seed));
    EXPECT_EQ(Field(r.extraText, 16), "extra-" + std::to_string(seed));
    for (unsigned i = 0; i < 3; ++i) {
        EXPECT_EQ(r.ipAddress[i], i == 0 ? address : Ipv4(10, seed, i, 2));
        EXPECT_EQ(r.subnetMask[i], Ipv4(255, 255, 255, 0));
        EXPECT_EQ(r.gateway[i], Ipv4(10, seed, i, 1));
    }
    if (ownHardwareAddress) {
        for (unsigned i = 0; i < 18; ++i)
            EXPECT_EQ(r.hardwareAddress[i], seed + i);
    }
    EXPECT_EQ(r.word134, 0x1300 + seed);
    EXPECT_EQ(r.firmwareVersion[0], 2);
    EXPECT_EQ(r.firmwareVersion[1], seed);
    EXPECT_EQ(r.firmwareVersion[2], 7);
    EXPECT_EQ(r.firmwareVersion[3], 1234);
    EXPECT_EQ(Field(r.firmwareBuild, 16), "fw-build-" + std::to_string(seed));
    EXPECT_EQ(r.value160, 0x14000000u + seed);
    EXPECT_EQ(r.optionWord, 1u);
    EXPECT_EQ(r.unitStatus, 3u);
    EXPECT_EQ(r.capabilityFlags, 0x80000000u | seed);
    EXPECT_EQ(r.value176, 0x14800000u + seed);
    EXPECT_EQ(r.word180, 0x1600 + seed);
    EXPECT_EQ(r.word182, 0x1620 + seed);
    EXPECT_EQ(r.value184, 0x16400000u + seed);
}

inline long long MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

} // namespace nastest
