#include "session.h"

#include "transport.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace nas {

Socket OpenSessionSocket(const uint32_t addrs[3]) {
    int fd = OpenSession(addrs);
    if (fd <= 0) return Socket();
    Socket socket(fd);
    // The unit answers each request before the next one goes: the tail of a request must not
    // wait for the acknowledgement of what went before it.
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    // The reply to each request is then awaited and received in one system call.
    if (!SetSessionTimeouts(fd)) return Socket();
    return socket;
}

int Exchange(int fd, uint16_t command, uint32_t subCode, const void* data, size_t length,
             uint16_t expected, void* reply, size_t replyLength, PacketHeader* header) {
    if (SendRequest(fd, command, data, length, subCode) < 0) return -1;
    int status = 0;
    if (RecvReply(fd, header, expected, reply, replyLength, &status) == 0) return 0;
    return status != 0 ? status : -1;
}

int SendBlock(int session, uint16_t command, uint32_t subCode, const void* data, int length) {
    if (!IsSessionHandle(session) || length < 0 || (!data && length > 0)) return -1;
    return Exchange(session, command, subCode, data, static_cast<size_t>(length), 0);
}

int SendAbort(int session, uint16_t command, int reason) {
    if (!IsSessionHandle(session)) return -1;
    long sent = SendRequestStatus(session, command, nullptr, 0, 0, static_cast<int16_t>(reason));
    return sent < 0 ? -1 : 0;
}

int OneRequest(const uint32_t addrs[3], uint16_t command, uint32_t subCode, const void* data,
               size_t length, PacketHeader* header) {
    if (!addrs) return -1;
    Socket socket = OpenSessionSocket(addrs);
    if (!socket.valid()) return -1;
    return Exchange(socket.get(), command, subCode, data, length, command, nullptr, 0, header);
}

} // namespace nas
