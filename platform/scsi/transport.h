// The transport of SCSI command blocks to one host adapter's devices: a command goes in with its
// data direction, buffer and time-out, a completion comes back. Backends: SG_IO on the optical
// devices of this machine (sg_io_adapter.h); simulators add adapters of their own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::scsi {

enum class Direction : std::uint8_t { None, In, Out };

// How the transport itself fared.
enum class TransportResult : std::uint8_t {
    Ok,       // the command reached the device; status and sense say how it ended
    Timeout,  // the time-out passed; the command was aborted
    Aborted,  // the command was aborted for another reason
    NoDevice, // nothing answers at that address
    Error,    // the transport failed; host says how, when it knows
};

// What the host adapter reported beyond plain success.
enum class HostCondition : std::uint8_t {
    None,
    AdapterTimeout,
    CommandTimeout,
    MessageReject,
    BusReset,
    ParityError,
    RequestSenseFailed,
    SelectionTimeout,
    DataOverrun, // the device moved more than the buffer holds, or a count that cannot be
    UnexpectedBusFree,
    PhaseError,
    Busy, // the transport is busy; a later attempt may pass
    AbortFailed,
    Other,
};

inline constexpr std::size_t kSenseSize = 18; // fixed format
inline constexpr std::size_t kCdbMax = 16;
inline constexpr int kNoTimeout = -1;

struct Request {
    const std::uint8_t* cdb = nullptr;
    std::size_t cdbLength = 0; // 1..16
    Direction direction = Direction::None;
    std::uint8_t* data = nullptr;
    std::uint32_t dataLength = 0; // bytes the buffer holds and the command may move
    int timeoutMs = 2000;         // kNoTimeout waits without limit
};

struct Completion {
    TransportResult result = TransportResult::Ok;
    HostCondition host = HostCondition::None;
    std::uint8_t scsiStatus = 0;  // 0 good, 02h check condition, 08h busy, ...
    std::uint8_t senseLength = 0; // valid bytes of sense, always fixed format
    std::array<std::uint8_t, kSenseSize> sense{};
    std::uint32_t transferred = 0; // never more than the request's dataLength
};

// A device behind an adapter.
struct DeviceEntry {
    std::uint32_t target = 0;
    std::uint32_t lun = 0;
    std::uint8_t deviceType = 0x1F; // peripheral device type
    std::string path;               // device node or simulated drive name: the letter map's key
};

struct AdapterDescription {
    std::string identifier;      // "ATAPI" for ATA-attached devices, else the host driver's name
    std::string manager;         // which backend drives the adapter
    std::uint8_t scsiId = 0xFF;  // the adapter's own id, never a device's target
    std::uint8_t maxTargets = 8; // targets 0 .. maxTargets-1 may hold devices
};

// One host adapter.
class Adapter {
public:
    virtual ~Adapter() = default;
    virtual AdapterDescription Describe() const = 0;
    virtual std::vector<DeviceEntry> Devices() const = 0;
    // Runs one command on the device at (target, lun) and waits for it within the request's
    // time-out. Safe to call from several threads.
    virtual Completion Execute(std::uint32_t target, std::uint32_t lun, const Request& request) = 0;
};

// A completion with no device behind it.
Completion NoDeviceCompletion();

} // namespace platform::scsi
