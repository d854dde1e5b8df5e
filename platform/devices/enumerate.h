// The optical devices of this machine as sysfs lists them (class/block/srN). The sysfs root is a
// parameter so that tests can hand in a tree of their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::devices {

struct OpticalDevice {
    std::string name;         // "sr0"
    std::string node;         // "/dev/sr0"
    std::uint32_t number = 0; // N of srN
    std::uint32_t host = 0, channel = 0, target = 0, lun = 0;
    std::uint8_t type = 5;               // peripheral device type from sysfs
    std::string hostDriver;              // the SCSI host's driver name ("" when unknown)
    bool ataAttached = false;            // behind an ATA port (an ATAPI drive)
    std::string vendor, model, revision; // as sysfs shows them, blanks trimmed
};

// The srN devices under sysfsRoot in srN order; entries whose address cannot be read are left
// out. A missing tree gives none.
std::vector<OpticalDevice> EnumerateOptical(const std::string& sysfsRoot = "/sys",
                                            const std::string& devRoot = "/dev");

} // namespace platform::devices
