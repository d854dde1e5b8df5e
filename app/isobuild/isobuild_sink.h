// Where a built image goes: a mirror session on a unit, opened with the image's track table and
// request, fed whole sectors and then completed, or aborted when the build fails. The task's
// server object stands behind it in the program; tests put a recording sink in its place.
#pragma once

#include "nasapi.h"

#include <cstddef>
#include <cstdint>

class IsoImageSink {
public:
    virtual ~IsoImageSink() = default;
    // Each call returns an access-library result: 0 success, else the failure.
    // Opens the session; the unit may write its answer into request.
    virtual int Start(const NasCDTable& table, NasMirrorInfo& request) = 0;
    // One data message of whole sectors.
    virtual int Send(const std::uint8_t* data, std::size_t length) = 0;
    // Waits until every message handed over has been acknowledged: 0, or the result of the one
    // that failed. A sink that sends each message before Send returns has nothing to wait for.
    virtual int Drain() { return 0; }
    virtual int Complete() = 0;
    // Ends a failed session; reason 4096 for a stop by the user, 4097 for a failure.
    virtual int Abort(int reason) = 0;
};
