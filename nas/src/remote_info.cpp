// NasApiGetRemoteInfo: the server-information request over TCP to one known unit.
#include "call_deadline.h"
#include "discovery.h"
#include "nasapi.h"
#include "server_record.h"
#include "transport.h"

#include <vector>

using namespace nas;

int NasApiGetRemoteInfo(const uint32_t addrs[3], NasServerInfo* out) {
    CallDeadline deadline;
    if (!addrs || !out) return -1;
    auto config = CurrentNetConfig();
    const auto request = BuildDiscoveryRequest(*config);
    std::vector<uint8_t> reply;
    Socket connection;
    // A server reply is judged by its size: at least 284 bytes must arrive within the wait, and
    // the rest of what its header declares (the 348-byte form) is waited for within it too.
    if (OneShotExchange(addrs, request.data(), request.size(), config->oneShotReplyMs,
                        kServerReplyMinSize, reply, connection, DeclaredServerReplySize) != 0)
        return -1;
    NasServerInfo record;
    if (!DecodeServerReply(reply.data(), reply.size(), record)) return -1;
    *out = record;
    const auto ack = EncodeAck();
    SendWithin(connection.get(), ack.data(), ack.size(), config->oneShotReplyMs);
    return DecodeHeader(reply.data(), reply.size())->status;
}
