// TCDEvents: tells its owner when a disc is put into or taken out of an optical drive
// (AfterArrival, AfterRemove with the drive letter), from the drive poll; and small services for
// the drives of the letter map: the list of drives, a disc's volume label, the audio-disc test,
// disc and drive information and the door of the default drive. Its options object TCDOptions
// holds the user's CD AutoRun policy in the program's key store: it can switch AutoRun off while
// the program runs and puts the value found at start back when it goes.
#pragma once

#include "cdevents_poll.h"
#include "vcl/component.h"
#include "vcl/exception.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace platform::devices {
class DriveDevice;
}
namespace vcl {
class TTimer;
}

// The door and information device cannot be opened.
class EMCIDeviceError : public vcl::Exception {
public:
    using Exception::Exception;
};

enum TNotifyMode { nmNone, nmEvent, nmScan }; // nmScan is kept but raises nothing, like nmNone

using TDeviceChangeEvent = std::function<void(vcl::TObject* Sender, char FirstDriveLetter)>;

// The CD AutoRun policy: value "NoDriveTypeAutoRun" (an integer or 4 binary bytes) of the
// policy key; bit 0x20 set means AutoRun is off for CD drives. The key is never created: without
// it, or without a usable value, AutoRun reads true and writes change nothing.
class TCDOptions : public vcl::TObject {
public:
    static constexpr const char* kPolicyKey = "HKEY_CURRENT_USER\\Software\\Policies\\Shell";
    static constexpr const char* kPolicyValue = "NoDriveTypeAutoRun";
    static constexpr std::uint32_t kCdRomBit = 0x20;

    // Remembers the AutoRun value found now.
    TCDOptions();
    // With Reset, writes the remembered value back.
    ~TCDOptions() override;

    bool GetAutoRun() const;
    void SetAutoRun(bool value);
    // AutoRun := the value found at creation.
    void ResetCDOptions();

    bool Reset = true;

private:
    bool autoRunAtStart_;
};

class TCDEvents : public vcl::TComponent {
public:
    // Kinds of GetCDInfo.
    static constexpr std::uint16_t kInfoProduct = 0x100, kInfoMediaUpc = 0x400,
                                   kInfoMediaIdentity = 0x800;
    // What GetCDInfo gives when the drive cannot answer.
    static constexpr const char* kInfoErrorText = "The drive cannot give this information.";

    explicit TCDEvents(vcl::TComponent* owner);
    ~TCDEvents() override;

    // Refills the drive list from the letter map ("D:\", "E:\", ... in letter order).
    void GetAllCDDrives();
    const std::vector<std::string>& Drives() const { return drives_; }
    // The Index-th drive's root ("E:\"), or "[None]".
    std::string GetXCDDriveLetter(int Index) const;
    std::string GetFirstCDDriveLetter() const { return GetXCDDriveLetter(0); }
    // The disc's volume label: "Audio CD" for a disc of audio tracks only, else the volume
    // identifier of its primary volume descriptor; "" when it cannot be read.
    std::string GetVolumeName(char letter) const;
    bool IsAudioCD(char letter) const;

    // Information of the default drive (the first of the letter map) and its disc; the error
    // text when it cannot be had. Raises EMCIDeviceError when the drive cannot be opened.
    std::string GetCDInfo(std::uint16_t kind);
    std::string GetSerialNumber() { return GetCDInfo(kInfoMediaIdentity); }
    std::string GetUPCNumber() { return GetCDInfo(kInfoMediaUpc); }
    std::string GetProductInfo() { return GetCDInfo(kInfoProduct); }
    // The default drive's door; what the drive answers is not reported. Raise EMCIDeviceError
    // when the drive cannot be opened.
    void OpenDoor();
    void CloseDoor();

    bool GetEnabled() const { return enabled_; }
    void SetEnabled(bool value) { enabled_ = value; }
    TNotifyMode GetNotifyMode() const { return notifyMode_; }
    void SetNotifyMode(TNotifyMode value) { notifyMode_ = value; }
    TCDOptions* Options() const { return options_.get(); }

    // A device-change broadcast (what the drive poll raises): while Enabled and nmEvent, a media
    // arrival or removal of a volume raises the event with the first drive letter of its unit
    // mask; anything else, a broadcast with no drive letter, or bytes that do not decode, raise
    // nothing. What a handler throws goes to the application.
    void DeviceChange(std::uint32_t event, std::span<const std::uint8_t> data);

    TDeviceChangeEvent AfterArrival, AfterRemove;

private:
    void WMDeviceChange(std::uint32_t event, std::span<const std::uint8_t> data);
    platform::devices::DriveDevice& GetDevice();

    bool enabled_ = true;
    TNotifyMode notifyMode_ = nmEvent;
    std::unique_ptr<platform::devices::DriveDevice> device_;
    std::unique_ptr<TCDOptions> options_;
    std::vector<std::string> drives_;
    TCDDrivePoll poll_;
    vcl::TTimer* pollTimer_; // owned as a component
};
