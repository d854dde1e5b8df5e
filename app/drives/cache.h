// TCache: the sector cache of the local optical drives: a fixed pool of equal slots in one block,
// hashed by sector address into buckets kept in recency order, a free list, and a pending state
// for sectors whose read is under way. The program builds it disabled, so every operation answers
// "not enabled" and sector reads go to the drive; Enable turns a built cache on.
#pragma once

#include "linklist.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class TCache {
public:
    static constexpr std::uint32_t kSlotsPerUnit = 512;
    static constexpr std::uint32_t kSlotsPerBucket = 8;
    static constexpr std::uint32_t kMaxUnits = 64; // 64 units and more are refused
    static constexpr std::uint32_t kRawSectorSize = 2352;
    static constexpr std::uint32_t kUserSectorSize = 2048;
    static constexpr std::uint32_t kAllDrives = 255;
    // Highest drive index and address an entry can hold (4 and 26 bits); sectors beyond them are
    // never cached: lookups miss and reservations fail.
    static constexpr std::uint32_t kMaxDrive = 15;
    static constexpr std::uint32_t kMaxLba = (1u << 26) - 1;
    // A pending entry is polled this often, kPendingPollMs apart, before a lookup gives up.
    static constexpr int kPendingPolls = 200;
    static constexpr std::uint32_t kPendingPollMs = 10;

    // Status values.
    static constexpr std::uint32_t kStatusReady = 0;
    static constexpr std::uint32_t kStatusTooManyUnits = 1;
    static constexpr std::uint32_t kStatusOutOfMemory = 3;
    static constexpr std::uint32_t kStatusNotEnabled = 4;
    // Results.
    static constexpr int kOk = 0;
    static constexpr int kNotEnabled = 4;
    static constexpr int kNoEntry = 5; // nothing can be reserved
    static constexpr int kNotCached = 6;

    TCache(std::uint32_t units, std::uint32_t slotSize);
    ~TCache();
    TCache(const TCache&) = delete;
    TCache& operator=(const TCache&) = delete;

    // Turns a built cache on and empties it; false when the construction failed.
    bool Enable();

    int Reset();
    // Copies a cached sector (2352 bytes when raw, else 2048) to destination.
    int Lookup(std::uint32_t drive, bool raw, std::uint32_t lba, std::uint8_t* destination);
    // Claims an entry for a sector about to be read and marks it pending.
    int Reserve(std::uint32_t drive, bool raw, std::uint32_t lba);
    // Copies the sector into its reserved entry and marks it valid.
    int Fill(std::uint32_t drive, bool raw, std::uint32_t lba, const std::uint8_t* source);
    // Gives a reserved entry back after a failed read.
    int Abandon(std::uint32_t drive, bool raw, std::uint32_t lba);
    // Drops the sectors of one drive (kAllDrives: of every drive) and returns how many were
    // released; kNotEnabled while the cache is off.
    int Invalidate(std::uint32_t drive);

    // How a pending lookup waits between polls; tests install one that moves their clock.
    void SetSleeper(std::function<void(std::uint32_t ms)> sleeper);

    // Bytes of the one block: sector data, entry table and bucket table, with this machine's
    // pointer size.
    static std::size_t BlockSize(std::uint32_t units, std::uint32_t slotSize);

    std::uint32_t enabled = 0;
    std::uint32_t status = kStatusReady;
    std::uint32_t units = 0;
    std::uint32_t slotSize = 0;
    std::uint32_t bucketCount = 0;
    std::uint32_t slotCount = 0;
    std::uint32_t freeCount = 0;
    std::uint32_t usedCount = 0;
    std::uint32_t lookups = 0;
    std::uint32_t hits = 0;
    std::uint32_t pendingWaits = 0;
    std::uint32_t pendingTimeouts = 0;

private:
    // Entry word 0: bits 0-25 LBA, bit 27 raw, bits 28-31 drive. Word 1: bits 0-27 slot, bit 31
    // valid.
    static constexpr std::uint32_t kRawBit = 1u << 27;
    static constexpr std::uint32_t kValidBit = 1u << 31;
    static constexpr std::uint32_t kSlotMask = (1u << 28) - 1;

    static std::uint32_t Key(std::uint32_t drive, bool raw, std::uint32_t lba);
    static bool Cacheable(std::uint32_t drive, std::uint32_t lba);
    std::uint32_t* EntryAt(std::uint32_t k) const;
    std::uint8_t* SlotOf(const std::uint32_t* entry) const;
    TLinkList& BucketOf(std::uint32_t lba) const;
    // The entry of a sector in its bucket and its position there; null when absent.
    std::uint32_t* Find(std::uint32_t key, std::uint32_t lba, int* position) const;
    std::uint32_t Bytes(bool raw) const;
    int NotEnabled();

    std::unique_ptr<std::uint8_t[]> block_;
    std::uint32_t* entries_ = nullptr;
    TLinkList** buckets_ = nullptr;
    std::uint32_t bucketsMade_ = 0;
    TLinkList freeList_{32};
    std::function<void(std::uint32_t)> sleeper_;
};

// The lock every sector cache shares for its list and count changes.
std::mutex& CacheLock();
