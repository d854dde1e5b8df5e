// Frames and discovery replies of CD servers: the bytes arrive on a stream socket and are read as
// reply frames into a buffer whose size the input chooses; a discovery datagram of the same bytes
// is merged into a record and questioned.
#include "cdh_net.h"
#include "tovexcdh_frame.h"
#include "tovexcdh_records.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t capacity = (std::size_t{data[0]} << 8 | data[1]) * 3;
    data += 2;
    size -= 2;

    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
    const ssize_t written = ::send(fds[1], data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
    ::close(fds[1]);
    if (written >= 0) {
        std::vector<std::uint8_t> buffer(capacity);
        for (int frame = 0; frame < 4; ++frame) {
            std::uint16_t command = 0;
            const int n = CdhReceiveFrame(fds[0], &command, buffer.data(), buffer.size(), 0);
            if (n < 0) break;
            if (static_cast<std::size_t>(n) > buffer.size() || (command & 0x8000) != 0)
                __builtin_trap();
        }
    }
    ::close(fds[0]);

    CdhFrameHeader header;
    if (size >= kCdhAnnounceSize && CdhDecodeHeader(data, size, header)) {
        auto record = std::make_unique<TCdhSvr>();
        CdhApplyAnnounce(*record, data);
        CDH_NET_CLASS& f = CdhNetClass();
        const std::string texts[] = {
            f.GetServerName(record.get()),  f.GetWorkgroupText(record.get()),
            f.GetCommentText(record.get()), f.GetFirmwareText(record.get()),
            f.GetMacText(record.get()),     f.GetIpText(record.get())};
        if (texts[0].size() > 18 || texts[1].size() > 18 || texts[2].size() > 44) __builtin_trap();
    }
    return 0;
}
