#include "cdevents.h"

#include "cdevents_broadcast.h"
#include "devices/drive_status.h"
#include "devices/letter_map.h"
#include "registry/key_store.h"
#include "vcl/application.h"
#include "vcl/timer.h"

#include <array>
#include <cstring>
#include <optional>

namespace {

using platform::registry::KeyStore;
using platform::registry::Value;
using platform::registry::ValueType;

// How often the timer gives the poll a chance; the poll itself keeps to its one second.
constexpr unsigned kPollTimerMs = 250;

// Volume descriptors start at block 16; a disc gets this many looks before we give up.
constexpr std::uint32_t kFirstDescriptor = 16;
constexpr std::uint32_t kDescriptorLimit = 32;
constexpr std::uint8_t kPrimaryDescriptor = 1, kTerminator = 255;
constexpr std::size_t kVolumeIdOffset = 40, kVolumeIdSize = 32;
static_assert(kVolumeIdOffset + kVolumeIdSize <= platform::devices::kBlockSize);

// The volume identifier of the primary volume descriptor, printable ASCII only (other bytes
// become '_'), trailing blanks dropped; nullopt when the disc has no such descriptor.
std::optional<std::string> ReadPrimaryVolumeId(const std::string& path) {
    auto& source = platform::devices::CurrentDriveStatusSource();
    std::array<std::uint8_t, platform::devices::kBlockSize> block{};
    for (std::uint32_t n = 0; n < kDescriptorLimit; ++n) {
        if (!source.ReadBlock(path, kFirstDescriptor + n, block)) return std::nullopt;
        if (std::memcmp(block.data() + 1, "CD001", 5) != 0 || block[0] == kTerminator)
            return std::nullopt;
        if (block[0] != kPrimaryDescriptor) continue;
        std::string id;
        for (std::size_t i = 0; i < kVolumeIdSize; ++i) {
            const std::uint8_t c = block[kVolumeIdOffset + i];
            id += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '_';
        }
        id.erase(id.find_last_not_of(' ') + 1);
        return id;
    }
    return std::nullopt;
}

// The policy value as a number, and whether it is stored as 4 binary bytes; nullopt when the
// key or the value is missing or the value has another type or size.
struct PolicyValue {
    std::uint32_t bits;
    bool binary;
};

std::optional<PolicyValue> ReadPolicy(const KeyStore& store) {
    const auto v = store.Read(TCDOptions::kPolicyKey, TCDOptions::kPolicyValue);
    if (!v) return std::nullopt;
    if (v->type == ValueType::Integer) return PolicyValue{v->integer, false};
    if (v->type == ValueType::Binary && v->data.size() == 4) {
        const auto& d = v->data;
        return PolicyValue{static_cast<std::uint32_t>(d[0] | d[1] << 8 | d[2] << 16) |
                               static_cast<std::uint32_t>(d[3]) << 24,
                           true};
    }
    return std::nullopt;
}

} // namespace

// ---- TCDOptions ----

TCDOptions::TCDOptions() : autoRunAtStart_(GetAutoRun()) {}

TCDOptions::~TCDOptions() {
    if (Reset) ResetCDOptions();
}

bool TCDOptions::GetAutoRun() const {
    const auto policy = ReadPolicy(KeyStore::Program());
    return !policy || (policy->bits & kCdRomBit) == 0;
}

void TCDOptions::SetAutoRun(bool value) {
    KeyStore store = KeyStore::Program();
    const auto policy = ReadPolicy(store);
    if (!policy) return;
    const std::uint32_t bits = value ? policy->bits & ~kCdRomBit : policy->bits | kCdRomBit;
    if (policy->binary)
        store.Write(
            kPolicyKey, kPolicyValue,
            Value::Binary({static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                           static_cast<std::uint8_t>(bits >> 16),
                           static_cast<std::uint8_t>(bits >> 24)}));
    else
        store.Write(kPolicyKey, kPolicyValue, Value::Integer(bits));
}

void TCDOptions::ResetCDOptions() {
    SetAutoRun(autoRunAtStart_);
}

// ---- TCDEvents ----

TCDEvents::TCDEvents(vcl::TComponent* owner)
    : vcl::TComponent(owner), options_(std::make_unique<TCDOptions>()),
      poll_([this](std::uint32_t event, std::span<const std::uint8_t> data) {
          DeviceChange(event, data);
      }),
      pollTimer_(new vcl::TTimer(this)) {
    GetAllCDDrives();
    poll_.Tick(); // the drives' state at start is the baseline, not an arrival
    pollTimer_->SetInterval(kPollTimerMs);
    pollTimer_->OnTimer = [this](vcl::TObject*) { poll_.Tick(); };
}

TCDEvents::~TCDEvents() {
    // The timer goes first so that no poll runs on a half-destroyed component.
    DestroyComponents();
    device_.reset();
    options_.reset();
}

void TCDEvents::GetAllCDDrives() {
    drives_.clear();
    for (const auto& [letter, path] : platform::devices::CurrentLetterMap().Entries())
        drives_.push_back(std::string(1, letter) + ":\\");
}

std::string TCDEvents::GetXCDDriveLetter(int Index) const {
    if (Index < 0 || Index >= static_cast<int>(drives_.size())) return "[None]";
    return drives_[static_cast<std::size_t>(Index)];
}

std::string TCDEvents::GetVolumeName(char letter) const {
    const std::string path = platform::devices::CurrentLetterMap().PathOf(letter);
    if (path.empty()) return {};
    if (platform::devices::CurrentDriveStatusSource().AudioOnly(path)) return "Audio CD";
    return ReadPrimaryVolumeId(path).value_or(std::string());
}

bool TCDEvents::IsAudioCD(char letter) const {
    std::string label = GetVolumeName(letter);
    for (char& c : label)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return label == "AUDIO CD";
}

platform::devices::DriveDevice& TCDEvents::GetDevice() {
    if (device_) return *device_;
    const auto entries = platform::devices::CurrentLetterMap().Entries();
    if (!entries.empty())
        device_ = platform::devices::CurrentDriveStatusSource().Open(entries[0].second);
    if (!device_) throw EMCIDeviceError("error");
    return *device_;
}

std::string TCDEvents::GetCDInfo(std::uint16_t kind) {
    auto& device = GetDevice();
    std::optional<std::string> info;
    switch (kind) {
    case kInfoProduct:
        info = device.Product();
        break;
    case kInfoMediaUpc:
        info = device.MediaCatalogNumber();
        break;
    case kInfoMediaIdentity:
        info = device.MediaIdentity();
        break;
    default:
        break;
    }
    return info.value_or(kInfoErrorText);
}

void TCDEvents::OpenDoor() {
    GetDevice().Eject();
}

void TCDEvents::CloseDoor() {
    GetDevice().CloseTray();
}

void TCDEvents::DeviceChange(std::uint32_t event, std::span<const std::uint8_t> data) {
    if (!enabled_ || notifyMode_ != nmEvent) return;
    vcl::Guarded(this, [&] { WMDeviceChange(event, data); });
}

void TCDEvents::WMDeviceChange(std::uint32_t event, std::span<const std::uint8_t> data) {
    if (event != cdevents::kDeviceArrival && event != cdevents::kDeviceRemoveComplete) return;
    const auto b = cdevents::DecodeBroadcast(data);
    if (!b || b->deviceType != cdevents::kDeviceTypeVolume ||
        (b->flags & cdevents::kVolumeFlagMedia) == 0)
        return;
    const char letter = cdevents::FirstDriveLetter(b->unitMask);
    if (letter == 0) return; // no drive named: nothing to report
    const TDeviceChangeEvent& handler =
        event == cdevents::kDeviceArrival ? AfterArrival : AfterRemove;
    if (handler) handler(this, letter);
}
