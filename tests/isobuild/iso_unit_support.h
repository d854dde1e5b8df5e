// A simulated unit for the image builder tests, reached through the server object: the image
// a build streams arrives there as the data of a mirror session.
#pragma once

#include "iso_test_support.h"
#include "isobuild_sink_nas.h"
#include "nasserver.h"
#include "nassim.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <system_error>

namespace isotest {

// A simulated unit on port 2000 of an address of its own, and a server object aimed at it.
class UnitServer {
public:
    UnitServer() {
        nassim::UnitConfig config;
        config.tcpPort = 2000; // the program's library dials the protocol's port
        config.udpPort = 0;
        const unsigned first = static_cast<unsigned>(::getpid()) * 13u;
        for (unsigned k = 0; k < 508 && !unit; ++k) {
            const unsigned n = (first + k) % 508;
            config.address = nassim::Ipv4(127, 0, 71 + n / 254, 1 + n % 254);
            try {
                unit = std::make_unique<nassim::Unit>(config);
            } catch (const std::system_error&) {
                // Another test holds that address's port 2000.
            }
        }
        if (!unit) ADD_FAILURE() << "no free loopback address for a unit";
        if (unit) server.Info.ipAddress[0] = unit->address();
    }
    // The data bytes of the one session the unit has seen, after it ended.
    Bytes SessionData(nassim::SessionEnd expected = nassim::SessionEnd::Completed) const {
        EXPECT_TRUE(unit->waitForSessionsEnded(1, std::chrono::seconds(10)));
        const auto sessions = unit->sessions();
        EXPECT_EQ(sessions.size(), 1u);
        if (sessions.empty()) return {};
        EXPECT_EQ(nassim::SessionEndName(sessions[0].end), nassim::SessionEndName(expected));
        return sessions[0].data;
    }

    std::unique_ptr<nassim::Unit> unit;
    CNasServer server;
    NasServerImageSink sink{server};
};

} // namespace isotest
