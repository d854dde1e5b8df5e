#include "scsi.h"

#include "clock/clock.h"
#include "devices/letter_map.h"
#include "scsi/registry.h"
#include "vcl/exception.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr std::uint8_t kOpInquiry = 0x12;
constexpr std::uint8_t kOpModeSense6 = 0x1A;
constexpr std::uint8_t kOpModeSense10 = 0x5A;
constexpr std::uint8_t kOpTestUnitReady = 0x00;

constexpr std::uint8_t kSenseFixedCurrent = 0x70;
constexpr std::uint8_t kKeyRecovered = 1, kKeyNotReady = 2, kKeyUnitAttention = 6;

// Every command is sent once; the wait class decides whether a pause precedes the return.
constexpr int kAttempts = 1;
constexpr std::uint32_t kPauseMs = 1000;

constexpr int kProbeInquiryLength = 36;
constexpr int kProbeTimeoutMs = 6000;
constexpr std::uint32_t kAllLetters = (1u << 26) - 1;

std::uint8_t LunBits(std::uint32_t lun) {
    return static_cast<std::uint8_t>((lun & 7) << 5);
}

} // namespace

// ---- TScsiDev ----

TScsiDev::TScsiDev(std::uint32_t adapter_, std::uint32_t target_, std::uint32_t lun_,
                   std::uint32_t deviceType_)
    : adapter(adapter_), target(target_), lun(lun_), deviceType(deviceType_) {
    Inquire();
}

TScsiDev::~TScsiDev() = default;

int TScsiDev::Execute(const std::uint8_t* cdb, int cdbLength, std::uint8_t* data,
                      std::uint32_t dataLength, std::uint8_t flags, int timeoutMs,
                      std::uint32_t* transferred) {
    TAspi32& aspi = Aspi32();
    if (transferred != nullptr) *transferred = 0;
    const bool cdbValid = cdb != nullptr && cdbLength > 0;
    Srb srb;
    if (!cdbValid || !SetSrbDevice(srb, adapter, target, lun)) {
        const int code = cdbValid ? kAspiInvalidDevice : kAspiInvalidCdb;
        lastCode = static_cast<std::uint32_t>(code);
        return code;
    }
    srb.command = kSrbExecute;
    srb.flags = flags;
    srb.data = data;
    srb.dataLength = dataLength;
    srb.cdbLength = static_cast<std::uint8_t>(std::min(cdbLength, kSrbCdbMax));
    std::copy_n(cdb, srb.cdbLength, srb.cdb.begin());

    const std::uint32_t start = platform::GetTickCount();
    int waitClass = 0;
    std::uint32_t wait = 1;
    int attempts = kAttempts;
    int code = kAspiOk;
    for (;;) {
        code = aspi.ExecSrb(srb, timeoutMs);
        switch (code) {
        case kAspiOk:
            lastSense = 0;
            lastCode = 0;
            if (transferred != nullptr) *transferred = srb.transferred;
            return 0;
        case kAspiBusy:
            waitClass = 1, wait = 4000;
            break;
        case kAspiBusReset:
        case kAspiParityError:
        case kAspiSelectionTimeout:
        case kAspiUnexpectedBusFree:
        case kAspiPhaseError:
            waitClass = 2, wait = 4000;
            break;
        case kAspiTargetBusy:
        case kAspiQueueFull:
            waitClass = 3, wait = 10000;
            break;
        case kAspiCheckCondition: {
            const std::uint8_t response = srb.sense[0] & 0x7F;
            const std::uint8_t key = srb.sense[2] & 0x0F;
            if (response == kSenseFixedCurrent && key == kKeyRecovered) {
                lastSense = 0;
                lastCode = 0;
                if (transferred != nullptr) *transferred = srb.transferred;
                return 0;
            }
            // The sense of every check condition is kept, deferred errors included.
            lastSense = srb.senseLength == 0
                            ? 0
                            : static_cast<std::uint32_t>(key) << 16 |
                                  static_cast<std::uint32_t>(srb.sense[12]) << 8 | srb.sense[13];
            if (response == kSenseFixedCurrent) {
                if (key == kKeyNotReady && srb.sense[12] == 0x04 && srb.sense[13] == 0x01)
                    waitClass = 4, wait = 10000;
                else if (key == kKeyNotReady)
                    waitClass = 5, wait = 1000;
                else if (key == kKeyUnitAttention)
                    waitClass = 6, wait = 2000;
                else
                    waitClass = 7, wait = 0;
            }
            break;
        }
        default:
            waitClass = 7, wait = 0;
            break;
        }

        if (wait != 0) {
            const std::uint32_t elapsed = (platform::GetTickCount() - start) / 1000;
            const std::uint32_t limit = wait / 1000 + 1;
            if (waitClass == 1 || waitClass == 2 || waitClass == 6) {
                if (elapsed > limit) break;
            } else if (waitClass == 3 || waitClass == 4 || waitClass == 5) {
                if (elapsed > limit) break;
                aspi.Sleep(kPauseMs);
            } else {
                break;
            }
        }
        if (--attempts <= 0 || wait == 0) break;
    }
    lastCode = static_cast<std::uint32_t>(code);
    return code;
}

int TScsiDev::Inquiry(std::uint8_t* buffer, std::uint8_t allocationLength) {
    const std::uint8_t cdb[6] = {kOpInquiry, LunBits(lun), 0, 0, allocationLength, 0};
    return Execute(cdb, 6, buffer, allocationLength, kSrbDirIn, kDefaultTimeoutMs);
}

int TScsiDev::ModeSense6(std::uint8_t page, std::uint8_t* buffer, std::uint8_t length) {
    const std::uint8_t cdb[6] = {
        kOpModeSense6, LunBits(lun), static_cast<std::uint8_t>(page & 0x3F), 0, length, 0};
    return Execute(cdb, 6, buffer, length, kSrbDirIn, kDefaultTimeoutMs);
}

int TScsiDev::ModeSense10(bool dbd, std::uint8_t page, std::uint8_t* buffer, std::uint16_t length) {
    const std::uint8_t cdb[10] = {kOpModeSense10,
                                  static_cast<std::uint8_t>(LunBits(lun) | (dbd ? 0x08 : 0)),
                                  static_cast<std::uint8_t>(page & 0x3F),
                                  0,
                                  0,
                                  0,
                                  0,
                                  static_cast<std::uint8_t>(length >> 8),
                                  static_cast<std::uint8_t>(length & 0xFF),
                                  0};
    return Execute(cdb, 10, buffer, length, kSrbDirIn, kDefaultTimeoutMs);
}

int TScsiDev::TestUnitReady() {
    const std::uint8_t cdb[6] = {kOpTestUnitReady, LunBits(lun), 0, 0, 0, 0};
    return Execute(cdb, 6, nullptr, 0, kSrbNoData, kDefaultTimeoutMs);
}

int TScsiDev::Inquire() {
    versionBits = featureBits = widthBits = 0;
    std::uint8_t b[kInquireLength] = {};
    const int code = Inquiry(b, static_cast<std::uint8_t>(kInquireLength));
    if (code != kAspiOk) return code;

    deviceType = b[0] & 0x1F;
    versionBits = static_cast<std::uint8_t>(((b[2] >> 6) & 0x03) | ((b[2] & 0x07) << 2) |
                                            (((b[2] >> 3) & 0x07) << 5));
    featureBits = static_cast<std::uint8_t>(((b[1] >> 7) & 1) | (((b[3] >> 7) & 1) << 1) |
                                            (((b[7] >> 4) & 1) << 2) | (((b[3] >> 6) & 1) << 3) |
                                            (((b[7] >> 3) & 1) << 4) | (((b[7] >> 1) & 1) << 5) |
                                            ((b[7] & 1) << 6) | (((b[7] >> 7) & 1) << 7));
    widthBits = static_cast<std::uint8_t>(((b[7] >> 5) & 1) | (((b[7] >> 6) & 1) << 1) |
                                          ((b[3] & 0x0F) << 2));

    text_.reset();
    text_.reset(new (std::nothrow) char[kTextSize]());
    if (!text_) return kInquiryTextAllocFailed;
    char* t = text_.get();
    CopyTrimmedText(reinterpret_cast<const char*>(b + 8), t + kVendorOffset, kVendorLength);
    CopyTrimmedText(reinterpret_cast<const char*>(b + 16), t + kProductOffset, kProductLength);
    CopyTrimmedText(reinterpret_cast<const char*>(b + 32), t + kRevisionOffset, kRevisionLength);
    char display[kDisplayLength + 1];
    std::snprintf(display, sizeof display, "%s %s %s", t + kVendorOffset, t + kProductOffset,
                  t + kRevisionOffset);
    std::memcpy(t + kDisplayOffset, display, sizeof display);
    return kAspiOk;
}

const char* TScsiDev::DisplayText() const {
    return text_ ? text_.get() + kDisplayOffset : "";
}
const char* TScsiDev::Vendor() const {
    return text_ ? text_.get() + kVendorOffset : "";
}
const char* TScsiDev::Product() const {
    return text_ ? text_.get() + kProductOffset : "";
}
const char* TScsiDev::Revision() const {
    return text_ ? text_.get() + kRevisionOffset : "";
}

// ---- TScsiBus ----

TScsiBus::TScsiBus(bool scan, std::uint32_t wantedType, bool allLuns, ScsiDeviceFactory factory)
    : factory_(std::move(factory)) {
    ready = Aspi32().ready;
    BuildLetterMask();
    Clear();
    adapterRows.resize(kMinAdapterRows);
    if (scan) Scan(wantedType, allLuns);
}

TScsiBus::~TScsiBus() {
    Clear();
}

void TScsiBus::BuildLetterMask() {
    opticalLetterMask = platform::devices::CurrentLetterMap().Mask() & kAllLetters;
}

int TScsiBus::Scan(std::uint32_t wantedType, bool allLuns) {
    if (!ready) return kAspiNotInstalled;
    TAspi32& aspi = Aspi32();
    const std::uint32_t luns = allLuns ? 8 : 1;
    adapterCount = aspi.adapterCount;
    if (adapterRows.size() < adapterCount) adapterRows.resize(adapterCount);
    for (std::uint32_t a = 0; a < adapterCount; ++a) {
        HostAdapterInfo info;
        if (aspi.HostAdapterInquiry(a, info) != kAspiOk) continue;
        AdapterRow& row = adapterRows[a];
        row = AdapterRow{};
        row.adapter = a;
        char identifier[16];
        for (int i = 0; i < 16; ++i)
            identifier[i] =
                static_cast<char>(std::toupper(static_cast<unsigned char>(info.identifier[i])));
        CopyTrimmedText(identifier, row.identifier.data(), 16);
        CopyTrimmedText(info.managerId.data(), row.managerId.data(), 16);
        const char* id = row.identifier.data();
        row.kind = std::strstr(id, "ESDI") || std::strstr(id, "ATAPI") ? 1 : 2;
        row.scsiId = info.scsiId;
        row.maxTargets = info.unique[3] == 0 ? 8 : info.unique[3];
        row.unique2 = info.unique[2];
        row.alignMask = static_cast<std::uint32_t>(info.unique[0] | (info.unique[1] << 8));
        for (std::uint32_t t = 0; t < row.maxTargets; ++t) {
            if (t == row.scsiId) continue;
            for (std::uint32_t l = 0; l < luns; ++l)
                if (AddDevice(a, t, l, static_cast<std::int32_t>(wantedType)) != kAspiOk) break;
        }
    }
    return static_cast<int>(deviceCount);
}

int TScsiBus::AddDevice(std::uint32_t adapter, std::uint32_t target, std::uint32_t lun,
                        std::int32_t wantedType) {
    if (!ready) return kAspiNotInstalled;
    const int known = FindDevice(adapter, target, lun);
    if (known >= 0) {
        const auto* device = static_cast<const TScsiDev*>(list_.Item(known));
        return wantedType == -1 || static_cast<std::uint32_t>(wantedType) == device->deviceType
                   ? kAspiOk
                   : kAspiInvalidDevice;
    }
    std::uint32_t type = kAspiUnknownDeviceType;
    const int code = Aspi32().GetDeviceType(adapter, target, lun, type);
    if (code != kAspiOk) return code;
    if (wantedType != -1 && type != static_cast<std::uint32_t>(wantedType))
        return kAspiInvalidDevice;
    if (type != kDeviceTypeOptical) return kAspiInvalidDevice;

    std::unique_ptr<TScsiDev> device;
    try {
        device = factory_ ? factory_(adapter, target, lun)
                          : std::make_unique<TScsiDev>(adapter, target, lun, kDeviceTypeOptical);
    } catch (const std::bad_alloc&) {
        device.reset();
    }
    if (!device) return kAspiOutOfMemory;
    MapLetter(*device);
    device->adapterKind = adapter < adapterRows.size() ? adapterRows[adapter].kind : 0;
    device->index = deviceCount;
    list_.Add(device.get());
    device.release();
    ++deviceCount;
    BuildArray();
    return kAspiOk;
}

int TScsiBus::FindDevice(std::uint32_t adapter, std::uint32_t target, std::uint32_t lun) const {
    for (int i = 0; i < list_.Count(); ++i) {
        const auto* d = static_cast<const TScsiDev*>(list_.Item(i));
        if (d->adapter == adapter && d->target == target && d->lun == lun) return i;
    }
    return -1;
}

int TScsiBus::FindByLetter(char letter) const {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    if (upper < 'A' || upper > 'Z') return -1;
    for (int i = 0; i < list_.Count(); ++i)
        if (static_cast<const TScsiDev*>(list_.Item(i))->driveLetter == upper) return i;
    return -1;
}

int TScsiBus::BuildArray() {
    if (deviceCount == 0) {
        array_.reset();
        arraySize_ = 0;
        return 0;
    }
    std::unique_ptr<TScsiDev*[]> array(new (std::nothrow) TScsiDev*[deviceCount]);
    if (!array) throw vcl::Exception("TScsiBus: BuildArray allocate error.");
    for (std::uint32_t i = 0; i < deviceCount; ++i)
        array[i] = static_cast<TScsiDev*>(list_.Item(static_cast<int>(i)));
    array_ = std::move(array);
    arraySize_ = deviceCount;
    return static_cast<int>(deviceCount);
}

int TScsiBus::MapLetter(TScsiDev& device) {
    // Try the free optical letters from the lowest up; a letter whose device is another one is
    // left out of the search until it has ended.
    for (;;) {
        const int bit = FindBit(0, opticalLetterMask & ~assignedLetterMask & kAllLetters);
        if (bit < 0) break;
        const char letter = static_cast<char>('A' + bit);
        if (ProbeLetter(letter, device)) {
            BuildLetterMask();
            device.driveLetter = letter;
            device.hardwareKey = platform::devices::CurrentLetterMap().PathOf(letter);
            assignedLetterMask |= 1u << bit;
            return 0;
        }
        opticalLetterMask &= ~(1u << bit);
    }
    // No letter belongs to this device: it keeps none, and the next device sees every letter.
    BuildLetterMask();
    return -1;
}

int TScsiBus::ProbeLetter(char letter, TScsiDev& device) {
    const std::string path = platform::devices::CurrentLetterMap().PathOf(letter);
    const platform::scsi::Registry* registry = Aspi32().registry;
    if (path.empty() || registry == nullptr) return 0;
    const auto address = registry->Locate(path);
    if (!address) return 0;

    // INQUIRY straight to the device behind the letter, bypassing the gateway's bookkeeping.
    std::uint8_t direct[kProbeInquiryLength] = {};
    const std::uint8_t cdb[6] = {kOpInquiry, 0, 0, 0, kProbeInquiryLength, 0};
    platform::scsi::Request request;
    request.cdb = cdb;
    request.cdbLength = sizeof cdb;
    request.direction = platform::scsi::Direction::In;
    request.data = direct;
    request.dataLength = sizeof direct;
    request.timeoutMs = kProbeTimeoutMs;
    const platform::scsi::Completion c = registry->Execute(*address, request);
    if (c.result != platform::scsi::TransportResult::Ok || c.scsiStatus != kTargetGood) return 0;

    std::uint8_t viaGateway[TScsiDev::kInquireLength] = {};
    if (device.Inquiry(viaGateway, static_cast<std::uint8_t>(TScsiDev::kInquireLength)) != kAspiOk)
        return 0;
    // Two drives of one model answer alike: the letter is this device's only when its address
    // is this device's too.
    const platform::scsi::Address mine{device.adapter, device.target, device.lun};
    return std::memcmp(direct, viaGateway, kProbeInquiryLength) == 0 && *address == mine ? 1 : 0;
}

void TScsiBus::Clear() {
    for (int i = 0; i < list_.Count(); ++i)
        delete static_cast<TScsiDev*>(list_.Item(i));
    list_.Clear();
    array_.reset();
    arraySize_ = 0;
    deviceCount = 0;
}

TScsiDev* TScsiBus::Device(int index) const {
    return index >= 0 && static_cast<std::uint32_t>(index) < arraySize_ ? array_[index] : nullptr;
}

// ---- text routines ----

void CopyTrimmedText(const char* source, char* destination, int n) {
    if (n < 0) return;
    destination[n] = '\0';
    std::memcpy(destination, source, static_cast<std::size_t>(n));
    for (int i = n - 1; i >= 0 && destination[i] == ' '; --i)
        destination[i] = '\0';
}

int FindBit(int mode, std::uint32_t mask) {
    switch (mode) {
    case 0:
        for (int i = 0; i < 32; ++i)
            if (mask & (1u << i)) return i;
        return -1;
    case 1:
        for (int i = 31; i >= 0; --i)
            if (mask & (1u << i)) return i;
        return -1;
    case 2:
        return FindBit(0, ~mask);
    case 3:
        return FindBit(1, ~mask);
    default:
        return -1;
    }
}

void TrimTrailingChar(char* text, char character, char replacement) {
    for (std::size_t i = std::strlen(text); i > 0 && text[i - 1] == character; --i)
        text[i - 1] = replacement;
}

void ReplaceChar(char* text, char from, char to) {
    for (; *text; ++text)
        if (*text == from) *text = to;
}
