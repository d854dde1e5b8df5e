// TFolderReader: reads the image folders of found units (from discovery and announcements) on
// threads of its own, so that no refresh or datagram makes the GUI thread wait on the address it
// names. A few reads run at once, so a unit that never answers, or trickles, holds up one reader
// only; each unit is queued at most once (also while it is being read), the queue is bounded,
// and each answer is handed to the GUI thread. Each read runs through RunBounded: destroying the
// reader gives up the reads under way at once instead of waiting for their units.
#pragma once

#include "bounded_call.h"
#include "nasapi.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

class TFolderReader {
public:
    // What one read found: the record it was asked with, the library's result and the folders
    // (each NAS_IMG_FOLDER_SIZE bytes, the name at byte 8).
    struct Answer {
        NasServerInfo Record{};
        int Result = 0;
        int Count = 0;
        std::vector<char> Folders; // Count * NAS_IMG_FOLDER_SIZE bytes
    };
    using Done = std::function<void(const Answer&)>;
    static constexpr std::size_t kQueueMax = NAS_FIND_SERVER_MAX;
    static constexpr int kThreads = 4;
    // How long a reader waits for one read: beyond the library's own whole-call limit (300 s),
    // so that only a read the library itself would not end is given up.
    static constexpr std::chrono::milliseconds kReadWait{330000};

    // done runs on the GUI thread, never after the reader is destroyed.
    explicit TFolderReader(Done done, int threads = kThreads);
    // Drops what is still queued, gives up the reads under way and ends its threads; it waits
    // for no unit.
    ~TFolderReader();
    TFolderReader(const TFolderReader&) = delete;
    TFolderReader& operator=(const TFolderReader&) = delete;

    // Queues a read for the unit of record; false when the queue is full. A unit already queued
    // is asked once, with its latest record; a unit being read is not queued again (true).
    bool Queue(const NasServerInfo& record);
    // Units queued or being read, and answers not yet handed to done.
    std::size_t Pending() const;

private:
    using HardwareAddress = std::array<std::uint8_t, sizeof NasServerInfo::hardwareAddress>;
    static HardwareAddress KeyOf(const NasServerInfo& record);
    static Answer Read(const NasServerInfo& record);
    void Run();

    Done done_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<NasServerInfo> queue_;
    std::set<HardwareAddress> reading_;
    std::size_t delivering_ = 0; // answers posted to the GUI thread, not yet handed to done
    bool stopping_ = false;
    std::shared_ptr<CallGate> gate_ = std::make_shared<CallGate>();
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::vector<std::thread> threads_;
};
