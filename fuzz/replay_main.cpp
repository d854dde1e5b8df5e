// Replays a seed corpus through a fuzz target: every regular file below the given folders (or
// every file named) is fed once to LLVMFuzzerTestOneInput. Used where libFuzzer is not built, so
// that the corpus runs in the normal test suite under the sanitizers.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int replayFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int failures = 0;
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path arg(argv[i]);
        if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(arg)) {
                if (entry.is_regular_file()) {
                    failures += replayFile(entry.path());
                    ++files;
                }
            }
        } else {
            failures += replayFile(arg);
            ++files;
        }
    }
    std::printf("replayed %d inputs\n", files);
    // An empty corpus is a mistake in the build, not a pass.
    return (failures == 0 && files > 0) ? 0 : 1;
}
