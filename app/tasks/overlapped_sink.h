// Sends the data messages of a session on a thread of its own, so that the task reads the next
// block from its drive or file while the unit acknowledges the last. Each message is copied into
// one of a ring of buffers and sent in order, each acknowledged before the next goes (the units'
// protocol). When the ring is full the caller waits until half of it is sent, so that a caller
// faster than the unit is woken once per half ring, not once per message. After a message fails
// nothing more is sent, and its result is returned by the next Send, by Drain and by Complete;
// Start, Complete and Abort run on the caller's thread once every message handed over has been
// sent.
#pragma once

#include "isobuild_sink.h"

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class OverlappedSink : public IsoImageSink {
public:
    explicit OverlappedSink(IsoImageSink& sink) : sink_(sink) {}
    ~OverlappedSink() override; // sends what is queued, then ends the thread
    OverlappedSink(const OverlappedSink&) = delete;
    OverlappedSink& operator=(const OverlappedSink&) = delete;

    int Start(const NasCDTable& table, NasMirrorInfo& request) override;
    // 0 once the message is queued, or the result of a message that failed before it.
    int Send(const std::uint8_t* data, std::size_t length) override;
    int Drain() override;
    // The failure of a message, without completing; else the sink's Complete.
    int Complete() override;
    int Abort(int reason) override;

private:
    void Run();
    // Waits on the caller's thread until ready() holds, saying that it waits.
    template <typename Ready> void WaitForCaller(std::unique_lock<std::mutex>& lock, Ready ready);
    bool StartThread(); // false when no thread could be made: messages then go at once

    IsoImageSink& sink_;
    std::mutex mutex_;
    std::condition_variable work_;       // the sender waits for a message or the end
    std::condition_variable callerWake_; // the caller waits for a free buffer or the drain
    bool senderWaiting_ = false;
    bool callerWaiting_ = false;
    static constexpr std::size_t kBuffers = 16;
    std::array<std::vector<std::uint8_t>, kBuffers> buffers_;
    std::size_t first_ = 0;  // the buffer sent next
    std::size_t queued_ = 0; // messages handed over and not yet acknowledged
    int failure_ = 0;        // the result of the message that failed
    bool quit_ = false;
    std::thread thread_;
};
