#include "socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nas {

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

int Socket::release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

void Socket::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

Socket MakeSocket(int type) {
    int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd == 0) {
        // Standard input was closed: move the socket off descriptor 0.
        int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
        ::close(fd);
        fd = moved;
    }
    return Socket(fd);
}

bool BindIpv4(int fd, uint32_t address, uint16_t port) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(address);
    local.sin_port = htons(port);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

bool SetNonBlocking(int fd, bool on) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) return false;
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return ::fcntl(fd, F_SETFL, flags) == 0;
}

} // namespace nas
