// TRemoteProber: asks the units of the remote NAS list for their records on threads of its own,
// so that an address that does not answer never makes the window wait. A few probes run at once;
// each address is queued at most once (also while it is being asked), the queue is bounded, and
// each answer is handed to the GUI thread as it comes. Each probe runs through RunBounded:
// destroying the prober gives up the probes under way at once instead of waiting for their units.
#pragma once

#include "bounded_call.h"
#include "nasapi.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

class TRemoteProber {
public:
    // What one probe found: the address, the library's result (0: Record is the unit's) and,
    // for a unit that keeps CD images, its image folders (each NAS_IMG_FOLDER_SIZE bytes).
    struct Answer {
        std::uint32_t Address = 0; // host byte order
        int Result = -1;
        NasServerInfo Record{};
        int FolderResult = -1; // -1: not asked (no answer, or no CD images)
        int FolderCount = 0;
        std::vector<char> Folders; // FolderCount * NAS_IMG_FOLDER_SIZE bytes
    };
    using Done = std::function<void(const Answer&)>;
    static constexpr std::size_t kQueueMax = 256; // as many as the remote list holds
    static constexpr int kThreads = 8;
    // How long a prober thread waits for one probe (two library calls, each ended by the
    // library's own whole-call limit of 300 s) before it gives the probe up.
    static constexpr std::chrono::milliseconds kProbeWait{630000};

    // done runs on the GUI thread, never after the prober is destroyed.
    explicit TRemoteProber(Done done, int threads = kThreads);
    // Drops what is still queued, gives up the probes under way and ends its threads; it waits
    // for no unit.
    ~TRemoteProber();
    TRemoteProber(const TRemoteProber&) = delete;
    TRemoteProber& operator=(const TRemoteProber&) = delete;

    // Queues a probe of address; true when it is queued or already queued or being asked, false
    // when the queue is full.
    bool Queue(std::uint32_t address);
    // Addresses queued or being asked.
    std::size_t Pending() const;

private:
    void Run();
    static Answer Probe(std::uint32_t address);

    Done done_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::uint32_t> queue_; // oldest first
    std::set<std::uint32_t> busy_;     // queued or being asked
    bool stopping_ = false;
    std::shared_ptr<CallGate> gate_ = std::make_shared<CallGate>();
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::vector<std::thread> threads_;
};
