// The one-shot TCP reply loop (RecvOneShotReply), as NasApiGetRemoteInfo and the one-shot requests
// read a unit's answer: the input, cut into the segments it names, is written to one end of a
// local stream socket pair, and the library reads the other end, waiting for the size the reply
// declares, then decodes it as a server reply and as a one-shot verdict.
//
// Input: [flags], then segments, each [u8 length][bytes], written by a peer thread while the
// library reads. Flags bit 0: the peer closes after the last segment (else the connection stays
// open and the wait runs out); bit 1: the reply kind needs only a header (32 bytes) instead of a
// server reply (284 bytes).
#include "call_deadline.h"
#include "nas_fuzz_config.h"
#include "server_record.h"
#include "socket.h"
#include "transport.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    nasfuzz::UseShortWaits();
    if (size < 1) return 0;
    const std::uint8_t flags = data[0];
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return 0;
    nas::Socket ours(pair[0]);
    // The peer writes the segments on a thread of its own while the library reads: many small
    // segments fill a pair's send buffer (each costs a buffer of its own), and a send made before
    // the read would wait for good. Once the read ends, its end of the pair is shut, so that a
    // send still waiting fails and the peer stops.
    std::thread peer([data, size, flags, fd = pair[1]] {
        nas::Socket socket(fd);
        for (std::size_t at = 1; at < size;) {
            const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
            if (length > 0 && ::send(socket.get(), data + at + 1, length, MSG_NOSIGNAL) < 0) return;
            at += 1 + length;
        }
        if (!(flags & 1)) {
            // The connection stays open until the reader is done with it.
            char byte;
            while (::recv(socket.get(), &byte, 1, 0) > 0) {
            }
        }
    });

    int result = 0;
    const std::size_t need = (flags & 2) ? nas::kHeaderSize : nas::kServerReplyMinSize;
    std::vector<std::uint8_t> reply;
    {
        nas::CallDeadline deadline;
        result = nas::RecvOneShotReply(ours.get(), need, nas::kMaxOneShotReply, 5, reply,
                                       nas::DeclaredServerReplySize);
    }
    ::shutdown(ours.get(), SHUT_RDWR);
    peer.join();
    if (result != 0) return 0;
    if (reply.size() < need || reply.size() > nas::kMaxOneShotReply) __builtin_trap();
    NasServerInfo record;
    nas::DecodeServerReply(reply.data(), reply.size(), record);
    if (auto header = nas::DecodeHeader(reply.data(), reply.size())) (void)header->status;
    return 0;
}
