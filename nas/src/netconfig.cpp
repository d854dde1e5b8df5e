#include "netconfig.h"

#include <arpa/inet.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace nas {

namespace {

std::mutex configMutex;
std::shared_ptr<const NetConfig> configInForce;

uint32_t SystemCalendarSeconds() {
    return static_cast<uint32_t>(std::time(nullptr));
}

uint32_t SystemTickMs() {
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void NotifyOnStderr(int step) {
    std::fprintf(stderr, "nas: configuration read failed at step %d\n", step);
}

} // namespace

NetConfig NetConfig::Defaults() {
    NetConfig config;
    config.clock.calendarSeconds = SystemCalendarSeconds;
    config.clock.tickMs = SystemTickMs;
    config.notifier = NotifyOnStderr;
    if (const char* text = std::getenv("NAS_BROADCAST_ADDRESS")) {
        in_addr parsed{};
        if (inet_pton(AF_INET, text, &parsed) == 1)
            config.broadcastAddress = ntohl(parsed.s_addr);
        else
            std::fprintf(stderr, "nas: NAS_BROADCAST_ADDRESS \"%s\" is not an IPv4 address\n",
                         text);
    }
    return config;
}

std::shared_ptr<const NetConfig> CurrentNetConfig() {
    std::lock_guard lock(configMutex);
    if (!configInForce) configInForce = std::make_shared<const NetConfig>(NetConfig::Defaults());
    return configInForce;
}

void SetNetConfig(NetConfig config) {
    // A configuration without a clock or notifier takes the system's, so no call finds an empty
    // one.
    NetConfig defaults = NetConfig::Defaults();
    if (!config.clock.calendarSeconds)
        config.clock.calendarSeconds = defaults.clock.calendarSeconds;
    if (!config.clock.tickMs) config.clock.tickMs = defaults.clock.tickMs;
    if (!config.notifier) config.notifier = defaults.notifier;
    auto replacement = std::make_shared<const NetConfig>(std::move(config));
    std::lock_guard lock(configMutex);
    configInForce = std::move(replacement);
}

void ObserveCall(const char* call) {
    const auto config = CurrentNetConfig();
    if (config->callObserver) config->callObserver(call);
}

void ResetNetConfig() {
    auto defaults = std::make_shared<const NetConfig>(NetConfig::Defaults());
    std::lock_guard lock(configMutex);
    configInForce = std::move(defaults);
}

} // namespace nas
