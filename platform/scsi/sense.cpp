#include "scsi/sense.h"

#include <algorithm>

namespace platform::scsi {
namespace {

constexpr std::uint8_t kFixedCurrent = 0x70;
constexpr std::uint8_t kFixedDeferred = 0x71;
constexpr std::uint8_t kDescriptorCurrent = 0x72;
constexpr std::uint8_t kDescriptorDeferred = 0x73;
constexpr std::size_t kDescriptorHeader = 8;

// Fixed-format offsets.
constexpr std::size_t kKey = 2, kInformation = 3, kAdditionalLength = 7, kCommandSpecific = 8,
                      kAsc = 12, kAscq = 13, kKeySpecific = 15;

FixedSense FromDescriptor(const std::uint8_t* data, std::size_t length) {
    FixedSense out;
    auto& f = out.bytes;
    const bool deferred = (data[0] & 0x7F) == kDescriptorDeferred;
    f[0] = deferred ? kFixedDeferred : kFixedCurrent;
    f[kKey] = data[1] & 0x0F;
    f[kAdditionalLength] = static_cast<std::uint8_t>(kSenseSize - 8);
    f[kAsc] = data[2];
    f[kAscq] = data[3];
    // The descriptors, bounded by the bytes received and by the declared length.
    const std::size_t end = std::min(length, kDescriptorHeader + data[7]);
    std::size_t at = kDescriptorHeader;
    while (at + 2 <= end) {
        const std::uint8_t type = data[at];
        const std::size_t size = 2 + static_cast<std::size_t>(data[at + 1]);
        if (at + size > end) break;
        const std::uint8_t* d = data + at;
        if (type == 0x00 && size >= 12) {
            // Information: 8 bytes; the fixed field holds the low 4 when the high 4 are zero.
            if (d[4] == 0 && d[5] == 0 && d[6] == 0 && d[7] == 0) {
                std::copy(d + 8, d + 12, f.begin() + kInformation);
                if (d[2] & 0x80) f[0] |= 0x80;
            }
        } else if (type == 0x01 && size >= 12) {
            if (d[4] == 0 && d[5] == 0 && d[6] == 0 && d[7] == 0)
                std::copy(d + 8, d + 12, f.begin() + kCommandSpecific);
        } else if (type == 0x02 && size >= 7) {
            std::copy(d + 4, d + 7, f.begin() + kKeySpecific);
        } else if ((type == 0x04 || type == 0x05) && size >= 4) {
            // Stream and block command bits (filemark, end of medium, incorrect length).
            f[kKey] |= d[3] & 0xE0;
        }
        at += size;
    }
    out.length = static_cast<std::uint8_t>(kSenseSize);
    return out;
}

} // namespace

FixedSense NormalizeSense(const std::uint8_t* data, std::size_t length) {
    FixedSense out;
    if (data == nullptr || length == 0) return out;
    const std::uint8_t code = data[0] & 0x7F;
    if (code == kFixedCurrent || code == kFixedDeferred) {
        if (length <= kKey) return out; // no sense key
        const std::size_t n = std::min(length, kSenseSize);
        std::copy(data, data + n, out.bytes.begin());
        out.length = static_cast<std::uint8_t>(n);
        return out;
    }
    if (code == kDescriptorCurrent || code == kDescriptorDeferred) {
        if (length < kDescriptorHeader) return out;
        return FromDescriptor(data, length);
    }
    return out;
}

} // namespace platform::scsi
