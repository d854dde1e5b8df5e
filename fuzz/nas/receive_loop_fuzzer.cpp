// The receive loops of discovery and of the broadcast set-server request, fed whole datagram
// sequences: a responder on loopback hears the library's broadcast and answers with the input's
// datagrams, each from one of several senders. Discovery must store at most its maximum of
// distinct units; the set-server request must return a status or -1.
//
// Input: [mode byte], then datagrams, each [sender byte][u16 length][bytes]. Mode bit 0: the
// set-server request (bit 1: mode 2, which passes over foreign answers); else discovery. The
// sender byte picks 127.0.0.(2 + sender % 8); 127.0.0.1 is the library's own address.
#include "nasapi.h"
#include "netconfig.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kSenders = 8;

struct Datagram {
    int sender;
    std::vector<std::uint8_t> bytes;
};

// Hears each broadcast on the units' port and answers its sender with the datagrams of the
// current input.
class Responder {
public:
    Responder() {
        listen_ = Bound(0x7F000001u, 0);
        sockaddr_in own{};
        socklen_t length = sizeof own;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&own), &length);
        port = ntohs(own.sin_port);
        for (int i = 0; i < kSenders; ++i)
            senders_[i] = Bound(0x7F000002u + static_cast<std::uint32_t>(i), 0);
        std::thread([this] { Serve(); }).detach();
    }

    void Set(std::vector<Datagram> datagrams) {
        std::lock_guard<std::mutex> lock(mutex_);
        datagrams_ = std::move(datagrams);
    }

    std::uint16_t port = 0;

private:
    static int Bound(std::uint32_t address, std::uint16_t port) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(address);
        a.sin_port = htons(port);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) __builtin_trap();
        return fd;
    }

    void Serve() {
        std::uint8_t request[2048];
        for (;;) {
            sockaddr_in from{};
            socklen_t length = sizeof from;
            if (::recvfrom(listen_, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&from),
                           &length) < 0)
                continue;
            std::vector<Datagram> datagrams;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                datagrams = datagrams_;
            }
            for (const Datagram& d : datagrams)
                ::sendto(senders_[d.sender], d.bytes.data(), d.bytes.size(), 0,
                         reinterpret_cast<sockaddr*>(&from), sizeof from);
            // The acknowledgements of discovery are of no interest.
            for (int fd : senders_) {
                while (::recv(fd, request, sizeof request, MSG_DONTWAIT) >= 0) {
                }
            }
        }
    }

    int listen_ = -1;
    int senders_[kSenders] = {};
    std::mutex mutex_;
    std::vector<Datagram> datagrams_;
};

Responder& TheResponder() {
    static Responder* responder = [] {
        auto* r = new Responder;
        nas::NetConfig config = nas::NetConfig::Defaults();
        config.udpPort = r->port;
        config.broadcastAddress = 0x7F000001u;
        config.discoveryLocalPort = 0;
        config.discoveryWaitMs = 15;
        config.discoveryCollectMs = 500;
        config.setServerPortFirst = 0;
        config.setServerPortLast = 0;
        config.setServerBroadcastWaitMs = 30;
        config.setServerForeignLimit = 5;
        config.localInterfaces = std::vector<nas::LocalInterface>{{0x7F000001u, 0xFF000000u}};
        config.hostName = "fuzz-host";
        config.notifier = [](int) {};
        nas::SetNetConfig(config);
        return r;
    }();
    return *responder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Responder& responder = TheResponder();
    if (size < 1) return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;
    std::vector<Datagram> datagrams;
    while (size >= 3 && datagrams.size() < 300) {
        const int sender = data[0] % kSenders;
        std::size_t length = data[1] | std::size_t{data[2]} << 8;
        data += 3;
        size -= 3;
        if (length > size) length = size;
        datagrams.push_back({sender, std::vector<std::uint8_t>(data, data + length)});
        data += length;
        size -= length;
    }
    responder.Set(std::move(datagrams));

    if (mode & 1) {
        NasServerSetting setting{};
        setting.route = 0;
        setting.mode = (mode & 2) ? 2 : 1;
        const int status = NasApiSetServer(nullptr, &setting);
        if (status < -32768 || status > 32767) __builtin_trap();
    } else {
        static NasServerInfo found[NAS_FIND_SERVER_MAX];
        int count = -1;
        if (NasApiFindServer(found, &count) != 0) __builtin_trap();
        if (count < 0 || count > NAS_FIND_SERVER_MAX) __builtin_trap();
    }
    responder.Set({});
    return 0;
}
