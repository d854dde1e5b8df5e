// The device-change broadcast that reports a volume's arrival or removal: a 12-byte header (size,
// device type, reserved; 32 bits each, little-endian) followed for volumes by the unit mask (bit 0
// drive A:, bit 3 D:) and the 16-bit flags. The drive poll composes them and the CD events
// component decodes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace cdevents {

constexpr std::uint32_t kDeviceArrival = 0x8000;
constexpr std::uint32_t kDeviceRemoveComplete = 0x8004;
constexpr std::uint32_t kDeviceTypeVolume = 2;
constexpr std::uint16_t kVolumeFlagMedia = 0x0001; // a medium changed, not the drive itself

constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kOffsetSize = 0, kOffsetDeviceType = 4, kOffsetUnitMask = 12,
                      kOffsetFlags = 16;
constexpr std::size_t kVolumeBroadcastSize = 18;
static_assert(kOffsetUnitMask == kHeaderSize && kOffsetFlags + 2 == kVolumeBroadcastSize);

struct Broadcast {
    std::uint32_t deviceType = 0;
    std::uint32_t unitMask = 0; // volumes only
    std::uint16_t flags = 0;    // volumes only
};

std::vector<std::uint8_t> EncodeVolumeBroadcast(std::uint32_t unitMask, std::uint16_t flags);

// The broadcast in data; nullopt when the bytes are shorter than the header, the declared size
// lies outside the bytes, or a volume broadcast is too short for its fields.
std::optional<Broadcast> DecodeBroadcast(std::span<const std::uint8_t> data);

// 'A' plus the lowest set bit of the unit mask among the 26 drive letters; 0 when none is set.
char FirstDriveLetter(std::uint32_t unitMask);

} // namespace cdevents
