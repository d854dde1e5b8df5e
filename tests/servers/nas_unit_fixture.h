// Simulated NAS units for the server-model tests. The program's library dials a unit's request
// port 2000 on each of its addresses, so every unit here listens on port 2000 of an address of its
// own in 127.0.61.0 - 127.0.62.255; an address another test holds is passed over.
#pragma once

#include "nasserver.h"
#include "nassim.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>

namespace servertest {

inline constexpr std::uint16_t kRequestPort = 2000;

// A unit on port 2000 of a free address; fails the test when none can be had. With
// reportAddress the unit gives that address as its LAN 0 address, as a unit found by discovery.
inline std::unique_ptr<nassim::Unit> StartUnit(nassim::UnitConfig config = {},
                                               bool reportAddress = false) {
    config.tcpPort = kRequestPort;
    config.udpPort = 0;
    const unsigned start = static_cast<unsigned>(::getpid()) * 7u;
    for (unsigned k = 0; k < 508; ++k) {
        const unsigned n = (start + k) % 508;
        config.address = nassim::Ipv4(127, 0, 61 + n / 254, 1 + n % 254);
        if (reportAddress) config.lan[0].address = config.address;
        try {
            return std::make_unique<nassim::Unit>(config);
        } catch (const std::system_error&) {
            // That address's port 2000 is taken by another test: try the next one.
        }
    }
    ADD_FAILURE() << "no free loopback address for a unit on port 2000";
    return nullptr;
}

// A server object addressed at the unit's address (LAN 0), with the given capability flags.
inline void PointAt(CNasServer& server, const nassim::Unit& unit, std::uint32_t capabilities = 0) {
    server.Info.ipAddress[0] = unit.address();
    server.Info.capabilityFlags = capabilities;
}

inline void PutText(char* field, std::size_t width, const std::string& text) {
    std::memset(field, 0, width);
    std::memcpy(field, text.data(), std::min(width, text.size()));
}

// Requests of one command that reached the unit.
inline std::size_t RequestCount(const nassim::Unit& unit, std::uint16_t command) {
    return unit.requestsFor(command).size();
}

} // namespace servertest
