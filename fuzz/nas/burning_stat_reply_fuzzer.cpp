// Feeds arbitrary bytes, as a unit's answer to a recording-status request, to its reader.
#include "nasapi.h"
#include "query_fuzz_support.h"
#include "status_replies.h"

#include <unistd.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nasfuzz::UseShortQueryWaits();
    int fd = nasfuzz::StreamOf(data, size);
    if (fd < 0) return 0;
    NasCDBurningStat stat{};
    int result = nas::ReadBurningStatReply(fd, &stat);
    if (result < -32768 || result > 32767) std::abort();
    ::close(fd);
    return 0;
}
