#include "overlapped_sink.h"

#include <system_error>

OverlappedSink::~OverlappedSink() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    work_.notify_one();
    if (thread_.joinable()) thread_.join();
}

bool OverlappedSink::StartThread() {
    if (thread_.joinable()) return true;
    try {
        thread_ = std::thread(&OverlappedSink::Run, this);
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

template <typename Ready>
void OverlappedSink::WaitForCaller(std::unique_lock<std::mutex>& lock, Ready ready) {
    if (ready()) return;
    callerWaiting_ = true;
    callerWake_.wait(lock, ready);
    callerWaiting_ = false;
}

int OverlappedSink::Start(const NasCDTable& table, NasMirrorInfo& request) {
    if (const int failed = Drain(); failed != 0) return failed;
    return sink_.Start(table, request);
}

int OverlappedSink::Send(const std::uint8_t* data, std::size_t length) {
    std::unique_lock lock(mutex_);
    WaitForCaller(lock, [&] { return failure_ != 0 || queued_ < buffers_.size(); });
    if (failure_ != 0) return failure_;
    if (!StartThread()) {
        lock.unlock();
        const int result = sink_.Send(data, length);
        lock.lock();
        if (result != 0) failure_ = result;
        return result;
    }
    // The buffer after the queued ones is the caller's until it is counted in.
    std::vector<std::uint8_t>& buffer = buffers_[(first_ + queued_) % buffers_.size()];
    lock.unlock();
    buffer.assign(data, data + length);
    lock.lock();
    // A message that failed while this one was copied ends the sending: this one is never sent.
    if (failure_ != 0) return failure_;
    ++queued_;
    const bool wake = senderWaiting_;
    lock.unlock();
    if (wake) work_.notify_one();
    return 0;
}

int OverlappedSink::Drain() {
    std::unique_lock lock(mutex_);
    WaitForCaller(lock, [&] { return queued_ == 0; });
    return failure_;
}

int OverlappedSink::Complete() {
    if (const int failed = Drain(); failed != 0) return failed;
    return sink_.Complete();
}

int OverlappedSink::Abort(int reason) {
    Drain();
    return sink_.Abort(reason);
}

void OverlappedSink::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        senderWaiting_ = true;
        work_.wait(lock, [&] { return quit_ || queued_ > 0; });
        senderWaiting_ = false;
        if (queued_ == 0) return; // quit with nothing left to send
        const std::vector<std::uint8_t>& buffer = buffers_[first_];
        lock.unlock();
        const int result = sink_.Send(buffer.data(), buffer.size());
        lock.lock();
        first_ = (first_ + 1) % buffers_.size();
        --queued_;
        if (result != 0) {
            failure_ = result;
            first_ = (first_ + queued_) % buffers_.size();
            queued_ = 0; // what came after the failed message is never sent
        }
        // Waking costs a system call: only a caller that waits is woken, and one that waits for
        // a free buffer only once half the ring is free.
        if (callerWaiting_ && (queued_ <= kBuffers / 2 || failure_ != 0)) callerWake_.notify_one();
    }
}
