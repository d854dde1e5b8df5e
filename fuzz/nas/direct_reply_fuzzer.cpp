// Feeds arbitrary bytes, as a unit's answer to a disk, volume or task request, to their readers.
// The first byte picks the request; the rest is the stream the unit sends before it closes.
#include "nasapi.h"
#include "query_fuzz_support.h"
#include "status_replies.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    nasfuzz::UseShortQueryWaits();
    int fd = nasfuzz::StreamOf(data + 1, size - 1);
    if (fd < 0) return 0;
    static std::vector<NasDiskInfo> disks(NAS_DISK_INFO_MAX);
    static std::vector<NasVolInfo> volumes(NAS_VOL_INFO_MAX);

    switch (data[0] % 3) {
    case 0:
    case 1: {
        const bool disk = data[0] % 3 == 0;
        int count = -1;
        int result = disk ? nas::ReadRawRecords(fd, sizeof(NasDiskInfo), NAS_DISK_INFO_MAX,
                                                reinterpret_cast<uint8_t*>(disks.data()), &count)
                          : nas::ReadRawRecords(fd, sizeof(NasVolInfo), NAS_VOL_INFO_MAX,
                                                reinterpret_cast<uint8_t*>(volumes.data()), &count);
        if (count < 0 || count > (disk ? NAS_DISK_INFO_MAX : NAS_VOL_INFO_MAX)) std::abort();
        if (result != 0 && (result != -1 || count != 0)) std::abort();
        break;
    }
    default: {
        int status = 0, taskCount = 0, value = 0;
        NasTaskInfo* tasks = nas::ReadTaskReply(fd, &status, &taskCount, &value);
        if (tasks) {
            if (taskCount < 1) std::abort(); // the caller could not free it
            // Every record the caller may index is readable.
            volatile uint8_t sum = 0;
            for (int i = 0; i < taskCount; ++i)
                sum = sum + tasks[i].data[95];
            (void)sum;
        }
        NasApiDeleteTaskInfo(static_cast<unsigned>(taskCount), tasks);
        break;
    }
    }
    ::close(fd);
    return 0;
}
