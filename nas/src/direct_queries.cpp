// The disk, volume and task queries: a bare request on a plain connection, then a reply whose
// every part must arrive within the short direct wait.
#include "call_deadline.h"
#include "nasapi.h"
#include "netconfig.h"
#include "packet_header.h"
#include "status_records.h"
#include "status_replies.h"
#include "transport.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace nas {

namespace {

enum class Reply { Ready, TimedOut, Failed };

Reply AwaitReply(int fd) {
    int ready = WaitReadable(fd, CurrentNetConfig()->directWaitMs);
    if (ready < 0) return Reply::Failed;
    return ready == 0 ? Reply::TimedOut : Reply::Ready;
}

bool RecvPart(int fd, void* buffer, size_t size) {
    return RecvWithin(fd, buffer, size, CurrentNetConfig()->directWaitMs) ==
           static_cast<long>(size);
}

// Reads up to count records of size bytes into out, each within the direct wait: the number
// that arrived whole. A record cut short leaves its place in out untouched.
size_t RecvWholeRecords(int fd, uint8_t* out, size_t size, size_t count) {
    std::vector<uint8_t> record(size);
    size_t received = 0;
    for (; received < count && RecvPart(fd, record.data(), size); ++received)
        std::memcpy(out + received * size, record.data(), size);
    return received;
}

} // namespace

int ReadRawRecords(int fd, size_t recordSize, size_t cap, uint8_t* out, int* count) {
    *count = 0;
    switch (AwaitReply(fd)) {
    case Reply::Failed:
        return -1;
    case Reply::TimedOut:
        return 0;
    case Reply::Ready:
        break;
    }
    uint8_t head[kExtendedHeaderSize];
    if (!RecvPart(fd, head, sizeof head)) return -1;
    size_t announced =
        AnnouncedRecords(DecodeHeader(head, sizeof head)->dataLength, recordSize, cap);
    *count = static_cast<int>(RecvWholeRecords(fd, out, recordSize, announced));
    return 0;
}

NasTaskInfo* ReadTaskReply(int fd, int* status, int* taskCount, int* value) {
    *status = -1;
    *taskCount = 0;
    *value = 0;
    if (AwaitReply(fd) != Reply::Ready) return nullptr;
    uint8_t head[kTaskHeadSize];
    if (!RecvPart(fd, head, sizeof head)) return nullptr;
    auto task = DecodeTaskHead(head);
    if (!task) return nullptr;
    *status = task->status;
    *value = static_cast<int>(task->value);
    const uint32_t announced = std::min<uint32_t>(task->taskCount, INT_MAX);
    // A unit that sends records but counts no task gets no array: callers free an array by the
    // task count they were given.
    if (task->records == 0 || announced == 0) {
        *taskCount = static_cast<int>(announced);
        return nullptr;
    }
    // The array has the announced size; records that do not arrive stay zero.
    auto* array = static_cast<NasTaskInfo*>(std::calloc(task->records, sizeof(NasTaskInfo)));
    if (!array) return nullptr;
    RecvWholeRecords(fd, reinterpret_cast<uint8_t*>(array), sizeof(NasTaskInfo), task->records);
    // Callers index the array by the task count.
    *taskCount = static_cast<int>(std::min<size_t>(announced, task->records));
    return array;
}

} // namespace nas

using namespace nas;

namespace {

// Connects and sends the bare request; false when either fails.
bool SendQuery(const uint32_t addrs[3], uint16_t commandCode, Socket& connection) {
    if (ConnectServer(addrs, connection) != 0) return false;
    uint8_t request[kHeaderSize];
    EncodeHeader(BuildCommandHeader(commandCode), request);
    return SendWithin(connection.get(), request, sizeof request,
                      CurrentNetConfig()->readinessWaitMs) == static_cast<long>(sizeof request);
}

template <class Record>
int QueryRawRecords(const uint32_t addrs[3], uint16_t commandCode, size_t cap, int* count,
                    Record* out) {
    if (count) *count = 0;
    if (!addrs || !count || !out) return -1;
    Socket connection;
    if (!SendQuery(addrs, commandCode, connection)) return -1;
    // The records are the unit's layout and land in the caller's array as they arrive.
    return ReadRawRecords(connection.get(), sizeof(Record), cap, reinterpret_cast<uint8_t*>(out),
                          count);
}

} // namespace

int NasApiGetDiskInfo(const uint32_t addrs[3], int* count, NasDiskInfo* out) {
    CallDeadline deadline;
    static_assert(sizeof(NasDiskInfo) == kDiskWireSize);
    return QueryRawRecords(addrs, command::kDiskInfo, NAS_DISK_INFO_MAX, count, out);
}

int NasApiGetVolInfo(const uint32_t addrs[3], int* count, NasVolInfo* out) {
    CallDeadline deadline;
    static_assert(sizeof(NasVolInfo) == kVolWireSize);
    return QueryRawRecords(addrs, command::kVolInfo, NAS_VOL_INFO_MAX, count, out);
}

NasTaskInfo* NasApiGetTask(const uint32_t addrs[3], int* status, int* taskCount, int* value) {
    CallDeadline deadline;
    static_assert(sizeof(NasTaskInfo) == kTaskWireSize);
    if (status) *status = -1;
    if (taskCount) *taskCount = 0;
    if (value) *value = 0;
    if (!addrs || !status || !taskCount || !value) return nullptr;
    Socket connection;
    if (!SendQuery(addrs, command::kTaskInfo, connection)) return nullptr;
    return ReadTaskReply(connection.get(), status, taskCount, value);
}

void NasApiDeleteTaskInfo(unsigned count, void* array) {
    if (count == 0 || !array) return;
    std::free(array);
}
