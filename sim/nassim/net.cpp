#include "net.h"

#include "nassim.h"

#include <arpa/inet.h>
#include <cerrno>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace nassim {
namespace net {

void Fd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

sockaddr_in MakeAddress(std::uint32_t address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(port);
    return sa;
}

std::uint32_t AddressOf(const sockaddr_in& sa) {
    return ntohl(sa.sin_addr.s_addr);
}
std::uint16_t PortOf(const sockaddr_in& sa) {
    return ntohs(sa.sin_port);
}

void ThrowErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

namespace {

Fd MakeSocket(int type) {
    Fd fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
    if (!fd) ThrowErrno("socket");
    return fd;
}

void SetOption(const Fd& fd, int level, int name, const char* what) {
    int on = 1;
    if (::setsockopt(fd.get(), level, name, &on, sizeof on) != 0) ThrowErrno(what);
}

void Bind(const Fd& fd, std::uint32_t address, std::uint16_t port) {
    const sockaddr_in sa = MakeAddress(address, port);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0)
        ThrowErrno("bind");
}

} // namespace

Fd BindUdp(std::uint32_t address, std::uint16_t port) {
    Fd fd = MakeSocket(SOCK_DGRAM);
    SetOption(fd, SOL_SOCKET, SO_REUSEADDR, "SO_REUSEADDR");
    SetOption(fd, IPPROTO_IP, IP_PKTINFO, "IP_PKTINFO");
    Bind(fd, address, port);
    return fd;
}

Fd ListenTcp(std::uint32_t address, std::uint16_t port, int backlog) {
    Fd fd = MakeSocket(SOCK_STREAM);
    SetOption(fd, SOL_SOCKET, SO_REUSEADDR, "SO_REUSEADDR");
    Bind(fd, address, port);
    if (::listen(fd.get(), backlog) != 0) ThrowErrno("listen");
    return fd;
}

std::uint16_t FreePort(int type) {
    Fd fd = MakeSocket(type);
    Bind(fd, 0, 0); // the wildcard: the port is then free on every local address
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        ThrowErrno("getsockname");
    return PortOf(sa);
}

void FollowIncomingCpu(int fd, int& cpu) {
    int incoming = -1;
    socklen_t len = sizeof incoming;
    if (::getsockopt(fd, SOL_SOCKET, SO_INCOMING_CPU, &incoming, &len) != 0 || incoming < 0 ||
        incoming == cpu || incoming >= CPU_SETSIZE)
        return;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(incoming, &set);
    if (::sched_setaffinity(0, sizeof set, &set) == 0) cpu = incoming;
}

int WaitFor(int fd, short events, int stop_fd, int timeout_ms) {
    pollfd fds[2] = {{fd, events, 0}, {stop_fd, POLLIN, 0}};
    for (;;) {
        const int n = ::poll(fds, 2, timeout_ms);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || fds[1].revents != 0) return -1;
        if (n == 0) return 0;
        return 1;
    }
}

} // namespace net

std::uint16_t FreeTcpPort() {
    return net::FreePort(SOCK_STREAM);
}
std::uint16_t FreeUdpPort() {
    return net::FreePort(SOCK_DGRAM);
}

} // namespace nassim
