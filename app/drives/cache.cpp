#include "cache.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

namespace {

constexpr std::size_t RoundUp(std::size_t n, std::size_t to) {
    return (n + to - 1) / to * to;
}

// Byte offsets of the entry table and the bucket table inside the block.
std::size_t EntryTableOffset(std::uint32_t units, std::uint32_t slotSize) {
    return RoundUp(std::size_t{units} * TCache::kSlotsPerUnit * slotSize,
                   alignof(std::max_align_t));
}

std::size_t BucketTableOffset(std::uint32_t units, std::uint32_t slotSize) {
    return EntryTableOffset(units, slotSize) + std::size_t{units} * TCache::kSlotsPerUnit * 8;
}

} // namespace

std::mutex& CacheLock() {
    static std::mutex lock;
    return lock;
}

std::size_t TCache::BlockSize(std::uint32_t units, std::uint32_t slotSize) {
    const std::uint32_t buckets = units * kSlotsPerUnit / kSlotsPerBucket;
    return BucketTableOffset(units, slotSize) + std::size_t{buckets} * sizeof(TLinkList*);
}

TCache::TCache(std::uint32_t unitCount, std::uint32_t bytesPerSlot) {
    sleeper_ = [](std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    if (unitCount >= kMaxUnits) {
        status = kStatusTooManyUnits;
        return;
    }
    block_.reset(new (std::nothrow) std::uint8_t[BlockSize(unitCount, bytesPerSlot)]);
    if (!block_) {
        status = kStatusOutOfMemory;
        return;
    }
    units = unitCount;
    slotSize = bytesPerSlot;
    slotCount = units * kSlotsPerUnit;
    bucketCount = slotCount / kSlotsPerBucket;
    entries_ = reinterpret_cast<std::uint32_t*>(block_.get() + EntryTableOffset(units, slotSize));
    buckets_ = new (block_.get() + BucketTableOffset(units, slotSize)) TLinkList*[bucketCount]();
    try {
        for (; bucketsMade_ < bucketCount; ++bucketsMade_)
            buckets_[bucketsMade_] = new TLinkList(32);
    } catch (...) {
        status = kStatusOutOfMemory;
        return;
    }
    enabled = 0;
    status = kStatusReady;
    Reset();
}

TCache::~TCache() {
    for (std::uint32_t b = 0; b < bucketsMade_; ++b)
        delete buckets_[b];
}

void TCache::SetSleeper(std::function<void(std::uint32_t)> sleeper) {
    std::lock_guard<std::mutex> guard(CacheLock());
    sleeper_ = std::move(sleeper);
}

bool TCache::Enable() {
    {
        std::lock_guard<std::mutex> guard(CacheLock());
        if (!block_ || bucketsMade_ != bucketCount || status == kStatusOutOfMemory) return false;
        enabled = 1;
    }
    Reset();
    return true;
}

int TCache::NotEnabled() {
    status = kStatusNotEnabled;
    return kNotEnabled;
}

std::uint32_t TCache::Key(std::uint32_t drive, bool raw, std::uint32_t lba) {
    return (drive << 28) | (raw ? kRawBit : 0) | lba;
}

bool TCache::Cacheable(std::uint32_t drive, std::uint32_t lba) {
    return drive <= kMaxDrive && lba <= kMaxLba;
}

std::uint32_t* TCache::EntryAt(std::uint32_t k) const {
    return entries_ + 2 * std::size_t{k};
}

std::uint8_t* TCache::SlotOf(const std::uint32_t* entry) const {
    return block_.get() + std::size_t{entry[1] & kSlotMask} * slotSize;
}

TLinkList& TCache::BucketOf(std::uint32_t lba) const {
    return *buckets_[lba & (bucketCount - 1)];
}

std::uint32_t TCache::Bytes(bool raw) const {
    return std::min(raw ? kRawSectorSize : kUserSectorSize, slotSize);
}

std::uint32_t* TCache::Find(std::uint32_t key, std::uint32_t lba, int* position) const {
    TLinkList& bucket = BucketOf(lba);
    for (int i = 0; i < bucket.Count(); ++i) {
        auto* entry = static_cast<std::uint32_t*>(bucket.Item(i));
        if (entry[0] == key) {
            if (position) *position = i;
            return entry;
        }
    }
    return nullptr;
}

int TCache::Reset() {
    std::lock_guard<std::mutex> guard(CacheLock());
    if (!enabled) return NotEnabled();
    for (std::uint32_t b = 0; b < bucketCount; ++b)
        buckets_[b]->Clear();
    freeList_.Clear();
    for (std::uint32_t k = 0; k < slotCount; ++k) {
        std::uint32_t* entry = EntryAt(k);
        entry[0] = 0;
        entry[1] = k;
        freeList_.Add(entry);
    }
    freeCount = slotCount;
    usedCount = 0;
    lookups = hits = pendingWaits = pendingTimeouts = 0;
    status = kStatusReady;
    return kOk;
}

int TCache::Lookup(std::uint32_t drive, bool raw, std::uint32_t lba, std::uint8_t* destination) {
    std::unique_lock<std::mutex> guard(CacheLock());
    if (!enabled) return NotEnabled();
    ++lookups;
    if (!Cacheable(drive, lba)) return kNotCached;
    const std::uint32_t key = Key(drive, raw, lba);
    int position = 0;
    std::uint32_t* entry = Find(key, lba, &position);
    if (!entry) return kNotCached;
    BucketOf(lba).Move(position, 0);
    if (!(entry[1] & kValidBit)) {
        ++pendingWaits;
        // The reader fills the entry under the lock, so the lock is let go while waiting; the
        // entry may be abandoned or recycled meanwhile and is looked up afresh each time.
        for (int poll = 0; poll < kPendingPolls; ++poll) {
            guard.unlock();
            sleeper_(kPendingPollMs);
            guard.lock();
            entry = Find(key, lba, nullptr);
            if (!entry) return kNotCached;
            if (entry[1] & kValidBit) break;
        }
        if (!(entry[1] & kValidBit)) {
            ++pendingTimeouts;
            return kNotCached;
        }
    }
    std::memcpy(destination, SlotOf(entry), Bytes(raw));
    ++hits;
    return kOk;
}

int TCache::Reserve(std::uint32_t drive, bool raw, std::uint32_t lba) {
    std::lock_guard<std::mutex> guard(CacheLock());
    if (!enabled) return NotEnabled();
    if (!Cacheable(drive, lba)) return kNoEntry;
    const std::uint32_t key = Key(drive, raw, lba);
    TLinkList& bucket = BucketOf(lba);
    int position = 0;
    std::uint32_t* entry = Find(key, lba, &position);
    if (entry) {
        // Already known: read again, so pending once more.
        bucket.Remove(position);
    } else if (freeCount > 0) {
        entry = static_cast<std::uint32_t*>(freeList_.Item(0));
        freeList_.Remove(0);
        --freeCount;
        ++usedCount;
    } else {
        if (bucket.Count() == 0) return kNoEntry;
        entry = static_cast<std::uint32_t*>(bucket.Item(bucket.Count() - 1));
        bucket.Remove(bucket.Count() - 1);
    }
    entry[0] = key;
    entry[1] &= ~kValidBit;
    bucket.Insert(0, entry);
    return kOk;
}

int TCache::Fill(std::uint32_t drive, bool raw, std::uint32_t lba, const std::uint8_t* source) {
    std::lock_guard<std::mutex> guard(CacheLock());
    if (!enabled) return NotEnabled();
    if (!Cacheable(drive, lba)) return kNotCached;
    std::uint32_t* entry = Find(Key(drive, raw, lba), lba, nullptr);
    if (!entry) return kNotCached;
    std::memcpy(SlotOf(entry), source, Bytes(raw));
    entry[1] |= kValidBit;
    return kOk;
}

int TCache::Abandon(std::uint32_t drive, bool raw, std::uint32_t lba) {
    std::lock_guard<std::mutex> guard(CacheLock());
    if (!enabled) return NotEnabled();
    if (!Cacheable(drive, lba)) return kNotCached;
    int position = 0;
    std::uint32_t* entry = Find(Key(drive, raw, lba), lba, &position);
    if (!entry) return kNotCached;
    BucketOf(lba).Remove(position);
    entry[1] &= ~kValidBit;
    freeList_.Add(entry);
    ++freeCount;
    --usedCount;
    return kOk;
}

int TCache::Invalidate(std::uint32_t drive) {
    std::lock_guard<std::mutex> guard(CacheLock());
    if (!enabled) return NotEnabled();
    int released = 0;
    for (std::uint32_t b = 0; b < bucketCount; ++b) {
        TLinkList& bucket = *buckets_[b];
        for (int i = bucket.Count() - 1; i >= 0; --i) {
            auto* entry = static_cast<std::uint32_t*>(bucket.Item(i));
            if (drive != kAllDrives && (entry[0] >> 28) != drive) continue;
            bucket.Remove(i);
            entry[1] &= ~kValidBit;
            freeList_.Add(entry);
            ++freeCount;
            --usedCount;
            ++released;
        }
    }
    return released;
}
