// NasApiGetCDBurningStat: the state of a remote recording job, asked in a short session.
#include "call_deadline.h"
#include "nasapi.h"
#include "packet_header.h"
#include "status_records.h"
#include "status_replies.h"
#include "transport.h"
#include "wire_bytes.h"

namespace nas {

int ReadBurningStatReply(int fd, NasCDBurningStat* out) {
    uint8_t data[kBurningStatDataSize];
    int status = 0;
    if (RecvReply(fd, nullptr, command::kCDBurningStat, data, sizeof data, &status) != 0)
        return status != 0 ? status : -1;
    DecodeCDBurningStat(data, *out);
    return 0;
}

} // namespace nas

using namespace nas;

namespace {

constexpr size_t kJobRequestSize = 32; // the two job words, then zeros
constexpr uint32_t kBurningStatSubCode = 20;

} // namespace

int NasApiGetCDBurningStat(const uint32_t addrs[3], const uint32_t job[2], NasCDBurningStat* out) {
    CallDeadline deadline;
    if (!out) return 2;
    if (!addrs || !job) return -1;
    uint8_t request[kJobRequestSize] = {};
    PutU32(request, job[0]);
    PutU32(request + 4, job[1]);

    int fd = OpenSession(addrs);
    if (fd <= 0) return -1;
    Socket session(fd);
    if (SendRequest(fd, command::kCDBurningStat, request, sizeof request, kBurningStatSubCode) !=
        static_cast<long>(sizeof request))
        return -1;
    return ReadBurningStatReply(fd, out);
}
