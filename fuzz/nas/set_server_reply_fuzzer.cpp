// Feeds arbitrary bytes, as a datagram that reaches the socket of a broadcast set-server request,
// to the classification that decides whether it is the answer.
#include "set_server_request.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (uint16_t expected : {uint16_t{3}, uint16_t{256}}) {
        int status = 0x7FFFFFFF;
        auto kind = nas::ClassifySetServerDatagram(data, size, expected, &status);
        if (size != nas::kSetServerReplySize && kind != nas::SetServerDatagram::Ignored)
            std::abort(); // only a 32-byte datagram is an answer or a foreign reply
        if (kind == nas::SetServerDatagram::Answer && (status < -32768 || status > 32767))
            std::abort(); // the status is a sign-extended 16-bit word
        if (kind != nas::SetServerDatagram::Answer && status != 0x7FFFFFFF) std::abort();
    }
    return 0;
}
