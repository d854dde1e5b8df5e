// The simulated CD server: one service thread for the UDP sockets and the TCP listener, one
// thread per TCP connection.
//
// Discovery on loopback: a datagram sent to 127.255.255.255 reaches only sockets bound to the
// wildcard address on the destination port. So every server binds a wildcard socket on the shared
// UDP port with SO_REUSEADDR (each receives its own copy of a broadcast) and reads the destination
// of each datagram with IP_PKTINFO, taking only broadcasts. A second socket bound to the server's
// own address on the same port sends the replies, so that they leave from that address.
#include "cdsim.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace cdsim {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kRequestIdleMs = 2000; // longest gap inside a request
constexpr std::size_t kDatagramBuffer = 2048;
constexpr int kPortAttempts = 8;

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& o) noexcept : fd_(o.release()) {}
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

[[noreturn]] void ThrowErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

sockaddr_in MakeAddress(std::uint32_t address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(port);
    return sa;
}

Fd MakeSocket(int type) {
    Fd fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
    if (!fd) ThrowErrno("socket");
    const int on = 1;
    if (::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        ThrowErrno("SO_REUSEADDR");
    return fd;
}

void Bind(const Fd& fd, std::uint32_t address, std::uint16_t port) {
    const sockaddr_in sa = MakeAddress(address, port);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0)
        ThrowErrno("bind");
}

std::uint16_t FreePort(int type) {
    Fd fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
    if (!fd) ThrowErrno("socket");
    Bind(fd, 0, 0);
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        ThrowErrno("getsockname");
    return ntohs(sa.sin_port);
}

bool IsHostAddress(std::uint32_t a) {
    return (a >> 24) == 127 && (a & 0xFFFFFFu) != 0 && (a & 0xFFFFFFu) != 0xFFFFFFu;
}

bool IsBroadcast(std::uint32_t a) {
    return a == kLoopbackBroadcast || a == 0xFFFFFFFFu;
}

// Waits for events on fd or a byte on stop: 1 ready, 0 time-out, -1 stopped or failed.
int WaitFor(int fd, short events, int stop, int timeoutMs) {
    pollfd fds[2] = {{fd, events, 0}, {stop, POLLIN, 0}};
    for (;;) {
        const int n = ::poll(fds, 2, timeoutMs);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || fds[1].revents != 0) return -1;
        return n == 0 ? 0 : 1;
    }
}

void PutText(Bytes& b, std::size_t at, std::size_t width, const std::string& text) {
    std::memcpy(b.data() + at, text.data(), std::min(width, text.size()));
}

void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutAddress(Bytes& b, std::size_t at, std::uint32_t address) {
    b[at] = static_cast<std::uint8_t>(address >> 24);
    b[at + 1] = static_cast<std::uint8_t>(address >> 16);
    b[at + 2] = static_cast<std::uint8_t>(address >> 8);
    b[at + 3] = static_cast<std::uint8_t>(address);
}

Bytes Status(std::uint32_t code, std::size_t size = 4) {
    Bytes b(size, 0);
    PutU32(b, 0, code);
    return b;
}

} // namespace

std::string AddressText(std::uint32_t a) {
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." +
           std::to_string((a >> 8) & 0xFF) + "." + std::to_string(a & 0xFF);
}

std::uint16_t FreeTcpPort() {
    return FreePort(SOCK_STREAM);
}

std::uint16_t FreeUdpPort() {
    return FreePort(SOCK_DGRAM);
}

struct Server::Impl {
    explicit Impl(ServerConfig c);
    ~Impl();
    void Run();
    void ReceiveDatagram();
    void SendDueReplies();
    void Accept();
    void Serve(Fd conn, std::shared_ptr<std::atomic<bool>> done);
    bool ReadRequest(int fd, Request& request);
    std::vector<Bytes> Answer(const Request& request);
    std::optional<CommandFault> MatchFault(std::uint16_t command);
    Bytes Announce() const;
    void Linger(int fd);

    mutable std::mutex mutex;
    ServerConfig config;
    std::vector<CommandFault> faults;
    std::vector<unsigned> faultSeen;
    std::vector<Datagram> datagrams;
    std::vector<Request> requests;
    std::size_t replies = 0;
    unsigned restarts = 0;
    unsigned shutdowns = 0;

    Fd udpAny, udpOwn, listener, stopRead, stopWrite;
    struct Pending {
        SteadyClock::time_point due;
        sockaddr_in to;
    };
    std::vector<Pending> pending; // service thread only
    struct Connection {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Connection> connections; // service thread only
    std::thread service;
};

Server::Impl::Impl(ServerConfig c) : config(std::move(c)) {
    if (!IsHostAddress(config.address))
        throw std::invalid_argument("server address " + AddressText(config.address) +
                                    " is not a host address in 127.0.0.0/8");
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) ThrowErrno("pipe2");
    stopRead.reset(fds[0]);
    stopWrite.reset(fds[1]);

    for (int attempt = 1;; ++attempt) {
        const std::uint16_t port = config.udpPort != 0 ? config.udpPort : FreeUdpPort();
        try {
            udpAny = MakeSocket(SOCK_DGRAM);
            const int on = 1;
            if (::setsockopt(udpAny.get(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0)
                ThrowErrno("IP_PKTINFO");
            Bind(udpAny, 0, port);
            udpOwn = MakeSocket(SOCK_DGRAM);
            Bind(udpOwn, config.address, port);
            config.udpPort = port;
            break;
        } catch (const std::system_error&) {
            if (config.udpPort != 0 || attempt == kPortAttempts) throw;
        }
    }
    for (int attempt = 1;; ++attempt) {
        const std::uint16_t port = config.tcpPort != 0 ? config.tcpPort : FreeTcpPort();
        try {
            Fd fd = MakeSocket(SOCK_STREAM);
            Bind(fd, config.address, port);
            if (::listen(fd.get(), 16) != 0) ThrowErrno("listen");
            config.tcpPort = port;
            // A refusing server lets the port go again: connections find nobody there.
            if (config.listens) listener = std::move(fd);
            break;
        } catch (const std::system_error&) {
            if (config.tcpPort != 0 || attempt == kPortAttempts) throw;
        }
    }
    service = std::thread(&Impl::Run, this);
}

Server::Impl::~Impl() {
    const char byte = 1;
    (void)!::write(stopWrite.get(), &byte, 1);
    if (service.joinable()) service.join();
    for (Connection& c : connections)
        c.thread.join();
}

void Server::Impl::Run() {
    for (;;) {
        int timeout = -1;
        if (!pending.empty()) {
            const auto next =
                std::min_element(pending.begin(), pending.end(),
                                 [](const Pending& a, const Pending& b) { return a.due < b.due; })
                    ->due;
            const auto ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(next - SteadyClock::now())
                    .count();
            timeout = static_cast<int>(std::max<long long>(0, ms));
        }
        pollfd fds[4] = {{stopRead.get(), POLLIN, 0},
                         {udpAny.get(), POLLIN, 0},
                         {udpOwn.get(), POLLIN, 0},
                         {listener.get(), POLLIN, 0}};
        const nfds_t count = listener ? 4 : 3;
        const int n = ::poll(fds, count, timeout);
        if (n < 0 && errno != EINTR) return;
        if (n > 0 && fds[0].revents != 0) return;
        if (n > 0 && fds[1].revents != 0) ReceiveDatagram();
        if (n > 0 && fds[2].revents != 0) {
            // Unicasts to the server's own address are not part of the protocol: drop them.
            std::uint8_t sink[kDatagramBuffer];
            (void)::recv(udpOwn.get(), sink, sizeof sink, MSG_DONTWAIT);
        }
        if (n > 0 && count == 4 && fds[3].revents != 0) Accept();
        SendDueReplies();
        connections.erase(std::remove_if(connections.begin(), connections.end(),
                                         [](Connection& c) {
                                             if (!c.done->load()) return false;
                                             c.thread.join();
                                             return true;
                                         }),
                          connections.end());
    }
}

void Server::Impl::ReceiveDatagram() {
    Bytes buf(kDatagramBuffer);
    sockaddr_in peer{};
    iovec iov{buf.data(), buf.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr msg{};
    msg.msg_name = &peer;
    msg.msg_namelen = sizeof peer;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(udpAny.get(), &msg, MSG_DONTWAIT);
    if (n < 0) return;
    std::uint32_t destination = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            destination = ntohl(info.ipi_addr.s_addr);
        }
    }
    if (!IsBroadcast(destination)) return;
    buf.resize(static_cast<std::size_t>(n));

    Datagram d;
    d.from = ntohl(peer.sin_addr.s_addr);
    d.fromPort = ntohs(peer.sin_port);
    d.to = destination;
    d.bytes = buf;
    d.when = SteadyClock::now();
    std::lock_guard lock(mutex);
    datagrams.push_back(d);
    const auto header = DecodeHeader(buf.data(), buf.size());
    if (!config.answersDiscovery || !header || !header->valid() || header->command != kQuery ||
        buf.size() != kAnnounceSize || (d.from >> 24) != 127)
        return;
    pending.push_back({d.when + config.answerDelay, MakeAddress(d.from, d.fromPort)});
}

void Server::Impl::SendDueReplies() {
    const auto now = SteadyClock::now();
    for (auto it = pending.begin(); it != pending.end();) {
        if (it->due > now) {
            ++it;
            continue;
        }
        Bytes reply;
        {
            std::lock_guard lock(mutex);
            reply = Announce();
        }
        if (::sendto(udpOwn.get(), reply.data(), reply.size(), MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&it->to),
                     sizeof it->to) == static_cast<ssize_t>(reply.size())) {
            std::lock_guard lock(mutex);
            ++replies;
        }
        it = pending.erase(it);
    }
}

Bytes Server::Impl::Announce() const {
    const ServerConfig& c = config;
    Bytes b = EncodeFrame(c.announceCommand, Bytes(kAnnounceSize - kHeaderSize, 0), false);
    b[8] = static_cast<std::uint8_t>(kAnnounceSize & 0xFF);
    b[9] = static_cast<std::uint8_t>(kAnnounceSize >> 8);
    if (c.announceBadReserved) b[10] = 1;
    std::memcpy(b.data() + 18, c.mac.data(), c.mac.size());
    PutAddress(b, 34, c.announcedAddress != 0 ? c.announcedAddress : c.address);
    PutAddress(b, 50, c.mask);
    PutAddress(b, 66, c.gateway);
    PutU32(b, 82, c.capabilities);
    PutU32(b, 90, c.valueA);
    PutU32(b, 106, c.valueB);
    PutText(b, 110, 64, c.text);
    b[174] = static_cast<std::uint8_t>(c.firmwareMajor);
    b[175] = static_cast<std::uint8_t>(c.firmwareMajor >> 8);
    b[176] = static_cast<std::uint8_t>(c.firmwareMinor);
    b[177] = static_cast<std::uint8_t>(c.firmwareMinor >> 8);
    PutText(b, 178, 16, c.firmwareSuffix);
    PutText(b, 194, 18, c.name);
    PutText(b, 212, 18, c.secondName);
    PutText(b, 262, 44, c.description);
    PutU32(b, 340, c.furtherFlags);
    b.resize(std::min(b.size(), c.announceBytes));
    return b;
}

void Server::Impl::Accept() {
    Fd conn(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!conn) return;
    auto done = std::make_shared<std::atomic<bool>>(false);
    connections.push_back({std::thread(&Impl::Serve, this, std::move(conn), done), done});
}

// Reads exactly n bytes, each gap at most kRequestIdleMs.
static bool ReadBytes(int fd, int stop, std::uint8_t* p, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        if (WaitFor(fd, POLLIN, stop, kRequestIdleMs) != 1) return false;
        const ssize_t got = ::recv(fd, p + done, n - done, MSG_DONTWAIT);
        if (got == 0) return false;
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool Server::Impl::ReadRequest(int fd, Request& request) {
    std::uint8_t head[kHeaderSize];
    if (!ReadBytes(fd, stopRead.get(), head, sizeof head)) return false;
    request.frame.assign(head, head + sizeof head);
    const auto h = DecodeHeader(head, sizeof head);
    request.command = h->command;
    request.payload.resize(h->length);
    if (h->length > 0 && !ReadBytes(fd, stopRead.get(), request.payload.data(), h->length))
        return false;
    std::uint8_t trailer[2];
    if (!ReadBytes(fd, stopRead.get(), trailer, 2)) return false;
    request.frame.insert(request.frame.end(), request.payload.begin(), request.payload.end());
    request.frame.insert(request.frame.end(), trailer, trailer + 2);
    if (!h->valid())
        request.problem = "invalid header";
    else if ((h->command & 0x8000) != 0)
        request.problem = "bit 15 of the command set";
    else if (trailer[0] != '\r' || trailer[1] != '\n')
        request.problem = "trailer is not CR LF";
    return true;
}

std::optional<CommandFault> Server::Impl::MatchFault(std::uint16_t command) {
    for (std::size_t i = 0; i < faults.size(); ++i) {
        const CommandFault& f = faults[i];
        if (f.command != 0 && f.command != command) continue;
        const unsigned seen = ++faultSeen[i];
        if (f.occurrence == 0 || f.occurrence == seen) return f;
    }
    return std::nullopt;
}

// The reply frames of a well-formed request, from the tables. A request of the wrong size is
// recorded as a problem and gets no answer.
std::vector<Bytes> Server::Impl::Answer(const Request& r) {
    const ServerConfig& c = config;
    const Bytes& p = r.payload;
    auto expect = [&](std::size_t size) { return p.size() == size; };
    auto slotOf = [&]() { return GetU32(p.data()); };
    auto digestIs = [&](std::size_t at, const std::string& password) {
        const auto d = PasswordDigest(password);
        return std::equal(d.begin(), d.end(), p.begin() + static_cast<std::ptrdiff_t>(at));
    };
    auto one = [](std::uint16_t command, Bytes payload) {
        return std::vector<Bytes>{EncodeFrame(command, payload)};
    };

    switch (r.command) {
    case kStatus:
        if (!expect(0)) break;
        return one(kStatus, Encode(c.status));
    case kSlotInfo: {
        if (!expect(4)) break;
        const std::uint32_t slot = slotOf();
        const bool known = slot < c.slots.size() && c.slots[slot].has_value();
        return one(kSlotInfo, known ? Encode(*c.slots[slot]) : Bytes(kSlotSize, 0));
    }
    case kSlotEntries: {
        if (!expect(4)) break;
        Bytes all;
        if (auto it = c.entries.find(slotOf()); it != c.entries.end())
            for (const Entry& e : it->second) {
                const Bytes b = Encode(e);
                all.insert(all.end(), b.begin(), b.end());
            }
        return one(kSlotEntries, all);
    }
    case kChangeEntry: {
        if (!expect(kEntryChangeSize)) break;
        const bool mirror = (p[5] & 0x10) != 0;
        const bool ok = digestIs(40, c.adminPassword) || (mirror && digestIs(40, c.mirrorPassword));
        return one(kChangeEntry, Status(ok ? 0 : 1));
    }
    case kGroups: {
        if (!expect(0)) break;
        Bytes all;
        for (const Group& g : c.groups) {
            const Bytes b = Encode(g);
            all.insert(all.end(), b.begin(), b.end());
        }
        return one(kGroups, all);
    }
    case kChangeGroup: {
        if (!expect(kGroupChangeSize)) break;
        const auto it = c.groupPasswords.find(GetU16(p.data()));
        const bool ok = it != c.groupPasswords.end() && digestIs(38, it->second);
        return one(kChangeGroup, Status(ok ? 0 : 1));
    }
    case kRestart:
    case kShutdown: {
        if (!expect(kPasswordBlockSize)) break;
        const bool ok = digestIs(4, c.adminPassword);
        if (ok) ++(r.command == kRestart ? restarts : shutdowns);
        return one(r.command, Status(ok ? 0 : 1));
    }
    case kPassword: {
        if (!expect(kPasswordBlockSize)) break;
        const std::uint16_t kind = GetU16(p.data());
        bool ok = false;
        if (kind == 0) ok = digestIs(4, c.adminPassword);
        if (kind == 1) ok = digestIs(4, c.mirrorPassword);
        if (kind == 2) {
            const auto it = c.groupPasswords.find(GetU16(p.data() + 2));
            ok = it != c.groupPasswords.end() && digestIs(4, it->second);
        }
        return one(kPassword, Status(ok ? 0 : 1, kPasswordBlockSize));
    }
    case kVolumeTable: {
        if (!expect(0)) break;
        Bytes all(8 * kVolumeEntrySize, 0);
        for (std::size_t i = 0; i < c.volumes.size() && i < 8; ++i) {
            const Bytes b = Encode(c.volumes[i]);
            std::copy(b.begin(), b.end(),
                      all.begin() + static_cast<std::ptrdiff_t>(i * kVolumeEntrySize));
        }
        return one(kVolumeTable, all);
    }
    case kTapeHeader: {
        if (!expect(4)) break;
        const auto it = c.tapes.find(slotOf());
        const Bytes header = it != c.tapes.end() ? Encode(it->second) : Bytes(kTapeHeaderSize, 0);
        return {EncodeFrame(kTapeHeader, Bytes(header.begin(), header.begin() + kTapeFirstFrame)),
                EncodeFrame(kTapeHeader, Bytes(header.begin() + kTapeFirstFrame, header.end()))};
    }
    case kTapeCatalog: {
        if (!expect(4)) break;
        const auto it = c.catalogs.find(slotOf());
        return one(kTapeCatalog, it != c.catalogs.end() ? Encode(it->second) : Bytes{});
    }
    case kRaidVolumes: {
        if (!expect(0)) break;
        Bytes all(4 * kRaidEntrySize, 0);
        for (std::size_t i = 0; i < 4; ++i)
            if (c.raid[i]) {
                const Bytes b = Encode(*c.raid[i]);
                std::copy(b.begin(), b.end(),
                          all.begin() + static_cast<std::ptrdiff_t>(i * kRaidEntrySize));
            }
        return one(kRaidVolumes, all);
    }
    default:
        break;
    }
    return {};
}

// After the answer: no more data, then wait (bounded) for the client to close its side.
void Server::Impl::Linger(int fd) {
    ::shutdown(fd, SHUT_WR);
    std::uint8_t sink[256];
    while (WaitFor(fd, POLLIN, stopRead.get(), kRequestIdleMs) == 1) {
        const ssize_t n = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) break;
    }
}

void Server::Impl::Serve(Fd conn, std::shared_ptr<std::atomic<bool>> done) {
    const int fd = conn.get();
    Request request;
    if (ReadRequest(fd, request)) {
        std::vector<Bytes> frames;
        std::optional<CommandFault> fault;
        {
            std::lock_guard lock(mutex);
            if (request.problem.empty()) {
                frames = Answer(request);
                if (frames.empty()) request.problem = "unknown command or wrong payload size";
            }
            fault = MatchFault(request.command);
            requests.push_back(request);
        }
        if (!frames.empty()) {
            Bytes& first = frames.front();
            bool closeAfter = false;
            std::optional<std::size_t> limit;
            bool stall = false;
            if (fault) {
                switch (fault->kind) {
                case FaultKind::Silence:
                    frames.clear();
                    stall = true;
                    break;
                case FaultKind::CloseWithoutReply:
                    frames.clear();
                    closeAfter = true;
                    break;
                case FaultKind::StallAfter:
                    limit = fault->bytes;
                    stall = true;
                    break;
                case FaultKind::CutAfter:
                    limit = fault->bytes;
                    closeAfter = true;
                    break;
                case FaultKind::BadSignature:
                    first[0] ^= 0xFF;
                    break;
                case FaultKind::BadTag:
                    first[4] ^= 0xFF;
                    break;
                case FaultKind::NonZeroReserved:
                    first[10] = 1;
                    break;
                case FaultKind::DeclaredLength:
                    first[8] = static_cast<std::uint8_t>(fault->declaredLength);
                    first[9] = static_cast<std::uint8_t>(fault->declaredLength >> 8);
                    break;
                case FaultKind::ReplacePayload:
                    first = EncodeFrame(GetU16(first.data() + 12), fault->payload);
                    break;
                case FaultKind::OnlyFirstFrame:
                    frames.resize(1);
                    closeAfter = true;
                    break;
                }
            }
            Bytes all;
            for (const Bytes& f : frames)
                all.insert(all.end(), f.begin(), f.end());
            if (limit && all.size() > *limit) all.resize(*limit);
            std::size_t sent = 0;
            while (sent < all.size()) {
                if (WaitFor(fd, POLLOUT, stopRead.get(), kRequestIdleMs) != 1) break;
                const ssize_t n =
                    ::send(fd, all.data() + sent, all.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
                if (n <= 0) break;
                sent += static_cast<std::size_t>(n);
            }
            if (stall) {
                // Keep the connection open, sending nothing, until the client gives up.
                std::uint8_t sink[256];
                while (WaitFor(fd, POLLIN, stopRead.get(), -1) == 1) {
                    const ssize_t n = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
                    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) break;
                }
            } else if (!closeAfter) {
                Linger(fd);
            }
        }
    }
    conn.reset();
    done->store(true);
}

Server::Server(ServerConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {}
Server::~Server() = default;

std::uint32_t Server::address() const {
    return impl_->config.address;
}
std::uint16_t Server::tcpPort() const {
    return impl_->config.tcpPort;
}
std::uint16_t Server::udpPort() const {
    return impl_->config.udpPort;
}

void Server::addFault(CommandFault fault) {
    std::lock_guard lock(impl_->mutex);
    impl_->faults.push_back(std::move(fault));
    impl_->faultSeen.push_back(0);
}

void Server::setAnswersDiscovery(bool answers) {
    std::lock_guard lock(impl_->mutex);
    impl_->config.answersDiscovery = answers;
}

std::vector<Datagram> Server::datagrams() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->datagrams;
}

std::vector<Request> Server::requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->requests;
}

std::size_t Server::discoveryReplies() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->replies;
}

unsigned Server::restarts() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->restarts;
}

unsigned Server::shutdowns() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->shutdowns;
}

} // namespace cdsim
