// Throughput of a mirror session into a simulated unit on loopback (start, data blocks each
// acknowledged, complete), measured beside a plain copy of the same bytes in the same block size
// over a loopback TCP connection, in the same run. The counter "ratio" is mirror throughput over
// plain-copy throughput; the goal is at least 0.5 at 32 KiB. BM_StopAndWait32K sets the library
// and the simulated unit beside a minimal client and a minimal echo peer. The benchmark's own
// thread, the client side of every exchange, stays on one CPU (bench::StayOnThisCpu).
//
// Run it inside a private network namespace: scripts/netns-run build/bench/bench_nas_mirror
#include "nasapi.h"
#include "nassim.h"
#include "netconfig.h"
#include "socket.h"
#include "stop_and_wait.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kDiscBytes = 8u << 20;
constexpr uint32_t kUnitAddress = nassim::Ipv4(127, 0, 0, 2);

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A connected loopback TCP pair whose receiving end a thread drains. A copy ends when the
// receiving end has every byte (it answers one byte then), as a mirror session ends when the unit
// has acknowledged every block: a copy timed only until its bytes sit in the socket buffer would
// leave its tail to be received during whatever is timed next.
class PlainCopy {
public:
    explicit PlainCopy(size_t total) {
        nas::Socket listener = nas::MakeSocket(SOCK_STREAM);
        if (!nas::BindIpv4(listener.get(), nassim::Ipv4(127, 0, 0, 1), 0) ||
            ::listen(listener.get(), 1) != 0)
            throw std::runtime_error("plain copy: no listener");
        sockaddr_in address{};
        socklen_t size = sizeof address;
        ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &size);
        sender_ = nas::MakeSocket(SOCK_STREAM);
        if (::connect(sender_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("plain copy: no connection");
        int on = 1;
        ::setsockopt(sender_.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        receiver_ = nas::Socket(::accept(listener.get(), nullptr, nullptr));
        drain_ = std::thread([fd = receiver_.get(), total] {
            std::vector<uint8_t> buffer(1 << 20);
            size_t got = 0;
            for (;;) {
                const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
                if (n <= 0) return;
                got += static_cast<size_t>(n);
                if (got < total) continue;
                got -= total;
                const uint8_t receipt = 1;
                if (::send(fd, &receipt, 1, MSG_NOSIGNAL) != 1) return;
            }
        });
    }
    ~PlainCopy() {
        ::shutdown(sender_.get(), SHUT_WR);
        drain_.join();
    }
    void send(const uint8_t* data, size_t size) {
        while (size > 0) {
            ssize_t sent = ::send(sender_.get(), data, size, MSG_NOSIGNAL);
            if (sent <= 0) throw std::runtime_error("plain copy: send failed");
            data += sent;
            size -= static_cast<size_t>(sent);
        }
    }
    // Waits for the receiving end's receipt of the whole copy.
    void awaitReceipt() {
        uint8_t receipt = 0;
        if (::recv(sender_.get(), &receipt, 1, MSG_WAITALL) != 1)
            throw std::runtime_error("plain copy: no receipt");
    }

private:
    nas::Socket sender_, receiver_;
    std::thread drain_;
};

nassim::UnitConfig UnitConfig() {
    nassim::UnitConfig config;
    config.address = kUnitAddress;
    config.keepSessionData = false; // the unit counts the bytes, as the plain copy drops them
    config.hashSessionData = false;
    config.recordDataBlocks = false;
    return config;
}

void BM_MirrorSession(benchmark::State& state) {
    const size_t block = static_cast<size_t>(state.range(0));
    bench::StayOnThisCpu();
    nassim::Unit unit(UnitConfig());
    nas::NetConfig config = nas::NetConfig::Defaults();
    config.tcpPort = unit.tcpPort();
    nas::SetNetConfig(config);
    const uint32_t addrs[3] = {kUnitAddress, 0, 0};

    std::vector<uint8_t> disc(kDiscBytes);
    for (size_t i = 0; i < disc.size(); ++i)
        disc[i] = static_cast<uint8_t>(i * 2654435761u >> 24);
    NasCDTable table;
    std::memset(&table, 0, sizeof table);
    table.one = table.one9 = 1;
    PlainCopy plain(disc.size());

    double mirrorSeconds = 0, plainSeconds = 0;
    int images = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        for (size_t at = 0; at < disc.size(); at += block)
            plain.send(disc.data() + at, std::min(block, disc.size() - at));
        plain.awaitReceipt();
        plainSeconds += Seconds(start);

        NasMirrorInfo info;
        std::memset(&info, 0, sizeof info);
        // The unit refuses a name it already holds: each mirror makes a new image.
        std::snprintf(info.imageName, sizeof info.imageName, "BENCH%d", ++images);
        info.mode = 1;
        start = Clock::now();
        int session = 0;
        if (NasApiMirrorStart(addrs, &session, &table, &info, 0, 0) != 0) {
            state.SkipWithError("mirror start failed");
            break;
        }
        for (size_t at = 0; at < disc.size(); at += block) {
            int size = static_cast<int>(std::min(block, disc.size() - at));
            if (NasApiSendCDData(session, disc.data() + at, size) != 0) {
                state.SkipWithError("data block refused");
                break;
            }
        }
        if (NasApiMirrorComplete(session) != 0) {
            ::close(session);
            state.SkipWithError("complete failed");
            break;
        }
        double seconds = Seconds(start);
        mirrorSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    const double bytes = static_cast<double>(kDiscBytes) * static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    if (mirrorSeconds > 0 && plainSeconds > 0) {
        state.counters["mirror_MiBps"] = bytes / mirrorSeconds / (1 << 20);
        state.counters["plain_MiBps"] = bytes / plainSeconds / (1 << 20);
        state.counters["ratio"] = plainSeconds / mirrorSeconds;
        if (block == 32 << 10) state.counters["goal_min"] = 0.5;
    }
    nas::ResetNetConfig();
}

// A minimal peer of the units' stop-and-wait: it reads each request (40-byte header and the data
// its sub-header declares) and answers with a bare 32-byte header of the same command, status 0.
class EchoPeer {
public:
    EchoPeer() {
        listener_ = nas::MakeSocket(SOCK_STREAM);
        if (!nas::BindIpv4(listener_.get(), nassim::Ipv4(127, 0, 0, 1), 0) ||
            ::listen(listener_.get(), 4) != 0)
            throw std::runtime_error("echo peer: no listener");
        sockaddr_in address{};
        socklen_t size = sizeof address;
        ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~EchoPeer() {
        ::shutdown(listener_.get(), SHUT_RDWR);
        thread_.join();
    }
    uint16_t port() const { return port_; }

private:
    void Serve() {
        std::vector<uint8_t> data(1 << 20);
        for (;;) {
            nas::Socket conn(::accept(listener_.get(), nullptr, nullptr));
            if (!conn.valid()) return;
            uint8_t head[40];
            while (::recv(conn.get(), head, sizeof head, MSG_WAITALL) == sizeof head) {
                uint32_t length = 0;
                std::memcpy(&length, head + 36, 4);
                if (length > data.size() ||
                    ::recv(conn.get(), data.data(), length, MSG_WAITALL) != ssize_t(length))
                    break;
                uint8_t reply[32];
                std::memcpy(reply, head, sizeof reply);
                std::memset(reply + 20, 0, 4);
                std::memset(reply + 30, 0, 2);
                if (::send(conn.get(), reply, sizeof reply, MSG_NOSIGNAL) != sizeof reply) break;
            }
        }
    }
    nas::Socket listener_;
    uint16_t port_ = 0;
    std::thread thread_;
};

nas::Socket Connect(uint32_t address, uint16_t port) {
    nas::Socket s = nas::MakeSocket(SOCK_STREAM);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(address);
    peer.sin_port = htons(port);
    if (::connect(s.get(), reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0)
        throw std::runtime_error("no connection");
    int on = 1; // as on the library's session sockets
    ::setsockopt(s.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return s;
}

// The minimal client: each message framed once beforehand, then one exchange per message.
bool MinimalClient(int fd, const std::vector<std::vector<uint8_t>>& messages) {
    for (const auto& m : messages)
        if (!bench::ExchangeOnce(fd, m)) return false;
    return true;
}

// Stop-and-wait at 32 KiB over loopback, three ways in the same iteration: the minimal client
// against the echo peer, the library (NasApiSendCDData) against the same echo peer, and the
// minimal client against the simulated unit in a mirror session. "ratio_library": library over
// minimal client (goal at most 1.2); "ratio_sim": the unit's turnaround over the echo peer's, both
// with the minimal client (goal at most 1.5).
void BM_StopAndWait32K(benchmark::State& state) {
    constexpr size_t kBlock = 32 << 10;
    std::vector<uint8_t> disc(kDiscBytes);
    for (size_t i = 0; i < disc.size(); ++i)
        disc[i] = static_cast<uint8_t>(i * 2654435761u >> 24);
    std::vector<std::vector<uint8_t>> messages;
    for (size_t at = 0; at < disc.size(); at += kBlock) {
        messages.push_back(bench::FrameMirrorData(disc.data() + at, kBlock));
    }

    bench::StayOnThisCpu();
    EchoPeer echo;
    nassim::Unit unit(UnitConfig());
    nas::NetConfig config = nas::NetConfig::Defaults();
    config.tcpPort = unit.tcpPort();
    nas::SetNetConfig(config);
    const uint32_t addrs[3] = {kUnitAddress, 0, 0};
    NasCDTable table;
    std::memset(&table, 0, sizeof table);
    table.one = table.one9 = 1;

    double minimal = 0, library = 0, sim = 0;
    int images = 0;
    for (auto _ : state) {
        // The echo peer serves one connection at a time: each closes before the next.
        auto start = Clock::now();
        if (!MinimalClient(Connect(nassim::Ipv4(127, 0, 0, 1), echo.port()).get(), messages)) {
            state.SkipWithError("minimal client failed");
            break;
        }
        minimal += Seconds(start);

        nas::Socket libraryToEcho = Connect(nassim::Ipv4(127, 0, 0, 1), echo.port());
        start = Clock::now();
        for (size_t at = 0; at < disc.size(); at += kBlock) {
            if (NasApiSendCDData(libraryToEcho.get(), disc.data() + at, kBlock) != 0) {
                state.SkipWithError("library send failed");
                break;
            }
        }
        library += Seconds(start);
        state.SetIterationTime(Seconds(start));
        libraryToEcho.reset();

        NasMirrorInfo info;
        std::memset(&info, 0, sizeof info);
        std::snprintf(info.imageName, sizeof info.imageName, "SW%d", ++images);
        info.mode = 1;
        int session = 0;
        if (NasApiMirrorStart(addrs, &session, &table, &info, 0, 0) != 0) {
            state.SkipWithError("mirror start failed");
            break;
        }
        nas::Socket toUnit(session);
        nas::SetNonBlocking(session, false);
        start = Clock::now();
        if (!MinimalClient(session, messages)) {
            state.SkipWithError("minimal client against the unit failed");
            break;
        }
        sim += Seconds(start);
    }
    if (minimal > 0) {
        state.counters["minimal_MiBps"] = static_cast<double>(kDiscBytes) *
                                          static_cast<double>(state.iterations()) / minimal /
                                          (1 << 20);
        state.counters["ratio_library"] = library / minimal;
        state.counters["goal_max_library"] = 1.2;
        state.counters["ratio_sim"] = sim / minimal;
        state.counters["goal_max_sim"] = 1.5;
    }
    nas::ResetNetConfig();
}
BENCHMARK(BM_StopAndWait32K)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// 16 sectors (the program's run), then larger blocks.
BENCHMARK(BM_MirrorSession)
    ->Arg(32 << 10)
    ->Arg(64 << 10)
    ->Arg(256 << 10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
