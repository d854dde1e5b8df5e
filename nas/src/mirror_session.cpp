// The mirror session: start (request, then the track table), data blocks, completion and abort.
#include "call_deadline.h"
#include "cd_table.h"
#include "nasapi.h"
#include "session.h"
#include "session_requests.h"

#include <unistd.h>

#include <array>

using namespace nas;

int NasApiMirrorStart(const uint32_t addrs[3], int* session, const NasCDTable* table,
                      NasMirrorInfo* info, int textEncodingKind, int utf8Folder) {
    CallDeadline deadline;
    if (!addrs || !session || !info) return -1;
    auto request = BuildMirrorRequest(*info, TocChecksum(table), textEncodingKind, utf8Folder != 0);
    if (!request) return -1;
    Socket socket = OpenSessionSocket(addrs);
    if (!socket.valid()) return -1;

    std::array<uint8_t, kMirrorReplySize> reply{};
    int result =
        Exchange(socket.get(), command::kMirrorStart, subcode::kMirrorStart, request->data(),
                 request->size(), command::kMirrorStart, reply.data(), reply.size());
    if (result != 0) return result;
    ApplyMirrorReply(*info, reply.data());

    const auto encodedTable = EncodeCDTable(table);
    result = Exchange(socket.get(), command::kMirrorTable, subcode::kMirrorTable,
                      encodedTable.data(), encodedTable.size(), command::kMirrorTable);
    if (result != 0) return result;
    *session = socket.release();
    return 0;
}

int NasApiSendCDData(int session, const void* data, int length) {
    CallDeadline deadline;
    return SendBlock(session, command::kMirrorData, subcode::kMirrorData, data, length);
}

int NasApiMirrorComplete(int session) {
    CallDeadline deadline;
    if (!IsSessionHandle(session)) return -1;
    int result = Exchange(session, command::kMirrorComplete, subcode::kMirrorData, nullptr, 0,
                          command::kMirrorComplete);
    // The unit has the whole image: the session ends here. On any other answer the caller still
    // owns the session and decides what to do with it.
    if (result == 0) ::close(session);
    return result;
}

int NasApiMirrorAbort(int session, int reason) {
    CallDeadline deadline;
    return SendAbort(session, command::kMirrorAbort, reason);
}
