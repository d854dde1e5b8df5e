// The session exchanges under the mirror, image-transfer and one-request calls: a request with its
// sub-header and data, answered by a 32-byte header. Results: 0, the unit's status (sign-extended)
// when it refused, or -1.
#pragma once

#include "packet_header.h"
#include "socket.h"

#include <cstddef>
#include <cstdint>

namespace nas {

// A handle a caller may pass to a session call: 0 means none, and below 0 is never a session.
inline bool IsSessionHandle(int session) {
    return session > 0;
}

// A new session connection, ready for requests; invalid when no address connected or no socket
// could be made.
Socket OpenSessionSocket(const uint32_t addrs[3]);
// One request and its reply: the reply must carry expected (0: any command) and, when replyLength
// is not 0, replyLength data bytes. *header receives the reply header when one arrived.
int Exchange(int fd, uint16_t command, uint32_t subCode, const void* data, size_t length,
             uint16_t expected, void* reply = nullptr, size_t replyLength = 0,
             PacketHeader* header = nullptr);
// One data block on an open session, acknowledged by a reply of any command.
int SendBlock(int session, uint16_t command, uint32_t subCode, const void* data, int length);
// The abort: a bare header with the reason as argument (it declares the 8 bytes of a sub-header
// that is not sent). 0 once sent; no reply is read.
int SendAbort(int session, uint16_t command, int reason);
// Opens a session connection, makes one exchange (expected command = command) and closes it.
int OneRequest(const uint32_t addrs[3], uint16_t command, uint32_t subCode, const void* data,
               size_t length, PacketHeader* header = nullptr);

} // namespace nas
