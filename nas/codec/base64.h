// Base64 with the standard alphabet and "=" padding (RFC 4648).
#pragma once

#include <cstdint>
#include <string>

namespace nas {

// The length is a 16-bit count, as the request fields carry it.
std::string Base64Encode(const uint8_t* data, uint16_t length);

} // namespace nas
