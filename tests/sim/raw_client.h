// Loopback clients for the simulator's own tests: messages encoded here at explicit offsets,
// independently of the simulator's encoder, and sent through plain sockets.
#pragma once

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace simtest {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

inline void Put16(Bytes& b, std::size_t off, std::uint16_t v) {
    b.at(off) = v & 0xFF;
    b.at(off + 1) = v >> 8;
}
inline void Put32(Bytes& b, std::size_t off, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.at(off + i) = (v >> (8 * i)) & 0xFF;
}
inline std::uint16_t Get16(const Bytes& b, std::size_t off) {
    return b.at(off) | b.at(off + 1) << 8;
}
inline std::uint32_t Get32(const Bytes& b, std::size_t off) {
    return std::uint32_t(b.at(off)) | std::uint32_t(b.at(off + 1)) << 8 |
           std::uint32_t(b.at(off + 2)) << 16 | std::uint32_t(b.at(off + 3)) << 24;
}
inline std::uint32_t GetNet32(const Bytes& b, std::size_t off) {
    return std::uint32_t(b.at(off)) << 24 | std::uint32_t(b.at(off + 1)) << 16 |
           std::uint32_t(b.at(off + 2)) << 8 | std::uint32_t(b.at(off + 3));
}
inline std::string Text(const Bytes& b, std::size_t off, std::size_t width) {
    std::string s(reinterpret_cast<const char*>(b.data() + off), width);
    return s.substr(0, s.find('\0'));
}

// 32-byte header: signature, version 0x0100 at 8, time at 12, flags at 18, payload length at 20,
// command at 24, 1 at 26; with extended, sub-code 0 at 32 and data length at 36.
inline Bytes Message(std::size_t total, std::uint16_t command, std::uint16_t flags, bool extended) {
    Bytes b(total, 0);
    std::memcpy(b.data(), "PELQUANE", 8);
    Put16(b, 8, 0x0100);
    Put32(b, 12, static_cast<std::uint32_t>(std::time(nullptr)));
    Put16(b, 18, flags);
    Put32(b, 20, static_cast<std::uint32_t>(total - 32));
    Put16(b, 24, command);
    Put16(b, 26, 1);
    if (extended) Put32(b, 36, static_cast<std::uint32_t>(total - 40));
    return b;
}

// The 68-byte server-information request with a host name at 48 and address at 64.
inline Bytes DiscoveryRequest() {
    Bytes b = Message(68, 1, 1, true);
    std::memcpy(b.data() + 48, "testhost", 8);
    b[64] = 127, b[65] = 0, b[66] = 0, b[67] = 1;
    return b;
}
inline Bytes Ack() {
    return Message(32, 2, 0, false);
}

inline void PutText(Bytes& b, std::size_t off, const std::string& text) {
    std::memcpy(b.data() + off, text.data(), text.size());
}

// A bare 32-byte request (list queries; the aborts, which declare a payload of 8 and send none).
inline Bytes Bare(std::uint16_t command, std::int16_t argument = 0, std::uint32_t declared = 0) {
    Bytes b = Message(32, command, 1, false);
    Put32(b, 20, declared);
    Put16(b, 30, static_cast<std::uint16_t>(argument));
    return b;
}

// Header, sub-header (sub-code at 32, data length at 36) and data.
inline Bytes WithData(std::uint16_t command, std::uint32_t sub, const Bytes& data,
                      std::int16_t argument = 0) {
    Bytes b = Message(40 + data.size(), command, 1, true);
    Put32(b, 32, sub);
    Put16(b, 30, static_cast<std::uint16_t>(argument));
    std::copy(data.begin(), data.end(), b.begin() + 40);
    return b;
}

// A request's data block of size bytes with a user name at 0 and a digest at 32.
template <typename Digest>
Bytes AccountData(std::size_t size, const std::string& user, const Digest& digest) {
    Bytes d(size, 0);
    PutText(d, 0, user);
    std::memcpy(d.data() + 32, digest.data(), 16);
    return d;
}

inline sockaddr_in Addr(std::uint32_t host_order, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(host_order);
    sa.sin_port = htons(port);
    return sa;
}

class Socket {
public:
    explicit Socket(int type) : fd_(::socket(AF_INET, type | SOCK_CLOEXEC, 0)) {
        if (fd_ < 0) throw std::runtime_error("socket");
    }
    ~Socket() { ::close(fd_); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }
    bool WaitReadable(milliseconds ms) const {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, static_cast<int>(ms.count())) == 1;
    }

private:
    int fd_;
};

struct Datagram {
    Bytes bytes;
    std::uint32_t from = 0;
    std::uint16_t fromPort = 0;
};

// A UDP socket bound to local:0 with broadcasting on.
class UdpClient {
public:
    explicit UdpClient(std::uint32_t local) : socket_(SOCK_DGRAM) {
        int on = 1;
        ::setsockopt(socket_.fd(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        sockaddr_in sa = Addr(local, 0);
        if (::bind(socket_.fd(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
            throw std::runtime_error("bind");
        socklen_t len = sizeof sa;
        ::getsockname(socket_.fd(), reinterpret_cast<sockaddr*>(&sa), &len);
        port_ = ntohs(sa.sin_port);
    }
    std::uint16_t port() const { return port_; }
    bool Send(const Bytes& b, std::uint32_t to, std::uint16_t port) const {
        sockaddr_in sa = Addr(to, port);
        return ::sendto(socket_.fd(), b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&sa),
                        sizeof sa) == static_cast<ssize_t>(b.size());
    }
    std::optional<Datagram> Receive(milliseconds wait) const {
        if (!socket_.WaitReadable(wait)) return std::nullopt;
        Datagram d;
        d.bytes.resize(2048);
        sockaddr_in sa{};
        socklen_t len = sizeof sa;
        const ssize_t n = ::recvfrom(socket_.fd(), d.bytes.data(), d.bytes.size(), 0,
                                     reinterpret_cast<sockaddr*>(&sa), &len);
        if (n < 0) return std::nullopt;
        d.bytes.resize(static_cast<std::size_t>(n));
        d.from = ntohl(sa.sin_addr.s_addr);
        d.fromPort = ntohs(sa.sin_port);
        return d;
    }
    // Every datagram until none arrives for quiet.
    std::vector<Datagram> ReceiveAll(milliseconds quiet) const {
        std::vector<Datagram> out;
        while (auto d = Receive(quiet))
            out.push_back(std::move(*d));
        return out;
    }

private:
    Socket socket_;
    std::uint16_t port_ = 0;
};

// A TCP client; Connect blocks (loopback answers at once, or refuses).
class TcpClient {
public:
    TcpClient() : socket_(SOCK_STREAM) {}
    int Connect(std::uint32_t to, std::uint16_t port) {
        sockaddr_in sa = Addr(to, port);
        return ::connect(socket_.fd(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 ? 0
                                                                                         : errno;
    }
    bool Send(const Bytes& b) const {
        return ::send(socket_.fd(), b.data(), b.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(b.size());
    }
    // Reads until n bytes, end of stream, or no data for idle. reads counts the receive calls
    // that returned data; closed tells whether the peer ended the stream.
    Bytes Read(std::size_t n, milliseconds idle, int* reads = nullptr, bool* closed = nullptr) {
        Bytes out;
        if (reads) *reads = 0;
        if (closed) *closed = false;
        while (out.size() < n && socket_.WaitReadable(idle)) {
            std::uint8_t buf[1024];
            const ssize_t r = ::recv(socket_.fd(), buf, std::min(sizeof buf, n - out.size()), 0);
            if (r <= 0) {
                if (closed) *closed = r == 0;
                break;
            }
            if (reads) ++*reads;
            out.insert(out.end(), buf, buf + r);
        }
        return out;
    }
    int fd() const { return socket_.fd(); }
    // Sends request and reads a reply of exactly n bytes (fewer when the unit stops sending).
    Bytes Exchange(const Bytes& request, std::size_t n, milliseconds idle = milliseconds(2000)) {
        if (!Send(request)) return {};
        return Read(n, idle);
    }
    // True when the unit closes the connection within wait (no data arrives before).
    bool ClosedWithin(milliseconds wait) {
        bool closed = false;
        const Bytes extra = Read(1, wait, nullptr, &closed);
        return extra.empty() && closed;
    }

private:
    Socket socket_;
};

} // namespace simtest
