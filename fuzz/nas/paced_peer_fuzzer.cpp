// The receive loops under a peer that paces its bytes: a thread writes the input's chunks to one
// end of a local stream socket pair with the pauses the input names, while the library reads the
// other end with the loop the input picks (RecvAll, RecvLoop, a session reply with its data, or a
// whole message within a time). Whatever the pace, every loop ends within the call's deadline with
// the full length or -1, and a reply's status is passed on only when the header carried it.
//
// Input: [loop byte][u16 length wanted], then chunks, each [u8 pause in 0.1 ms][u8 length][bytes].
// After the last chunk the peer closes when bit 7 of the loop byte is set, else it stays silent.
#include "call_deadline.h"
#include "nas_fuzz_config.h"
#include "netconfig.h"
#include "packet_header.h"
#include "socket.h"
#include "transport.h"

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kMostWanted = 4096;
constexpr int kDeadlineMs = 40;

void UseShortDeadline() {
    static const bool done = [] {
        nasfuzz::UseShortWaits();
        nas::NetConfig config = *nas::CurrentNetConfig();
        config.idleRounds = 2;
        config.callDeadlineMs = kDeadlineMs;
        nas::SetNetConfig(config);
        return true;
    }();
    (void)done;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    UseShortDeadline();
    if (size < 3) return 0;
    const std::uint8_t loop = data[0];
    const std::size_t wanted = std::min<std::size_t>(data[1] | data[2] << 8, kMostWanted);
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return 0;
    nas::Socket ours(pair[0]);
    int peerFd = pair[1];

    // The peer's pauses end as soon as the read has ended: what it would still send has no
    // reader, and a run of pauses must not outlast the call under test.
    std::mutex mutex;
    std::condition_variable readEnded;
    bool done = false;
    std::thread peer([&, data, size, peerFd, loop] {
        for (std::size_t at = 3; at + 1 < size;) {
            const auto pause = std::chrono::microseconds(100 * data[at]);
            const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
            {
                std::unique_lock lock(mutex);
                if (readEnded.wait_for(lock, pause, [&] { return done; })) return;
            }
            if (length > 0 && ::send(peerFd, data + at + 2, length, MSG_NOSIGNAL) < 0) break;
            at += 2 + length;
        }
        if (loop & 0x80) ::shutdown(peerFd, SHUT_WR);
    });

    std::vector<std::uint8_t> buffer(wanted + 1, 0xA5);
    long result = 0;
    int status = 0;
    const auto start = std::chrono::steady_clock::now();
    {
        nas::CallDeadline deadline;
        switch (loop & 3) {
        case 0:
            result = nas::RecvAll(ours.get(), buffer.data(), wanted);
            break;
        case 1:
            result = nas::RecvLoop(ours.get(), buffer.data(), wanted);
            break;
        case 2: {
            // A session reply is read on a session socket: blocking, with the readiness wait as
            // its receive time-out.
            if (!nas::SetSessionTimeouts(ours.get())) break;
            nas::PacketHeader header;
            result = nas::RecvReply(ours.get(), &header, 0, buffer.data(), wanted, &status);
            if (result == 0 && status != 0) __builtin_trap(); // a status only with a failure
            break;
        }
        default:
            result = nas::RecvWithin(ours.get(), buffer.data(), wanted, 20);
            break;
        }
    }
    const auto took = std::chrono::steady_clock::now() - start;
    if ((loop & 3) != 2 && result != -1 && result != static_cast<long>(wanted)) __builtin_trap();
    if (buffer[wanted] != 0xA5) __builtin_trap(); // nothing written past the buffer's length
    // The loop ended with its call: a generous bound over the deadline, for loaded machines.
    if (took > std::chrono::seconds(5)) __builtin_trap();
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    readEnded.notify_all();
    ::shutdown(ours.get(), SHUT_RDWR);
    peer.join();
    ::close(peerFd);
    return 0;
}
