// The SG_IO backend: command blocks go to the kernel's SCSI generic interface on the optical
// device nodes (/dev/srN). The ioctl is a seam so that tests can feed any outcome without a device.
#pragma once

#include "scsi/transport.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

struct sg_io_hdr;

namespace platform::scsi {

// What one SG_IO call left behind.
struct SgIoOutcome {
    int error = 0;                  // errno of a failed open or ioctl, 0 when the ioctl ran
    std::uint8_t status = 0;        // SCSI status
    std::uint16_t hostStatus = 0;   // host adapter condition (0 none)
    std::uint16_t driverStatus = 0; // low nibble: driver condition; 08h: sense was written
    std::int32_t resid = 0;         // requested minus moved bytes
    std::uint8_t senseWritten = 0;  // bytes of sense written
    std::array<std::uint8_t, 64> sense{};
};

// The completion of an outcome for a request of dataLength bytes.
Completion CompletionFromSgIo(const SgIoOutcome& outcome, std::uint32_t dataLength);

// Runs one prepared header on a device node and returns 0 or the errno.
using SgIoCall = std::function<int(const std::string& node, sg_io_hdr& header)>;

class SgIoAdapter : public Adapter {
public:
    // call defaults to the real ioctl on the node, opened once (read-only, non-blocking).
    SgIoAdapter(AdapterDescription description, std::vector<DeviceEntry> devices,
                SgIoCall call = {});
    ~SgIoAdapter() override;

    AdapterDescription Describe() const override { return description_; }
    std::vector<DeviceEntry> Devices() const override { return devices_; }
    Completion Execute(std::uint32_t target, std::uint32_t lun, const Request& request) override;

private:
    int RealCall(const std::string& node, sg_io_hdr& header);

    AdapterDescription description_;
    std::vector<DeviceEntry> devices_;
    SgIoCall call_;
    // An open device node; closed when the last command using it has ended.
    struct OpenNode {
        int fd;
        explicit OpenNode(int f) : fd(f) {}
        ~OpenNode();
        OpenNode(const OpenNode&) = delete;
        OpenNode& operator=(const OpenNode&) = delete;
    };
    std::mutex fdLock_;
    std::unordered_map<std::string, std::shared_ptr<OpenNode>> nodes_;
};

} // namespace platform::scsi
