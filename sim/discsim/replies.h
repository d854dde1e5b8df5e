// Internal: the byte layouts of the drive's replies, built field by field at explicit offsets.
#pragma once

#include "discsim.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace discsim {

struct SenseCode {
    std::uint8_t key = 0, asc = 0, ascq = 0;
};
inline constexpr SenseCode kInvalidOpcode{0x05, 0x20, 0x00};
inline constexpr SenseCode kInvalidField{0x05, 0x24, 0x00};
inline constexpr SenseCode kLbaOutOfRange{0x05, 0x21, 0x00};
inline constexpr SenseCode kIllegalModeForTrack{0x05, 0x64, 0x00};
inline constexpr SenseCode kIncompatibleFormat{0x05, 0x30, 0x02};
inline constexpr SenseCode kSavingNotSupported{0x05, 0x39, 0x00};
inline constexpr SenseCode kRemovalPrevented{0x05, 0x53, 0x02};
inline constexpr SenseCode kUnrecoveredReadError{0x03, 0x11, 0x00};
inline constexpr SenseCode kBecomingReady{0x02, 0x04, 0x01};
inline constexpr SenseCode kNoMediumTrayClosed{0x02, 0x3A, 0x01};
inline constexpr SenseCode kNoMediumTrayOpen{0x02, 0x3A, 0x02};
inline constexpr SenseCode kIncompatibleMedium{0x02, 0x30, 0x00};
inline constexpr SenseCode kMediumChanged{0x06, 0x28, 0x00};

// Fixed-format sense data; `information` (bytes 3-6, valid bit set) when given.
std::array<std::uint8_t, kSenseSize> SenseBytes(SenseCode code,
                                                std::optional<std::uint32_t> information = {});

// A reply or the condition that stands in its place.
struct Built {
    std::vector<std::uint8_t> data;
    std::optional<SenseCode> error;
};

std::vector<std::uint8_t> InquiryData(const DriveConfig& config);
// pageControl: 0 current, 1 changeable, 2 default (3, saved, is refused by the caller).
std::vector<std::uint8_t> CapabilitiesPage(const DriveConfig& config, bool locked,
                                           std::uint8_t pageControl);
std::vector<std::uint8_t> ModeSenseData(bool tenByte, bool withBlockDescriptor,
                                        std::uint8_t mediumType,
                                        const std::vector<std::uint8_t>& page);
// requestType: 0 all features from `start`, 1 the current ones, 2 only feature `start`.
Built ConfigurationData(const DriveConfig& config, std::uint16_t currentProfile,
                        std::uint8_t requestType, std::uint16_t start);
std::vector<std::uint8_t> CapacityData(std::uint32_t lastLba);
Built TocData(const Disc& disc, std::uint8_t format, bool msf, std::uint8_t startTrack, bool bcd);
// addressType: 0 LBA, 1 track number, 2 session number.
Built TrackInformationData(const Disc& disc, std::uint8_t addressType, std::uint32_t address);
Built DiscStructureData(const Disc& disc, std::uint8_t mediaType, std::uint8_t layer,
                        std::uint8_t format);

} // namespace discsim
