// Every exported call that talks to a unit over TCP ends within its total deadline, even against a
// peer that sends one byte now and then, just often enough that no single wait ever times out.
#include "nas_test_support.h"
#include "nasapi.h"
#include "socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

constexpr int kDeadlineMs = 1000;
// Each wait, and the direct form's limit per record, far above what the peer needs for a byte or a
// record: without the total deadline these calls would run for minutes.
constexpr int kEachWaitMs = 30000;
constexpr milliseconds kPace{100};               // one byte this often
constexpr long long kGenerousBoundMs = 10000;    // the call ends well before the peer would
constexpr milliseconds kPeerGivesUpAfter{40000}; // so that a broken deadline can't hang the run

// A reply header: signature, version 256, command, status 0; with a data length when extended.
Bytes Header(uint16_t command, bool extended, uint32_t dataLength) {
    Bytes b(extended ? 40 : 32, 0);
    std::memcpy(b.data(), "PELQUANE", 8);
    b[8] = 0x00;
    b[9] = 0x01;
    const uint32_t payload = extended ? dataLength + 8 : 0;
    for (int i = 0; i < 4; ++i)
        b[20 + i] = static_cast<uint8_t>(payload >> (8 * i));
    b[24] = static_cast<uint8_t>(command);
    b[25] = static_cast<uint8_t>(command >> 8);
    b[26] = 1;
    if (extended)
        for (int i = 0; i < 4; ++i)
            b[36 + i] = static_cast<uint8_t>(dataLength >> (8 * i));
    return b;
}

// A peer on a loopback address that answers every connection with a prefix at once, then one
// zero byte per kPace until the connection closes or the peer stops.
class TricklingPeer {
public:
    TricklingPeer(uint32_t address, Bytes prefix) : prefix_(std::move(prefix)) {
        listener_ = nas::MakeSocket(SOCK_STREAM);
        EXPECT_TRUE(nas::BindIpv4(listener_.get(), address, 0));
        EXPECT_EQ(::listen(listener_.get(), 8), 0);
        sockaddr_in bound{};
        socklen_t size = sizeof bound;
        ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&bound), &size);
        port_ = ntohs(bound.sin_port);
        acceptor_ = std::thread([this] { Accept(); });
    }
    ~TricklingPeer() {
        stop_ = true;
        if (acceptor_.joinable()) acceptor_.join();
        for (auto& t : writers_)
            t.join();
    }
    uint16_t port() const { return port_; }

private:
    void Accept() {
        while (!stop_) {
            pollfd entry{listener_.get(), POLLIN, 0};
            if (::poll(&entry, 1, 20) <= 0) continue;
            int fd = ::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            writers_.emplace_back([this, fd] { Trickle(nas::Socket(fd)); });
        }
    }
    void Trickle(nas::Socket s) {
        int on = 1;
        ::setsockopt(s.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (::send(s.get(), prefix_.data(), prefix_.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(prefix_.size()))
            return;
        const auto end = SteadyClock::now() + kPeerGivesUpAfter;
        char sink[4096];
        const uint8_t zero = 0;
        while (!stop_ && SteadyClock::now() < end) {
            std::this_thread::sleep_for(kPace);
            while (::recv(s.get(), sink, sizeof sink, MSG_DONTWAIT) > 0) {
            }
            if (::send(s.get(), &zero, 1, MSG_NOSIGNAL) != 1) return; // the library hung up
        }
    }

    Bytes prefix_;
    nas::Socket listener_;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
    std::vector<std::thread> writers_;
};

TEST(CallDeadline, EveryKindOfCallEndsAgainstATricklingPeer) {
    char path[] = "/tmp/nas-deadline-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);

    const struct {
        const char* what;
        Bytes prefix;
        std::function<bool(const uint32_t*)> call; // true when the call reported a failure
    } cases[] = {
        {"image list: 4000 records announced", Header(14, true, 196u * 4000),
         [](const uint32_t* a) {
             static NasImgInfo images[NAS_IMG_INFO_MAX];
             unsigned count = 0;
             return NasApiGetImgList(a, &count, images) != 0;
         }},
        {"disk list, direct form: 1000 records announced", Header(10, true, 170u * 1000),
         [](const uint32_t* a) {
             static NasDiskInfo disks[1000];
             int count = 0;
             NasApiGetDiskInfo(a, &count, disks);
             return count < 1000; // the direct form reports 0 with what arrived
         }},
        {"configuration read: 1 GiB announced",
         [] {
             Bytes b = Header(4, true, 1u << 30);
             b.resize(b.size() + 256, 0); // the first block, then the rest trickles
             return b;
         }(),
         [&path](const uint32_t* a) {
             NasApiGetConfig(a, path, "");
             return true; // the result is the head's status; ending is what counts
         }},
        {"session: mirror start reply data", Header(15, false, 0),
         [](const uint32_t* a) {
             NasMirrorInfo info;
             std::memset(&info, 0, sizeof info);
             std::strcpy(info.folderName, "F");
             int session = 0;
             const int result = NasApiMirrorStart(a, &session, nullptr, &info, 1, 0);
             if (session > 0) ::close(session);
             return result != 0;
         }},
        {"session: user check reply header", Bytes{'P', 'E'},
         [](const uint32_t* a) { return NasApiCheckUserPassword(a, "user", "pw") != 0; }},
        {"one-shot: password check", Bytes{'P'},
         [](const uint32_t* a) { return NasApiCheckPassword(a, "pw") != 0; }},
        {"one-shot: server information", Bytes{'P'},
         [](const uint32_t* a) {
             NasServerInfo info;
             return NasApiGetRemoteInfo(a, &info) != 0;
         }},
    };
    unsigned host = 2;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const uint32_t address = nastest::Ipv4(127, 0, 120, host++);
        TricklingPeer peer(address, c.prefix);
        nas::NetConfig config = nastest::LoopbackConfig();
        config.tcpPort = peer.port();
        config.readinessWaitMs = kEachWaitMs;
        config.directWaitMs = kEachWaitMs;
        config.configReadWaitMs = kEachWaitMs;
        config.oneShotReplyMs = 2000; // a one-shot reply has a limit of its own
        config.callDeadlineMs = kDeadlineMs;
        config.notifier = [](int) {};
        nastest::ScopedNetConfig scope(config);
        const std::array<uint32_t, 3> addrs{address, 0, 0};
        const auto start = SteadyClock::now();
        EXPECT_TRUE(c.call(addrs.data()));
        const auto took =
            std::chrono::duration_cast<milliseconds>(SteadyClock::now() - start).count();
        EXPECT_LT(took, kGenerousBoundMs);
    }
    ::unlink(path);
}

} // namespace
