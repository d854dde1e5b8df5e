// The frame layer on a socket pair: golden bytes of requests and of the discovery query, and the
// receive path's answer to every malformed or late reply.
#include "tovexcdh_frame.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct SocketPair {
    SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fd), 0); }
    ~SocketPair() {
        for (int f : fd)
            if (f >= 0) ::close(f);
    }
    void Write(const Bytes& bytes) {
        ASSERT_EQ(::write(fd[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void CloseWriter() {
        ::close(fd[1]);
        fd[1] = -1;
    }
    Bytes ReadAvailable() {
        Bytes out(70000);
        const ssize_t n = ::recv(fd[1], out.data(), out.size(), MSG_DONTWAIT);
        out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return out;
    }
    int fd[2] = {-1, -1};
};

Bytes Header(std::uint16_t length, std::uint16_t command) {
    return {0x4E,
            0x41,
            0x44,
            0x2D,
            0x63,
            0x66,
            0x67,
            0x06,
            static_cast<std::uint8_t>(length),
            static_cast<std::uint8_t>(length >> 8),
            0x00,
            0x00,
            static_cast<std::uint8_t>(command),
            static_cast<std::uint8_t>(command >> 8)};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(CdhFrame, RequestsGoOutWithTheGoldenBytes) {
    struct Case {
        const char* what;
        std::uint16_t command;
        Bytes payload;
        Bytes expected;
    };
    const Case cases[] = {
        {"status, no payload",
         5,
         {},
         {0x4E, 0x41, 0x44, 0x2D, 0x63, 0x66, 0x67, 0x06, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x0D,
          0x0A}},
        {"slot information of slot 3", 6, {0x03, 0x00, 0x00, 0x00}, {0x4E, 0x41, 0x44, 0x2D, 0x63,
                                                                     0x66, 0x67, 0x06, 0x04, 0x00,
                                                                     0x00, 0x00, 0x06, 0x00, 0x03,
                                                                     0x00, 0x00, 0x00, 0x0D, 0x0A}},
        {"bit 15 of the command is sent clear",
         0x801D,
         {},
         {0x4E, 0x41, 0x44, 0x2D, 0x63, 0x66, 0x67, 0x06, 0x00, 0x00, 0x00, 0x00, 0x1D, 0x00, 0x0D,
          0x0A}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SocketPair pair;
        const int sent =
            CdhSendFrame(pair.fd[0], c.command, c.payload.data(), c.payload.size(), 1000);
        EXPECT_EQ(sent, static_cast<int>(c.expected.size()));
        EXPECT_EQ(pair.ReadAvailable(), c.expected);
    }
    // A password block: 100 bytes declared as 0x64.
    SocketPair pair;
    Bytes block(100, 0xAB);
    ASSERT_EQ(CdhSendFrame(pair.fd[0], 19, block.data(), block.size(), 1000), 116);
    EXPECT_EQ(pair.ReadAvailable(), Concat({Header(100, 19), block, {0x0D, 0x0A}}));
}

TEST(CdhFrame, DiscoveryQueryHasTheGoldenLayout) {
    const std::uint8_t own[4] = {127, 0, 0, 1};
    std::uint8_t query[kCdhAnnounceSize];
    std::memset(query, 0xEE, sizeof query);
    CdhBuildQuery(query, 0x11223344u, own);

    Bytes expected(344, 0);
    const Bytes header = Header(344, 0); // length 0x0158
    std::copy(header.begin(), header.end(), expected.begin());
    const std::uint8_t tick[] = {0x44, 0x33, 0x22, 0x11};
    std::copy(std::begin(tick), std::end(tick), expected.begin() + 14);
    std::copy(std::begin(own), std::end(own), expected.begin() + 34);
    expected[82] = 0x00, expected[83] = 0x08; // 2048
    expected[90] = 0x01;                      // 1
    for (int i = 106; i < 110; ++i)
        expected[i] = 0xFF;
    EXPECT_EQ(Bytes(query, query + sizeof query), expected);
}

TEST(CdhFrame, ReceiveTakesAValidFrameAndHandsOutTheCommandWithoutBit15) {
    SocketPair pair;
    pair.Write(Concat({Header(4, 0x8009), {1, 2, 3, 4}, {'x', 'y'}})); // trailer not checked
    std::uint8_t buffer[4];
    std::uint16_t command = 0;
    EXPECT_EQ(CdhReceiveFrame(pair.fd[0], &command, buffer, sizeof buffer, 1000), 4);
    EXPECT_EQ(command, 9);
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{1, 2, 3, 4}));
}

TEST(CdhFrame, MalformedOrLateRepliesAreRefusedInBoundedTime) {
    struct Case {
        const char* what;
        Bytes bytes;
        bool close; // the peer closes after writing
    };
    Bytes badSignature = Concat({Header(4, 5), {1, 2, 3, 4, 13, 10}});
    badSignature[0] = 'M';
    Bytes badTag = badSignature;
    badTag[0] = 'N';
    badTag[7] = 0x07;
    Bytes reserved = Concat({Header(4, 5), {1, 2, 3, 4, 13, 10}});
    const Bytes header = Header(4, 5);
    reserved[10] = 1;
    const Case cases[] = {
        {"signature", badSignature, true},
        {"protocol tag", badTag, true},
        {"reserved field not 0", reserved, true},
        {"payload larger than the buffer", Concat({Header(200, 5), Bytes(200, 0), {13, 10}}),
         false},
        {"payload ends early and the peer closes", Concat({Header(8, 5), {1, 2, 3}}), true},
        {"payload stalls", Concat({Header(8, 5), {1, 2, 3}}), false},
        {"header stalls after 10 bytes", Bytes(header.begin(), header.begin() + 10), false},
        {"no trailer", Concat({Header(4, 5), {1, 2, 3, 4}}), true},
        {"nothing at all", {}, false},
        {"closed without a byte", {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SocketPair pair;
        pair.Write(c.bytes);
        if (c.close) pair.CloseWriter();
        std::uint8_t buffer[128];
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(CdhReceiveFrame(pair.fd[0], nullptr, buffer, sizeof buffer, 200), -1);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    }
}

TEST(CdhFrame, AnEmptyPayloadIsAValidFrame) {
    SocketPair pair;
    pair.Write(Concat({Header(0, 28), {13, 10}}));
    std::uint8_t buffer[1];
    EXPECT_EQ(CdhReceiveFrame(pair.fd[0], nullptr, buffer, 0, 1000), 0);
}

} // namespace
