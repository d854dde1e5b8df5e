// TScsiCdd: one CD/DVD/BD drive. Sends the multimedia commands the program needs, probes the
// drive's capabilities, reports the media state, analyses the disc into DiscInfo and reads
// sectors. Several tasks may read one drive: the reader count, lock count, door state and the disc
// description are changed under the drive's own lock.
#pragma once

#include "disc_info.h"
#include "scsi.h"
#include "volume_info.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

class TCache;

// Sector read modes.
enum CddReadMode : int {
    kReadUserData = 0, // 2048 bytes a sector, READ(10)
    kReadRaw = 1,      // 2352 bytes a sector, READ CD
    kReadMode2 = 2,    // Mode 2 Form 1 user data (2048 bytes) out of raw sectors
};

inline constexpr std::uint32_t kUserSectorBytes = 2048;
inline constexpr std::uint32_t kRawSectorBytes = 2352;

class TScsiCdd : public TScsiDev {
public:
    // State bits.
    static constexpr std::uint8_t kStateCapabilityPage = 0x01;
    static constexpr std::uint8_t kStateUnitReady = 0x02;
    static constexpr std::uint8_t kStateLocked = 0x04;
    static constexpr std::uint8_t kStateTrayClosed = 0x08;
    static constexpr std::uint8_t kStateLockSupported = 0x40;
    static constexpr std::uint8_t kStateEjectSupported = 0x80;
    // Read bits.
    static constexpr std::uint8_t kReadsMode2Form1 = 0x01;
    static constexpr std::uint8_t kReadsMode2Form2 = 0x02;
    static constexpr std::uint8_t kReadsMultiSession = 0x04;
    static constexpr std::uint8_t kReadsCdda = 0x08;
    // Media bits 1 and 2.
    static constexpr std::uint8_t kMediaCdr = 0x01;
    static constexpr std::uint8_t kMediaCdrw = 0x08;
    static constexpr std::uint8_t kMediaDvdRom = 0x20;
    static constexpr std::uint8_t kMediaDvdr = 0x80;
    static constexpr std::uint8_t kMedia2DvdRam = 0x02;
    static constexpr std::uint8_t kMedia2BdRom = 0x04;
    static constexpr std::uint8_t kMedia2BdRe = 0x08;

    // Tasks that may read one drive at once.
    static constexpr int kMaxReaders = 8;

    // TScsiDev construction with type 5, then the capability probe.
    TScsiCdd(std::uint32_t adapter, std::uint32_t target, std::uint32_t lun);
    ~TScsiCdd() override;

    // Command blocks.
    int StartStop(bool load);
    int PreventAllow(bool prevent);
    int Read10(std::uint32_t lba, std::uint16_t count, std::uint8_t* buffer, std::uint32_t length);
    int ReadCd(std::uint8_t sectorType, std::uint8_t flags, std::uint32_t lba, std::uint16_t count,
               std::uint8_t* buffer, std::uint32_t length);
    int ReadCapacity(std::uint8_t* buffer, std::uint32_t length, int timeoutMs);
    int ReadToc(bool msf, std::uint8_t format, std::uint8_t* buffer, std::uint16_t length,
                int timeoutMs);
    int ReadTrackInfo(std::uint8_t* buffer, std::uint16_t length, std::uint8_t number,
                      int timeoutMs);
    int GetConfiguration(std::uint8_t* buffer, std::uint16_t length, int timeoutMs);
    int ReadDiscStructure(std::uint8_t layer, std::uint8_t format, std::uint8_t* buffer,
                          std::uint16_t length, int timeoutMs);

    int ProbeCapabilities();
    // 0 ready; the media states 1280-1283; other failures keep their code.
    int TestUnitReady();
    // Prevents or allows medium removal; keeps the lock bit.
    int Lock(bool prevent);
    // Loads (true) or ejects the disc; ejecting also opens the door. The result is that of
    // START STOP UNIT.
    int Eject(bool load);

    // Analyses the disc into `out` (zeroed first, so a failure leaves it partly filled).
    int Analyse(DiscInfo& out);
    // Analyses the disc into the drive's own description.
    int Analyse();
    // A copy of the drive's disc description.
    DiscInfo Disc() const;

    // Reads count sectors from lba in a read mode into buffer. Modes 1 and 2 need count x 2352
    // bytes of buffer, mode 0 count x 2048; a larger read is refused (code 9) and reads nothing.
    // A drive that delivers fewer bytes than the sectors asked for fails the read (code 17).
    // Any other mode reads nothing and returns 0.
    int ReadSectors(int mode, std::uint32_t lba, std::uint32_t count, std::uint8_t* buffer,
                    std::size_t bufferLength);

    // The label and file-system name of the disc, from its own volume descriptors (the session
    // the description points at). An audio-only CD has the CD file system and no label.
    bool ReadVolumeInfo(VolumeInfo& out);

    // Counts one more reading task; false when kMaxReaders already read. With lockDoor it also
    // counts a door lock and locks the door unless it is locked.
    bool AddReader(bool lockDoor);
    // Counts a reading task less; with lockDoor the door is unlocked when the last lock goes, and
    // with eject the disc is ejected when no reader is left.
    void RemoveReader(bool lockDoor, bool eject);
    int ReaderCount() const;
    int LockCount() const;

    // The sector cache consulted by reads once it is enabled; null for none.
    void SetCache(std::shared_ptr<TCache> cache);

    std::uint8_t StateBits() const { return stateBits_.load(); }
    bool IsUnitReady() const { return StateBits() & kStateUnitReady; }
    bool IsDoorLocked() const { return StateBits() & kStateLocked; }

    // Fields read by the drive table.
    std::uint8_t mediumType = 0; // MODE SENSE(10) header byte 2 at the probe
    std::uint8_t readBits = 0;
    std::uint8_t mechanism = 0; // bits 1-3 loading mechanism type
    std::uint8_t mediaBits1 = 0;
    std::uint8_t mediaBits2 = 0;

private:
    int AnalyseCd(DiscInfo& d);
    int AnalyseDvd(DiscInfo& d);
    int AnalyseBd(DiscInfo& d);
    // DVD/BD: one entry per session until the drive refuses; returns the last reply's byte sum.
    std::uint32_t ReadSessionTable(DiscInfo& d);
    // The volume label and file-system name into d (CD, DVD and BD alike); false when unknown.
    bool FillVolume(DiscInfo& d);
    bool ReadVolumeOf(const DiscInfo& d, VolumeInfo& out);
    int ReadCached(TCache& cache, int mode, std::uint32_t lba, std::uint32_t count,
                   std::uint8_t* buffer);
    int ReadRun(int mode, std::uint32_t lba, std::uint32_t count, std::uint8_t* buffer);
    // READ(10) or READ CD into buffer: a command that moves fewer than length bytes fails with
    // code 17 (data over-run or under-run).
    int ReadCommand(const std::uint8_t* cdb, int cdbLength, std::uint8_t* buffer,
                    std::uint32_t length);
    // Opens the door: the device node's eject request, or START STOP UNIT on drives that
    // have no node.
    void OpenDoor();
    void SetState(std::uint8_t bit, bool on);

    std::atomic<std::uint8_t> stateBits_{0};
    mutable std::recursive_mutex lock_; // readers, lock count, disc, cache pointer
    int readers_ = 0;
    int lockCount_ = 0;
    DiscInfo disc_;
    std::shared_ptr<TCache> cache_;
};

// The one mutex cached sector reads of every drive take.
std::mutex& ReadSectorMutex();

// The session a disc's volume descriptors are read from: CD the description's volume descriptor
// address less 16; DVD and BD the start of the last entry after the first that does not start at
// 0, else 0.
std::uint32_t VolumeSessionStart(const DiscInfo& d);
