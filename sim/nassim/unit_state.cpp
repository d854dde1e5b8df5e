// The unit's state setters and the accessors of what it recorded.
#include "unit_impl.h"

#include <stdexcept>
#include <thread>

namespace nassim {

namespace {

void CheckRecords(const std::vector<Bytes>& records, std::size_t size, const char* what) {
    for (const Bytes& r : records)
        if (r.size() != size)
            throw std::invalid_argument(std::string(what) + " record of " +
                                        std::to_string(r.size()) + " bytes, expected " +
                                        std::to_string(size));
}

} // namespace

void ValidateState(const UnitState& s) {
    CheckRecords(s.disks, kDiskRecordSize, "disk");
    CheckRecords(s.volumes, kVolumeRecordSize, "volume");
    CheckRecords(s.tasks, kTaskRecordSize, "task");
}

const char* SessionEndName(SessionEnd end) {
    switch (end) {
    case SessionEnd::Open:
        return "open";
    case SessionEnd::Completed:
        return "completed";
    case SessionEnd::Aborted:
        return "aborted";
    case SessionEnd::Refused:
        return "refused";
    case SessionEnd::Broken:
        return "broken";
    case SessionEnd::Disconnected:
        return "disconnected";
    }
    return "?";
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void Unit::addCommandFault(CommandFault rule) {
    std::lock_guard lock(impl_->stateMutex);
    impl_->rules.push_back({std::move(rule), 0});
}

void Unit::clearCommandFaults() {
    std::lock_guard lock(impl_->stateMutex);
    impl_->rules.clear();
}

UnitState Unit::state() const {
    std::lock_guard lock(impl_->stateMutex);
    return impl_->state;
}

void Unit::setState(UnitState state) {
    ValidateState(state);
    std::lock_guard lock(impl_->stateMutex);
    impl_->state = std::move(state);
}

using Accounts = std::map<std::string, std::string>;

// Each setter replaces one member of the state under the state lock.
#define NASSIM_SETTER(Name, Type, member)                                                          \
    void Unit::Name(Type value) {                                                                  \
        std::lock_guard lock(impl_->stateMutex);                                                   \
        impl_->state.member = std::move(value);                                                    \
    }

void Unit::setDisks(std::vector<Bytes> records) {
    CheckRecords(records, kDiskRecordSize, "disk");
    std::lock_guard lock(impl_->stateMutex);
    impl_->state.disks = std::move(records);
}

void Unit::setVolumes(std::vector<Bytes> records) {
    CheckRecords(records, kVolumeRecordSize, "volume");
    std::lock_guard lock(impl_->stateMutex);
    impl_->state.volumes = std::move(records);
}

void Unit::setTasks(std::vector<Bytes> records, std::uint32_t count, std::uint32_t value) {
    CheckRecords(records, kTaskRecordSize, "task");
    std::lock_guard lock(impl_->stateMutex);
    impl_->state.tasks = std::move(records);
    impl_->state.taskCount = count;
    impl_->state.taskValue = value;
}

NASSIM_SETTER(setImageFolders, std::vector<std::string>, imageFolders)
NASSIM_SETTER(setImages, std::vector<ImageRecord>, images)
NASSIM_SETTER(setShares, std::vector<ShareRecord>, shares)
NASSIM_SETTER(setCdDrives, std::vector<CdDriveRecord>, cdDrives)
NASSIM_SETTER(setWriterScript, std::vector<WriterStep>, writerScript)
NASSIM_SETTER(setAdminPassword, std::optional<std::string>, adminPassword)
NASSIM_SETTER(setConfigPassword, std::optional<std::string>, configPassword)
NASSIM_SETTER(setUsers, Accounts, users)
NASSIM_SETTER(setConfigFile, Bytes, configFile)
#undef NASSIM_SETTER

std::vector<Request> Unit::requestsFor(std::uint16_t command) const {
    std::lock_guard lock(impl_->recordMutex);
    std::vector<Request> out;
    for (const Request& r : impl_->requests)
        if (r.header && r.header->command == command) out.push_back(r);
    return out;
}

std::vector<std::string> Unit::problems() const {
    std::lock_guard lock(impl_->recordMutex);
    return impl_->problems;
}

std::vector<Session> Unit::sessions() const {
    std::lock_guard lock(impl_->recordMutex);
    std::vector<Session> out;
    for (const auto& s : impl_->sessions)
        out.push_back(*s);
    return out;
}

std::vector<RecordingJob> Unit::recordings() const {
    std::lock_guard lock(impl_->recordMutex);
    return impl_->recordings;
}

Bytes Unit::configFile() const {
    std::lock_guard lock(impl_->stateMutex);
    return impl_->state.configFile;
}

bool Unit::waitForSessionsEnded(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->recordMutex);
    return impl_->recordChanged.wait_for(lock, timeout, [&] {
        std::size_t ended = 0;
        for (const auto& s : impl_->sessions)
            if (s->end != SessionEnd::Open) ++ended;
        return ended >= count;
    });
}

} // namespace nassim
