#include "transport.h"

#include "call_deadline.h"
#include "netconfig.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <utility>

namespace nas {

namespace {

using SteadyClock = std::chrono::steady_clock;

int MillisecondsLeft(SteadyClock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

// poll on one descriptor, resumed after interruptions with the time that is left.
// The wait ends with the running call's deadline at the latest; once that is spent, it reports a
// time-out without waiting.
int WaitFor(int fd, short events, int timeoutMs) {
    if (CallDeadlinePassed()) return 0;
    timeoutMs = WithinCallDeadline(timeoutMs);
    auto deadline = SteadyClock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    for (;;) {
        pollfd entry{fd, events, 0};
        int ready = ::poll(&entry, 1, MillisecondsLeft(deadline));
        if (ready > 0) {
            if (entry.revents & POLLNVAL) return -1;
            return 1; // errors and hang-ups show in the transfer that follows
        }
        if (ready == 0) return 0;
        if (errno != EINTR) return -1;
    }
}

// A transfer result of send or recv as MoveStep counts it.
long StepResult(ssize_t moved) {
    if (moved > 0) return moved;
    if (moved == 0) return -1; // stream closed by the peer
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    return -1;
}

long SendWith(int fd, const void* data, size_t length, const LoopLimits& limits) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    return MoveAll(
        length, limits, [fd](int ms) { return WaitWritable(fd, ms); },
        [&](size_t offset) {
            return StepResult(
                ::send(fd, bytes + offset, length - offset, MSG_NOSIGNAL | MSG_DONTWAIT));
        },
        CurrentNetConfig()->clock.tickMs);
}

long RecvWith(int fd, void* buffer, size_t length, const LoopLimits& limits) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    return MoveAll(
        length, limits, [fd](int ms) { return WaitReadable(fd, ms); },
        [&](size_t offset) {
            return StepResult(::recv(fd, bytes + offset, length - offset, MSG_DONTWAIT));
        },
        CurrentNetConfig()->clock.tickMs);
}

LoopLimits PatientLimits() {
    auto config = CurrentNetConfig();
    return {config->readinessWaitMs, config->idleRounds, config->stallMs, -1};
}

LoopLimits SimpleLimits() {
    auto config = CurrentNetConfig();
    return {config->readinessWaitMs, 0, config->stallMs, -1};
}

LoopLimits WithinLimits(int timeoutMs) {
    return {timeoutMs, 0, CurrentNetConfig()->stallMs, timeoutMs};
}

sockaddr_in Ipv4Address(uint32_t address, uint16_t port) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(address);
    peer.sin_port = htons(port);
    return peer;
}

int SocketError(int fd) {
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
    return error;
}

// The header (with the sub-header when subCode is not 0) and the data, gathered by one sendmsg
// from where they lie: the unit receives the whole request in one piece instead of waking for a
// header whose data follows in another segment, and nothing is copied. The first send is tried
// at once; the loop waits only when the socket buffer is full. Rules of SendAll.
long SendHeaderAndData(int fd, const PacketHeader& header, const void* data, size_t length,
                       uint32_t subCode) {
    uint8_t head[kExtendedHeaderSize];
    EncodeExtendedHeader(header, head);
    const size_t headSize = subCode != 0 ? kExtendedHeaderSize : kHeaderSize;
    const auto* bytes = static_cast<const uint8_t*>(data);
    const size_t dataSize = data ? length : 0;
    const size_t total = headSize + dataSize;
    LoopLimits limits = PatientLimits();
    limits.moveFirst = true;
    long sent = MoveAll(
        total, limits, [fd](int ms) { return WaitWritable(fd, ms); },
        [&](size_t offset) {
            iovec parts[2];
            size_t count = 0;
            if (offset < headSize) parts[count++] = {head + offset, headSize - offset};
            const size_t dataOffset = offset < headSize ? 0 : offset - headSize;
            if (dataSize > dataOffset)
                parts[count++] = {const_cast<uint8_t*>(bytes) + dataOffset, dataSize - dataOffset};
            msghdr message{};
            message.msg_iov = parts;
            message.msg_iovlen = count;
            return StepResult(::sendmsg(fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT));
        },
        CurrentNetConfig()->clock.tickMs);
    return sent == static_cast<long>(total) ? static_cast<long>(length) : -1;
}

} // namespace

int WaitReadable(int fd, int timeoutMs) {
    return WaitFor(fd, POLLIN, timeoutMs);
}
int WaitWritable(int fd, int timeoutMs) {
    return WaitFor(fd, POLLOUT, timeoutMs);
}
int WaitReadable(int fd) {
    return WaitReadable(fd, CurrentNetConfig()->readinessWaitMs);
}
int WaitWritable(int fd) {
    return WaitWritable(fd, CurrentNetConfig()->readinessWaitMs);
}

long MoveAll(size_t length, const LoopLimits& limits, const WaitStep& wait, const MoveStep& move,
             const std::function<uint32_t()>& tickMs) {
    const bool bounded = limits.totalMs >= 0;
    const auto deadline =
        SteadyClock::now() + std::chrono::milliseconds(std::max(0, limits.totalMs));
    size_t moved = 0;
    int idleRounds = limits.idleRoundsSpent;
    uint32_t stalled = 0;
    bool skipWait = limits.moveFirst;
    while (moved < length) {
        // A peer that keeps each wait short by trickling bytes meets the call's deadline here.
        if (CallDeadlinePassed()) return -1;
        if (!std::exchange(skipWait, false)) {
            int waitMs =
                bounded ? std::min(limits.waitMs, MillisecondsLeft(deadline)) : limits.waitMs;
            int ready = wait(waitMs);
            if (ready < 0) return -1;
            if (ready == 0) {
                if (++idleRounds > limits.maxIdleRounds) return -1;
                if (bounded && MillisecondsLeft(deadline) == 0) return -1;
                continue;
            }
        }
        idleRounds = 0;
        uint32_t roundStart = tickMs();
        long step = move(moved);
        if (step < 0) return -1;
        if (step > 0) {
            moved += static_cast<size_t>(step);
            stalled = 0;
            continue;
        }
        stalled += tickMs() - roundStart;
        if (stalled > limits.stallMs) return -1;
        if (bounded && MillisecondsLeft(deadline) == 0) return -1;
    }
    return static_cast<long>(length);
}

long SendAll(int fd, const void* data, size_t length) {
    return SendWith(fd, data, length, PatientLimits());
}

long RecvAll(int fd, void* buffer, size_t length) {
    if (length != 0) std::memset(buffer, 0, length);
    return RecvWith(fd, buffer, length, PatientLimits());
}

long RecvSessionAll(int fd, void* buffer, size_t length) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    if (length != 0) std::memset(buffer, 0, length);
    LoopLimits limits = PatientLimits();
    // The blocking receive waits up to the socket's time-out (the readiness wait): when less than
    // that is left of the call, the loop below waits instead, bounded by what is left.
    const int left = CallMillisecondsLeft();
    if (left >= 0 && left < limits.waitMs)
        return RecvWith(fd, bytes, length, limits) == static_cast<long>(length)
                   ? static_cast<long>(length)
                   : -1;
    const auto start = SteadyClock::now();
    ssize_t first = ::recv(fd, bytes, length, MSG_WAITALL);
    if (first == static_cast<ssize_t>(length)) return static_cast<long>(length);
    if (first == 0 && length != 0) return -1; // closed by the peer
    if (first < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
        first = 0;
        // Only a receive that waited out the socket's time-out spent an idle wait; a
        // non-blocking socket answers at once.
        const auto waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start);
        if (waited.count() >= limits.waitMs && ++limits.idleRoundsSpent > limits.maxIdleRounds)
            return -1;
    }
    const size_t got = static_cast<size_t>(first);
    long rest = RecvWith(fd, bytes + got, length - got, limits);
    return rest == static_cast<long>(length - got) ? static_cast<long>(length) : -1;
}

bool SetSessionTimeouts(int fd) {
    const int ms = CurrentNetConfig()->readinessWaitMs;
    timeval limit{};
    limit.tv_sec = ms / 1000;
    limit.tv_usec = (ms % 1000) * 1000;
    if (ms <= 0) limit.tv_usec = 1000; // a zero time-out would mean none at all
    return ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0 &&
           ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) == 0 &&
           SetNonBlocking(fd, false);
}

long SendLoop(int fd, const void* data, size_t length) {
    return SendWith(fd, data, length, SimpleLimits());
}

long RecvLoop(int fd, void* buffer, size_t length) {
    return RecvWith(fd, buffer, length, SimpleLimits());
}

long SendWithin(int fd, const void* data, size_t length, int timeoutMs) {
    return SendWith(fd, data, length, WithinLimits(timeoutMs));
}

long RecvWithin(int fd, void* buffer, size_t length, int timeoutMs) {
    return RecvWith(fd, buffer, length, WithinLimits(timeoutMs));
}

int RecvRecords(int fd, void* out, size_t recordSize, size_t count) {
    std::vector<uint8_t> scratch(recordSize);
    auto* target = static_cast<uint8_t*>(out);
    for (size_t i = 0; i < count; ++i) {
        if (RecvLoop(fd, scratch.data(), recordSize) != static_cast<long>(recordSize)) return -1;
        std::memcpy(target + i * recordSize, scratch.data(), recordSize);
    }
    return 0;
}

RaceResult ConnectRace(const uint32_t addrs[3], uint16_t port, int limitMs) {
    RaceResult result;
    std::array<Socket, 3> sockets;
    for (int i = 0; i < 3; ++i) {
        if (addrs[i] == 0) continue;
        sockets[i] = MakeSocket(SOCK_STREAM | SOCK_NONBLOCK);
        if (!sockets[i].valid()) {
            result.outcome = RaceOutcome::Failed;
            return result;
        }
        sockaddr_in peer = Ipv4Address(addrs[i], port);
        if (::connect(sockets[i].get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) !=
                0 &&
            errno != EINPROGRESS && errno != EINTR)
            sockets[i].reset(); // refused or unreachable at once: out of the race
    }

    const auto deadline =
        SteadyClock::now() + std::chrono::milliseconds(std::max(0, WithinCallDeadline(limitMs)));
    for (;;) {
        std::array<pollfd, 3> entries{};
        std::array<int, 3> slotOf{};
        nfds_t count = 0;
        for (int i = 0; i < 3; ++i) {
            if (!sockets[i].valid()) continue;
            entries[count] = {sockets[i].get(), POLLOUT, 0};
            slotOf[count++] = i;
        }
        if (count == 0) return result;
        int ready = ::poll(entries.data(), count, MillisecondsLeft(deadline));
        if (ready < 0 && errno != EINTR) return result;
        if (ready == 0) return result;
        if (ready < 0) continue;
        // Every socket that reported is either connected or out of the race; the first connected
        // one in array order wins. A refused connect reports writable too: SO_ERROR tells them
        // apart.
        for (nfds_t k = 0; k < count; ++k) {
            if (entries[k].revents == 0) continue;
            int slot = slotOf[k];
            bool connected = (entries[k].revents & POLLOUT) && SocketError(entries[k].fd) == 0;
            if (connected && result.index < 0) {
                result.index = slot;
            } else if (!connected) {
                sockets[slot].reset();
            }
        }
        if (result.index >= 0) {
            result.outcome = RaceOutcome::Won;
            result.address = addrs[result.index];
            result.socket = std::move(sockets[result.index]);
            return result;
        }
    }
}

int OpenSession(const uint32_t addrs[3]) {
    auto config = CurrentNetConfig();
    RaceResult race = ConnectRace(addrs, config->tcpPort, config->sessionRaceMs);
    if (race.outcome == RaceOutcome::Failed) return -1;
    if (race.outcome == RaceOutcome::NoWinner) return 0;
    return race.socket.release();
}

int ConnectServer(const uint32_t addrs[3], Socket& out) {
    auto config = CurrentNetConfig();
    RaceResult race = ConnectRace(addrs, config->tcpPort, config->connectRaceMs);
    if (race.outcome != RaceOutcome::Won) return -1;
    race.socket.reset();

    Socket connection = MakeSocket(SOCK_STREAM | SOCK_NONBLOCK);
    if (!connection.valid() || !BindIpv4(connection.get(), INADDR_ANY, 0)) return -1;
    sockaddr_in peer = Ipv4Address(race.address, config->tcpPort);
    if (::connect(connection.get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) return -1;
        if (WaitWritable(connection.get(), config->connectRaceMs) <= 0) return -1;
        if (SocketError(connection.get()) != 0) return -1;
    }
    if (!SetNonBlocking(connection.get(), false)) return -1;
    out = std::move(connection);
    return 0;
}

long SendRequest(int fd, uint16_t command, const void* data, size_t length, uint32_t subCode) {
    return SendRequestStatus(fd, command, data, length, subCode, 0);
}

long SendRequestStatus(int fd, uint16_t command, const void* data, size_t length, uint32_t subCode,
                       int16_t argument) {
    PacketHeader header;
    InitHeader(header, command, 1, static_cast<uint32_t>(length + kSubHeaderSize));
    header.status = argument;
    header.subCode = subCode;
    header.dataLength = static_cast<uint32_t>(length);
    return SendHeaderAndData(fd, header, data, length, subCode);
}

int RecvReply(int fd, PacketHeader* header, uint16_t expectedCommand, void* data, size_t length,
              int* status) {
    if (status) *status = 0;
    uint8_t head[kHeaderSize];
    if (RecvSessionAll(fd, head, kHeaderSize) != static_cast<long>(kHeaderSize)) return -1;
    PacketHeader reply = *DecodeHeader(head, kHeaderSize);
    if (header) *header = reply;
    if (reply.status != 0) {
        if (status) *status = reply.status;
        return -1;
    }
    if (expectedCommand != 0 && reply.command != expectedCommand) return -1;
    if (data && length > 0 && RecvAll(fd, data, length) != static_cast<long>(length)) return -1;
    return 0;
}

int RecvOneShotReply(int fd, size_t need, size_t maxSize, int timeoutMs,
                     std::vector<uint8_t>& reply, const ReplySizeRule& expectedSize) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    if (need > maxSize) return -1;
    reply.assign(maxSize, 0);
    size_t got = 0;
    // Receives what has arrived; waits first when wait is set. False when the peer closed or the
    // receive failed, or nothing came within the time left.
    auto receive = [&](bool wait) {
        if (wait && WaitReadable(fd, MillisecondsLeft(deadline)) <= 0) return false;
        for (;;) {
            ssize_t moved = ::recv(fd, reply.data() + got, maxSize - got, MSG_DONTWAIT);
            if (moved > 0) {
                got += static_cast<size_t>(moved);
                return true;
            }
            if (moved < 0 && errno == EINTR) continue;
            if (moved < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return wait;
            return false; // closed, or failed
        }
    };
    // Until the bytes the reply kind needs are in: each wait with the time that is left.
    while (got < need)
        if (!receive(true)) return -1;
    // Then the rest of a reply that declares more, while it keeps coming in time.
    size_t wanted = expectedSize ? std::min(expectedSize(reply.data(), got), maxSize) : got;
    while (got < wanted)
        if (!receive(true)) break;
    // Then what has arrived already, without waiting.
    while (got < maxSize) {
        const size_t before = got;
        if (!receive(false) || got == before) break;
    }
    reply.resize(got);
    return 0;
}

int OneShotExchange(const uint32_t addrs[3], const uint8_t* request, size_t size, int replyWaitMs,
                    size_t need, std::vector<uint8_t>& reply, Socket& connection,
                    const ReplySizeRule& expectedSize) {
    auto config = CurrentNetConfig();
    RaceResult race = ConnectRace(addrs, config->tcpPort, config->connectRaceMs);
    if (race.outcome != RaceOutcome::Won) return -1;
    int fd = race.socket.get();
    if (SendWithin(fd, request, size, config->readinessWaitMs) != static_cast<long>(size))
        return -1;
    if (RecvOneShotReply(fd, need, kMaxOneShotReply, replyWaitMs, reply, expectedSize) != 0)
        return -1;
    connection = std::move(race.socket);
    return 0;
}

int OneShotRequest(const uint32_t addrs[3], const uint8_t* request, size_t size,
                   uint16_t expectedCommand, int replyWaitMs) {
    std::vector<uint8_t> reply;
    Socket connection;
    if (OneShotExchange(addrs, request, size, replyWaitMs, kHeaderSize, reply, connection) != 0)
        return -1;
    PacketHeader header = *DecodeHeader(reply.data(), reply.size());
    return header.command == expectedCommand ? header.status : -1;
}

} // namespace nas
