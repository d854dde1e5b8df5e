// What the stop-and-wait benchmarks share: keeping the client on one CPU, and the minimal
// client's framing and exchange of one mirror data message (each acknowledged before the next).
#pragma once

#include <sched.h>
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace bench {

// Keeps the calling thread on the CPU it runs on. Both ends of a stop-and-wait exchange share
// this machine: when the unit's answer wakes the caller while the unit's thread is still running,
// the scheduler moves the caller to another, idle CPU, and the figures would measure those moves
// rather than the work per message.
inline void StayOnThisCpu() {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(::sched_getcpu(), &set);
    ::sched_setaffinity(0, sizeof set, &set);
}

// One mirror data message: the 40-byte extended header, then the block.
inline std::vector<std::uint8_t> FrameMirrorData(const std::uint8_t* block, std::uint32_t size) {
    constexpr std::size_t kHeader = 40;
    std::vector<std::uint8_t> m(kHeader + size, 0);
    std::memcpy(m.data(), "PELQUANE", 8);
    const std::uint16_t version = 256, command = 17, one = 1;
    const std::uint32_t payload = size + 8, sub = 15;
    std::memcpy(&m[8], &version, 2);
    std::memcpy(&m[18], &one, 2);
    std::memcpy(&m[20], &payload, 4);
    std::memcpy(&m[24], &command, 2);
    std::memcpy(&m[26], &one, 2);
    std::memcpy(&m[32], &sub, 4);
    std::memcpy(&m[36], &size, 4);
    if (size > 0) std::memcpy(&m[kHeader], block, size);
    return m;
}

// The minimal client's exchange: one send of the framed message and one blocking receive of the
// 32-byte answer.
inline bool ExchangeOnce(int fd, const std::vector<std::uint8_t>& message) {
    if (::send(fd, message.data(), message.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(message.size()))
        return false;
    std::uint8_t reply[32];
    return ::recv(fd, reply, sizeof reply, MSG_WAITALL) == sizeof reply;
}

} // namespace bench
