#include "received_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace nassim {

namespace {

constexpr std::size_t kMostPending = 64; // blocks waiting for the worker before add() waits

// A name the unit received, usable as one path component: separators and NUL become '_', and
// "", "." and ".." become "_".
std::string Component(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '/' || c == '\\' || c == '\0' ? '_' : c;
    if (out.empty() || out == "." || out == "..") out = "_";
    return out;
}

} // namespace

ReceivedFile::ReceivedFile(bool hash, const std::string& storeFolder, const std::string& folder,
                           const std::string& name)
    : hash_(hash) {
    if (!storeFolder.empty()) {
        namespace fs = std::filesystem;
        fs::path dir(storeFolder);
        if (!folder.empty()) dir /= Component(folder);
        std::error_code ec;
        fs::create_directories(dir, ec);
        // A file already there is kept: the copy takes the next free name "NAME.1", "NAME.2"...
        const std::string base = (dir / Component(name)).string();
        for (int n = 0; n < 1000 && fd_ < 0; ++n) {
            path_ = n == 0 ? base : base + "." + std::to_string(n);
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd_ < 0 && errno != EEXIST) break;
        }
        if (fd_ < 0) {
            errorNumber_ = errno;
            error_ = "can't create " + path_ + ": " + std::strerror(errno);
            path_.clear();
        }
    }
    if (hash_ || fd_ >= 0) worker_ = std::thread([this] { Run(); });
}

ReceivedFile::~ReceivedFile() {
    Stop();
    if (fd_ >= 0) {
        ::close(fd_);
        if (!finished_) ::unlink(path_.c_str());
    }
}

void ReceivedFile::Stop() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        pending_.clear();
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void ReceivedFile::discard() {
    Stop();
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
    finished_ = true;
}

void ReceivedFile::add(const std::uint8_t* data, std::size_t size) {
    if (!worker_.joinable() || size == 0) return;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pending_.size() < kMostPending; });
    std::vector<std::uint8_t> block;
    if (!spare_.empty()) {
        block = std::move(spare_.back());
        spare_.pop_back();
    }
    block.assign(data, data + size);
    pending_.push_back(std::move(block));
    changed_.notify_all();
}

std::string ReceivedFile::finish() {
    if (worker_.joinable()) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return pending_.empty() && !busy_; });
            closing_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    finished_ = true;
    if (fd_ >= 0 && ::close(std::exchange(fd_, -1)) != 0 && error_.empty()) {
        errorNumber_ = errno;
        error_ = "can't write " + path_ + ": " + std::strerror(errno);
    }
    if (!hash_) return {};
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::uint8_t b : digest_.finish()) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

std::string ReceivedFile::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

int ReceivedFile::errorNumber() const {
    std::lock_guard lock(mutex_);
    return errorNumber_;
}

void ReceivedFile::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return closing_ || !pending_.empty(); });
        if (pending_.empty()) return;
        std::vector<std::uint8_t> block = std::move(pending_.front());
        pending_.pop_front();
        busy_ = true;
        changed_.notify_all();
        lock.unlock();
        if (hash_) digest_.update(block.data(), block.size());
        std::string failure;
        int failureNumber = 0;
        for (std::size_t at = 0; fd_ >= 0 && at < block.size();) {
            const ssize_t written = ::write(fd_, block.data() + at, block.size() - at);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                // A write that takes nothing is a full file system.
                failureNumber = written == 0 ? ENOSPC : errno;
                failure = "can't write " + path_ + ": " + std::strerror(failureNumber);
                break;
            }
            at += static_cast<std::size_t>(written);
        }
        lock.lock();
        if (!failure.empty() && error_.empty()) {
            error_ = failure;
            errorNumber_ = failureNumber;
        }
        if (spare_.size() < 4) spare_.push_back(std::move(block));
        busy_ = false;
        changed_.notify_all();
    }
}

} // namespace nassim
