// CD-server replies on the request connection: a server on loopback answers each connection of
// the client with the next reply of the input (status, slot blocks, entry and group lists, the
// volume and RAID tables, the two-frame tape header, the tape catalogue, password verdicts), and
// the facade refreshes a server, a slot and its entries, the groups and a tape catalogue, and
// sends a password, as the window does. Nothing may overrun, and the record must stay consistent.
//
// Input: [slot byte][firmware byte], then replies, each [u24 length][bytes], taken one per
// connection; a connection past the last reply is closed unanswered.
#include "cdh_net.h"
#include "tcpsocket.h"
#include "tovexcdh_config.h"
#include "tovexcdh_net.h"
#include "tovexcdh_svr.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

// The server: one connection at a time; it sends the next reply, ends its side and waits for the
// client to close, so that the client never waits for a time-out.
class ReplyServer {
public:
    ReplyServer() {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_addr.s_addr = htonl(INADDR_ANY);
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 ||
            ::listen(listen_, 16) != 0)
            __builtin_trap();
        socklen_t length = sizeof any;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&any), &length);
        port = ntohs(any.sin_port);
        std::thread([this] { Serve(); }).detach();
    }

    void SetReplies(std::deque<std::vector<std::uint8_t>> replies) {
        std::lock_guard<std::mutex> lock(mutex_);
        replies_ = std::move(replies);
    }

    std::uint16_t port = 0;

private:
    void Serve() {
        for (;;) {
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            std::vector<std::uint8_t> reply;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!replies_.empty()) {
                    reply = std::move(replies_.front());
                    replies_.pop_front();
                }
            }
            for (std::size_t sent = 0; sent < reply.size();) {
                const ssize_t n =
                    ::send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<std::size_t>(n);
            }
            ::shutdown(fd, SHUT_WR);
            std::uint8_t drain[4096];
            while (::recv(fd, drain, sizeof drain, 0) > 0) {
            }
            ::close(fd);
        }
    }

    int listen_ = -1;
    std::mutex mutex_;
    std::deque<std::vector<std::uint8_t>> replies_;
};

ReplyServer& Server() {
    static ReplyServer* server = [] {
        auto* s = new ReplyServer;
        CdhNetConfig config;
        config.tcpPort = s->port;
        config.broadcastAddress = 0x7FFFFFFFu;
        config.replyWaitMs = 2000;
        config.connectWaitMs = 2000;
        config.sendWaitMs = 2000;
        config.hostName = "fuzz-host";
        config.resolveHost = [](const std::string&) -> std::optional<std::uint32_t> {
            return 0x7F000001u;
        };
        SetCdhConfig(config);
        TcpSocketManager = new TTcpSocket(0x0101);
        return s;
    }();
    return *server;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReplyServer& server = Server();
    if (size < 2) return 0;
    const int slot = data[0] % 12;
    auto record = std::make_unique<TCdhSvr>();
    record->FirmwareMajor = data[1] & 3;
    record->FirmwareMinor = data[1] >> 2;
    // A fresh destination for each input spreads the closed connections over many addresses.
    static std::uint32_t next = 0;
    ++next;
    const std::uint8_t ip[4] = {127, static_cast<std::uint8_t>(1 + (next >> 16 & 0x7F)),
                                static_cast<std::uint8_t>(next >> 8),
                                static_cast<std::uint8_t>(next)};
    std::memcpy(record->IpAddress, ip, 4);
    data += 2;
    size -= 2;

    std::deque<std::vector<std::uint8_t>> replies;
    while (size >= 3) {
        std::size_t length = data[0] | std::size_t{data[1]} << 8 | std::size_t{data[2]} << 16;
        data += 3;
        size -= 3;
        if (length > size) length = size;
        replies.emplace_back(data, data + length);
        data += length;
        size -= length;
    }
    server.SetReplies(std::move(replies));

    CDH_NET_CLASS& f = CdhNetClass();
    f.RefreshServer(record.get());
    f.RefreshSlot(record.get(), slot);
    if (record->SlotEntryBytes > record->SlotEntries.size()) __builtin_trap();
    f.RefreshGroupList(record.get());
    if (record->GroupEntryBytes > record->GroupEntries.size()) __builtin_trap();
    f.LoadTapeCatalog(record.get(), slot);
    f.SendPasswordCommand(record.get(), "secret", slot % 3, 0);
    if (record->VolumeTableCount > kCdhVolumeEntries || record->RaidVolumeCount > kCdhRaidEntries)
        __builtin_trap();

    std::size_t total = f.GetSlotLabel(record.get(), slot).size() +
                        f.GetSlotStatusText(record.get(), slot).size() +
                        f.GetTapeName(record.get()).size() + f.GetTapeLabel(record.get()).size();
    for (int i = 0; i < f.GetSlotEntryCount(record.get(), slot) && i < 2000; ++i)
        total += f.GetEntryName(record.get(), i).size();
    for (int i = 0; i < f.GetBackupSetCount(record.get()) && i < 2000; ++i)
        total += f.GetBackupSetName(record.get(), i).size();
    if (total == SIZE_MAX) __builtin_trap();
    server.SetReplies({});
    return 0;
}
