#include "profile.h"

#include "msgbox.h"
#include "unzip/unzip.h"
#include "vcl/application.h"
#include "vcl/dialog_host.h"

#include <cstdio>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File Open(const std::string& path, const char* mode) {
    return File(std::fopen(path.c_str(), mode));
}

// Copies the rest of from to to in pieces of 2000 bytes.
bool CopyRest(std::FILE* from, std::FILE* to) {
    std::vector<char> buffer(2000);
    for (;;) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), from);
        if (n > 0 && std::fwrite(buffer.data(), 1, n, to) != n) return false;
        if (n < buffer.size()) return std::ferror(from) == 0;
    }
}

// Closes the output and keeps it, or removes it after a failure.
int Finish(File output, const std::string& path, bool ok) {
    if (std::fclose(output.release()) != 0) ok = false;
    if (!ok) std::remove(path.c_str());
    return ok ? 0 : -1;
}

bool ReadHeader(std::FILE* file, ProfileHeader& header) {
    return std::fread(header.data(), 1, header.size(), file) == header.size();
}

} // namespace

std::uint32_t ProfileMagic(const ProfileHeader& header) {
    const std::uint8_t* p = header.data() + kProfileMagicOffset;
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

bool IsProfileMagic(std::uint32_t magic) {
    return magic == kProfileMagicUtf8 || magic == kProfileMagicCodePage;
}

int StripProfileHeader(const std::string& profilePath, ProfileHeader& header,
                       const std::string& archivePath) {
    File input = Open(profilePath, "rb");
    if (!input || !ReadHeader(input.get(), header)) return -1;
    File output = Open(archivePath, "wb");
    if (!output) return -1;
    const bool ok = CopyRest(input.get(), output.get());
    return Finish(std::move(output), archivePath, ok);
}

int AddProfileHeader(const ProfileHeader& header, const std::string& bodyPath,
                     const std::string& outputPath) {
    File input = Open(bodyPath, "rb");
    if (!input) return -1;
    File output = Open(outputPath, "wb");
    if (!output) return -1;
    const bool ok = std::fwrite(header.data(), 1, header.size(), output.get()) == header.size() &&
                    CopyRest(input.get(), output.get());
    return Finish(std::move(output), outputPath, ok);
}

bool IsProfileFile(const std::string& path) {
    File input = Open(path, "rb");
    ProfileHeader header;
    return input && ReadHeader(input.get(), header) && IsProfileMagic(ProfileMagic(header));
}

std::string ProfileSizeProblem(const std::string& path, std::uint64_t limit) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || static_cast<std::uint64_t>(st.st_size) <= limit)
        return {}; // a file that cannot be asked for its size fails at its reading instead
    return "The profile " + path + " holds " + std::to_string(st.st_size) +
           " bytes, more than a settings profile can hold (" + std::to_string(limit) +
           " bytes); it was not read.";
}

int UnzipSingleEntry(const std::string& archivePath, const std::string& password,
                     const std::string& outputPath) {
    const platform::UnzipResult result =
        platform::ExtractSingleEntry(archivePath, password, outputPath, kMaxProfileBodySize);
    if (result.ok) return 1;
    vcl::Application->MessageBox("Error unzipping...\n" + result.error, GetMessageText(9),
                                 vcl::MB_OK | vcl::MB_ICONSTOP);
    return 0;
}
