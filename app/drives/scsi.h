// TScsiDev: one SCSI/ATAPI device addressed as (adapter, target, LUN) through the gateway
// (TAspi32); runs command blocks with a wait policy keyed to the kind of failure and parses the
// device's INQUIRY data. TScsiBus: scans every adapter for devices of one type (optical drives),
// makes one device object per device found and gives each its drive letter from the drive letter
// map (platform/devices).
#pragma once

#include "aspi32.h"
#include "linklist.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Code returned by TScsiDev::Inquire when the text buffer cannot be allocated.
inline constexpr int kInquiryTextAllocFailed = 129;
// Peripheral device type of CD/DVD/BD drives.
inline constexpr std::uint32_t kDeviceTypeOptical = 5;

class TScsiDev {
public:
    // Text buffer layout: display text at 0 (30 + NUL), vendor at 31 (8 + NUL), product at 40
    // (16 + NUL), revision at 57 (4 + NUL).
    static constexpr int kTextSize = 62;
    static constexpr int kDisplayOffset = 0, kDisplayLength = 30;
    static constexpr int kVendorOffset = 31, kVendorLength = 8;
    static constexpr int kProductOffset = 40, kProductLength = 16;
    static constexpr int kRevisionOffset = 57, kRevisionLength = 4;
    static constexpr std::uint32_t kInquireLength = 96;
    static constexpr int kDefaultTimeoutMs = 2000;

    // Clears the fields and runs Inquire; deviceType is replaced by the INQUIRY result.
    TScsiDev(std::uint32_t adapter, std::uint32_t target, std::uint32_t lun,
             std::uint32_t deviceType);
    virtual ~TScsiDev();
    TScsiDev(const TScsiDev&) = delete;
    TScsiDev& operator=(const TScsiDev&) = delete;

    // Runs one command block (at most 16 bytes are sent) and returns its code; flags are
    // kSrbDirIn / kSrbDirOut / kSrbNoData; the buffer holds at least dataLength bytes. When
    // transferred is given it gets the bytes the command moved (0 unless it succeeded).
    int Execute(const std::uint8_t* cdb, int cdbLength, std::uint8_t* data,
                std::uint32_t dataLength, std::uint8_t flags, int timeoutMs,
                std::uint32_t* transferred = nullptr);
    int Inquiry(std::uint8_t* buffer, std::uint8_t allocationLength);
    int ModeSense6(std::uint8_t page, std::uint8_t* buffer, std::uint8_t length);
    int ModeSense10(bool dbd, std::uint8_t page, std::uint8_t* buffer, std::uint16_t length);
    int TestUnitReady();
    // INQUIRY of 96 bytes: fills device type, the three bit bytes and the texts.
    int Inquire();

    // Texts of the last successful Inquire ("" before).
    const char* DisplayText() const; // "vendor product revision"
    const char* Vendor() const;
    const char* Product() const;
    const char* Revision() const;

    // Fields, read directly by the drive layer. The two results are written by whichever thread
    // sent the last command.
    std::atomic<std::uint32_t> lastCode{0};
    std::atomic<std::uint32_t> lastSense{
        0}; // key << 16 | ASC << 8 | ASCQ of the last check condition
    std::uint32_t adapter = 0;
    std::uint32_t target = 0;
    std::uint32_t lun = 0;
    std::uint32_t index = 0;       // position in the bus's device array
    std::uint32_t adapterKind = 0; // 1 IDE, 2 SCSI
    std::uint32_t deviceType = 0;  // INQUIRY byte 0 bits 0-4
    // bits 0-1 ISO version, 2-4 ANSI version, 5-7 ECMA version
    std::uint8_t versionBits = 0;
    // bit 0 RMB, 1 AENC, 2 Sync, 3 TrmIOP, 4 Linked, 5 CmdQue, 6 SftRe, 7 RelAdr
    std::uint8_t featureBits = 0;
    // bit 0 WBus16, 1 WBus32, bits 2-5 response data format
    std::uint8_t widthBits = 0;
    std::uint8_t spare = 0;
    // The drive letter ('A'..'Z') the bus gave the device; 0 until mapped.
    char driveLetter = 0;
    // The device node behind the letter (for example "/dev/sr0"), set when the letter is mapped.
    std::string hardwareKey;

private:
    std::unique_ptr<char[]> text_; // kTextSize bytes once Inquire succeeded
};

// Makes the device object of an optical device found by the scan; null or an exception means
// out of memory (code 29). The drive table plugs its drive class in here.
using ScsiDeviceFactory = std::function<std::unique_ptr<TScsiDev>(
    std::uint32_t adapter, std::uint32_t target, std::uint32_t lun)>;

class TScsiBus {
public:
    // One row per host adapter.
    struct AdapterRow {
        std::uint32_t adapter = 0;
        std::uint32_t kind = 0; // 1 IDE ("ESDI" or "ATAPI" in the identifier), 2 SCSI
        std::uint32_t scsiId = 0;
        std::uint32_t maxTargets = 0; // 0 reported reads as 8
        std::uint32_t unique2 = 0;
        std::uint32_t alignMask = 0;
        std::array<char, 18> managerId{};  // 16 characters + NUL
        std::array<char, 18> identifier{}; // upper-cased, 16 characters + NUL
    };
    static constexpr int kMinAdapterRows = 8;

    // Copies the gateway's ready flag, builds the optical letter mask from the letter map and,
    // when scan is set, scans. Without a factory the devices are plain TScsiDev objects.
    TScsiBus(bool scan, std::uint32_t wantedType, bool allLuns, ScsiDeviceFactory factory = {});
    ~TScsiBus();
    TScsiBus(const TScsiBus&) = delete;
    TScsiBus& operator=(const TScsiBus&) = delete;

    // The device count, or 25 when the gateway is not ready.
    int Scan(std::uint32_t wantedType, bool allLuns);
    // 0 when a device of the wanted type (-1 any) is there or was added; else a code.
    int AddDevice(std::uint32_t adapter, std::uint32_t target, std::uint32_t lun,
                  std::int32_t wantedType);
    int FindDevice(std::uint32_t adapter, std::uint32_t target, std::uint32_t lun) const;
    // Index of the device with that drive letter (either case), or -1.
    int FindByLetter(char letter) const;
    // Copies the list into the device array; throws vcl::Exception("TScsiBus: ...") when the
    // array cannot be allocated.
    int BuildArray();
    // Gives the device its drive letter; 0 when a letter was found, -1 when not.
    int MapLetter(TScsiDev& device);
    // 1 when the device behind that letter is this device and answers INQUIRY alike, else 0.
    int ProbeLetter(char letter, TScsiDev& device);
    // Destroys every device.
    void Clear();

    // The device at an index of the array, or null.
    TScsiDev* Device(int index) const;
    int Count() const { return static_cast<int>(deviceCount); }

    std::uint32_t ready = 0;
    std::uint32_t adapterCount = 0;
    std::uint32_t deviceCount = 0;
    std::uint32_t opticalLetterMask = 0;  // bit n: letter 'A'+n is an optical drive
    std::uint32_t assignedLetterMask = 0; // letters already given to a device
    std::vector<AdapterRow> adapterRows;  // at least kMinAdapterRows, one per adapter beyond

private:
    void BuildLetterMask();
    int ProbeAndAssign(TScsiDev& device);

    ScsiDeviceFactory factory_;
    std::unique_ptr<TScsiDev*[]> array_;
    std::uint32_t arraySize_ = 0;
    TLinkList list_{32}; // owns the devices, in discovery order
};

// Text routines shared by the drive layer.
// Puts NUL at destination[n], copies n bytes, then turns the trailing run of blanks into NULs.
void CopyTrimmedText(const char* source, char* destination, int n);
// mode 0 lowest set bit, 1 highest set bit, 2 lowest clear bit, 3 highest clear bit; -1 if none.
int FindBit(int mode, std::uint32_t mask);
// Replaces the trailing run of `character` with `replacement`.
void TrimTrailingChar(char* text, char character, char replacement);
// Replaces every `from` with `to`.
void ReplaceChar(char* text, char from, char to);
