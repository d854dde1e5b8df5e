// The discovery request and the acknowledgement of a server reply; NasApiFindServer lives in
// discovery.cpp, NasApiGetRemoteInfo in remote_info.cpp.
#pragma once

#include "netconfig.h"
#include "packet_header.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace nas {

inline constexpr size_t kDiscoveryRequestSize = 68;

// Extended header (command 1, payload length 36, data length 28), two zero words, the first 16
// bytes of the host name at 48 and the host's first address, network order, at 64.
std::array<uint8_t, kDiscoveryRequestSize> BuildDiscoveryRequest(const NetConfig& config);
std::array<uint8_t, kHeaderSize> EncodeAck();

} // namespace nas
