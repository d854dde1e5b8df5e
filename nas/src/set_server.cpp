// NasApiSetServer and NasApiSetServer2: the set-server request by TCP to a known unit, or by
// broadcast from each local network until a unit answers.
#include "local_interfaces.h"
#include "nasapi.h"
#include "netconfig.h"
#include "set_server_request.h"
#include "socket.h"
#include "transport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>

namespace nas {

namespace {

constexpr int kNoAnswer = -1;
constexpr size_t kReceiveSize = 1024;

// A UDP socket bound to address at the first port of the configured range that binds.
Socket BindFirstFreePort(uint32_t address, const NetConfig& config) {
    for (unsigned port = config.setServerPortFirst; port <= config.setServerPortLast; ++port) {
        Socket socket = MakeSocket(SOCK_DGRAM);
        if (!socket.valid()) return socket;
        if (BindIpv4(socket.get(), address, static_cast<uint16_t>(port))) return socket;
    }
    return Socket();
}

// Waits for the answer on one local network's socket. The whole wait is bounded by the reply
// time, so that a sender that keeps sending other datagrams can't hold the call.
int AwaitAnswer(int fd, uint16_t expected, bool patient, const NetConfig& config) {
    using SteadyClock = std::chrono::steady_clock;
    const auto deadline =
        SteadyClock::now() + std::chrono::milliseconds(config.setServerBroadcastWaitMs);
    int foreign = 0;
    for (;;) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0 || WaitReadable(fd, static_cast<int>(left.count())) <= 0)
            return kNoAnswer;
        uint8_t buffer[kReceiveSize];
        ssize_t size = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (size < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            return kNoAnswer;
        }
        int status = 0;
        switch (ClassifySetServerDatagram(buffer, static_cast<size_t>(size), expected, &status)) {
        case SetServerDatagram::Answer:
            return status;
        case SetServerDatagram::Foreign:
            // Mode 2 passes over a number of older-style answers; the others give up at once.
            if (!patient || ++foreign > config.setServerForeignLimit) return kNoAnswer;
            break;
        case SetServerDatagram::Ignored:
            break;
        }
    }
}

int SetServerByBroadcast(const std::vector<uint8_t>& request, uint16_t expected, bool patient,
                         const NetConfig& config) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(config.broadcastAddress);
    target.sin_port = htons(config.udpPort);
    for (const LocalInterface& local : LocalInterfaces(config)) {
        Socket socket = BindFirstFreePort(local.address, config);
        if (!socket.valid()) return kNoAnswer;
        int on = 1;
        if (::setsockopt(socket.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
            return kNoAnswer;
        if (::sendto(socket.get(), request.data(), request.size(), MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&target), sizeof target) < 0)
            continue;
        int result = AwaitAnswer(socket.get(), expected, patient, config);
        if (result != kNoAnswer) return result;
    }
    return kNoAnswer;
}

int SetServer(const uint32_t addrs[3], const NasServerSetting* setting,
              const NasServerSetting2* credentials) {
    if (!setting) return kNoAnswer;
    auto request = BuildSetServerRequest(*setting, credentials);
    if (!request) return kNoAnswer;
    auto config = CurrentNetConfig();
    const uint16_t expected = ExpectedSetServerReply(*setting);
    if (setting->route == 1) {
        if (!addrs) return kNoAnswer;
        return OneShotRequest(addrs, request->data(), request->size(), expected,
                              config->setServerReplyMs);
    }
    return SetServerByBroadcast(*request, expected, setting->mode == 2, *config);
}

} // namespace

} // namespace nas

int NasApiSetServer(const uint32_t addrs[3], const NasServerSetting* setting) {
    nas::ObserveCall("NasApiSetServer");
    return nas::SetServer(addrs, setting, nullptr);
}

int NasApiSetServer2(const uint32_t addrs[3], const NasServerSetting* setting,
                     const NasServerSetting2* credentials) {
    if (!credentials) return -1;
    nas::ObserveCall("NasApiSetServer2");
    return nas::SetServer(addrs, setting, credentials);
}
