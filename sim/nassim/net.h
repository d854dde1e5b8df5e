// Loopback socket helpers of the simulator: an owning descriptor and the few calls it needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <utility>

namespace nassim::net {

// Owns one file descriptor; closes it on destruction.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            reset();
            fd_ = std::exchange(o.fd_, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

sockaddr_in MakeAddress(std::uint32_t address, std::uint16_t port); // host-order inputs
std::uint32_t AddressOf(const sockaddr_in& sa);                     // host order
std::uint16_t PortOf(const sockaddr_in& sa);

// Throws std::system_error naming what failed.
[[noreturn]] void ThrowErrno(const char* what);

// A UDP socket bound to address:port with SO_REUSEADDR and IP_PKTINFO, so that several
// units can share the port.
Fd BindUdp(std::uint32_t address, std::uint16_t port);
// A TCP listener on address:port with SO_REUSEADDR; backlog 0 leaves room for one
// queued connection only.
Fd ListenTcp(std::uint32_t address, std::uint16_t port, int backlog);
// The port the kernel gives a wildcard bind of this socket type.
std::uint16_t FreePort(int type);

// Keeps the calling thread on the CPU that took in the last segment of the connection fd; on
// loopback that is the CPU its peer sends from. cpu holds the CPU chosen last (-1 at first), so
// that the thread only moves when the peer has moved. Where the thread may not run there, it stays.
void FollowIncomingCpu(int fd, int& cpu);

// Waits for events on fd or for the stop descriptor to become readable; timeout_ms < 0 waits
// without limit. Result: 1 when fd is ready, 0 on time-out, -1 when stopped or on error.
int WaitFor(int fd, short events, int stop_fd, int timeout_ms);

} // namespace nassim::net
