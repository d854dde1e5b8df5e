#include "tovexcdh_frame.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until the deadline, 0 when it has passed.
int MsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until fd has one of events or the deadline passes: true when it has.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const int left = MsLeft(deadline);
        if (left == 0) return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, left);
        if (n < 0 && errno == EINTR) continue;
        return n > 0;
    }
}

bool SendAll(int fd, const std::uint8_t* data, std::size_t size, Clock::time_point deadline) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::send(fd, data + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(fd, POLLOUT, deadline))
            continue;
        return false;
    }
    return true;
}

} // namespace

std::uint16_t CdhGetU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t CdhGetU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

void CdhPutU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void CdhPutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void CdhEncodeHeader(std::uint8_t* out, std::uint16_t command, std::uint16_t length) {
    CdhPutU32(out + kCdhOffSignature, kCdhSignature);
    CdhPutU32(out + kCdhOffTag, kCdhProtocolTag);
    CdhPutU16(out + kCdhOffLength, length);
    CdhPutU16(out + kCdhOffReserved, 0);
    CdhPutU16(out + kCdhOffCommand, command & kCdhCommandMask);
}

bool CdhDecodeHeader(const std::uint8_t* data, std::size_t size, CdhFrameHeader& header) {
    if (size < kCdhHeaderSize) return false;
    if (CdhGetU32(data + kCdhOffSignature) != kCdhSignature ||
        CdhGetU32(data + kCdhOffTag) != kCdhProtocolTag || CdhGetU16(data + kCdhOffReserved) != 0)
        return false;
    header.length = CdhGetU16(data + kCdhOffLength);
    header.command = CdhGetU16(data + kCdhOffCommand) & kCdhCommandMask;
    return true;
}

void CdhBuildQuery(std::uint8_t* out, std::uint32_t tick, const std::uint8_t* ownAddress) {
    std::memset(out, 0, kCdhAnnounceSize);
    CdhEncodeHeader(out, kCdhDiscover, kCdhAnnounceSize);
    CdhPutU32(out + kCdhQueryOffTick, tick);
    std::memcpy(out + kCdhQueryOffAddress, ownAddress, 4);
    CdhPutU32(out + kCdhQueryOff82, 2048);
    CdhPutU32(out + kCdhQueryOff90, 1);
    CdhPutU32(out + kCdhQueryOff106, 0xFFFFFFFFu);
}

int CdhSendFrame(int fd, std::uint16_t command, const std::uint8_t* payload, std::size_t length,
                 int waitMs) {
    if (length > 0xFFFF || (length > 0 && payload == nullptr)) return -1;
    std::vector<std::uint8_t> frame(kCdhHeaderSize + length + kCdhTrailerSize);
    CdhEncodeHeader(frame.data(), command, static_cast<std::uint16_t>(length));
    if (length > 0) std::memcpy(frame.data() + kCdhHeaderSize, payload, length);
    frame[kCdhHeaderSize + length] = '\r';
    frame[kCdhHeaderSize + length + 1] = '\n';
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    if (!SendAll(fd, frame.data(), frame.size(), deadline)) return -1;
    return static_cast<int>(frame.size());
}

int CdhReadExact(int fd, std::uint8_t* buffer, std::size_t count, int waitMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::recv(fd, buffer + done, count - done, MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0) return -1; // closed before count bytes
        if (errno == EINTR) continue;
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(fd, POLLIN, deadline)) continue;
        return -1;
    }
    return static_cast<int>(count);
}

int CdhReceiveFrame(int fd, std::uint16_t* command, std::uint8_t* buffer, std::size_t bufferSize,
                    int waitMs) {
    std::uint8_t raw[kCdhHeaderSize];
    if (CdhReadExact(fd, raw, sizeof raw, waitMs) < 0) return -1;
    CdhFrameHeader header;
    if (!CdhDecodeHeader(raw, sizeof raw, header)) return -1;
    if (command != nullptr) *command = header.command;
    if (header.length > bufferSize) return -1;
    if (header.length > 0 && CdhReadExact(fd, buffer, header.length, waitMs) < 0) return -1;
    std::uint8_t trailer[kCdhTrailerSize];
    if (CdhReadExact(fd, trailer, sizeof trailer, waitMs) < 0) return -1;
    return header.length;
}
