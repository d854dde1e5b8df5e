#include "aspi32.h"

#include "scsi/registry.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

constexpr const char* kCodeTexts[] = {
    "None.",
    "Command aborted.",
    "Abort fail.",
    "Invalid command.",
    "Invalid host adapter.",
    "Invalid device.",
    "Invalid command block.",
    "Init failed.",
    "ASPI driver busy.",
    "Buffer too big.",
    "Host adapter time-out.",
    "Host command time-out.",
    "Host message reject.",
    "Host bus reset.",
    "Host parity error.",
    "Host request sense failed.",
    "Host selection time-out.",
    "Host data over-run.",
    "Host unexpected bus free.",
    "Target phase error.",
    "Target check conditions.",
    "Target busy.",
    "Target reservation conflict.",
    "Target queue full.",
    "Unsupported platform.",
    "ASPI driver not installed.",
    "ASPI driver not supported.",
    "Unsupported command.",
    "Out of event.",
    "Out of memory.",
    "Unknown error.",
};
static_assert(sizeof kCodeTexts / sizeof kCodeTexts[0] == kAspiUnknownError + 1);

constexpr std::uint32_t kCapabilityRequired = 3;    // both required operations exist
constexpr std::uint32_t kCapabilityTranslation = 8; // addresses translate to device nodes

std::atomic<TAspi32*> installed{nullptr};

std::uint8_t AdapterStatusOf(platform::scsi::HostCondition host) {
    using platform::scsi::HostCondition;
    switch (host) {
    case HostCondition::AdapterTimeout:
        return kHostAdapterTimeout;
    case HostCondition::CommandTimeout:
        return kHostCommandTimeout;
    case HostCondition::MessageReject:
        return kHostMessageReject;
    case HostCondition::BusReset:
        return kHostBusReset;
    case HostCondition::ParityError:
        return kHostParityError;
    case HostCondition::RequestSenseFailed:
        return kHostRequestSenseFailed;
    case HostCondition::SelectionTimeout:
        return kHostSelectionTimeout;
    case HostCondition::DataOverrun:
        return kHostDataOverrun;
    case HostCondition::UnexpectedBusFree:
        return kHostUnexpectedBusFree;
    case HostCondition::PhaseError:
        return kHostPhaseError;
    default:
        return kHostOtherError;
    }
}

// Copies text into a blank-padded field.
void PutField(std::array<char, 16>& field, const std::string& text) {
    field.fill(' ');
    std::copy_n(text.begin(), std::min(text.size(), field.size()), field.begin());
}

} // namespace

const char* AspiCodeText(int code) {
    return code >= 0 && code <= kAspiUnknownError ? kCodeTexts[code] : "";
}

TAspi32::TAspi32() {
    std::unique_ptr<platform::scsi::Registry> system;
    try {
        system = platform::scsi::MakeSystemRegistry();
    } catch (const std::exception&) {
        system.reset(); // no registry: the gateway stays not ready
    }
    ownedRegistry_ = std::move(system);
    Load(ownedRegistry_.get());
}

TAspi32::TAspi32(platform::scsi::Registry* registry) {
    Load(registry);
}

TAspi32::~TAspi32() = default;

void TAspi32::Load(platform::scsi::Registry* r) {
    registry = r;
    platformKind = kPlatformKindLinux;
    if (registry == nullptr) {
        Finish(kAspiNotInstalled);
        return;
    }
    capabilities = kCapabilityRequired | kCapabilityTranslation;
    // Request blocks carry the adapter number in one byte.
    adapterCount = static_cast<std::uint32_t>(std::min<std::size_t>(registry->AdapterCount(), 255));
    ready = 1;
    lastCode = kAspiOk;
}

void TAspi32::Finish(int code) {
    lastCode = static_cast<std::uint32_t>(code);
    if (code != kAspiOk) lastFailure = static_cast<std::uint32_t>(code);
}

void TAspi32::RememberSrb(const Srb& srb) {
    std::lock_guard<std::mutex> guard(srbLock_);
    lastSrb_ = srb;
}

Srb TAspi32::LastSrb() const {
    std::lock_guard<std::mutex> guard(srbLock_);
    return lastSrb_;
}

void TAspi32::Sleep(std::uint32_t ms) const {
    std::function<void(std::uint32_t)> sleeper;
    {
        std::lock_guard<std::mutex> guard(srbLock_);
        sleeper = sleeper_;
    }
    if (sleeper)
        sleeper(ms);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void TAspi32::SetSleeper(std::function<void(std::uint32_t)> sleeper) {
    std::lock_guard<std::mutex> guard(srbLock_);
    sleeper_ = std::move(sleeper);
}

int TAspi32::ExecSrb(Srb& srb, int timeoutMs) {
    using platform::scsi::TransportResult;
    if (registry == nullptr || ready == 0) {
        Finish(kAspiNotInstalled);
        return kAspiNotInstalled;
    }
    RememberSrb(srb);
    srb.status = kSrbPending;
    srb.adapterStatus = kHostOk;
    srb.targetStatus = kTargetGood;
    srb.senseLength = 0;
    srb.sense.fill(0);
    srb.transferred = 0;

    const platform::scsi::Address address{srb.adapter, srb.target, srb.lun};
    if (srb.adapter >= adapterCount) {
        srb.status = kSrbStatusInvalidAdapter;
    } else if (srb.command == kSrbGetDeviceType) {
        if (const auto device = registry->Find(address)) {
            srb.deviceType = device->deviceType & 0x1F;
            srb.status = kSrbCompleted;
        } else {
            srb.status = kSrbStatusNoDevice;
        }
    } else if (srb.command != kSrbExecute) {
        // Inquiries have their own call; aborts and resets are the transports' own business.
        srb.status = kSrbStatusInvalidCommand;
    } else if (srb.cdbLength == 0 || srb.cdbLength > kSrbCdbMax ||
               (srb.dataLength > 0 && srb.data == nullptr) ||
               (srb.flags & (kSrbDirIn | kSrbDirOut)) == (kSrbDirIn | kSrbDirOut)) {
        srb.status = kSrbStatusInvalidCdb;
    } else {
        platform::scsi::Request request;
        request.cdb = srb.cdb.data();
        request.cdbLength = srb.cdbLength;
        request.direction = (srb.flags & kSrbDirIn)    ? platform::scsi::Direction::In
                            : (srb.flags & kSrbDirOut) ? platform::scsi::Direction::Out
                                                       : platform::scsi::Direction::None;
        request.data = request.direction == platform::scsi::Direction::None ? nullptr : srb.data;
        request.dataLength =
            request.direction == platform::scsi::Direction::None ? 0 : srb.dataLength;
        request.timeoutMs = timeoutMs < 0 ? platform::scsi::kNoTimeout : timeoutMs;
        const platform::scsi::Completion c = registry->Execute(address, request);
        switch (c.result) {
        case TransportResult::Ok:
            srb.transferred = c.transferred;
            srb.targetStatus = c.scsiStatus;
            srb.senseLength = std::min<std::uint8_t>(c.senseLength, kSrbSenseMax);
            std::copy_n(c.sense.begin(), srb.senseLength, srb.sense.begin());
            srb.status = c.scsiStatus == kTargetGood && srb.senseLength == 0 ? kSrbCompleted
                                                                             : kSrbStatusError;
            break;
        case TransportResult::Timeout:
        case TransportResult::Aborted:
            srb.status = kSrbStatusAborted;
            break;
        case TransportResult::NoDevice:
            srb.status = kSrbStatusNoDevice;
            break;
        case TransportResult::Error:
            if (c.host == platform::scsi::HostCondition::Busy) {
                srb.status = kSrbStatusBusy;
            } else if (c.host == platform::scsi::HostCondition::AbortFailed) {
                srb.status = kSrbStatusAbortFailed;
            } else {
                srb.status = kSrbStatusError;
                srb.adapterStatus = AdapterStatusOf(c.host);
            }
            break;
        }
    }
    RememberSrb(srb);
    const int code = MapSrbStatus(srb);
    Finish(code);
    return code;
}

int TAspi32::MapSrbStatus(const Srb& srb) {
    int code = kAspiUnknownError;
    switch (srb.status) {
    case kSrbPending:
    case kSrbCompleted:
        code = kAspiOk;
        break;
    case kSrbStatusAborted:
        code = kAspiAborted;
        break;
    case kSrbStatusAbortFailed:
        code = kAspiAbortFailed;
        break;
    case kSrbStatusInvalidCommand:
        code = kAspiInvalidCommand;
        break;
    case kSrbStatusInvalidAdapter:
        code = kAspiInvalidAdapter;
        break;
    case kSrbStatusNoDevice:
        code = kAspiInvalidDevice;
        break;
    case kSrbStatusInvalidCdb:
        code = kAspiInvalidCdb;
        break;
    case kSrbStatusInitFailed:
        code = kAspiInitFailed;
        break;
    case kSrbStatusBusy:
        code = kAspiBusy;
        break;
    case kSrbStatusBufferTooBig:
        code = kAspiBufferTooBig;
        break;
    case kSrbStatusError: {
        const bool senseEmpty = srb.senseLength == 0 || srb.sense[0] == 0;
        switch (srb.adapterStatus) {
        case kHostOk:
            switch (srb.targetStatus) {
            case kTargetGood:
                code = senseEmpty ? kAspiOk : kAspiCheckCondition;
                break;
            case kTargetCheckCondition:
                code = kAspiCheckCondition;
                break;
            case kTargetBusy:
                code = kAspiTargetBusy;
                break;
            case kTargetReservationConflict:
                code = kAspiReservationConflict;
                break;
            case kTargetQueueFull:
                code = kAspiQueueFull;
                break;
            default:
                code = kAspiUnknownError;
                break;
            }
            break;
        case kHostAdapterTimeout:
            code = kAspiAdapterTimeout;
            break;
        case kHostCommandTimeout:
            code = kAspiCommandTimeout;
            break;
        case kHostMessageReject:
            code = kAspiMessageReject;
            break;
        case kHostBusReset:
            code = kAspiBusReset;
            break;
        case kHostParityError:
            code = kAspiParityError;
            break;
        case kHostRequestSenseFailed:
            code = kAspiRequestSenseFailed;
            break;
        case kHostSelectionTimeout:
            code = kAspiSelectionTimeout;
            break;
        case kHostDataOverrun:
            code = kAspiDataOverrun;
            break;
        case kHostUnexpectedBusFree:
            code = kAspiUnexpectedBusFree;
            break;
        case kHostPhaseError:
            code = kAspiPhaseError;
            break;
        default:
            code = kAspiUnknownError;
            break;
        }
        break;
    }
    default:
        code = kAspiUnknownError;
        break;
    }
    if (code == kAspiCheckCondition) {
        senseKey = srb.sense[2] & 0x0Fu;
        asc = srb.sense[12];
        ascq = srb.sense[13];
    }
    return code;
}

int TAspi32::HostAdapterInquiry(std::uint32_t adapter, HostAdapterInfo& out) {
    if (registry == nullptr || ready == 0) {
        Finish(kAspiNotInstalled);
        return kAspiNotInstalled;
    }
    Srb srb;
    srb.command = kSrbHostAdapterInquiry;
    srb.adapter = static_cast<std::uint8_t>(std::min<std::uint32_t>(adapter, 0xFF));
    RememberSrb(srb);
    const platform::scsi::Adapter* a = adapter < adapterCount ? registry->At(adapter) : nullptr;
    srb.status = a != nullptr ? kSrbCompleted : kSrbStatusInvalidAdapter;
    RememberSrb(srb);
    const int code = MapSrbStatus(srb);
    if (code == kAspiOk) {
        const platform::scsi::AdapterDescription d = a->Describe();
        HostAdapterInfo info;
        info.adapterCount = static_cast<std::uint8_t>(adapterCount);
        info.scsiId = d.scsiId;
        PutField(info.managerId, d.manager);
        PutField(info.identifier, d.identifier);
        info.unique[3] = d.maxTargets;
        out = info;
    }
    Finish(code);
    return code;
}

int TAspi32::GetDeviceType(std::uint32_t adapter, std::uint32_t target, std::uint32_t lun,
                           std::uint32_t& type) {
    type = kAspiUnknownDeviceType;
    Srb srb;
    if (!SetSrbDevice(srb, adapter, target, lun)) {
        Finish(kAspiInvalidDevice);
        return kAspiInvalidDevice;
    }
    srb.command = kSrbGetDeviceType;
    const int code = ExecSrb(srb, 0);
    if (code == kAspiOk) type = srb.deviceType;
    return code;
}

TAspi32& Aspi32() {
    if (TAspi32* aspi = installed.load(std::memory_order_acquire)) return *aspi;
    static TAspi32 system;
    return system;
}

ScopedAspi32::ScopedAspi32(TAspi32& aspi) : previous_(installed.load()) {
    installed.store(&aspi, std::memory_order_release);
}

ScopedAspi32::~ScopedAspi32() {
    installed.store(previous_, std::memory_order_release);
}
