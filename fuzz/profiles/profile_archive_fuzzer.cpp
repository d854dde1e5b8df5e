// A received ".cfg" file before extraction, as the Import System Settings dialog rebuilds it: the
// profile check, the header strip, the single entry extracted through libzip with the unit's
// configuration password, the header put back, and the parse of the result. A refused
// extraction leaves no output; what is extracted stays within the cap.
#include "nasserver.h"
#include "profile.h"
#include "profile_sections.h"
#include "unzip/unzip.h"
#include "utils.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

struct Paths {
    std::string received, archive, plain, rebuilt;
};

const Paths& Scratch() {
    static const Paths paths = [] {
        const std::string dir = (std::filesystem::temp_directory_path() /
                                 ("brimlet-profile-fuzz-" + std::to_string(::getpid())))
                                    .string();
        std::filesystem::create_directories(dir);
        return Paths{dir + "/received.cfg", dir + "/archive.zip", dir + "/plain", dir + "/rebuilt"};
    }();
    return paths;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Paths& p = Scratch();
    {
        std::ofstream out(p.received, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const bool isProfile = IsProfileFile(p.received);
    if (isProfile && size < kProfileHeaderSize) __builtin_trap();

    ProfileHeader header{};
    if (StripProfileHeader(p.received, header, p.archive) == 0) {
        if (size < kProfileHeaderSize) __builtin_trap();
        const platform::UnzipResult result = platform::ExtractSingleEntry(
            p.archive, CNasServer::kConfigPassword, p.plain, kMaxProfileBodySize);
        const bool plainExists = std::filesystem::exists(p.plain);
        if (result.ok != plainExists || (!result.ok && result.error.empty())) __builtin_trap();
        if (result.ok && result.size > kMaxProfileBodySize) __builtin_trap();
        if (result.ok && AddProfileHeader(header, p.plain, p.rebuilt) == 0) {
            const std::string rebuilt = ReadAll(p.rebuilt);
            ProfileSummary summary;
            std::string error;
            ParseProfileData(reinterpret_cast<const std::uint8_t*>(rebuilt.data()), rebuilt.size(),
                             summary, error);
        }
    }
    std::remove(p.archive.c_str());
    std::remove(p.plain.c_str());
    std::remove(p.rebuilt.c_str());
    return 0;
}
