// One image file as a session brings it in: counted, hashed with SHA-256 and, when a store
// folder is given, written to STORE/FOLDER/NAME so that a person can open it. Hashing and writing
// run on a thread of the file's own, so that the unit acknowledges a block while the one before
// is still being hashed.
#pragma once

#include "sha256.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nassim {

class ReceivedFile {
public:
    // hash: compute the SHA-256; storeFolder: where to write the file (empty: nowhere).
    ReceivedFile(bool hash, const std::string& storeFolder, const std::string& folder,
                 const std::string& name);
    // An unfinished file's copy is removed: it holds no whole image.
    ~ReceivedFile();
    ReceivedFile(const ReceivedFile&) = delete;
    ReceivedFile& operator=(const ReceivedFile&) = delete;

    void add(const std::uint8_t* data, std::size_t size);
    // Waits until every byte is hashed and written; the hex digest (empty when not hashed).
    std::string finish();
    // The unit refused the file: what is pending is dropped and the copy, finished or not, is
    // removed.
    void discard();
    const std::string& path() const { return path_; } // of the copy; empty when none
    // Why the copy could not be made or written; empty when it was, or none was wanted.
    std::string error() const;
    // The errno of that failure; 0 when none.
    int errorNumber() const;

private:
    void Run();
    // Drops what is pending and ends the worker.
    void Stop();

    bool hash_;
    crypto::Sha256 digest_;
    int fd_ = -1;
    std::string path_;
    std::string error_;
    int errorNumber_ = 0;
    bool finished_ = false;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<std::uint8_t>> pending_;
    std::vector<std::vector<std::uint8_t>> spare_; // buffers to reuse
    bool closing_ = false;
    bool busy_ = false;
    std::thread worker_;
};

} // namespace nassim
