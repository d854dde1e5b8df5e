// Throughput of a mirror session into a simulated unit on loopback (start, data blocks each
// acknowledged, complete), measured beside a plain copy of the same bytes in the same block size
// over a loopback TCP connection, in the same run. The counter "ratio" is mirror throughput over
// plain-copy throughput; the goal is at least 0.5.
//
// Run it inside a private network namespace: scripts/netns-run build/bench/bench_nas_mirror
#include "nasapi.h"
#include "nassim.h"
#include "netconfig.h"
#include "socket.h"

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

// A connected loopback TCP pair whose receiving end a thread drains.
class PlainCopy {
public:
    PlainCopy() {
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
        drain_ = std::thread([fd = receiver_.get()] {
            std::vector<uint8_t> buffer(1 << 20);
            while (::recv(fd, buffer.data(), buffer.size(), 0) > 0) {
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

private:
    nas::Socket sender_, receiver_;
    std::thread drain_;
};

nassim::UnitConfig UnitConfig() {
    nassim::UnitConfig config;
    config.address = kUnitAddress;
    config.keepSessionData = false; // the unit counts the bytes, as the plain copy drops them
    return config;
}

void BM_MirrorSession(benchmark::State& state) {
    const size_t block = static_cast<size_t>(state.range(0));
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
    PlainCopy plain;

    double mirrorSeconds = 0, plainSeconds = 0;
    int images = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        for (size_t at = 0; at < disc.size(); at += block)
            plain.send(disc.data() + at, std::min(block, disc.size() - at));
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
    }
    nas::ResetNetConfig();
}

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
