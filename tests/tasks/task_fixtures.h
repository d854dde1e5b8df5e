// What the task tests share: a simulated unit with a server object aimed at it (the task's own
// copy), a manual clock that every worker wait moves on, and the received session's bytes.
#pragma once

#include "nasserver.h"
#include "nassim.h"
#include "task_record.h"
#include "task_wait.h"

#include "clock/clock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <system_error>

namespace tasktest {

using Bytes = std::vector<std::uint8_t>;

// A simulated unit on port 2000 (the port the library dials) of an address of its own.
class Unit {
public:
    Unit() {
        nassim::UnitConfig config;
        config.tcpPort = 2000;
        config.udpPort = 0;
        config.name = "UNIT1";
        const unsigned first = static_cast<unsigned>(::getpid()) * 17u;
        for (unsigned k = 0; k < 508 && !unit; ++k) {
            const unsigned n = (first + k) % 508;
            config.address = nassim::Ipv4(127, 0, 81 + n / 254, 1 + n % 254);
            try {
                unit = std::make_unique<nassim::Unit>(config);
            } catch (const std::system_error&) {
                // Another test holds that address's port 2000.
            }
        }
        if (!unit) ADD_FAILURE() << "no free loopback address for a unit";
    }
    // A server object of the unit, as a task holds it.
    std::shared_ptr<CNasServer> Server() const {
        auto server = std::make_shared<CNasServer>();
        if (unit) server->Info.ipAddress[0] = unit->address();
        std::snprintf(server->Info.name, sizeof server->Info.name, "UNIT1");
        return server;
    }
    // The one session the unit has seen, once it ended.
    nassim::Session OnlySession() const {
        EXPECT_TRUE(unit->waitForSessionsEnded(1, std::chrono::seconds(20)));
        const auto sessions = unit->sessions();
        EXPECT_EQ(sessions.size(), 1u);
        return sessions.empty() ? nassim::Session{} : sessions[0];
    }

    std::unique_ptr<nassim::Unit> unit;
};

// Every worker wait moves the manual clock on instead of waiting; each wait is also offered to
// a hook (a test's way to act at a known point of the worker).
class ManualWaits {
public:
    ManualWaits() : clock_(1000, 1700000000), scope_(clock_) {
        SetTaskSleeper([this](TaskRecord& task, std::uint32_t ms) {
            clock_.Advance(std::chrono::milliseconds(ms));
            waits_.fetch_add(1);
            if (hook) hook(task, ms);
        });
    }
    ~ManualWaits() { SetTaskSleeper({}); }
    platform::ManualClock& clock() { return clock_; }
    int waits() const { return waits_.load(); }
    std::function<void(TaskRecord&, std::uint32_t)> hook;

private:
    platform::ManualClock clock_;
    platform::ScopedClock scope_;
    std::atomic<int> waits_{0};
};

inline void SetText(char* field, std::size_t width, const std::string& text) {
    std::snprintf(field, width, "%s", text.c_str());
}

} // namespace tasktest
