#include "scsi/sg_io_adapter.h"

#include "scsi/sense.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform::scsi {
namespace {

// Host adapter conditions the kernel reports in host_status.
constexpr std::uint16_t kHostNoConnect = 0x01, kHostBusBusy = 0x02, kHostTimeOut = 0x03,
                        kHostBadTarget = 0x04, kHostAbort = 0x05, kHostParity = 0x06,
                        kHostError = 0x07, kHostReset = 0x08, kHostSoftError = 0x0B,
                        kHostImmRetry = 0x0C, kHostRequeue = 0x0D, kHostTransportDisrupted = 0x0E;
// Driver conditions (low nibble of driver_status); 08h only says that sense was written.
constexpr std::uint16_t kDriverBusy = 0x01, kDriverSoft = 0x02, kDriverInvalid = 0x05,
                        kDriverTimeout = 0x06, kDriverSenseFlag = 0x08;

Completion Failed(TransportResult result, HostCondition host) {
    Completion c;
    c.result = result;
    c.host = host;
    return c;
}

} // namespace

Completion CompletionFromSgIo(const SgIoOutcome& o, std::uint32_t dataLength) {
    if (o.error != 0) {
        switch (o.error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return Failed(TransportResult::NoDevice, HostCondition::None);
        case EBUSY:
        case EAGAIN:
        case EINTR:
            return Failed(TransportResult::Error, HostCondition::Busy);
        default:
            return Failed(TransportResult::Error, HostCondition::Other);
        }
    }

    switch (o.hostStatus) {
    case 0:
        break;
    case kHostNoConnect:
        return Failed(TransportResult::Error, HostCondition::SelectionTimeout);
    case kHostBusBusy:
    case kHostSoftError:
    case kHostImmRetry:
    case kHostRequeue:
        return Failed(TransportResult::Error, HostCondition::Busy);
    case kHostTimeOut:
        return Failed(TransportResult::Timeout, HostCondition::None);
    case kHostBadTarget:
        return Failed(TransportResult::NoDevice, HostCondition::None);
    case kHostAbort:
        return Failed(TransportResult::Aborted, HostCondition::None);
    case kHostParity:
        return Failed(TransportResult::Error, HostCondition::ParityError);
    case kHostReset:
    case kHostTransportDisrupted:
        return Failed(TransportResult::Error, HostCondition::BusReset);
    case kHostError:
    default:
        return Failed(TransportResult::Error, HostCondition::Other);
    }

    switch (o.driverStatus & 0x0F & ~kDriverSenseFlag) {
    case 0:
        break;
    case kDriverBusy:
    case kDriverSoft:
        return Failed(TransportResult::Error, HostCondition::Busy);
    case kDriverTimeout:
        return Failed(TransportResult::Timeout, HostCondition::None);
    case kDriverInvalid:
        return Failed(TransportResult::NoDevice, HostCondition::None);
    default:
        return Failed(TransportResult::Error, HostCondition::Other);
    }

    Completion c;
    // A residue below zero or above the request means the device claims to have moved more than
    // the buffer holds, or a count that cannot be: the reply is refused.
    if (o.resid < 0 || static_cast<std::uint32_t>(o.resid) > dataLength)
        return Failed(TransportResult::Error, HostCondition::DataOverrun);
    c.transferred = dataLength - static_cast<std::uint32_t>(o.resid);
    c.scsiStatus = o.status;
    const std::size_t written = std::min<std::size_t>(o.senseWritten, o.sense.size());
    const FixedSense sense = NormalizeSense(o.sense.data(), written);
    c.sense = sense.bytes;
    c.senseLength = sense.length;
    return c;
}

SgIoAdapter::SgIoAdapter(AdapterDescription description, std::vector<DeviceEntry> devices,
                         SgIoCall call)
    : description_(std::move(description)), devices_(std::move(devices)), call_(std::move(call)) {}

SgIoAdapter::~SgIoAdapter() = default;

SgIoAdapter::OpenNode::~OpenNode() {
    ::close(fd);
}

int SgIoAdapter::RealCall(const std::string& node, sg_io_hdr& header) {
    std::shared_ptr<OpenNode> open;
    {
        std::lock_guard<std::mutex> guard(fdLock_);
        auto it = nodes_.find(node);
        if (it == nodes_.end()) {
            // Non-blocking so that a drive without a medium opens too. Read-write when allowed:
            // the kernel lets door and lock commands through only then.
            int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) return errno;
            it = nodes_.emplace(node, std::make_shared<OpenNode>(fd)).first;
        }
        open = it->second;
    }
    int error = 0;
    while (::ioctl(open->fd, SG_IO, &header) < 0) {
        if (errno == EINTR) continue;
        error = errno;
        break;
    }
    if (error == ENODEV || error == ENXIO) {
        // The device went away: the next command opens the node afresh.
        std::lock_guard<std::mutex> guard(fdLock_);
        auto it = nodes_.find(node);
        if (it != nodes_.end() && it->second == open) nodes_.erase(it);
    }
    return error;
}

Completion SgIoAdapter::Execute(std::uint32_t target, std::uint32_t lun, const Request& request) {
    const DeviceEntry* device = nullptr;
    for (const auto& d : devices_)
        if (d.target == target && d.lun == lun) device = &d;
    if (device == nullptr) return NoDeviceCompletion();
    if (request.cdb == nullptr || request.cdbLength == 0 || request.cdbLength > kCdbMax ||
        (request.dataLength > 0 && request.data == nullptr))
        return Failed(TransportResult::Error, HostCondition::Other);

    std::uint8_t cdb[kCdbMax] = {};
    std::memcpy(cdb, request.cdb, request.cdbLength);
    SgIoOutcome outcome;
    sg_io_hdr header{};
    header.interface_id = 'S';
    header.cmd_len = static_cast<unsigned char>(request.cdbLength);
    header.cmdp = cdb;
    header.mx_sb_len = static_cast<unsigned char>(outcome.sense.size());
    header.sbp = outcome.sense.data();
    const bool hasData = request.direction != Direction::None && request.dataLength > 0;
    header.dxfer_direction = !hasData                             ? SG_DXFER_NONE
                             : request.direction == Direction::In ? SG_DXFER_FROM_DEV
                                                                  : SG_DXFER_TO_DEV;
    header.dxfer_len = hasData ? request.dataLength : 0;
    header.dxferp = hasData ? request.data : nullptr;
    header.timeout = request.timeoutMs < 0 ? UINT_MAX : static_cast<unsigned>(request.timeoutMs);

    outcome.error = call_ ? call_(device->path, header) : RealCall(device->path, header);
    outcome.status = header.status;
    outcome.hostStatus = header.host_status;
    outcome.driverStatus = header.driver_status;
    outcome.resid = header.resid;
    outcome.senseWritten = header.sb_len_wr;
    return CompletionFromSgIo(outcome, header.dxfer_len);
}

} // namespace platform::scsi
