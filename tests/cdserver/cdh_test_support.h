// Shared set-up of the CD-server client tests: the client configured for loopback with short
// waits, a socket manager whose host name resolves to 127.0.0.1, and records that point at a
// simulated server.
#pragma once

#include "cdh_net.h"
#include "cdsim.h"
#include "tcpsocket.h"
#include "tovexcdh_config.h"
#include "tovexcdh_net.h"
#include "tovexcdh_svr.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace cdhtest {

// Waits of the client in these tests: short, so that a time-out costs little.
inline constexpr int kReplyWaitMs = 300;
// A generous bound on any exchange that ends by a time-out.
inline constexpr auto kBound = std::chrono::seconds(5);

inline CdhNetConfig LoopbackConfig(std::uint16_t tcpPort, std::uint16_t udpPort) {
    CdhNetConfig config;
    config.tcpPort = tcpPort;
    config.udpPort = udpPort;
    config.broadcastAddress = cdsim::kLoopbackBroadcast;
    config.replyWaitMs = kReplyWaitMs;
    config.connectWaitMs = kReplyWaitMs;
    config.sendWaitMs = kReplyWaitMs;
    config.hostName = "cdh-test-host";
    config.resolveHost = [](const std::string&) -> std::optional<std::uint32_t> {
        return cdsim::Ipv4(127, 0, 0, 1);
    };
    return config;
}

// A misbehaviour of the simulated server for one command.
inline cdsim::CommandFault Fault(std::uint16_t command, unsigned occurrence, cdsim::FaultKind kind,
                                 std::size_t bytes = 0, std::uint16_t declaredLength = 0,
                                 cdsim::Bytes payload = {}) {
    cdsim::CommandFault f;
    f.command = command;
    f.occurrence = occurrence;
    f.kind = kind;
    f.bytes = bytes;
    f.declaredLength = declaredLength;
    f.payload = std::move(payload);
    return f;
}

// Gives every test a clean client: loopback configuration, a socket manager, no server list.
class ClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        tcpPort = cdsim::FreeTcpPort();
        udpPort = cdsim::FreeUdpPort();
        SetCdhConfig(LoopbackConfig(tcpPort, udpPort));
        TcpSocketManager = new TTcpSocket(0x0101);
    }
    void TearDown() override {
        delete CdhServerList; // frees the socket manager too
        CdhServerList = nullptr;
        delete TcpSocketManager;
        TcpSocketManager = nullptr;
        ResetCdhConfig();
    }

    // A simulated server on 127.0.0.<last> at the client's ports.
    std::unique_ptr<cdsim::Server> StartServer(cdsim::ServerConfig config, unsigned last = 2) {
        config.address = cdsim::Ipv4(127, 0, 0, last);
        config.tcpPort = tcpPort;
        config.udpPort = udpPort;
        return std::make_unique<cdsim::Server>(std::move(config));
    }

    // A record of the server at 127.0.0.<last>, as discovery would make it.
    static std::unique_ptr<TCdhSvr> RecordFor(unsigned last, std::uint16_t major = 2,
                                              std::uint16_t minor = 0) {
        auto record = std::make_unique<TCdhSvr>();
        const std::uint8_t ip[4] = {127, 0, 0, static_cast<std::uint8_t>(last)};
        std::memcpy(record->IpAddress, ip, 4);
        record->FirmwareMajor = major;
        record->FirmwareMinor = minor;
        return record;
    }

    std::uint16_t tcpPort = 0;
    std::uint16_t udpPort = 0;
};

} // namespace cdhtest
