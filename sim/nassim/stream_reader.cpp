#include "stream_reader.h"

#include "net.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/time.h>

namespace nassim::net {

namespace {

// Room for a request header with the data of a typical session block behind it.
constexpr std::size_t kBufferSize = 64u << 10;
// The receive time-out: how often a waiting reader looks at the stop flag and its time limit.
constexpr int kSliceMs = 100;

} // namespace

StreamReader::StreamReader(int fd, const std::atomic<bool>& stopping)
    : fd_(fd), stopping_(stopping), buffer_(kBufferSize) {
    timeval slice{};
    slice.tv_usec = kSliceMs * 1000;
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof slice);
}

std::size_t StreamReader::take(std::uint8_t* p, std::size_t n) {
    const std::size_t count = std::min(n, end_ - begin_);
    if (count > 0) std::memcpy(p, buffer_.data() + begin_, count);
    begin_ += count;
    return count;
}

long StreamReader::receive(std::uint8_t* into, std::size_t room, int idle_ms) {
    int waited = 0;
    for (;;) {
        if (stopping_.load(std::memory_order_relaxed)) return -1;
        const ssize_t r = ::recv(fd_, into, room, 0);
        if (r >= 0) return static_cast<long>(r);
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
        waited += kSliceMs; // a slice passed without a byte
        if (idle_ms >= 0 && waited >= idle_ms) return -1;
    }
}

std::size_t StreamReader::read(std::uint8_t* p, std::size_t n, int idle_ms) {
    std::size_t got = take(p, n);
    while (got < n) {
        const std::size_t want = n - got;
        if (want >= buffer_.size() / 2) {
            const long r = receive(p + got, want, idle_ms);
            if (r <= 0) break;
            got += static_cast<std::size_t>(r);
            continue;
        }
        const long r = receive(buffer_.data(), buffer_.size(), idle_ms);
        if (r <= 0) break;
        begin_ = 0;
        end_ = static_cast<std::size_t>(r);
        got += take(p + got, want);
    }
    return got;
}

} // namespace nassim::net
