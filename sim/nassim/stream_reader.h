// Buffered reading of one TCP connection of the unit. A read takes what an earlier receive left
// in the buffer first; small reads refill the buffer with one receive of whatever has arrived (a
// request's header usually brings its data along), large ones receive straight into their
// destination. Every wait for the peer also watches the unit's stop descriptor.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace nassim::net {

class StreamReader {
public:
    // fd and stop_fd stay owned by the caller; stopping is set when the unit stops.
    StreamReader(int fd, int stop_fd, const std::atomic<bool>& stopping);

    // Reads n bytes into p, waiting at most idle_ms (< 0: without limit) for each arrival. The
    // result is less than n when the peer closed, a wait timed out, the unit stops or the
    // connection failed.
    std::size_t read(std::uint8_t* p, std::size_t n, int idle_ms);

private:
    std::size_t take(std::uint8_t* p, std::size_t n); // from the buffer
    // One receive of at most room bytes, waiting first when the socket is likely empty; <= 0 ends.
    long receive(std::uint8_t* into, std::size_t room, int idle_ms);

    int fd_;
    int stopFd_;
    const std::atomic<bool>& stopping_;
    std::vector<std::uint8_t> buffer_;
    std::size_t begin_ = 0, end_ = 0; // the unread bytes of buffer_
    bool drained_ = true;             // the last receive took all the socket held
};

} // namespace nassim::net
