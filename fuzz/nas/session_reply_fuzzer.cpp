// Feeds arbitrary bytes, as what a unit answers on an open session, to the data-block, mirror-
// completion and transfer-completion calls. The first byte picks the call; the rest is the stream
// the unit sends before it closes its side.
#include "nas_fuzz_config.h"
#include "nasapi.h"
#include "netconfig.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    nasfuzz::UseShortWaits();
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return 0;
    int session = pair[0];
    int unit = pair[1];
    // Room for the request and the whole answer, so neither side blocks.
    int room = 1 << 20;
    ::setsockopt(unit, SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    ::setsockopt(session, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    if (::write(unit, data + 1, size - 1) != static_cast<ssize_t>(size - 1)) {
        ::close(session);
        ::close(unit);
        return 0;
    }
    ::shutdown(unit, SHUT_WR);
    ::fcntl(session, F_SETFL, O_NONBLOCK);

    const uint8_t block[64] = {1, 2, 3};
    int result = 0;
    bool closedByLibrary = false;
    switch (data[0] % 3) {
    case 0:
        result = NasApiSendCDData(session, block, sizeof block);
        break;
    case 1:
        result = NasApiMirrorComplete(session);
        closedByLibrary = result == 0;
        break;
    default: {
        NasImgDone done{};
        result = NasApiCDHImgTransferComplete(session, &done);
        break;
    }
    }
    if (result < -32768 || result > 32767) std::abort();
    if (!closedByLibrary) ::close(session);
    ::close(unit);
    return 0;
}
