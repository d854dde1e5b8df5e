// Feeds arbitrary bytes, as a unit's reply to a server-information request, to the checks and the
// record decode that discovery and the remote-information request apply to what they receive.
#include "packet_header.h"
#include "server_record.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)nas::DecodeHeader(data, size);
    NasServerInfo record;
    std::memset(&record, 0xA5, sizeof record);
    if (nas::DecodeServerReply(data, size, record)) {
        // Only replies of server-reply size with a valid header are taken.
        if (!nas::IsAcceptableReplySize(size) || !nas::IsValidReply(data, size)) std::abort();
        if (size == nas::kServerReplyMaxSize && record.textEncodingKind != 2) std::abort();
        if (!nas::SameServerKey(record, record)) std::abort();
    } else if (record.name[0] != static_cast<char>(0xA5)) {
        std::abort(); // a refused reply must leave the record alone
    }
    // The decode itself is bounded by the reply's size, whatever that size is.
    nas::ReplyToServerInfo(record, data, size);
    return 0;
}
