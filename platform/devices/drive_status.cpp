#include "devices/drive_status.h"

#include "devices/enumerate.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform::devices {
namespace {

// An open block device node; closed when it goes. Anything that is not a block device (a
// simulated drive's name, a plain file) is not opened: the ioctls are for drives only.
class DeviceFd {
public:
    explicit DeviceFd(const std::string& path) {
        if (path.empty()) return;
        fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISBLK(st.st_mode))) Close();
    }
    ~DeviceFd() { Close(); }
    DeviceFd(const DeviceFd&) = delete;
    DeviceFd& operator=(const DeviceFd&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Get() const { return fd_; }
    // The ioctl's result, retried on EINTR; -1 on failure.
    int Ioctl(unsigned long request, unsigned long arg) const {
        int r;
        do
            r = ::ioctl(fd_, request, arg);
        while (r < 0 && errno == EINTR);
        return r;
    }
    template <class T> bool IoctlInto(unsigned long request, T* data) const {
        return Ioctl(request, reinterpret_cast<unsigned long>(data)) >= 0;
    }

private:
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int fd_ = -1;
};

class IoctlDriveDevice : public DriveDevice {
public:
    IoctlDriveDevice(std::string path, std::unique_ptr<DeviceFd> fd, std::string sysfsRoot,
                     std::string devRoot)
        : path_(std::move(path)), fd_(std::move(fd)), sysfsRoot_(std::move(sysfsRoot)),
          devRoot_(std::move(devRoot)) {}

    bool Eject() override { return fd_->Ioctl(CDROMEJECT, 0) >= 0; }
    bool CloseTray() override { return fd_->Ioctl(CDROMCLOSETRAY, 0) >= 0; }
    bool LockDoor(bool lock) override { return fd_->Ioctl(CDROM_LOCKDOOR, lock ? 1 : 0) >= 0; }

    std::optional<std::string> Product() override {
        for (const auto& d : EnumerateOptical(sysfsRoot_, devRoot_)) {
            if (d.node != path_) continue;
            std::string text;
            for (const std::string* part : {&d.vendor, &d.model, &d.revision}) {
                if (part->empty()) continue;
                if (!text.empty()) text += ' ';
                text += *part;
            }
            if (text.empty()) return std::nullopt;
            return text;
        }
        return std::nullopt;
    }

    std::optional<std::string> MediaCatalogNumber() override {
        cdrom_mcn mcn{};
        if (!fd_->IoctlInto(CDROM_GET_MCN, &mcn)) return std::nullopt;
        // The drive's bytes: only a full run of digits is a number; all zeros means none.
        std::string digits;
        for (unsigned char c : mcn.medium_catalog_number) {
            if (c == 0) break;
            if (c < '0' || c > '9') return std::string();
            digits += static_cast<char>(c);
        }
        if (digits.find_first_not_of('0') == std::string::npos) return std::string();
        return digits;
    }

    std::optional<std::string> MediaIdentity() override {
        cdrom_tochdr header{};
        if (!fd_->IoctlInto(CDROMREADTOCHDR, &header)) return std::nullopt;
        cdrom_tocentry leadOut{};
        leadOut.cdte_track = CDROM_LEADOUT;
        leadOut.cdte_format = CDROM_LBA;
        if (!fd_->IoctlInto(CDROMREADTOCENTRY, &leadOut)) return std::nullopt;
        char text[16];
        std::snprintf(text, sizeof text, "%08X%02X%02X",
                      static_cast<unsigned>(leadOut.cdte_addr.lba + 150), header.cdth_trk0,
                      header.cdth_trk1);
        return std::string(text);
    }

private:
    std::string path_;
    std::unique_ptr<DeviceFd> fd_;
    std::string sysfsRoot_, devRoot_;
};

std::atomic<DriveStatusSource*> installed{nullptr};

} // namespace

IoctlDriveStatusSource::IoctlDriveStatusSource(std::string sysfsRoot, std::string devRoot)
    : sysfsRoot_(std::move(sysfsRoot)), devRoot_(std::move(devRoot)) {}

DriveStatus IoctlDriveStatusSource::Status(const std::string& path) {
    const DeviceFd fd(path);
    if (!fd.IsOpen()) return DriveStatus::NoInfo;
    switch (fd.Ioctl(CDROM_DRIVE_STATUS, CDSL_CURRENT)) {
    case CDS_NO_DISC:
        return DriveStatus::NoDisc;
    case CDS_TRAY_OPEN:
        return DriveStatus::TrayOpen;
    case CDS_DRIVE_NOT_READY:
        return DriveStatus::NotReady;
    case CDS_DISC_OK:
        return DriveStatus::DiscOk;
    default:
        return DriveStatus::NoInfo;
    }
}

bool IoctlDriveStatusSource::AudioOnly(const std::string& path) {
    const DeviceFd fd(path);
    return fd.IsOpen() && fd.Ioctl(CDROM_DISC_STATUS, 0) == CDS_AUDIO;
}

bool IoctlDriveStatusSource::ReadBlock(const std::string& path, std::uint32_t block,
                                       std::span<std::uint8_t, kBlockSize> out) {
    const DeviceFd fd(path);
    if (!fd.IsOpen()) return false;
    std::size_t done = 0;
    const off_t base = static_cast<off_t>(block) * static_cast<off_t>(kBlockSize);
    while (done < out.size()) {
        const ssize_t n = ::pread(fd.Get(), out.data() + done, out.size() - done,
                                  base + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::unique_ptr<DriveDevice> IoctlDriveStatusSource::Open(const std::string& path) {
    auto fd = std::make_unique<DeviceFd>(path);
    if (!fd->IsOpen()) return nullptr;
    return std::make_unique<IoctlDriveDevice>(path, std::move(fd), sysfsRoot_, devRoot_);
}

DriveStatusSource& CurrentDriveStatusSource() {
    if (DriveStatusSource* source = installed.load(std::memory_order_acquire)) return *source;
    static IoctlDriveStatusSource system;
    return system;
}

ScopedDriveStatusSource::ScopedDriveStatusSource(DriveStatusSource& source)
    : previous_(installed.load()) {
    installed.store(&source, std::memory_order_release);
}

ScopedDriveStatusSource::~ScopedDriveStatusSource() {
    installed.store(previous_, std::memory_order_release);
}

} // namespace platform::devices
