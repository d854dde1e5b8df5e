// The volume label and file-system name of a disc, read from the disc's own volume descriptors:
// a UDF volume (recognition sequence, anchor at sector 256, logical volume descriptor) is named
// "UDF" with its logical volume identifier; otherwise an ISO 9660 volume (primary volume
// descriptor at sector 16, Joliet label when present) is named "CDFS". Sector numbers count from
// the start of the session that holds the volume. Labels are UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

inline constexpr std::size_t kVolumeSectorSize = 2048;

struct VolumeInfo {
    std::string label;
    std::string fileSystemName;
};

// Reads the 2048 bytes of user data of one sector; false when the sector cannot be read.
using VolumeSectorReader = std::function<bool(std::uint32_t lba, std::span<std::uint8_t, 2048>)>;

// False when neither volume kind is found.
bool ReadVolumeInfo(const VolumeSectorReader& read, std::uint32_t sessionStart, VolumeInfo& out);

// Texts of the descriptors, exposed for the fuzz target: a UDF d-string field (compression id 8 or
// 16, used length in its last byte), an ISO 9660 identifier (8-bit, blank padded; kept when it is
// UTF-8, else read as Latin-1) and a Joliet identifier (UCS-2 big-endian, blank padded).
std::string UdfDString(std::span<const std::uint8_t> field);
std::string IsoIdentifier(std::span<const std::uint8_t> field);
std::string JolietIdentifier(std::span<const std::uint8_t> field);
