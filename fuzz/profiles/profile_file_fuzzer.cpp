// Settings profiles read from a file, as the import dialog reads its rebuilt work file: the size
// is checked before anything is read, and what is read parses exactly as the same bytes in
// memory do.
#include "profile_sections.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path =
        "/tmp/brimlet-profile-file-fuzz-" + std::to_string(::getpid()) + ".cfg";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    ProfileSummary fromFile;
    std::string fileError;
    const bool fileOk = ParseProfileFile(path, fromFile, fileError);
    ProfileSummary inMemory;
    std::string memoryError;
    const bool memoryOk = ParseProfileData(data, size, inMemory, memoryError);
    if (fileOk != memoryOk || fileError != memoryError) std::abort();
    if (fileOk && (fromFile.Network != inMemory.Network || fromFile.Users != inMemory.Users ||
                   fromFile.Backup != inMemory.Backup || fromFile.Security != inMemory.Security))
        std::abort();
    // The size check names the file and refuses only what is larger than its limit.
    if (ProfileSizeProblem(path, size).empty() == false) std::abort();
    if (size > 0 && ProfileSizeProblem(path, size - 1).empty()) std::abort();
    std::remove(path.c_str());
    return 0;
}
