// Sense data as devices return it, brought into the one form the program reads: fixed format
// (response code 70h/71h, key in byte 2, ASC in byte 12, ASCQ in byte 13), 18 bytes.
#pragma once

#include "scsi/transport.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform::scsi {

struct FixedSense {
    std::array<std::uint8_t, kSenseSize> bytes{};
    std::uint8_t length = 0; // 0 when the input held no usable sense
};

// Fixed-format sense is kept (cut to 18 bytes); descriptor format (72h/73h) is converted: key,
// ASC and ASCQ, the information field when it fits in 32 bits, the sense-key-specific bytes.
// Anything else, or fewer bytes than the format needs, gives an empty result.
FixedSense NormalizeSense(const std::uint8_t* data, std::size_t length);

} // namespace platform::scsi
