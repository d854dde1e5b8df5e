// ".CIS" container files from outside, read the way the program opens them: the bytes are
// written to a file and LoadFile reads it (size check, reading, closing). It must agree with a
// read of the same bytes in memory, keep the container's tree on every failure and, on success,
// give a consistent tree whose root names the file.
#include "cis_check.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

using cisfuzz::Require;

namespace {

// A private folder for the input file, made once and removed at exit.
class InputFolder {
public:
    InputFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/cis-fuzz-XXXXXX";
        Require(::mkdtemp(pattern.data()) != nullptr);
        folder_ = pattern;
        file_ = folder_ + "/input.CIS";
    }
    ~InputFolder() {
        ::unlink(file_.c_str());
        ::rmdir(folder_.c_str());
    }
    InputFolder(const InputFolder&) = delete;
    InputFolder& operator=(const InputFolder&) = delete;

    const std::string& File() const { return file_; }

private:
    std::string folder_, file_;
};

void WriteInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    Require(f != nullptr);
    Require(size == 0 || std::fwrite(data, 1, size, f) == size);
    Require(std::fclose(f) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static InputFolder folder;
    WriteInput(folder.File(), data, size);

    MIRROR_CONTAINER fromFile;
    fromFile.NewContainer();
    const _CDH_CIS_RECORD_* before = fromFile.GetRoot();
    const int code = fromFile.LoadFile(folder.File());
    MIRROR_CONTAINER fromBytes;
    Require(fromBytes.LoadFromBytes(data, size, folder.File()) == code);
    if (code != 0) {
        Require(fromFile.GetRoot() == before);
        return 0;
    }
    cisfuzz::Check(fromFile.GetRoot(), 0);
    Require(fromFile.GetRoot()->source == folder.File());
    return 0;
}
