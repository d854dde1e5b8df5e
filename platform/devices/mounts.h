// Where a drive's disc is mounted: the drive letter's device (the letter map) looked up as the
// source of a mount in the mount table (/proc/self/mountinfo). Tests and demonstrations install
// a table of their own, in which a simulated drive's name is the source of a folder.
#pragma once

#include <string>

namespace platform::devices {

// The mount point of the first mount whose source is device, in mountinfo text ("ID PARENT
// MAJ:MIN ROOT MOUNTPOINT OPTIONS [FIELDS...] - TYPE SOURCE SUPER"); octal escapes of the mount
// point ("\040" for a blank) undone. A source that names the same node through another path
// (/dev/cdrom for /dev/sr0) counts too. "" when no line matches or a line is malformed.
std::string MountPointOf(const std::string& device, const std::string& mountInfo);

// The mount table in use: the text installed by ScopedMountTable, else /proc/self/mountinfo.
std::string CurrentMountTable();

// The folder where the disc of a drive letter is mounted; "" when the letter names no drive or
// its disc is not mounted.
std::string DiscFolder(char letter);

class ScopedMountTable {
public:
    explicit ScopedMountTable(std::string mountInfo);
    ~ScopedMountTable();
    ScopedMountTable(const ScopedMountTable&) = delete;
    ScopedMountTable& operator=(const ScopedMountTable&) = delete;

private:
    std::string table_;
    const std::string* previous_;
};

} // namespace platform::devices
