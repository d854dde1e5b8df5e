// Building an image from a container and streaming it into a simulated unit, side by side in the
// same run with `genisoimage -o /dev/null` and `xorriso -as mkisofs -o /dev/null` on the same
// tree: (a) 50,000 small files in 5,000 folders, (b) three sparse files of 400 MB. Each of the
// three runs as a child process of its own, so that wall time and peak memory are measured alike;
// ours includes importing the tree into a container. Counters: mean seconds and peak MiB of each,
// and ours over each reference ("ratio_*": the goal is at most 1). The references write to
// /dev/null, while ours moves every byte through the unit's session, one acknowledged message of
// at most 32 KiB at a time: for large files that session is the bound (see bench_nas_mirror).
//
// Also: importing the 50,000-file tree into a container beside `find TREE -printf '%s\n'`
// ("ratio_find": the goal is at most 3). Beside the references that write to /dev/null,
// genisoimage also writes the image to a file ("ratio_genisoimage_file": for the large tree the
// goal is at most 1.5). Goals travel as "goal_max_*" counters for bench/run-all's table.
//
// For the large tree a fourth child shows what the units' protocol itself costs here: a minimal
// client that opens a mirror session into the same unit and sends as many 32 KiB messages as the
// files fill, one framed message over and over, without reading a file or building an image
// ("floor_s"; "ratio_floor_genisoimage_file" and "ratio_ours_floor", figures without a goal).
//
// Run it inside a private network namespace: scripts/netns-run build/bench/bench_isobuild
#include "container.h"
#include "iso9660_records.h"
#include "isobuild.h"
#include "isobuild_sink_nas.h"
#include "nasserver.h"
#include "nassim.h"
#include "stop_and_wait.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kUnitAddress = nassim::Ipv4(127, 0, 0, 2);

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct ChildRun {
    bool ok = false;
    double seconds = 0;
    double peakMiB = 0;
};

// Runs argv with stdout and stderr sent to /dev/null; wall time and peak resident memory.
ChildRun RunChild(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ChildRun run;
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        if (::wait4(pid, &status, 0, &usage) == pid) {
            run.seconds = Since(start);
            run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
            run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

std::string SelfPath() {
    return fs::read_symlink("/proc/self/exe").string();
}

// The test trees, made once per run in a temporary folder.
struct Trees {
    std::string base;
    std::string small; // 5,000 folders of 10 files each
    std::string large; // three sparse files of 400 MB
    std::string home;  // the program folder of the children

    Trees() {
        char pattern[] = "/tmp/bench-iso-XXXXXX";
        base = ::mkdtemp(pattern);
        small = base + "/small";
        large = base + "/large";
        home = base + "/home";
        fs::create_directories(home);
        std::vector<char> content(4096);
        for (std::size_t i = 0; i < content.size(); ++i)
            content[i] = static_cast<char>('a' + i % 26);
        for (int d = 0; d < 5000; ++d) {
            char folder[64];
            std::snprintf(folder, sizeof folder, "%s/g%02d/d%04d", small.c_str(), d / 100, d);
            fs::create_directories(folder);
            for (int f = 0; f < 10; ++f) {
                const std::string path = std::string(folder) + "/file" + std::to_string(f) + ".txt";
                const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                const std::size_t size = static_cast<std::size_t>((d * 10 + f) * 37 % 4000 + 1);
                if (fd >= 0) {
                    (void)!::write(fd, content.data(), size);
                    ::close(fd);
                }
            }
        }
        fs::create_directories(large);
        for (int i = 0; i < 3; ++i) {
            const std::string path = large + "/disc" + std::to_string(i) + ".bin";
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) {
                (void)!::ftruncate(fd, 400ll << 20);
                (void)!::pwrite(fd, "edge", 4, (400ll << 20) - 4);
                ::close(fd);
            }
        }
        // Read everything once, so that no contender pays for a cold page cache.
        std::vector<char> buffer(1 << 20);
        for (const auto& e : fs::recursive_directory_iterator(base)) {
            if (!e.is_regular_file()) continue;
            const int fd = ::open(e.path().c_str(), O_RDONLY);
            while (fd >= 0 && ::read(fd, buffer.data(), buffer.size()) > 0) {
            }
            if (fd >= 0) ::close(fd);
        }
    }
    ~Trees() {
        std::error_code ec;
        fs::remove_all(base, ec);
    }
};

Trees& TheTrees() {
    static Trees trees;
    return trees;
}

// Imports every entry of tree below the root of a new container.
void ImportTree(MIRROR_CONTAINER& container, const std::string& tree) {
    container.NewContainer();
    for (const auto& e : fs::directory_iterator(tree))
        container.ImportHostPath(container.GetRoot(), nullptr, e.path().string());
}

// The child of "ours": import the tree, build the image and stream it to the unit.
int ChildBuild(const std::string& tree, const std::string& address) {
    // The stream is a stop-and-wait exchange with a unit on this same machine: the child stays
    // on one CPU, or the scheduler moves it whenever the unit's answer wakes it while the unit's
    // thread still runs, and the figure would measure those moves (as in bench_nas_mirror).
    bench::StayOnThisCpu();
    MIRROR_CONTAINER container;
    ImportTree(container, tree);
    CNasServer server;
    server.Info.ipAddress[0] = static_cast<std::uint32_t>(std::stoul(address));
    NasServerImageSink sink(server);
    TaskRecord task;
    task.container = &container;
    task.server = &sink;
    task.volumeLabel = "BENCH";
    static int image = 0;
    std::snprintf(task.request.imageName, sizeof task.request.imageName, "B%d_%d", ::getpid(),
                  ++image);
    BuildTaskExecute(task);
    if (task.status.load() != task_status::Done) {
        std::fprintf(stderr, "build failed: status %d error %d\n", task.status.load(),
                     task.errorCode.load());
        return 1;
    }
    return 0;
}

// The child of the floor: a mirror session into the unit, then messages exchanges of one framed
// 32 KiB message, each acknowledged before the next, on one CPU as ChildBuild is.
int ChildFloor(const std::string& address, const std::string& messages) {
    bench::StayOnThisCpu();
    const std::uint32_t addrs[3] = {static_cast<std::uint32_t>(std::stoul(address)), 0, 0};
    NasCDTable table;
    std::memset(&table, 0, sizeof table);
    table.one = table.one9 = 1;
    NasMirrorInfo info;
    std::memset(&info, 0, sizeof info);
    std::snprintf(info.imageName, sizeof info.imageName, "F%d", ::getpid());
    info.mode = 3;
    int session = 0;
    if (NasApiMirrorStart(addrs, &session, &table, &info, 0, 0) != 0) return 1;
    // The minimal client's receive blocks: the session socket is set back to blocking.
    ::fcntl(session, F_SETFL, ::fcntl(session, F_GETFL) & ~O_NONBLOCK);
    const std::vector<std::uint8_t> block(kTransferBufferSize, 0);
    const std::vector<std::uint8_t> message =
        bench::FrameMirrorData(block.data(), kTransferBufferSize);
    for (unsigned long i = std::stoul(messages); i > 0; --i)
        if (!bench::ExchangeOnce(session, message)) return 1;
    return NasApiMirrorComplete(session) == 0 ? 0 : 1;
}

// The 32 KiB messages that the files of tree fill, each file in whole sectors.
std::uint64_t MessagesOfFiles(const std::string& tree) {
    std::uint64_t sectors = 0;
    for (const auto& e : fs::recursive_directory_iterator(tree))
        if (e.is_regular_file())
            sectors += (e.file_size() + iso::kSectorSize - 1) / iso::kSectorSize;
    const std::uint64_t perMessage = kTransferBufferSize / iso::kSectorSize;
    return (sectors + perMessage - 1) / perMessage;
}

// toFileGoal: the goal for ours over genisoimage writing the image to a file (0: none); withFloor
// adds the floor child.
void CompareWithReferences(benchmark::State& state, const std::string& tree, double toFileGoal,
                           bool withFloor) {
    nassim::UnitConfig config;
    config.address = kUnitAddress;
    config.tcpPort = 2000; // the program's library dials the protocol's port
    config.keepSessionData = false;
    config.hashSessionData = false;
    config.recordDataBlocks = false;
    nassim::Unit unit(config);
    const std::string self = SelfPath();
    std::vector<std::vector<std::string>> commands = {
        {self, "--child-build", tree, std::to_string(kUnitAddress)},
        {"genisoimage", "-quiet", "-o", "/dev/null", tree},
        {"xorriso", "-as", "mkisofs", "-quiet", "-o", "/dev/null", tree},
        {"genisoimage", "-quiet", "-o", TheTrees().base + "/image.iso", tree},
    };
    if (withFloor)
        commands.push_back({self, "--child-floor", std::to_string(kUnitAddress),
                            std::to_string(MessagesOfFiles(tree))});
    // Sums over the iterations: seconds and peak MiB of ours, genisoimage, xorriso, genisoimage
    // writing a file, the floor.
    double seconds[5] = {}, peak[5] = {};
    for (auto _ : state) {
        bool ok = true;
        for (std::size_t i = 0; i < commands.size(); ++i) {
            const ChildRun run = RunChild(commands[i]);
            ok = ok && run.ok;
            seconds[i] += run.seconds;
            peak[i] = std::max(peak[i], run.peakMiB);
            if (i == 0) state.SetIterationTime(run.seconds);
        }
        std::error_code ignored;
        fs::remove(TheTrees().base + "/image.iso", ignored);
        if (!ok) {
            state.SkipWithError("a build failed (are genisoimage and xorriso installed?)");
            break;
        }
    }
    const double n =
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["ours_s"] = seconds[0] / n;
    state.counters["genisoimage_s"] = seconds[1] / n;
    state.counters["xorriso_s"] = seconds[2] / n;
    state.counters["ratio_genisoimage"] = seconds[0] / seconds[1];
    state.counters["ratio_xorriso"] = seconds[0] / seconds[2];
    state.counters["genisoimage_file_s"] = seconds[3] / n;
    state.counters["ratio_genisoimage_file"] = seconds[0] / seconds[3];
    state.counters["goal_max_genisoimage"] = 1;
    state.counters["goal_max_xorriso"] = 1;
    if (toFileGoal > 0) state.counters["goal_max_genisoimage_file"] = toFileGoal;
    if (withFloor) {
        state.counters["floor_s"] = seconds[4] / n;
        state.counters["ratio_floor_genisoimage_file"] = seconds[4] / seconds[3];
        state.counters["ratio_ours_floor"] = seconds[0] / seconds[4];
    }
    state.counters["ours_MiB"] = peak[0];
    state.counters["genisoimage_MiB"] = peak[1];
    state.counters["xorriso_MiB"] = peak[2];
}

void BM_ImageOf50000SmallFiles(benchmark::State& state) {
    CompareWithReferences(state, TheTrees().small, 0, false);
}
BENCHMARK(BM_ImageOf50000SmallFiles)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_ImageOfThree400MBFiles(benchmark::State& state) {
    CompareWithReferences(state, TheTrees().large, 1.5, true);
}
BENCHMARK(BM_ImageOfThree400MBFiles)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_ImportOf50000SmallFiles(benchmark::State& state) {
    const std::string tree = TheTrees().small;
    double importSeconds = 0, findSeconds = 0;
    for (auto _ : state) {
        MIRROR_CONTAINER container;
        const auto start = Clock::now();
        ImportTree(container, tree);
        const double seconds = Since(start);
        importSeconds += seconds;
        state.SetIterationTime(seconds);
        if (container.GetTotalFileCount(container.GetRoot()) != 50000) {
            state.SkipWithError("import missed files");
            break;
        }
        const ChildRun find = RunChild({"find", tree, "-printf", "%s\\n"});
        if (!find.ok) {
            state.SkipWithError("find failed");
            break;
        }
        findSeconds += find.seconds;
    }
    state.counters["import_s"] = importSeconds / static_cast<double>(state.iterations());
    state.counters["find_s"] = findSeconds / static_cast<double>(state.iterations());
    state.counters["ratio_find"] = importSeconds / findSeconds;
    state.counters["goal_max_find"] = 3;
}
BENCHMARK(BM_ImportOf50000SmallFiles)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--child-build") == 0) {
        ::setenv("BRIMLET_HOME", (fs::path(argv[2]).parent_path() / "home").c_str(), 1);
        return ChildBuild(argv[2], argv[3]);
    }
    if (argc == 4 && std::strcmp(argv[1], "--child-floor") == 0)
        return ChildFloor(argv[2], argv[3]);
    ::setenv("BRIMLET_HOME", TheTrees().home.c_str(), 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
