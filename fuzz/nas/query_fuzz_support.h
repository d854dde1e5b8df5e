// For the fuzz targets of the status, list and configuration replies: short waits, a silent
// notifier, and a local socket pair whose far end has sent the input and closed its side.
#pragma once

#include "netconfig.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace nasfuzz {

inline void UseShortQueryWaits() {
    static const bool done = [] {
        nas::NetConfig config = nas::NetConfig::Defaults();
        config.readinessWaitMs = 5;
        config.idleRounds = 0;
        config.stallMs = 10;
        config.directWaitMs = 5;
        config.configReadWaitMs = 5;
        config.configWriteReplyMs = 5;
        config.notifier = [](int) {};
        nas::SetNetConfig(config);
        return true;
    }();
    (void)done;
}

// The library's end of a connection on which size bytes of data arrive, then the end of the
// stream; -1 when the input is too large to queue at once. The caller closes it.
inline int StreamOf(const uint8_t* data, size_t size) {
    constexpr size_t kMaxInput = 512 * 1024;
    if (size > kMaxInput) return -1;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return -1;
    int room = 1 << 20;
    ::setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    ::setsockopt(pair[0], SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    bool written = size == 0 || ::write(pair[1], data, size) == static_cast<ssize_t>(size);
    ::close(pair[1]);
    if (!written) {
        ::close(pair[0]);
        return -1;
    }
    ::fcntl(pair[0], F_SETFL, O_NONBLOCK);
    return pair[0];
}

} // namespace nasfuzz
