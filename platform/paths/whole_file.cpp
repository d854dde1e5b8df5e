#include "paths/whole_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

WholeFileRead OpenRegularFile(const std::string& path, int& fd) {
    // O_NONBLOCK: opening a pipe for reading would otherwise wait for a writer.
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) return WholeFileRead::Missing;
        return errno == ENXIO || errno == EISDIR ? WholeFileRead::NotRegular
                                                 : WholeFileRead::Failed;
    }
    struct stat st {};
    WholeFileRead result = WholeFileRead::Read;
    if (::fstat(fd, &st) != 0)
        result = WholeFileRead::Failed;
    else if (!S_ISREG(st.st_mode))
        result = WholeFileRead::NotRegular;
    else if (const int flags = ::fcntl(fd, F_GETFL);
             flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        result = WholeFileRead::Failed;
    if (result != WholeFileRead::Read) {
        ::close(fd);
        fd = -1;
    }
    return result;
}

WholeFileRead ReadWholeFile(const std::string& path, std::size_t maxSize, std::string& out) {
    out.clear();
    int fd = -1;
    if (const WholeFileRead opened = OpenRegularFile(path, fd); opened != WholeFileRead::Read)
        return opened;
    bool ok = true;
    bool tooLarge = false;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ok = false;
    } else if (static_cast<unsigned long long>(st.st_size) > maxSize) {
        ok = false;
        tooLarge = true;
    } else {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0) break;
            // The file may have grown since fstat.
            if (out.size() + static_cast<std::size_t>(n) > maxSize) {
                ok = false;
                tooLarge = true;
                break;
            }
            out.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    if (ok) return WholeFileRead::Read;
    out.clear();
    return tooLarge ? WholeFileRead::TooLarge : WholeFileRead::Failed;
}

bool ReplaceFile(const std::string& path, std::string_view data, bool ownerOnly) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC); // made with mode 0600
    if (fd < 0) return false;
    if (!ownerOnly) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0)
            ::fchmod(fd, st.st_mode & 07777);
        else
            ::fchmod(fd, 0644 & ~CurrentUmask());
    }
    std::size_t done = 0;
    bool ok = true;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
    ::unlink(temp.c_str());
    return false;
}

} // namespace platform
