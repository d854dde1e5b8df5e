// This host's IPv4 networks and name, as discovery and the requests that name the host use them.
#pragma once

#include "netconfig.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nas {

inline constexpr size_t kMaxLocalInterfaces = 80;

// The configured list, or else the system's: addresses of the host name that sit on an interface
// that is up, then the other addresses of such interfaces, each with its interface's mask. An
// interface counts when the broadcast address reaches it: the all-ones broadcast reaches every
// interface but loopback, a directed broadcast only the interface whose subnet holds it. At
// most 80.
std::vector<LocalInterface> LocalInterfaces(const NetConfig& config);
// The configured host name, or the system's; empty when it can't be read.
std::string LocalHostName(const NetConfig& config);
// The first local interface's address (host order), 0 when there is none.
uint32_t GetLocalHostAddress(const NetConfig& config);

} // namespace nas
