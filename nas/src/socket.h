// Owner of one socket descriptor; closes it when it goes out of scope.
#pragma once

#include <cstdint>

namespace nas {

class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() { reset(); }
    Socket(Socket&& other) noexcept : fd_(other.release()) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release(); // gives up ownership
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// A new close-on-exec IPv4 socket of the given type (SOCK_NONBLOCK may be or-ed in). Its
// descriptor is never 0, because 0 means "no session" to the library's callers. Invalid on failure.
Socket MakeSocket(int type);

// Binds to address:port (host order); false on failure.
bool BindIpv4(int fd, uint32_t address, uint16_t port);
bool SetNonBlocking(int fd, bool on);

} // namespace nas
