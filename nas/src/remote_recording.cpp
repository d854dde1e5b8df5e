// NasApiRemoteCDBurning: starts a recording on one of the unit's writers.
#include "call_deadline.h"
#include "local_interfaces.h"
#include "nasapi.h"
#include "netconfig.h"
#include "session.h"
#include "session_requests.h"

using namespace nas;

int NasApiRemoteCDBurning(const uint32_t addrs[3], NasBurnInfo* info, int textEncodingKind) {
    CallDeadline deadline;
    if (!info) return -1;
    auto request =
        BuildBurnRequest(*info, textEncodingKind, GetLocalHostAddress(*CurrentNetConfig()));
    if (!request) return -1;
    PacketHeader reply;
    int result = OneRequest(addrs, command::kRemoteCDBurning, subcode::kRemoteCDBurning,
                            request->data(), request->size(), &reply);
    // The unit answers in the header's time field.
    if (result == 0) info->replyValue = reply.time;
    return result;
}
