// The library's one configuration: ports, broadcast address, time limits, local interfaces, host
// name, code page, clock and notifier. Defaults are the protocol's values; a caller (the program,
// a test) replaces the whole object before making calls. Every exported call reads one snapshot.
#pragma once

#include "locale_codepage.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nas {

// One IPv4 address of this host with its subnet mask, host order.
struct LocalInterface {
    uint32_t address = 0;
    uint32_t mask = 0;
};

struct Clock {
    std::function<uint32_t()> calendarSeconds; // low 32 bits of seconds since 1970
    std::function<uint32_t()> tickMs;          // monotonic milliseconds, wraps like a u32
};

// Reports a failed step (its number) of the configuration read to the user.
using Notifier = std::function<void(int step)>;

// Told of each exported call that talks to the network, on the calling thread, as it starts (the
// name of the call). For tests: which thread makes which call.
using CallObserver = std::function<void(const char* call)>;

struct NetConfig {
    uint16_t udpPort = 1999;            // units' discovery port
    uint16_t tcpPort = 2000;            // units' request port
    uint16_t discoveryLocalPort = 2001; // local port of the discovery socket; 0 = any free one
    uint16_t setServerPortFirst = 2001; // local ports tried by the broadcast set-server request
    uint16_t setServerPortLast = 2010;
    uint32_t broadcastAddress = 0xFFFFFFFFu; // host order

    // Time limits in milliseconds, counts.
    int connectRaceMs = 5000;             // connect race of one-shot requests and plain connections
    int sessionRaceMs = 10000;            // connect race of a session
    int oneShotReplyMs = 1000;            // whole reply of a one-shot request
    int setServerReplyMs = 90000;         // reply to a set-server request sent by TCP
    int setServerBroadcastWaitMs = 60000; // each wait for a broadcast set-server reply
    int setServerForeignLimit = 50;       // foreign datagrams passed over in mode 2
    int readinessWaitMs = 20000;          // each readiness wait of the send and receive loops
    int idleRounds = 12;                  // consecutive idle waits tolerated by SendAll/RecvAll
    uint32_t stallMs = 120000;        // time ready without progress tolerated by SendAll/RecvAll
    int directWaitMs = 1000;          // each wait of the disk, volume and task queries
    int configReadWaitMs = 1000;      // each wait for the next block of a configuration read
    int configWriteWritableMs = 1000; // each wait to send the next block of a configuration write
    int configWriteReplyMs = 2000;    // final reply of a configuration write
    // Whole exported call that talks to a unit over TCP (lists, configuration transfer, one-shot
    // requests, each session call): above the longest wait the rules above allow an answering
    // unit (12 idle waits of 20 s), so that only a peer that never finishes meets it. -1: none.
    int callDeadlineMs = 300000;
    int discoveryWaitMs = 120;        // discovery: quiet time that ends collecting replies
    int discoveryCollectMs = 3000;    // discovery: longest time collecting on one local network
    int discoveryMaxDatagrams = 1024; // discovery: most datagrams taken in on one local network

    // Local networks; none = from the host name and the system's interfaces.
    std::optional<std::vector<LocalInterface>> localInterfaces;
    std::optional<std::string> hostName; // none = the system's host name
    // Code page of callers' texts and kind-0 units (iconv name): the one of the environment's
    // message locale, as the program's message language is chosen.
    std::string ansiCodePage = LocaleCodePageName();
    Clock clock;
    Notifier notifier;
    CallObserver callObserver; // none: nothing is told

    // The protocol's values with the system clock and a notifier that writes one line on stderr.
    // NAS_BROADCAST_ADDRESS (dotted IPv4) replaces the broadcast address when set and valid.
    static NetConfig Defaults();
};

// The configuration in force; safe to call from any thread.
std::shared_ptr<const NetConfig> CurrentNetConfig();
// Replaces the configuration; calls already running keep the snapshot they took.
void SetNetConfig(NetConfig config);
void ResetNetConfig();

// Tells the observer of the configuration in force, if any, that call starts on this thread.
void ObserveCall(const char* call);

} // namespace nas
