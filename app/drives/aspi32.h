// TAspi32: the one gateway between the program and the optical devices of this machine. It sends
// request blocks (Srb) to the transport registry of platform/scsi and turns every completion into
// one small result code (AspiCode) that the layers above branch on.
//
// How the gateway's fields read on Linux:
//   registry      the transport registry (SG_IO devices from sysfs, simulated drives); null when
//                 no registry could be made ("not loaded": code 25, ready 0). The two required
//                 operations are the registry's adapter count and its command execution, which
//                 always exist, so capabilities is 3 plus 8 (addresses translate to device nodes
//                 through sysfs); 4 (driver-allocated buffers) is never set.
//   platformKind  always kPlatformKindLinux (7): the drive letter of a device is found by probing
//                 the letters of the drive letter map, never through a registry of the system.
//   ready         1 once the registry answered its adapter count; 0 when there is none.
//   Codes 24 (unsupported platform), 26 (missing operations) and 28 (no completion event) have no
//   cause here and are never raised; their texts stay for the code table.
// Waiting, time-out and abort of a command belong to the transport: the kernel (SG_IO) or the
// simulated adapter enforces the time-out and aborts the command; a time-out completes the Srb
// with status "aborted" (code 1), an abort that did not complete with "abort failed" (code 2).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace platform::scsi {
class Registry;
} // namespace platform::scsi

// Result codes of every drive operation. 0 success, 1-30 the conditions below.
enum AspiCode : int {
    kAspiOk = 0,
    kAspiAborted = 1,
    kAspiAbortFailed = 2,
    kAspiInvalidCommand = 3,
    kAspiInvalidAdapter = 4,
    kAspiInvalidDevice = 5,
    kAspiInvalidCdb = 6,
    kAspiInitFailed = 7,
    kAspiBusy = 8,
    kAspiBufferTooBig = 9,
    kAspiAdapterTimeout = 10,
    kAspiCommandTimeout = 11,
    kAspiMessageReject = 12,
    kAspiBusReset = 13,
    kAspiParityError = 14,
    kAspiRequestSenseFailed = 15,
    kAspiSelectionTimeout = 16,
    kAspiDataOverrun = 17,
    kAspiUnexpectedBusFree = 18,
    kAspiPhaseError = 19,
    kAspiCheckCondition = 20,
    kAspiTargetBusy = 21,
    kAspiReservationConflict = 22,
    kAspiQueueFull = 23,
    kAspiUnsupportedPlatform = 24,
    kAspiNotInstalled = 25,
    kAspiNotSupported = 26,
    kAspiUnsupportedCommand = 27,
    kAspiOutOfEvent = 28,
    kAspiOutOfMemory = 29,
    kAspiUnknownError = 30,
};
// Device type reported when the device-type query fails (peripheral type 1Fh, unknown).
inline constexpr std::uint32_t kAspiUnknownDeviceType = 31;

// The fixed text of a code 0-30 ("None.", "Command aborted.", ...); "" for any other value.
const char* AspiCodeText(int code);

// Request block commands.
enum SrbCommand : std::uint8_t {
    kSrbHostAdapterInquiry = 0,
    kSrbGetDeviceType = 1,
    kSrbExecute = 2,
    kSrbAbort = 3,
    kSrbResetDevice = 4,
};
// Request block status values.
enum SrbStatus : std::uint8_t {
    kSrbPending = 0x00,
    kSrbCompleted = 0x01,
    kSrbStatusAborted = 0x02,
    kSrbStatusAbortFailed = 0x03,
    kSrbStatusError = 0x04,
    kSrbStatusInvalidCommand = 0x80,
    kSrbStatusInvalidAdapter = 0x81,
    kSrbStatusNoDevice = 0x82,
    kSrbStatusInvalidCdb = 0xE0,
    kSrbStatusInitFailed = 0xE4,
    kSrbStatusBusy = 0xE5,
    kSrbStatusBufferTooBig = 0xE6,
};
// Data direction flags of an execute block.
inline constexpr std::uint8_t kSrbNoData = 0x00;
inline constexpr std::uint8_t kSrbDirIn = 0x08;
inline constexpr std::uint8_t kSrbDirOut = 0x10;

// Adapter status values of a completed execute block.
enum AdapterStatus : std::uint8_t {
    kHostOk = 0x00,
    kHostAdapterTimeout = 0x09,
    kHostCommandTimeout = 0x0B,
    kHostMessageReject = 0x0D,
    kHostBusReset = 0x0E,
    kHostParityError = 0x0F,
    kHostRequestSenseFailed = 0x10,
    kHostSelectionTimeout = 0x11,
    kHostDataOverrun = 0x12,
    kHostUnexpectedBusFree = 0x13,
    kHostPhaseError = 0x14,
    kHostOtherError = 0x0A, // any condition the table has no code for
};
// Target (SCSI) status values.
enum TargetStatus : std::uint8_t {
    kTargetGood = 0x00,
    kTargetCheckCondition = 0x02,
    kTargetBusy = 0x08,
    kTargetReservationConflict = 0x18,
    kTargetQueueFull = 0x28,
};

inline constexpr int kSrbCdbMax = 16;
inline constexpr int kSrbSenseMax = 18; // fixed-format sense: key at 2, ASC at 12, ASCQ at 13

// A request block: one command for one device and its completion, filled in by ExecSrb.
struct Srb {
    std::uint8_t command = kSrbExecute;
    std::uint8_t status = kSrbPending;
    std::uint8_t adapter = 0;
    std::uint8_t flags = kSrbNoData; // kSrbDirIn / kSrbDirOut / kSrbNoData
    std::uint8_t target = 0;
    std::uint8_t lun = 0;
    std::uint32_t dataLength = 0; // bytes the command may move; the buffer holds at least this
    std::uint8_t* data = nullptr;
    std::uint8_t cdbLength = 0;
    std::array<std::uint8_t, kSrbCdbMax> cdb{};
    // Completion.
    std::uint8_t adapterStatus = kHostOk;
    std::uint8_t targetStatus = kTargetGood;
    std::uint8_t senseLength = 0; // valid bytes in sense (0 = empty sense area)
    std::array<std::uint8_t, kSrbSenseMax> sense{};
    std::uint32_t transferred = 0; // bytes actually moved
    // Result of a get-device-type block: the peripheral device type.
    std::uint8_t deviceType = 0;
};

// Puts a device's address into srb; false (srb unchanged) when a part does not fit its byte.
inline bool SetSrbDevice(Srb& srb, std::uint32_t adapter, std::uint32_t target, std::uint32_t lun) {
    if (adapter > 0xFF || target > 0xFF || lun > 0xFF) return false;
    srb.adapter = static_cast<std::uint8_t>(adapter);
    srb.target = static_cast<std::uint8_t>(target);
    srb.lun = static_cast<std::uint8_t>(lun);
    return true;
}

// One host adapter as the inquiry reports it. Text fields are blank-padded, not terminated.
struct HostAdapterInfo {
    std::uint8_t adapterCount = 0;
    std::uint8_t scsiId = 0; // the adapter's own id, never a target to probe
    std::array<char, 16> managerId{};
    std::array<char, 16> identifier{};
    // bytes 0-1 buffer alignment mask (little-endian), byte 2 reserved flags, byte 3 maximum
    // targets (0 reads as 8)
    std::array<std::uint8_t, 16> unique{};
};

class TAspi32 {
public:
    static constexpr std::uint32_t kPlatformKindLinux = 7;

    // Over the system registry (optical devices from sysfs, SG_IO).
    TAspi32();
    // Over the given registry, which must outlive the gateway; null gives a gateway that is not
    // ready (code 25).
    explicit TAspi32(platform::scsi::Registry* registry);
    ~TAspi32();
    TAspi32(const TAspi32&) = delete;
    TAspi32& operator=(const TAspi32&) = delete;

    // Sends one block and waits for its completion; timeoutMs -1 waits without limit. Returns the
    // code, which also goes to lastCode (and lastFailure when not 0).
    int ExecSrb(Srb& srb, int timeoutMs);
    // Inquiry of one adapter; on code 0 fills out. Returns the code.
    int HostAdapterInquiry(std::uint32_t adapter, HostAdapterInfo& out);
    // The peripheral device type at that address, or kAspiUnknownDeviceType when the query fails.
    int GetDeviceType(std::uint32_t adapter, std::uint32_t target, std::uint32_t lun,
                      std::uint32_t& type);
    // The code of a completed block; stores sense key, ASC and ASCQ when it is 20.
    int MapSrbStatus(const Srb& srb);

    // Pauses the calling thread; tests install a sleeper that moves their clock instead.
    void Sleep(std::uint32_t ms) const;
    void SetSleeper(std::function<void(std::uint32_t)> sleeper);

    // A copy of the last block sent (taken before sending and again after completion).
    Srb LastSrb() const;

    platform::scsi::Registry* registry = nullptr;
    std::uint32_t platformKind = kPlatformKindLinux;
    std::uint32_t ready = 0;
    std::uint32_t capabilities = 0;
    std::uint32_t adapterCount = 0;
    // Shared by every caller's thread: they describe whichever command finished last.
    std::atomic<std::uint32_t> lastCode{0};
    std::atomic<std::uint32_t> lastFailure{0}; // last non-zero code, never reset by a success
    std::atomic<std::uint32_t> senseKey{0};
    std::atomic<std::uint32_t> asc{0};
    std::atomic<std::uint32_t> ascq{0};

private:
    void Load(platform::scsi::Registry* registry);
    void Finish(int code);
    void RememberSrb(const Srb& srb);

    std::unique_ptr<platform::scsi::Registry> ownedRegistry_; // the system registry, when made here
    mutable std::mutex srbLock_;
    Srb lastSrb_;
    std::function<void(std::uint32_t)> sleeper_;
};

// The program's gateway: the one installed by ScopedAspi32, else one over the system registry,
// made on first use.
TAspi32& Aspi32();

// Installs a gateway for the life of the scope (tests and demonstrations over simulated drives).
class ScopedAspi32 {
public:
    explicit ScopedAspi32(TAspi32& aspi);
    ~ScopedAspi32();
    ScopedAspi32(const ScopedAspi32&) = delete;
    ScopedAspi32& operator=(const ScopedAspi32&) = delete;

private:
    TAspi32* previous_;
};
