// Short waits for fuzz targets that drive the library's exchanges over local socket pairs.
#pragma once

#include "netconfig.h"

namespace nasfuzz {

inline void UseShortWaits() {
    static const bool done = [] {
        nas::NetConfig config = nas::NetConfig::Defaults();
        config.readinessWaitMs = 5;
        config.idleRounds = 0;
        config.stallMs = 10;
        nas::SetNetConfig(config);
        return true;
    }();
    (void)done;
}

} // namespace nasfuzz
