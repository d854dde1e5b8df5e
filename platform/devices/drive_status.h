// What the optical drives of the letter map say about their tray and disc, their sectors and their
// door, asked by device path (a letter map entry). The system source speaks the CD-ROM ioctls to
// /dev/srN nodes; tests install a source of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace platform::devices {

enum class DriveStatus {
    NoInfo,   // the drive cannot tell (or the path is no CD-ROM device)
    NoDisc,   // tray closed, no disc
    TrayOpen, // tray open
    NotReady, // a disc is there but the drive is not ready yet (spinning up, reading the TOC)
    DiscOk,   // a readable disc
};

constexpr std::size_t kBlockSize = 2048;

// An open drive for door and information commands; the device stays open while this lives.
class DriveDevice {
public:
    virtual ~DriveDevice() = default;
    // False when the drive refused the command.
    virtual bool Eject() = 0;
    virtual bool CloseTray() = 0;
    virtual bool LockDoor(bool lock) = 0;
    // The drive's vendor, model and revision; nullopt when unknown.
    virtual std::optional<std::string> Product() = 0;
    // The disc's media catalogue number (13 digits, "" when the disc has none); nullopt when
    // it cannot be read.
    virtual std::optional<std::string> MediaCatalogNumber() = 0;
    // An identity of the disc from its table of contents: the lead-out address in frames as 8
    // upper-case hex digits followed by the first and last track number as 2 each; nullopt when
    // the table cannot be read.
    virtual std::optional<std::string> MediaIdentity() = 0;
};

class DriveStatusSource {
public:
    virtual ~DriveStatusSource() = default;
    virtual DriveStatus Status(const std::string& path) = 0;
    // True when the disc in the drive holds audio tracks only.
    virtual bool AudioOnly(const std::string& path) = 0;
    // Reads one 2048-byte block of the disc; false when it cannot.
    virtual bool ReadBlock(const std::string& path, std::uint32_t block,
                           std::span<std::uint8_t, kBlockSize> out) = 0;
    // Opens the drive; null when it cannot be opened.
    virtual std::unique_ptr<DriveDevice> Open(const std::string& path) = 0;
};

// The CD-ROM ioctls on device nodes. sysfsRoot and devRoot locate the product texts.
class IoctlDriveStatusSource : public DriveStatusSource {
public:
    explicit IoctlDriveStatusSource(std::string sysfsRoot = "/sys", std::string devRoot = "/dev");
    DriveStatus Status(const std::string& path) override;
    bool AudioOnly(const std::string& path) override;
    bool ReadBlock(const std::string& path, std::uint32_t block,
                   std::span<std::uint8_t, kBlockSize> out) override;
    std::unique_ptr<DriveDevice> Open(const std::string& path) override;

private:
    std::string sysfsRoot_, devRoot_;
};

// The source in use: the one installed by ScopedDriveStatusSource, else the ioctl source.
DriveStatusSource& CurrentDriveStatusSource();

class ScopedDriveStatusSource {
public:
    explicit ScopedDriveStatusSource(DriveStatusSource& source);
    ~ScopedDriveStatusSource();
    ScopedDriveStatusSource(const ScopedDriveStatusSource&) = delete;
    ScopedDriveStatusSource& operator=(const ScopedDriveStatusSource&) = delete;

private:
    DriveStatusSource* previous_;
};

} // namespace platform::devices
