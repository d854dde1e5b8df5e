// CDH_LOGICAL_CDROM_CLASS: the local drive table. One entry per drive letter A..Z says whether
// the letter is an optical drive and the state of its medium; the table answers the texts shown
// for drives and discs (captions, device and media names, disc formats, tracks, sizes). It owns
// the program's SCSI bus (made on the first rescan) and the sector cache.
#pragma once

#include "disc_info.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class TCache;
class TScsiBus;
class TScsiCdd;

// Media states of a drive letter.
enum CdromMediaState : std::uint32_t {
    kMediaReady = 0, // disc analysed
    kMediaEmpty = 1,
    kMediaDiscError = 2,
    kMediaUnknownFormat = 3,
    kMediaNotReady = 4,
};

class CDH_LOGICAL_CDROM_CLASS {
public:
    struct Entry {
        std::uint32_t notADrive = 0; // 1: the letter is no known optical drive
        std::uint32_t mediaState = 0;
        std::uint8_t flag = 0;
    };
    static constexpr std::uint32_t kDefaultCacheUnits = 4;
    static constexpr std::uint32_t kMaxCacheUnits = 64;
    static constexpr std::uint32_t kCacheSlotSize = 2352;

    // All entries zero; the cache sized to kDefaultCacheUnits.
    CDH_LOGICAL_CDROM_CLASS();
    ~CDH_LOGICAL_CDROM_CLASS();
    CDH_LOGICAL_CDROM_CLASS(const CDH_LOGICAL_CDROM_CLASS&) = delete;
    CDH_LOGICAL_CDROM_CLASS& operator=(const CDH_LOGICAL_CDROM_CLASS&) = delete;

    // Units above 64 count as 64; keeps a cache of that size, else makes a new one.
    bool SetCacheUnits(std::uint32_t units);
    // Every letter becomes "no drive, empty"; the bus is made on first use; every drive of the
    // bus with a letter is refreshed. False when there is no cache or the bus cannot be made.
    bool Rescan();
    // Re-reads the media state of that letter's drive and analyses its disc.
    void RefreshLetter(char letter);

    bool IsCdDrive(char letter) const;
    // Drops the drive's sectors from the cache; the cache's answer, -1 without a device.
    int InvalidateCache(char letter);
    // kMediaNotReady for a character that is no letter.
    std::uint32_t GetMediaState(char letter) const;
    void SetMediaChanged(char letter);

    std::string GetDriveCaption(char letter);
    std::string GetDeviceName(char letter);
    std::string GetMediaKindName(char letter);
    std::string GetVolumeLabel(char letter);
    // The file-system name the disc's volume descriptors give.
    std::string GetVolumeInfo(char letter);
    bool IsDiscReady(char letter);
    bool Reanalyse(char letter);

    // Disc data of a drive whose unit is ready; 0 (or empty) otherwise and for an entry outside
    // the track table.
    std::uint8_t GetFirstTrack(char letter); // the last session number (description byte 10)
    std::uint8_t GetLastTrack(char letter);
    std::uint8_t GetTrackEntryNumber(char letter, int entry); // the entry's track number
    std::uint8_t GetTrackNumber(char letter, int entry);      // the entry's session number
    std::string GetTrackKindText(char letter, int entry);     // "Data" or "Audio"
    std::uint64_t GetTrackBytes(char letter, int entry);
    // The names under which the tasks and windows ask for the same values.
    std::uint8_t GetSessionCount(char letter) { return GetFirstTrack(letter); }
    std::uint8_t GetTrackEntrySession(char letter, int entry) {
        return GetTrackNumber(letter, entry);
    }

    // "IDE" or "SCSI" after the device's adapter; empty when unknown.
    std::string GetInterfaceName(char letter);
    // Disc data of a known drive whose disc is analysed (state 0); -1 otherwise.
    std::int64_t GetDiscBytes(char letter);
    int IsDataDisc(char letter);
    // "CD-Data" ... "Blu-ray", "Unknown Format"; empty when the disc is not analysed.
    std::string GetDiscFormatName(char letter);

    TScsiCdd* GetDevice(char letter) const;
    // Allows medium removal again; the command's code, -1 without a known drive.
    int UnlockDrive(char letter);

    const Entry& EntryOf(int index) const { return entries_[index]; }
    TCache* Cache() const { return cache_.get(); }
    TScsiBus* Bus() const { return bus_.get(); }

private:
    // 0..25 for a letter of either case, -1 for any other character.
    static int IndexOf(char letter);
    bool IsKnown(char letter) const;
    // The device of a known drive whose disc is analysed, else null.
    TScsiCdd* AnalysedDevice(char letter) const;
    // The device when its unit is ready, else null.
    TScsiCdd* ReadyDevice(char letter) const;
    void RefreshDevice(TScsiCdd& device, Entry& entry);
    void ShareCache();

    std::array<Entry, 26> entries_{};
    std::shared_ptr<TCache> cache_;
    std::unique_ptr<TScsiBus> bus_;
};

// The sector count to announce for a disc, by its kind; -1 for kinds that have none.
std::int64_t DiscSectorCount(const DiscInfo& info);

// The program's drive table, made on first use and kept to the end.
CDH_LOGICAL_CDROM_CLASS& CdromTable();
