// The send and receive loops, session requests and replies, and whole-message reads, over real
// loopback and local socket pairs; the loop limits with scaled configuration.
#include "nas_test_support.h"
#include "packet_header.h"
#include "socket.h"
#include "transport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

long long MsSince(SteadyClock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(SteadyClock::now() - start).count();
}

// A connected TCP pair on loopback: the library's end and the peer's end.
struct TcpPair {
    nas::Socket ours;
    nas::Socket peer;
};

TcpPair MakeTcpPair() {
    nas::Socket listener = nas::MakeSocket(SOCK_STREAM);
    EXPECT_TRUE(nas::BindIpv4(listener.get(), nastest::Ipv4(127, 0, 0, 1), 0));
    EXPECT_EQ(::listen(listener.get(), 1), 0);
    sockaddr_in address{};
    socklen_t size = sizeof address;
    ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &size);
    TcpPair pair;
    pair.ours = nas::MakeSocket(SOCK_STREAM);
    EXPECT_EQ(::connect(pair.ours.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    pair.peer = nas::Socket(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    int on = 1;
    ::setsockopt(pair.peer.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return pair;
}

Bytes Pattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 131 + i / 251);
    return bytes;
}

nas::NetConfig PatientConfig() {
    // Long limits: a test that ends early shows that a limit was not what ended it.
    nas::NetConfig config = nastest::LoopbackConfig();
    config.readinessWaitMs = 20000;
    config.stallMs = 120000;
    return config;
}

TEST(Transport, SendAllCarriesABufferFarLargerThanTheSocketBuffers) {
    nastest::ScopedNetConfig scope(PatientConfig());
    TcpPair pair = MakeTcpPair();
    int small = 16384;
    ::setsockopt(pair.ours.get(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ::setsockopt(pair.peer.get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    const Bytes sent = Pattern(1024 * 1024 + 17);
    Bytes received;
    std::thread reader([&] {
        uint8_t chunk[8192];
        for (int round = 0;; ++round) {
            ssize_t n = ::recv(pair.peer.get(), chunk, sizeof chunk, 0);
            if (n <= 0) break;
            received.insert(received.end(), chunk, chunk + n);
            if (round % 16 == 0) std::this_thread::sleep_for(milliseconds(1)); // a slow reader
        }
    });
    EXPECT_EQ(nas::SendAll(pair.ours.get(), sent.data(), sent.size()),
              static_cast<long>(sent.size()));
    ::shutdown(pair.ours.get(), SHUT_WR);
    reader.join();
    EXPECT_TRUE(received == sent) << "received " << received.size() << " of " << sent.size();
}

TEST(Transport, ReceiveLoopsAssembleOneByteFragments) {
    nastest::ScopedNetConfig scope(PatientConfig());
    using Receive = long (*)(int, void*, size_t);
    const struct {
        const char* name;
        Receive receive;
    } loops[] = {
        {"RecvAll", nas::RecvAll},
        {"RecvLoop", nas::RecvLoop},
        {"RecvWithin", [](int fd, void* b, size_t n) { return nas::RecvWithin(fd, b, n, 10000); }}};
    for (const auto& loop : loops) {
        TcpPair pair = MakeTcpPair();
        const Bytes sent = Pattern(300);
        std::thread writer([&] {
            for (uint8_t byte : sent) {
                ::send(pair.peer.get(), &byte, 1, MSG_NOSIGNAL);
                std::this_thread::sleep_for(milliseconds(1));
            }
        });
        Bytes received(sent.size(), 0xEE);
        EXPECT_EQ(loop.receive(pair.ours.get(), received.data(), received.size()), 300)
            << loop.name;
        writer.join();
        EXPECT_TRUE(received == sent) << loop.name;
    }
}

TEST(Transport, PeerClosingWithBytesStillDueFailsAtOnce) {
    nastest::ScopedNetConfig scope(PatientConfig());
    using Receive = long (*)(int, void*, size_t);
    const struct {
        const char* name;
        Receive receive;
    } loops[] = {
        {"RecvAll", nas::RecvAll},
        {"RecvLoop", nas::RecvLoop},
        {"RecvWithin", [](int fd, void* b, size_t n) { return nas::RecvWithin(fd, b, n, 20000); }}};
    for (const auto& loop : loops) {
        TcpPair pair = MakeTcpPair();
        ASSERT_EQ(::send(pair.peer.get(), "0123456789", 10, MSG_NOSIGNAL), 10);
        pair.peer.reset();
        uint8_t buffer[100];
        auto start = SteadyClock::now();
        EXPECT_EQ(loop.receive(pair.ours.get(), buffer, sizeof buffer), -1) << loop.name;
        EXPECT_LT(MsSince(start), 5000) << loop.name << " waited for a limit";
    }
}

TEST(Transport, SendToAClosedPeerFailsWithoutASignal) {
    nastest::ScopedNetConfig scope(PatientConfig());
    TcpPair pair = MakeTcpPair();
    pair.peer.reset();
    const Bytes data = Pattern(1 << 20);
    EXPECT_EQ(nas::SendAll(pair.ours.get(), data.data(), data.size()), -1); // no SIGPIPE
}

TEST(Transport, IdleRoundsEndTheLoopsOfASilentPeer) {
    nas::NetConfig config = PatientConfig();
    config.readinessWaitMs = 40;
    config.idleRounds = 3;
    nastest::ScopedNetConfig scope(config);
    TcpPair pair = MakeTcpPair();
    uint8_t buffer[16];

    auto start = SteadyClock::now();
    EXPECT_EQ(nas::RecvAll(pair.ours.get(), buffer, sizeof buffer), -1);
    long long patient = MsSince(start);
    EXPECT_GE(patient, 4 * 40 - 10) << "gave up before four idle waits";
    EXPECT_LT(patient, 5000);

    start = SteadyClock::now();
    EXPECT_EQ(nas::RecvLoop(pair.ours.get(), buffer, sizeof buffer), -1);
    long long simple = MsSince(start);
    EXPECT_GE(simple, 40 - 10);
    EXPECT_LT(simple, 4 * 40 - 10) << "the simple loop gives up at the first idle wait";
}

// The loop's rules with scripted waits and transfers and a clock that moves 10 ms per reading.
struct ScriptedLoop {
    std::vector<long> steps; // results of the transfers, the last one repeats
    std::vector<int> waits;  // results of the waits, the last one repeats
    size_t moves = 0, waitsDone = 0;
    uint32_t now = 1000;

    long run(size_t length, nas::LoopLimits limits) {
        return nas::MoveAll(
            length, limits, [&](int) { return waits[std::min(waitsDone++, waits.size() - 1)]; },
            [&](size_t) { return steps[std::min(moves++, steps.size() - 1)]; },
            [&] { return now += 10; });
    }
};

TEST(Transport, StallLimitEndsALoopThatIsReadyButMovesNothing) {
    ScriptedLoop stalled{{0}, {1}};
    EXPECT_EQ(stalled.run(100, {20000, 12, 1000, -1}), -1);
    EXPECT_EQ(stalled.moves, 101u) << "10 ms per round, limit exceeded in round 101";

    // Progress now and then resets the stall time: 90 idle transfers between bytes never add up.
    std::vector<long> steps;
    for (int byte = 0; byte < 5; ++byte) {
        steps.insert(steps.end(), 90, 0);
        steps.push_back(1);
    }
    ScriptedLoop slow{steps, {1}};
    EXPECT_EQ(slow.run(5, {20000, 12, 1000, -1}), 5);

    ScriptedLoop idle{{1}, {0}};
    EXPECT_EQ(idle.run(5, {20000, 12, 1000, -1}), -1);
    EXPECT_EQ(idle.waitsDone, 13u) << "twelve idle waits are tolerated, the thirteenth is not";
    EXPECT_EQ(idle.moves, 0u);

    ScriptedLoop idleThenReady{{1}, {0, 0, 0, 1}};
    EXPECT_EQ(idleThenReady.run(3, {20000, 12, 1000, -1}), 3);

    ScriptedLoop broken{{4, -1}, {1}};
    EXPECT_EQ(broken.run(100, {20000, 12, 1000, -1}), -1);
    EXPECT_EQ(broken.moves, 2u);
}

TEST(Transport, SessionRequestsLayOutHeaderSubHeaderAndData) {
    nas::NetConfig config = PatientConfig();
    config.clock.calendarSeconds = [] { return 0x01020304u; };
    nastest::ScopedNetConfig scope(config);
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    nas::Socket ours(fds[0]), peer(fds[1]);

    const Bytes data = Pattern(52);
    ASSERT_EQ(nas::SendRequest(ours.get(), 20, data.data(), data.size(), 16), 52);
    // The aborts: header only, although it declares 8 bytes of payload; reason at offset 30.
    ASSERT_EQ(nas::SendRequestStatus(ours.get(), 19, nullptr, 0, 0, 7), 0);
    ours.reset();

    Bytes wire(200);
    long total = nas::RecvWithin(peer.get(), wire.data(), 40 + 52 + 32, 5000);
    ASSERT_EQ(total, 40 + 52 + 32);
    uint8_t extra;
    EXPECT_EQ(::recv(peer.get(), &extra, 1, 0), 0) << "more bytes than the two requests";
    auto request = nas::DecodeHeader(wire.data(), 40);
    EXPECT_EQ(request->flags, 1);
    EXPECT_EQ(request->time, 0x01020304u);
    EXPECT_EQ(request->payloadLength, 60u);
    EXPECT_EQ(request->command, 20);
    EXPECT_EQ(request->status, 0);
    EXPECT_EQ(request->subCode, 16u);
    EXPECT_EQ(request->dataLength, 52u);
    EXPECT_TRUE(Bytes(wire.begin() + 40, wire.begin() + 92) == data);
    auto abort = nas::DecodeHeader(wire.data() + 92, 32);
    EXPECT_EQ(abort->command, 19);
    EXPECT_EQ(abort->payloadLength, 8u);
    EXPECT_EQ(abort->status, 7);
}

Bytes ReplyBytes(uint16_t command, int16_t status, const Bytes& data) {
    nas::PacketHeader header;
    nas::InitHeader(header, command, 0, static_cast<uint32_t>(data.size()));
    header.status = status;
    Bytes bytes(32);
    nas::EncodeHeader(header, bytes.data());
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

TEST(Transport, RecvReplyChecksStatusCommandAndReadsTheData) {
    nastest::ScopedNetConfig scope(PatientConfig());
    const struct {
        const char* what;
        Bytes reply;
        uint16_t expected;
        size_t dataLength;
        int result;
        int status;
    } cases[] = {
        {"accepted with data", ReplyBytes(15, 0, Pattern(428)), 15, 428, 0, 0},
        {"any command", ReplyBytes(99, 0, {}), 0, 0, 0, 0},
        {"refused", ReplyBytes(15, 23, {}), 15, 0, -1, 23},
        {"negative status", ReplyBytes(15, -5, {}), 15, 0, -1, -5},
        {"other command", ReplyBytes(16, 0, {}), 15, 0, -1, 0},
        {"data cut short", ReplyBytes(15, 0, Pattern(100)), 15, 428, -1, 0},
        {"header cut short", Bytes(20, 1), 15, 0, -1, 0},
    };
    for (const auto& c : cases) {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        nas::Socket ours(fds[0]), peer(fds[1]);
        ASSERT_EQ(::send(peer.get(), c.reply.data(), c.reply.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(c.reply.size()));
        peer.reset();
        Bytes data(c.dataLength);
        int status = 12345;
        nas::PacketHeader header;
        EXPECT_EQ(nas::RecvReply(ours.get(), &header, c.expected,
                                 data.empty() ? nullptr : data.data(), data.size(), &status),
                  c.result)
            << c.what;
        EXPECT_EQ(status, c.status) << c.what;
        if (c.result == 0 && !data.empty()) {
            EXPECT_TRUE(Bytes(c.reply.begin() + 32, c.reply.end()) == data) << c.what;
        }
    }
}

// A reply of size bytes whose header declares a payload of declared bytes.
Bytes DeclaredReply(size_t size, uint32_t declared) {
    Bytes bytes = ReplyBytes(1, 0, Pattern(size > 32 ? size - 32 : 0));
    bytes.resize(size);
    bytes[20] = declared & 0xFF;
    bytes[21] = (declared >> 8) & 0xFF;
    bytes[22] = (declared >> 16) & 0xFF;
    bytes[23] = declared >> 24;
    return bytes;
}

TEST(Transport, OneShotRepliesAreReadAsSentWhateverTheirHeaderDeclares) {
    nastest::ScopedNetConfig scope(PatientConfig());
    const struct {
        const char* what;
        size_t need;
        Bytes sent;
        bool close; // the peer closes after sending
        int result;
        size_t got;
    } cases[] = {
        {"verdict declaring 8 (long)", 32, DeclaredReply(32, 8), false, 0, 32},
        {"verdict declaring 0 (exact)", 32, DeclaredReply(32, 0), false, 0, 32},
        {"verdict with 8 bytes more than declared (short)", 32, DeclaredReply(40, 0), true, 0, 40},
        {"server reply, exact", 284, DeclaredReply(284, 252), false, 0, 284},
        {"server reply declaring 0 (short)", 284, DeclaredReply(284, 0), false, 0, 284},
        {"server reply declaring 316 (long)", 284, DeclaredReply(284, 316), false, 0, 284},
        {"extended server reply", 284, DeclaredReply(348, 316), false, 0, 348},
        {"349 bytes arrive whole, for the caller to judge", 284, DeclaredReply(349, 317), true, 0,
         349},
        {"never past 1024 bytes", 32, DeclaredReply(1500, 1468), false, 0, 1024},
        {"31 bytes, then closed", 32, DeclaredReply(31, 0), true, -1, 0},
        {"283 bytes, then closed", 284, DeclaredReply(283, 251), true, -1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TcpPair pair = MakeTcpPair();
        ASSERT_EQ(::send(pair.peer.get(), c.sent.data(), c.sent.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(c.sent.size()));
        if (c.close) pair.peer.reset();
        Bytes reply;
        // Every case that succeeds or sees the close ends long before the limit.
        ASSERT_EQ(nas::RecvOneShotReply(pair.ours.get(), c.need, 1024, 60000, reply), c.result);
        if (c.result == 0) {
            EXPECT_EQ(reply.size(), c.got);
            EXPECT_TRUE(std::equal(reply.begin(), reply.end(), c.sent.begin()));
        }
    }
}

TEST(Transport, OneShotReplySplitOverSegmentsIsReadWhole) {
    nastest::ScopedNetConfig scope(PatientConfig());
    for (size_t need : {size_t{32}, size_t{284}}) {
        SCOPED_TRACE(need);
        const Bytes reply = DeclaredReply(need, 0);
        TcpPair pair = MakeTcpPair();
        std::thread writer([&] {
            const size_t cuts[] = {0, 7, 20, need - 1, need};
            for (size_t i = 0; i + 1 < std::size(cuts); ++i) {
                ::send(pair.peer.get(), reply.data() + cuts[i], cuts[i + 1] - cuts[i],
                       MSG_NOSIGNAL);
                std::this_thread::sleep_for(milliseconds(5)); // separate segments
            }
        });
        Bytes message;
        EXPECT_EQ(nas::RecvOneShotReply(pair.ours.get(), need, 1024, 60000, message), 0);
        writer.join();
        EXPECT_TRUE(message == reply);
    }
}

TEST(Transport, OneShotReplyCutShortAndLeftOpenFailsAtTheDeadline) {
    nastest::ScopedNetConfig scope(PatientConfig());
    TcpPair pair = MakeTcpPair();
    const Bytes reply = DeclaredReply(283, 252);
    ::send(pair.peer.get(), reply.data(), reply.size(), MSG_NOSIGNAL);
    Bytes message;
    auto start = SteadyClock::now();
    EXPECT_EQ(nas::RecvOneShotReply(pair.ours.get(), 284, 1024, 200, message), -1);
    EXPECT_GE(MsSince(start), 190);
}

TEST(Transport, SocketsHandedOutAreNeverDescriptorZero) {
    ::close(0); // this case runs in a process of its own
    nas::Socket socket = nas::MakeSocket(SOCK_STREAM);
    ASSERT_TRUE(socket.valid());
    EXPECT_NE(socket.get(), 0);
    EXPECT_EQ(::fcntl(0, F_GETFD), -1) << "descriptor 0 was left open";
    EXPECT_NE(::fcntl(socket.get(), F_GETFD) & FD_CLOEXEC, 0);
}

} // namespace
