// Feeds arbitrary bytes, as a unit's answer to a configuration read or write, to their readers.
// The first byte picks the reader; the rest is the stream the unit sends before it closes. A read
// writes the file into a private work folder.
#include "config_transfer.h"
#include "nasapi.h"
#include "query_fuzz_support.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// A private folder for the file a read writes, removed when the program ends.
struct WorkFolder {
    std::string path;
    WorkFolder() {
        path = (std::filesystem::temp_directory_path() / "nas-config-fuzz-XXXXXX").string();
        if (!::mkdtemp(path.data())) std::abort();
    }
    ~WorkFolder() { std::filesystem::remove_all(path); }
};

std::string WorkFile() {
    static const WorkFolder folder;
    return folder.path + "/settings.cfg";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    nasfuzz::UseShortQueryWaits();
    int fd = nasfuzz::StreamOf(data + 1, size - 1);
    if (fd < 0) return 0;
    if (data[0] % 2 == 0) {
        const std::string path = WorkFile();
        ::unlink(path.c_str());
        int result = nas::ReadConfigReply(fd, path.c_str());
        struct stat info {};
        // The file never holds more than arrived after the reply header.
        if (::stat(path.c_str(), &info) == 0 && static_cast<size_t>(info.st_size) + 40 > size - 1)
            std::abort();
        if (result < -32768 || result > 32767) std::abort();
    } else {
        int result = nas::ReadSetConfigReply(fd);
        if (result < -32768 || result > 32767) std::abort();
    }
    ::close(fd);
    return 0;
}
