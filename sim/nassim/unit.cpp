// The simulated unit: one service thread for the UDP sockets and the TCP listener, one thread
// per TCP connection.
//
// A connection thread reads through a buffer (a request and its data usually take one receive),
// sends without a readiness wait, and keeps to the CPU its peer sends from: request and answer
// then pass between two threads on one CPU, where otherwise each would wake an idle CPU (on a
// virtual machine tens of microseconds, more than the whole work on a 32 KiB session block).
//
// Discovery on loopback: a datagram sent to the broadcast address 127.255.255.255 is delivered
// only to sockets bound to the wildcard address (or to the broadcast address) on the destination
// port, never to a socket bound to 127.0.0.N. So every unit binds a wildcard socket on the shared
// UDP port with SO_REUSEADDR (each such socket receives its own copy of a broadcast) and reads the
// datagram's destination with IP_PKTINFO: it answers only datagrams sent to a broadcast address
// there, and leaves unicasts that landed on it alone. A second socket, bound to the unit's own
// 127.0.0.N on the same port, sends the replies, so they leave from the unit's address, and it
// receives what the requester sends back to that source: the acknowledgement and unicast
// requests (a socket bound to the exact address wins over the wildcard for unicasts). A third
// socket on the foreign address plays the unit that answers from another subnet. A unit that a
// set-server request gave other loopback addresses answers (and announces itself) from the first
// of them, through a fourth socket bound there, as a unit that took new addresses does.
#include "unit_impl.h"

#include "stream_reader.h"
#include "wire.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <system_error>
#include <tuple>
#include <unistd.h>
#include <utility>

namespace nassim {

using net::Fd;

namespace {

constexpr int kTcpBacklog = 16;
constexpr int kPayloadIdleMs = 2000;             // longest gap inside a request's payload
constexpr std::uint32_t kMaxPayload = 16u << 20; // larger declared payloads end the connection
constexpr std::size_t kMaxRecords = 4096;        // the oldest records are dropped beyond this
constexpr std::size_t kMaxConnections = 64;
constexpr std::uint32_t kSmallPayload = 4096; // larger requests reuse a connection's buffer
constexpr std::size_t kDatagramBuffer = 4096;
constexpr int kFillerWaitMs = 200;
constexpr int kAutoPortAttempts = 8;
constexpr std::uint32_t kCpuCheckInterval = 8; // requests between looks at the peer's CPU

ListenMode ModeFor(Fault fault) {
    if (fault == Fault::Refuse) return ListenMode::Closed;
    if (fault == Fault::Stall) return ListenMode::Stalled;
    return ListenMode::Open;
}

bool IsHostAddress(std::uint32_t a) {
    return IsLoopback(a) && (a & 0xFFFFFFu) != 0 && (a & 0xFFFFFFu) != 0xFFFFFFu;
}

bool IsBroadcast(std::uint32_t a) {
    return a == kLoopbackBroadcast || a == 0xFFFFFFFFu;
}

void CheckAddress(std::uint32_t a, const char* what) {
    if (!IsHostAddress(a))
        throw std::invalid_argument(std::string(what) + " " + AddressText(a) +
                                    " is not a host address in 127.0.0.0/8");
}

std::pair<Fd, Fd> MakePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) net::ThrowErrno("pipe2");
    return {Fd(fds[0]), Fd(fds[1])};
}

// Runs make(port) on the given port, or on fresh free ports until one binds when port is 0.
template <typename Make>
std::uint16_t BindPort(std::uint16_t port, std::uint16_t (*pick)(), Make make) {
    if (port != 0) {
        make(port);
        return port;
    }
    for (int attempt = 1;; ++attempt) {
        const std::uint16_t candidate = pick();
        try {
            make(candidate);
            return candidate;
        } catch (const std::system_error& e) {
            if (e.code() != std::errc::address_in_use || attempt == kAutoPortAttempts) throw;
        }
    }
}

} // namespace

Unit::Impl::Impl(UnitConfig c) : config(std::move(c)), fault(config.fault) {
    ValidateState(config.state);
    state = config.state;
    CheckAddress(config.address, "unit address");
    if (config.foreignAddress == 0) {
        config.foreignAddress = Ipv4(127, 0, 1, config.address & 0xFF);
        if (config.foreignAddress == config.address)
            config.foreignAddress = Ipv4(127, 0, 2, config.address & 0xFF);
    }
    CheckAddress(config.foreignAddress, "foreign address");
    std::tie(stopRead, stopWrite) = MakePipe();
    std::tie(controlRead, controlWrite) = MakePipe();

    config.udpPort = BindPort(config.udpPort, FreeUdpPort, [this](std::uint16_t port) {
        udpAny = net::BindUdp(0, port);
        udpOwn = net::BindUdp(config.address, port);
        udpForeign = net::BindUdp(config.foreignAddress, port);
    });
    wantedMode = ModeFor(config.fault);
    config.tcpPort = BindPort(config.tcpPort, FreeTcpPort, [this](std::uint16_t port) {
        config.tcpPort = port;
        // A refusing unit binds nothing: probe the port so that an auto-picked one is free.
        ApplyListenMode(wantedMode == ListenMode::Closed ? ListenMode::Open : wantedMode);
    });
    if (wantedMode == ListenMode::Closed) ApplyListenMode(ListenMode::Closed);
    service = std::thread(&Impl::Run, this);
}

void Unit::Impl::Stop() {
    if (stopped) return;
    stopped = true;
    stopping.store(true);
    const char byte = 1;
    (void)!::write(stopWrite.get(), &byte, 1);
    if (service.joinable()) service.join();
    {
        std::lock_guard lock(liveMutex);
        for (const int fd : liveFds)
            ::shutdown(fd, SHUT_RD);
    }
    ReapConnections(true);
}

void Unit::Impl::SetFault(Fault f) {
    fault.store(f);
    std::unique_lock lock(controlMutex);
    if (ModeFor(f) == wantedMode) return;
    wantedMode = ModeFor(f);
    const std::uint64_t seq = ++controlSeq;
    const char byte = 1;
    (void)!::write(controlWrite.get(), &byte, 1);
    controlDone.wait(lock, [&] { return appliedSeq >= seq; });
    if (controlError) std::rethrow_exception(std::exchange(controlError, nullptr));
}

void Unit::Impl::ApplyListenMode(ListenMode mode) {
    filler.reset();
    listener.reset();
    listenMode = ListenMode::Closed;
    if (mode == ListenMode::Closed) return;
    // Backlog 0 lets one connection wait in the accept queue. The filler takes that place and is
    // never accepted, so the kernel drops every further SYN: a client's connect stays pending.
    listener = net::ListenTcp(config.address, config.tcpPort,
                              mode == ListenMode::Stalled ? 0 : kTcpBacklog);
    if (mode == ListenMode::Stalled) {
        filler = Fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!filler) net::ThrowErrno("socket");
        const sockaddr_in sa = net::MakeAddress(config.address, config.tcpPort);
        if (::connect(filler.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 &&
            errno != EINPROGRESS)
            net::ThrowErrno("connect");
        net::WaitFor(filler.get(), POLLOUT, stopRead.get(), kFillerWaitMs);
    }
    listenMode = mode;
}

void Unit::Impl::HandleControl() {
    char buf[16];
    while (::read(controlRead.get(), buf, sizeof buf) > 0) {
    }
    std::unique_lock lock(controlMutex);
    const ListenMode mode = wantedMode;
    const std::uint64_t seq = controlSeq;
    lock.unlock();
    std::exception_ptr error;
    try {
        ApplyListenMode(mode);
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    appliedSeq = seq;
    controlError = error;
    controlDone.notify_all();
}

void Unit::Impl::Run() {
    for (;;) {
        pollfd fds[7] = {{stopRead.get(), POLLIN, 0},   {controlRead.get(), POLLIN, 0},
                         {udpAny.get(), POLLIN, 0},     {udpOwn.get(), POLLIN, 0},
                         {udpForeign.get(), POLLIN, 0}, {udpMoved.get(), POLLIN, 0},
                         {listener.get(), POLLIN, 0}};
        const nfds_t count = listenMode == ListenMode::Open ? 7 : 6;
        if (::poll(fds, count, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents != 0) return;
        if (fds[1].revents != 0) {
            HandleControl();
            continue;
        }
        if (fds[2].revents != 0) ReceiveDatagram(udpAny.get(), true);
        if (fds[3].revents != 0) ReceiveDatagram(udpOwn.get(), false);
        if (fds[4].revents != 0) ReceiveDatagram(udpForeign.get(), false);
        if (fds[5].revents != 0) ReceiveDatagram(udpMoved.get(), false);
        if (count == 7 && fds[6].revents != 0) Accept();
        ReapConnections(false);
    }
}

std::uint32_t Unit::Impl::SourceAddress() const {
    std::lock_guard lock(stateMutex);
    std::uint32_t named = 0;
    for (const LanPort& port : config.lan) {
        if (port.address == config.address) return config.address;
        if (named == 0 && IsHostAddress(port.address)) named = port.address;
    }
    return named != 0 ? named : config.address;
}

int Unit::Impl::SourceSocket() {
    const std::uint32_t source = SourceAddress();
    if (source == config.address) return udpOwn.get();
    if (source != movedAddress) {
        movedAddress = source;
        try {
            udpMoved = net::BindUdp(source, config.udpPort);
        } catch (const std::system_error&) {
            udpMoved.reset();
        }
    }
    return udpMoved ? udpMoved.get() : udpOwn.get();
}

void Unit::Impl::ReceiveDatagram(int fd, bool wildcard) {
    std::vector<std::uint8_t> buf(kDatagramBuffer);
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
    const ssize_t n = ::recvmsg(fd, &msg, MSG_DONTWAIT);
    if (n < 0) return;
    std::uint32_t destination = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            destination = ntohl(info.ipi_addr.s_addr);
        }
    }
    // A unicast to an address that no unit holds lands on some wildcard socket: not ours.
    if (wildcard && !IsBroadcast(destination)) return;

    Request request;
    request.via = Via::Udp;
    request.from = net::AddressOf(peer);
    request.fromPort = net::PortOf(peer);
    request.to = destination;
    request.when = std::chrono::steady_clock::now();
    buf.resize(static_cast<std::size_t>(n));
    request.bytes = std::move(buf);
    if ((msg.msg_flags & MSG_TRUNC) != 0)
        request.problem = "datagram larger than " + std::to_string(kDatagramBuffer) + " bytes";

    const Fault f = fault.load();
    const std::uint32_t from = request.from;
    const std::uint16_t from_port = request.fromPort;
    std::optional<CommandFault> rule;
    if (request.problem.empty())
        if (const auto h = DecodeHeader(request.bytes.data(), request.bytes.size()))
            rule = MatchRule(*h);
    Outcome outcome = Dispatch(std::move(request), f, rule, nullptr);
    if (outcome.replies.empty() || !IsLoopback(from)) return;
    if (rule) {
        if (rule->stallAfter || rule->stopReadingAfter) return; // a datagram can't stall halfway
        if (rule->delay.count() > 0 && !Pause(rule->delay)) return;
        if (rule->cutAfter && outcome.replies.back().size() > *rule->cutAfter)
            outcome.replies.back().resize(*rule->cutAfter);
    }

    const bool foreign = f == Fault::ForeignSubnet;
    const int source = foreign ? udpForeign.get() : SourceSocket();
    const sockaddr_in to = net::MakeAddress(from, from_port);
    for (const Bytes& reply : outcome.replies) {
        const ssize_t sent = ::sendto(source, reply.data(), reply.size(), MSG_NOSIGNAL,
                                      reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (sent < 0) return;
        Reply record;
        record.via = Via::Udp;
        record.from = foreign                    ? config.foreignAddress
                      : source == udpMoved.get() ? movedAddress
                                                 : config.address;
        record.to = from;
        record.toPort = from_port;
        record.command =
            reply.size() >= kHeaderSize ? wire::GetU16(reply.data() + wire::kOffCommand) : 0;
        record.size = static_cast<std::size_t>(sent);
        record.when = std::chrono::steady_clock::now();
        Record(std::move(record));
    }
}

void Unit::Impl::Accept() {
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    Fd conn(::accept4(listener.get(), reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC));
    if (!conn) return;
    ReapConnections(false);
    if (connections.size() >= kMaxConnections) return; // closes the new connection
    auto done = std::make_shared<std::atomic<bool>>(false);
    {
        std::lock_guard lock(liveMutex);
        liveFds.push_back(conn.get());
    }
    connections.push_back({std::thread(&Impl::Serve, this, std::move(conn), peer, done), done});
}

void Unit::Impl::ReapConnections(bool all) {
    auto finished = [all](Connection& c) {
        if (!all && !c.done->load()) return false;
        c.thread.join();
        return true;
    };
    connections.erase(std::remove_if(connections.begin(), connections.end(), finished),
                      connections.end());
}

bool Unit::Impl::Pause(std::chrono::milliseconds ms) {
    pollfd p{stopRead.get(), POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(ms.count())) == 0;
}

std::size_t Unit::Impl::SendStream(int fd, const Bytes& bytes, std::size_t piece) {
    std::size_t sent = 0;
    while (sent < bytes.size() && !stopping.load(std::memory_order_relaxed)) {
        if (piece > 0 && sent > 0 && !Pause(config.fragmentPause)) break;
        const std::size_t chunk =
            piece > 0 ? std::min(piece, bytes.size() - sent) : bytes.size() - sent;
        // The socket nearly always has room for a reply: wait only when it has none.
        const ssize_t r = ::send(fd, bytes.data() + sent, chunk, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (r >= 0) {
            sent += static_cast<std::size_t>(r);
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) break;
        if (net::WaitFor(fd, POLLOUT, stopRead.get(), kPayloadIdleMs) <= 0) break;
    }
    return sent;
}

void Unit::Impl::Hold(int fd) {
    // Only hang-up events are asked for: pending data does not wake the wait.
    pollfd fds[2] = {{fd, POLLRDHUP, 0}, {stopRead.get(), POLLIN, 0}};
    for (;;) {
        const int n = ::poll(fds, 2, -1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || fds[1].revents != 0 || fds[0].revents != 0) return;
    }
}

void Unit::Impl::Serve(Fd conn, sockaddr_in peer, std::shared_ptr<std::atomic<bool>> done) {
    const int fd = conn.get();
    // Leaves the live connections before conn (destroyed after this function's locals) closes.
    struct Leave {
        Impl& unit;
        int fd;
        ~Leave() {
            std::lock_guard lock(unit.liveMutex);
            std::erase(unit.liveFds, fd);
        }
    } leave{*this, fd};
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on); // fragments go out one by one
    sockaddr_in local{};
    socklen_t len = sizeof local;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len);
    Conversation conversation;
    net::StreamReader in(fd, stopping);
    int cpu = -1;

    for (std::uint32_t served = 0;; ++served) {
        // The peer seldom moves: looking every few requests saves a system call on most.
        if (served % kCpuCheckInterval == 0) net::FollowIncomingCpu(fd, cpu);
        Request request;
        request.via = Via::Tcp;
        request.from = net::AddressOf(peer);
        request.fromPort = net::PortOf(peer);
        request.to = net::AddressOf(local);
        std::uint8_t head[kHeaderSize];
        const std::size_t got = in.read(head, kHeaderSize, -1);
        request.when = std::chrono::steady_clock::now();
        if (got == 0) break; // closed by the client, or the unit stops
        if (got < kHeaderSize) {
            request.bytes.assign(head, head + got);
            request.problem = "connection closed inside the header";
            Record(std::move(request));
            break;
        }
        Header h = *DecodeHeader(head, kHeaderSize);
        const std::uint32_t payload = requests::PayloadOnWire(h);
        if (!h.signatureOk || payload > kMaxPayload) {
            // Without a trustworthy header the stream can't be framed any further.
            request.bytes.assign(head, head + kHeaderSize);
            request.header = h;
            request.problem =
                !h.signatureOk ? "bad signature"
                               : "payload length " + std::to_string(h.payloadLength) + " too large";
            Record(std::move(request));
            break;
        }
        // Large requests (session data blocks) take the buffer the block before left behind.
        if (payload > kSmallPayload) request.bytes = std::exchange(conversation.spare, {});
        request.bytes.resize(kHeaderSize + payload);
        std::memcpy(request.bytes.data(), head, kHeaderSize);
        // The sub-header (sub-code and data length) comes first: faults may select by sub-code.
        const std::size_t sub = std::min<std::size_t>(payload, kExtendedHeaderSize - kHeaderSize);
        std::size_t body = in.read(request.bytes.data() + kHeaderSize, sub, kPayloadIdleMs);
        if (body == sub) h = *DecodeHeader(request.bytes.data(), kHeaderSize + sub);
        const std::optional<CommandFault> rule = body == sub ? MatchRule(h) : std::nullopt;
        std::size_t want = payload;
        if (rule && rule->stopReadingAfter)
            want = std::min<std::size_t>(payload, std::max(sub, *rule->stopReadingAfter));
        if (body == sub)
            body += in.read(request.bytes.data() + kHeaderSize + sub, want - sub, kPayloadIdleMs);
        if (rule && rule->stopReadingAfter) {
            request.bytes.resize(kHeaderSize + body);
            request.header = DecodeHeader(request.bytes.data(), request.bytes.size());
            Record(std::move(request));
            Hold(fd);
            break;
        }
        if (body < payload) {
            request.bytes.resize(kHeaderSize + body);
            request.header = DecodeHeader(request.bytes.data(), request.bytes.size());
            request.problem = "payload cut short: " + std::to_string(body) + " of " +
                              std::to_string(payload) + " bytes";
            Record(std::move(request));
            break;
        }
        const Fault f = fault.load();
        Outcome outcome = Dispatch(std::move(request), f, rule, &conversation);
        if (f == Fault::CloseAfterRequest) break;
        if (!outcome.replies.empty()) {
            if (rule && rule->delay.count() > 0 && !Pause(rule->delay)) break;
            Reply record;
            record.command = wire::GetU16(outcome.replies.back().data() + wire::kOffCommand);
            Bytes stream = std::move(outcome.replies.front());
            for (std::size_t i = 1; i < outcome.replies.size(); ++i)
                stream.insert(stream.end(), outcome.replies[i].begin(), outcome.replies[i].end());
            std::optional<std::size_t> limit;
            if (rule) limit = rule->cutAfter ? rule->cutAfter : rule->stallAfter;
            if (limit && stream.size() > *limit) stream.resize(*limit);
            const std::size_t piece = f == Fault::Fragment ? 1 : rule ? rule->fragmentBytes : 0;
            record.via = Via::Tcp;
            record.from = net::AddressOf(local);
            record.to = net::AddressOf(peer);
            record.toPort = net::PortOf(peer);
            record.when = std::chrono::steady_clock::now();
            record.size = SendStream(fd, stream, piece);
            Record(std::move(record));
        }
        if (rule && rule->stallAfter) {
            Hold(fd);
            break;
        }
        if (outcome.close || (rule && rule->cutAfter)) break;
    }
    EndConversation(conversation);
    done->store(true);
}

void Unit::Impl::EndConversation(Conversation& c) {
    c.file.reset(); // a file still coming in is no image: its copy goes
    if (!c.session) return;
    std::lock_guard lock(recordMutex);
    c.session->peerClosed = true;
    if (c.session->end == SessionEnd::Open) c.session->end = SessionEnd::Disconnected;
    recordChanged.notify_all();
}

std::optional<CommandFault> Unit::Impl::MatchRule(const Header& h) {
    std::lock_guard lock(stateMutex);
    std::optional<CommandFault> chosen;
    for (Rule& r : rules) {
        if (r.fault.command != 0 && r.fault.command != h.command) continue;
        if (r.fault.subCode && (!h.extended || *r.fault.subCode != h.subCode)) continue;
        ++r.seen;
        if (!chosen && (r.fault.occurrence == 0 || r.fault.occurrence == r.seen)) chosen = r.fault;
    }
    return chosen;
}

Outcome Unit::Impl::Dispatch(Request request, Fault f, const std::optional<CommandFault>& rule,
                             Conversation* conversation) {
    request.header = DecodeHeader(request.bytes.data(), request.bytes.size());
    const CommandEntry* entry = request.header ? Find(request.header->command) : nullptr;
    Outcome outcome;
    if (!request.problem.empty()) {
        // a truncated datagram is recorded, never answered
    } else if (!request.header) {
        request.problem = "shorter than the 32-byte header";
    } else if (entry == nullptr) {
        request.problem = "command " + std::to_string(request.header->command) + " not simulated";
    } else if (request.via == Via::Udp && !entry->udp) {
        request.problem =
            "command " + std::to_string(request.header->command) + " is not served by datagram";
    } else {
        Context ctx;
        ctx.via = request.via;
        ctx.conversation = conversation;
        ctx.unterminated = rule && rule->unterminated;
        ctx.refusedByFault = rule && rule->status && *rule->status != 0;
        if (entry->answer != nullptr) outcome = (this->*entry->answer)(request, ctx);
    }
    if (!request.problem.empty()) {
        outcome = Outcome{};
        outcome.close = request.via == Via::Tcp;
        std::lock_guard lock(recordMutex);
        if (conversation != nullptr && conversation->session &&
            conversation->session->end == SessionEnd::Open)
            conversation->session->end = SessionEnd::Broken;
        if (conversation != nullptr) conversation->phase = Conversation::Phase::Ended;
    }
    if (f == Fault::Silence || f == Fault::CloseAfterRequest) outcome.replies.clear();
    if (f == Fault::TcpSilence && request.via == Via::Tcp) outcome.replies.clear();
    if (!outcome.replies.empty()) {
        ApplyReplyFault(outcome.replies.back(), f);
        if (rule) ApplyRule(outcome, *rule);
    }
    const bool dataBlock =
        request.header && (request.header->command == kCommandMirrorData ||
                           (request.header->command == kCommandImageTransfer &&
                            request.header->extended && request.header->subCode == 26));
    // Before the reply goes out: whoever sees the reply sees this.
    if (config.recordDataBlocks || !dataBlock || !request.problem.empty())
        Record(std::move(request));
    return outcome;
}

void Unit::Impl::ApplyRule(Outcome& outcome, const CommandFault& rule) const {
    Bytes& answer = outcome.replies.back();
    if (answer.size() < kHeaderSize) return;
    if (rule.status)
        wire::PutU16(answer, wire::kOffArgument, static_cast<std::uint16_t>(*rule.status));
    if (rule.replyCommand) wire::PutU16(answer, wire::kOffCommand, *rule.replyCommand);
    if (rule.dataLength && answer.size() >= kExtendedHeaderSize)
        wire::PutU32(answer, wire::kOffDataLength, *rule.dataLength);
    if (rule.payloadLength) wire::PutU32(answer, wire::kOffPayloadLength, *rule.payloadLength);
    answer.insert(answer.end(), rule.extraBytes, 0x5A);
    if (rule.strayRepliesFirst > 0) {
        const std::uint16_t command = wire::GetU16(answer.data() + wire::kOffCommand);
        const std::uint16_t other =
            command == kCommandSetServer ? kSetServerDomainReply : kCommandSetServer;
        const Bytes stray = wire::MakeHeader(kHeaderSize, other, 0, 0, false);
        outcome.replies.insert(outcome.replies.begin(), rule.strayRepliesFirst, stray);
    }
}

void Unit::Impl::ApplyReplyFault(Bytes& bytes, Fault f) const {
    switch (f) {
    case Fault::WrongSignature:
        bytes[0] ^= 0x20;
        break; // "P" becomes "p"
    case Fault::WrongVersion:
        wire::PutU16(bytes, wire::kOffVersion, 0x0101);
        break;
    case Fault::ShortReply:
        bytes.resize(std::min(bytes.size(), config.shortReplyBytes));
        break;
    default:
        break;
    }
}

void Unit::Impl::Record(Request request) {
    if (!request.problem.empty() && config.logProblems)
        std::fprintf(stderr, "nas-sim: %s: request from %s:%u: %s\n",
                     AddressText(config.address).c_str(), AddressText(request.from).c_str(),
                     request.fromPort, request.problem.c_str());
    std::lock_guard lock(recordMutex);
    if (!request.problem.empty()) problems.push_back(request.problem);
    requests.push_back(std::move(request));
    if (requests.size() > kMaxRecords) requests.pop_front();
    recordChanged.notify_all();
}

void Unit::Impl::Record(Reply reply) {
    std::lock_guard lock(recordMutex);
    replies.push_back(std::move(reply));
    if (replies.size() > kMaxRecords) replies.pop_front();
    recordChanged.notify_all();
}

namespace {

bool IsAck(const Request& r) {
    return r.header && r.header->command == kCommandAck;
}

} // namespace

Unit::Unit(UnitConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {}
Unit::~Unit() = default;

UnitConfig Unit::config() const {
    std::lock_guard lock(impl_->stateMutex);
    return impl_->config;
}
std::uint32_t Unit::address() const {
    return impl_->config.address;
}
std::uint16_t Unit::tcpPort() const {
    return impl_->config.tcpPort;
}
std::uint16_t Unit::udpPort() const {
    return impl_->config.udpPort;
}
void Unit::setFault(Fault fault) {
    impl_->SetFault(fault);
}
Fault Unit::fault() const {
    return impl_->fault.load();
}

bool Unit::announce(std::uint16_t command, std::uint32_t to, std::uint16_t port) {
    if (!IsLoopback(to))
        throw std::invalid_argument("announcement to " + AddressText(to) + " outside 127.0.0.0/8");
    UnitConfig c = config();
    c.extendedReply = false;
    Bytes datagram = EncodeServerReply(c);
    wire::PutU16(datagram, wire::kOffCommand, command);
    // From the unit's own socket, or from one on the address it moved to.
    const std::uint32_t source = impl_->SourceAddress();
    Fd moved;
    try {
        if (source != c.address) moved = net::BindUdp(source, 0);
    } catch (const std::system_error&) {
        return false;
    }
    const sockaddr_in destination = net::MakeAddress(to, port);
    const ssize_t sent =
        ::sendto(moved ? moved.get() : impl_->udpOwn.get(), datagram.data(), datagram.size(),
                 MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    if (sent != static_cast<ssize_t>(datagram.size())) return false;
    Reply record;
    record.via = Via::Udp;
    record.from = source;
    record.to = to;
    record.toPort = port;
    record.command = command;
    record.size = datagram.size();
    record.when = std::chrono::steady_clock::now();
    impl_->Record(std::move(record));
    return true;
}

std::vector<Request> Unit::requests() const {
    std::lock_guard lock(impl_->recordMutex);
    return {impl_->requests.begin(), impl_->requests.end()};
}

std::vector<Request> Unit::acks() const {
    std::lock_guard lock(impl_->recordMutex);
    std::vector<Request> out;
    std::copy_if(impl_->requests.begin(), impl_->requests.end(), std::back_inserter(out), IsAck);
    return out;
}

std::vector<Reply> Unit::replies() const {
    std::lock_guard lock(impl_->recordMutex);
    return {impl_->replies.begin(), impl_->replies.end()};
}

void Unit::clearRecords() {
    std::lock_guard lock(impl_->recordMutex);
    impl_->requests.clear();
    impl_->replies.clear();
    impl_->problems.clear();
    impl_->sessions.clear();
    impl_->recordings.clear();
}

bool Unit::waitForAcks(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->recordMutex);
    return impl_->recordChanged.wait_for(lock, timeout, [&] {
        return static_cast<std::size_t>(
                   std::count_if(impl_->requests.begin(), impl_->requests.end(), IsAck)) >= count;
    });
}

bool Unit::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->recordMutex);
    return impl_->recordChanged.wait_for(lock, timeout,
                                         [&] { return impl_->requests.size() >= count; });
}

} // namespace nassim
