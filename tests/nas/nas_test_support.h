// Shared helpers of the library's tests: a configuration scope and loopback addresses.
#pragma once

#include "netconfig.h"

#include <cstdint>

namespace nastest {

constexpr uint32_t Ipv4(unsigned a, unsigned b, unsigned c, unsigned d) {
    return (a & 0xFFu) << 24 | (b & 0xFFu) << 16 | (c & 0xFFu) << 8 | (d & 0xFFu);
}

// Sets a configuration for the life of the scope and puts the defaults back afterwards.
class ScopedNetConfig {
public:
    explicit ScopedNetConfig(nas::NetConfig config) { nas::SetNetConfig(std::move(config)); }
    ~ScopedNetConfig() { nas::ResetNetConfig(); }
    ScopedNetConfig(const ScopedNetConfig&) = delete;
    ScopedNetConfig& operator=(const ScopedNetConfig&) = delete;
};

// Defaults pointed at loopback with short limits, so that nothing waits for seconds.
inline nas::NetConfig LoopbackConfig() {
    nas::NetConfig config = nas::NetConfig::Defaults();
    config.broadcastAddress = Ipv4(127, 255, 255, 255);
    config.localInterfaces = std::vector<nas::LocalInterface>{{Ipv4(127, 0, 0, 1), 0xFFFFFF00u}};
    config.hostName = "brimlet-test";
    config.discoveryLocalPort = 0;
    config.connectRaceMs = 2000;
    config.sessionRaceMs = 2000;
    config.oneShotReplyMs = 3000;
    config.readinessWaitMs = 2000;
    // The tests write their texts in CP1252, whatever the locale of the run.
    config.ansiCodePage = "CP1252";
    return config;
}

} // namespace nastest
