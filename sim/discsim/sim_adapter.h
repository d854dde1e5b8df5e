// The simulated backend: a host adapter whose devices are simulated drives (sim/discsim). It
// enforces the request's time-out: a command still running when it passes is aborted and
// completes as a time-out.
#pragma once

#include "scsi/transport.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace discsim {
class Drive;
} // namespace discsim

namespace platform::scsi {

class SimAdapter : public Adapter {
public:
    // An identifier holding "ATAPI" makes the adapter an IDE one for the bus.
    explicit SimAdapter(std::string identifier = "ATAPI SIM", std::uint8_t maxTargets = 8,
                        std::uint8_t scsiId = 0xFF);
    ~SimAdapter() override;

    // Puts a drive at (target, lun) under a path, the letter map's key (for example "sim:cd0").
    // Done while setting up, before commands run.
    void Attach(std::uint32_t target, std::uint32_t lun, std::shared_ptr<discsim::Drive> drive,
                std::string path);

    AdapterDescription Describe() const override;
    std::vector<DeviceEntry> Devices() const override;
    Completion Execute(std::uint32_t target, std::uint32_t lun, const Request& request) override;

private:
    struct Slot {
        std::uint32_t target, lun;
        std::shared_ptr<discsim::Drive> drive;
        std::string path;
    };
    using Deadline = std::chrono::steady_clock::time_point;
    struct Watch {
        discsim::Drive* drive;
        bool fired = false;
    };

    std::uint64_t StartWatch(discsim::Drive* drive, Deadline deadline);
    bool StopWatch(std::uint64_t id); // true when the time-out fired
    void WatchLoop();

    AdapterDescription description_;
    std::vector<Slot> slots_;

    std::mutex watchLock_;
    std::condition_variable watchChanged_;
    std::multimap<Deadline, std::uint64_t> deadlines_;
    std::map<std::uint64_t, Watch> watches_;
    std::uint64_t nextWatch_ = 1;
    bool stopping_ = false;
    std::thread watcher_;
};

} // namespace platform::scsi
