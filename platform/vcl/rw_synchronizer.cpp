#include "vcl/rw_synchronizer.h"

namespace vcl {

bool TMultiReadExclusiveWriteSynchronizer::OthersRead(std::thread::id self) const {
    for (const auto& [id, count] : reads_)
        if (id != self && count > 0) return true;
    return false;
}

void TMultiReadExclusiveWriteSynchronizer::BeginRead() {
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    auto it = reads_.find(self);
    // Re-entry: the writer itself, or a thread that already reads, never waits.
    if (writer_ == self || it != reads_.end()) {
        ++reads_[self];
        return;
    }
    // A new reader lets waiting writers go first.
    changed_.wait(lock, [&] { return writer_ == std::thread::id{} && waitingWriters_ == 0; });
    reads_[self] = 1;
}

void TMultiReadExclusiveWriteSynchronizer::EndRead() {
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    auto it = reads_.find(self);
    if (it == reads_.end()) return;
    if (--it->second == 0) {
        reads_.erase(it);
        lock.unlock();
        changed_.notify_all();
    }
}

bool TMultiReadExclusiveWriteSynchronizer::BeginWrite() {
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    if (writer_ == self) {
        ++writeDepth_;
        return true;
    }
    const std::uint64_t seen = revision_;
    // A reader that asks to write gives up its reads while it waits, so that two such readers
    // cannot block each other.
    int heldReads = 0;
    if (auto it = reads_.find(self); it != reads_.end()) {
        heldReads = it->second;
        reads_.erase(it);
        changed_.notify_all();
    }
    ++waitingWriters_;
    changed_.wait(lock, [&] { return writer_ == std::thread::id{} && !OthersRead(self); });
    --waitingWriters_;
    writer_ = self;
    writeDepth_ = 1;
    if (heldReads > 0) reads_[self] = heldReads;
    const bool untouched = revision_ == seen;
    ++revision_;
    return untouched;
}

void TMultiReadExclusiveWriteSynchronizer::EndWrite() {
    std::unique_lock lock(mutex_);
    if (writer_ != std::this_thread::get_id()) return;
    if (--writeDepth_ > 0) return;
    writer_ = std::thread::id{};
    lock.unlock();
    changed_.notify_all();
}

int TMultiReadExclusiveWriteSynchronizer::WaitingWriters() const {
    std::lock_guard lock(mutex_);
    return waitingWriters_;
}

} // namespace vcl
