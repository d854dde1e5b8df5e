// FileHandle: a file descriptor closed when it goes out of scope, unless closed (and checked)
// before.
#pragma once

#include <unistd.h>

#include <utility>

class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int get() const { return fd_; }
    // Closes now; false when the close reports an error (a write that did not reach the file).
    bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};
