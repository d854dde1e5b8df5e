// TCP transport to a unit: readiness waits, all-or-nothing send and receive loops, the connect
// race over a unit's three addresses, plain and session connections, session requests and replies,
// and the one-shot request. Time limits come from NetConfig.
#pragma once

#include "packet_header.h"
#include "socket.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace nas {

// Readiness of one socket: > 0 ready, 0 time-out, -1 error. Interrupted waits are resumed.
int WaitReadable(int fd, int timeoutMs);
int WaitWritable(int fd, int timeoutMs);
int WaitReadable(int fd); // with the configured readiness wait
int WaitWritable(int fd);

// Rules of one send or receive loop.
struct LoopLimits {
    int waitMs = 0;        // each readiness wait
    int maxIdleRounds = 0; // consecutive waits that may time out; one more ends the loop
    uint32_t stallMs = 0;  // time spent ready without progress that ends the loop once exceeded
    int totalMs = -1;      // the whole loop, -1 for no limit
    // Move before the first wait: a send usually finds room in the socket buffer, and the wait
    // would only cost a system call.
    bool moveFirst = false;
    int idleRoundsSpent = 0; // idle waits already spent before the loop began
};
// Waits for readiness: > 0 ready, 0 time-out, < 0 error.
using WaitStep = std::function<int(int timeoutMs)>;
// Moves bytes from offset on: the count moved, 0 when nothing moved although the socket was
// ready, -1 on failure (an error, or the peer closed the connection with bytes still due).
using MoveStep = std::function<long(size_t offset)>;
// The loop under every send and receive below: length once length bytes moved, else -1.
long MoveAll(size_t length, const LoopLimits& limits, const WaitStep& wait, const MoveStep& move,
             const std::function<uint32_t()>& tickMs);

// Idle rounds and stall limit as configured: length, or -1.
long SendAll(int fd, const void* data, size_t length);
long RecvAll(int fd, void* buffer, size_t length); // zeroes the buffer first
// RecvAll that begins with one blocking receive: on a session socket (blocking, with the readiness
// wait as its receive time-out, see SetSessionTimeouts) it waits and receives in one system call.
// A receive ended by that time-out counts as one of the idle waits; on a non-blocking socket the
// receive returns at once and the loop waits as RecvAll does.
long RecvSessionAll(int fd, void* buffer, size_t length);
// Makes a connected socket a session socket: blocking, with the readiness wait as its send and
// receive time-outs. False when the socket refused.
bool SetSessionTimeouts(int fd);
// The simple loops of the list queries: the first wait that times out ends them.
long SendLoop(int fd, const void* data, size_t length);
long RecvLoop(int fd, void* buffer, size_t length);
// Everything within timeoutMs in all: length, or -1.
long SendWithin(int fd, const void* data, size_t length, int timeoutMs);
long RecvWithin(int fd, void* buffer, size_t length, int timeoutMs);
// count records of recordSize bytes into out, one after the other: 0, or -1 at the first failure.
int RecvRecords(int fd, void* out, size_t recordSize, size_t count);

enum class RaceOutcome { Won, NoWinner, Failed };
struct RaceResult {
    RaceOutcome outcome = RaceOutcome::NoWinner;
    int index = -1;       // winner's entry
    uint32_t address = 0; // winner's address, host order
    Socket socket;        // winner's connected non-blocking socket
};
// Connects to every non-zero entry at once and takes the first entry, in array order, that has
// accepted when a wait returns; refused entries drop out. Failed when no socket could be made.
RaceResult ConnectRace(const uint32_t addrs[3], uint16_t port, int limitMs);

// The race with the session limit: the winner's non-blocking socket (the caller owns it), 0 when
// no entry connected, -1 when no socket could be made.
int OpenSession(const uint32_t addrs[3]);
// The race, then a new blocking connection to the winner bound to any local address: 0, or -1.
int ConnectServer(const uint32_t addrs[3], Socket& out);

// Header (flags 1, payload length + 8), the sub-header when subCode is not 0, then the data:
// length, or -1 at the first part that fails.
long SendRequest(int fd, uint16_t command, const void* data, size_t length, uint32_t subCode);
long SendRequestStatus(int fd, uint16_t command, const void* data, size_t length, uint32_t subCode,
                       int16_t argument);
// A 32-byte reply header, then length bytes of data when data is given. 0 on success; -1 with
// *status set to the reply's status when it is not 0, or when the command differs from an expected
// command other than 0, or on a transport failure.
int RecvReply(int fd, PacketHeader* header, uint16_t expectedCommand, void* data, size_t length,
              int* status);

inline constexpr size_t kMaxOneShotReply = 1024;
// A one-shot reply as the units send it: received within timeoutMs until at least `need` bytes
// have arrived, then whatever else has arrived already, never more than maxSize bytes in all. The
// payload length the header declares is not looked at (units declare lengths that differ from
// what they send). 0 with the bytes in reply, or -1 when fewer than need bytes came in time or
// the peer closed before.
// When expectedSize is given, it is asked, once need bytes are in, for the size the reply declares
// (at most maxSize); the wait goes on for the rest within timeoutMs, so that a reply that arrives
// in several segments is read whole. When the rest does not come in time, the bytes that came are
// the reply (a unit may declare more than it sends).
using ReplySizeRule = std::function<size_t(const uint8_t* reply, size_t got)>;
int RecvOneShotReply(int fd, size_t need, size_t maxSize, int timeoutMs,
                     std::vector<uint8_t>& reply, const ReplySizeRule& expectedSize = {});

// The connect race, the request, and a reply of at least need bytes (RecvOneShotReply, at most
// kMaxOneShotReply) within replyWaitMs. 0 with the reply and the connection (for an
// acknowledgement), or -1.
int OneShotExchange(const uint32_t addrs[3], const uint8_t* request, size_t size, int replyWaitMs,
                    size_t need, std::vector<uint8_t>& reply, Socket& connection,
                    const ReplySizeRule& expectedSize = {});
// OneShotExchange for replies that carry a verdict in their header: the status when the reply's
// command is the expected one, else -1.
int OneShotRequest(const uint32_t addrs[3], const uint8_t* request, size_t size,
                   uint16_t expectedCommand, int replyWaitMs);

} // namespace nas
