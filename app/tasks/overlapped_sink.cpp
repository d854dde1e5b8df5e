#include "overlapped_sink.h"

#include <system_error>

OverlappedSink::~OverlappedSink() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
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

int OverlappedSink::Start(const NasCDTable& table, NasMirrorInfo& request) {
    if (const int failed = Drain(); failed != 0) return failed;
    return sink_.Start(table, request);
}

int OverlappedSink::Send(const std::uint8_t* data, std::size_t length) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return failure_ != 0 || queued_ < buffers_.size(); });
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
    ++queued_;
    lock.unlock();
    changed_.notify_all();
    return 0;
}

int OverlappedSink::Drain() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return queued_ == 0; });
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
        changed_.wait(lock, [&] { return quit_ || queued_ > 0; });
        if (queued_ == 0) return; // quit with nothing left to send
        const std::vector<std::uint8_t>& buffer = buffers_[first_];
        lock.unlock();
        const int result = sink_.Send(buffer.data(), buffer.size());
        lock.lock();
        first_ = (first_ + 1) % buffers_.size();
        --queued_;
        if (result != 0) {
            failure_ = result;
            queued_ = 0; // what came after the failed message is never sent
        }
        changed_.notify_all();
    }
}
