// Buffered reading of one TCP connection of the unit. A read takes what an earlier receive left
// in the buffer first; small reads refill the buffer with one receive of whatever has arrived (a
// request's header usually brings its data along), large ones receive straight into their
// destination. Each receive blocks, so that waiting and receiving take one system call: the
// socket's receive time-out cuts the wait into slices, after each of which the reader looks at
// the unit's stop flag and its own time limit (the unit also shuts the connection's reading side
// down when it stops, which ends a receive at once).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace nassim::net {

class StreamReader {
public:
    // fd stays owned by the caller; stopping is set when the unit stops.
    StreamReader(int fd, const std::atomic<bool>& stopping);

    // Reads n bytes into p, waiting at most idle_ms (< 0: without limit) for each arrival. The
    // result is less than n when the peer closed, a wait timed out, the unit stops or the
    // connection failed.
    std::size_t read(std::uint8_t* p, std::size_t n, int idle_ms);

private:
    std::size_t take(std::uint8_t* p, std::size_t n); // from the buffer
    // One receive of at most room bytes, waiting as long as idle_ms allows; <= 0 ends.
    long receive(std::uint8_t* into, std::size_t room, int idle_ms);

    int fd_;
    const std::atomic<bool>& stopping_;
    std::vector<std::uint8_t> buffer_;
    std::size_t begin_ = 0, end_ = 0; // the unread bytes of buffer_
};

} // namespace nassim::net
