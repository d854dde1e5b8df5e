// The CD-server client's configuration: ports, broadcast address, time limits and the host-name
// look-up. Defaults are the protocol's values; the program keeps them, tests point the client at
// loopback (127.0.0.N servers, broadcast 127.255.255.255, free ports, short waits).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

struct CdhNetConfig {
    std::uint16_t udpPort = 1999;                 // discovery port of the servers
    std::uint16_t tcpPort = 2000;                 // request port of the servers
    std::uint32_t broadcastAddress = 0xFFFFFFFFu; // host order

    int replyWaitMs = 5000;       // longest time one read of a reply may take, from its start
    int connectWaitMs = 5000;     // longest time a connect may take
    int sendWaitMs = 5000;        // longest time a request may take to go out
    int discoveryWindowMs = 1000; // discovery collects replies this long after the first query
    int discoveryRepeatMs = 500;  // the query is sent again when this much time has passed

    // The host name whose address the discovery query carries; none = the system's host name.
    std::optional<std::string> hostName;
    // Resolves a host name to its first IPv4 address (host order); empty = the system resolver.
    std::function<std::optional<std::uint32_t>(const std::string& name)> resolveHost;
};

// The configuration in force. The client runs on the GUI thread only: set it before use.
const CdhNetConfig& CurrentCdhConfig();
void SetCdhConfig(const CdhNetConfig& config);
void ResetCdhConfig();
