#include "sim_adapter.h"

#include "discsim.h"
#include "scsi/sense.h"

namespace platform::scsi {

SimAdapter::SimAdapter(std::string identifier, std::uint8_t maxTargets, std::uint8_t scsiId) {
    description_.identifier = std::move(identifier);
    description_.manager = "SIMULATED";
    description_.maxTargets = maxTargets;
    description_.scsiId = scsiId;
}

SimAdapter::~SimAdapter() {
    {
        std::lock_guard<std::mutex> guard(watchLock_);
        stopping_ = true;
    }
    watchChanged_.notify_all();
    if (watcher_.joinable()) watcher_.join();
}

void SimAdapter::Attach(std::uint32_t target, std::uint32_t lun,
                        std::shared_ptr<discsim::Drive> drive, std::string path) {
    slots_.push_back(Slot{target, lun, std::move(drive), std::move(path)});
}

AdapterDescription SimAdapter::Describe() const {
    return description_;
}

std::vector<DeviceEntry> SimAdapter::Devices() const {
    std::vector<DeviceEntry> out;
    for (const auto& s : slots_)
        out.push_back(DeviceEntry{s.target, s.lun, s.drive->config().deviceType, s.path});
    return out;
}

std::uint64_t SimAdapter::StartWatch(discsim::Drive* drive, Deadline deadline) {
    std::lock_guard<std::mutex> guard(watchLock_);
    if (!watcher_.joinable()) watcher_ = std::thread([this] { WatchLoop(); });
    const std::uint64_t id = nextWatch_++;
    watches_.emplace(id, Watch{drive});
    deadlines_.emplace(deadline, id);
    watchChanged_.notify_all();
    return id;
}

bool SimAdapter::StopWatch(std::uint64_t id) {
    std::lock_guard<std::mutex> guard(watchLock_);
    auto it = watches_.find(id);
    const bool fired = it != watches_.end() && it->second.fired;
    if (it != watches_.end()) watches_.erase(it);
    for (auto d = deadlines_.begin(); d != deadlines_.end(); ++d)
        if (d->second == id) {
            deadlines_.erase(d);
            break;
        }
    return fired;
}

void SimAdapter::WatchLoop() {
    std::unique_lock<std::mutex> lock(watchLock_);
    while (!stopping_) {
        if (deadlines_.empty()) {
            watchChanged_.wait(lock);
            continue;
        }
        const auto first = deadlines_.begin();
        const Deadline due = first->first; // the entry may go while the lock is released
        if (std::chrono::steady_clock::now() < due) {
            watchChanged_.wait_until(lock, due);
            continue;
        }
        // Time is up: release the held command. The drive's abort takes its own lock only.
        const std::uint64_t id = first->second;
        deadlines_.erase(first);
        auto w = watches_.find(id);
        if (w == watches_.end()) continue;
        w->second.fired = true;
        w->second.drive->abortPending();
    }
}

Completion SimAdapter::Execute(std::uint32_t target, std::uint32_t lun, const Request& request) {
    discsim::Drive* drive = nullptr;
    for (const auto& s : slots_)
        if (s.target == target && s.lun == lun) drive = s.drive.get();
    if (drive == nullptr) return NoDeviceCompletion();
    if (request.cdb == nullptr || request.cdbLength == 0 || request.cdbLength > kCdbMax ||
        (request.dataLength > 0 && request.data == nullptr)) {
        Completion c;
        c.result = TransportResult::Error;
        c.host = HostCondition::Other;
        return c;
    }

    const discsim::Direction direction = request.direction == Direction::In ? discsim::Direction::In
                                         : request.direction == Direction::Out
                                             ? discsim::Direction::Out
                                             : discsim::Direction::None;
    std::uint64_t watch = 0;
    if (request.timeoutMs >= 0)
        watch = StartWatch(drive, std::chrono::steady_clock::now() +
                                      std::chrono::milliseconds(request.timeoutMs));
    const discsim::Completion done =
        drive->execute(request.cdb, request.cdbLength, direction, request.data, request.dataLength);
    const bool timedOut = watch != 0 && StopWatch(watch);

    Completion c;
    if (done.aborted) {
        c.result = timedOut ? TransportResult::Timeout : TransportResult::Aborted;
        return c;
    }
    if (done.transferred > request.dataLength) {
        // More than the buffer holds: refused, whatever the drive claims to have sent.
        c.result = TransportResult::Error;
        c.host = HostCondition::DataOverrun;
        return c;
    }
    c.scsiStatus = done.status;
    c.transferred = static_cast<std::uint32_t>(done.transferred);
    if (done.status != discsim::kStatusGood) {
        const FixedSense sense = NormalizeSense(done.sense.data(), done.sense.size());
        c.sense = sense.bytes;
        c.senseLength = sense.length;
    }
    return c;
}

} // namespace platform::scsi
