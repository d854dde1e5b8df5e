#include "cdevents_broadcast.h"

namespace cdevents {
namespace {

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t Get32(std::span<const std::uint8_t> in, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | in[at + i];
    return v;
}

} // namespace

std::vector<std::uint8_t> EncodeVolumeBroadcast(std::uint32_t unitMask, std::uint16_t flags) {
    std::vector<std::uint8_t> out(kVolumeBroadcastSize, 0);
    Put32(out, kOffsetSize, kVolumeBroadcastSize);
    Put32(out, kOffsetDeviceType, kDeviceTypeVolume);
    Put32(out, kOffsetUnitMask, unitMask);
    out[kOffsetFlags] = static_cast<std::uint8_t>(flags);
    out[kOffsetFlags + 1] = static_cast<std::uint8_t>(flags >> 8);
    return out;
}

std::optional<Broadcast> DecodeBroadcast(std::span<const std::uint8_t> data) {
    if (data.size() < kHeaderSize) return std::nullopt;
    const std::uint32_t size = Get32(data, kOffsetSize);
    if (size < kHeaderSize || size > data.size()) return std::nullopt;
    Broadcast b;
    b.deviceType = Get32(data, kOffsetDeviceType);
    if (b.deviceType != kDeviceTypeVolume) return b;
    if (size < kVolumeBroadcastSize) return std::nullopt;
    b.unitMask = Get32(data, kOffsetUnitMask);
    b.flags = static_cast<std::uint16_t>(data[kOffsetFlags] | data[kOffsetFlags + 1] << 8);
    return b;
}

char FirstDriveLetter(std::uint32_t unitMask) {
    for (int i = 0; i < 26; ++i)
        if (unitMask & (1u << i)) return static_cast<char>('A' + i);
    return 0;
}

} // namespace cdevents
