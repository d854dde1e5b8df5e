// The mirror task's cost: a 700 MB simulated data disc mirrored by the mirror worker (drive layer,
// runs of 16 sectors, one data message each, progress and remaining time) into a simulated unit,
// beside the plain mirror session of the same number of bytes in 32 KiB blocks straight through
// the access library, in the same run. The simulated drive reads a 700 MB ISO image file. The
// counter "task_cost" is task time over plain-session time; the goal is at most 1.2.
//
// Run it inside a private network namespace: scripts/netns-run build/bench/bench_tasks_mirror
#include "../../tests/drives/sim_machine.h"
#include "cdrom.h"
#include "mirror_worker.h"
#include "nasapi.h"
#include "nasserver.h"
#include "nassim.h"
#include "scsicdd.h"
#include "task_record.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kSectors = 700u * 1000 * 1000 / 2048; // 700 MB
constexpr std::size_t kBlock = 16 * 2048;
constexpr std::uint32_t kUnitAddress = nassim::Ipv4(127, 0, 0, 2);

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

nassim::UnitConfig UnitConfig() {
    nassim::UnitConfig config;
    config.address = kUnitAddress;
    config.tcpPort = 2000; // the port the program dials
    config.keepSessionData = false;
    return config;
}

// The plain session: start, the disc's bytes in 32 KiB blocks, complete.
double PlainSession(const std::vector<std::uint8_t>& block, int image) {
    const std::uint32_t addrs[3] = {kUnitAddress, 0, 0};
    NasCDTable table;
    std::memset(&table, 0, sizeof table);
    table.one = table.one9 = 1;
    NasMirrorInfo info;
    std::memset(&info, 0, sizeof info);
    std::snprintf(info.imageName, sizeof info.imageName, "PLAIN%d", image);
    info.mode = 1;
    const auto start = Clock::now();
    int session = 0;
    if (NasApiMirrorStart(addrs, &session, &table, &info, 0, 0) != 0) return -1;
    for (std::uint64_t left = std::uint64_t{kSectors} * 2048; left > 0;) {
        const int size = static_cast<int>(std::min<std::uint64_t>(kBlock, left));
        if (NasApiSendCDData(session, block.data(), size) != 0) return -1;
        left -= static_cast<std::uint64_t>(size);
    }
    if (NasApiMirrorComplete(session) != 0) return -1;
    return Seconds(start);
}

// A 700 MB ISO image file for the simulated drive to read (its bytes come from the page cache,
// so that the simulator's own sector patterns do not weigh on the task's side).
class ImageFile {
public:
    ImageFile() {
        char name[] = "/tmp/bench-tasks-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd < 0) return;
        path_ = name;
        std::vector<std::uint8_t> chunk(1 << 20);
        for (std::size_t i = 0; i < chunk.size(); ++i)
            chunk[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
        for (std::uint64_t left = std::uint64_t{kSectors} * 2048; left > 0;) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), left));
            if (::write(fd, chunk.data(), n) != static_cast<ssize_t>(n)) break;
            left -= n;
        }
        ::close(fd);
    }
    ~ImageFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void BM_MirrorTask(benchmark::State& state) {
    nassim::Unit unit(UnitConfig());
    const ImageFile file;
    auto disc = discsim::LoadIsoImage(file.path());
    if (!disc) {
        state.SkipWithError("no image file");
        return;
    }
    SimMachine machine;
    auto& adapter = machine.AddAdapter("ATAPI SIM");
    machine.AddDrive(adapter, 0, 0, "BENCH", std::move(*disc));
    machine.Start().SetSleeper([](std::uint32_t) {});
    CDH_LOGICAL_CDROM_CLASS drives;
    if (!drives.Rescan() || drives.GetDevice('D') == nullptr) {
        state.SkipWithError("no simulated drive");
        return;
    }
    auto server = std::make_shared<CNasServer>();
    server->Info.ipAddress[0] = kUnitAddress;
    std::vector<std::uint8_t> block(kBlock);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);

    // The drive alone: the same runs of 16 sectors read through the drive layer, sent nowhere.
    const auto readDisc = [&] {
        std::vector<std::uint8_t> run(16 * 2352);
        const auto start = Clock::now();
        for (std::uint32_t lba = 0; lba < kSectors; lba += 16) {
            const std::uint32_t n = std::min<std::uint32_t>(16, kSectors - lba);
            if (drives.GetDevice('D')->ReadSectors(0, lba, n, run.data(), run.size()) != 0)
                return -1.0;
        }
        return Seconds(start);
    };

    double plainSeconds = 0, taskSeconds = 0, readSeconds = 0;
    int images = 0;
    for (auto _ : state) {
        const double plain = PlainSession(block, ++images);
        if (plain < 0) {
            state.SkipWithError("plain session failed");
            break;
        }
        plainSeconds += plain;
        const double read = readDisc();
        if (read < 0) {
            state.SkipWithError("drive read failed");
            break;
        }
        readSeconds += read;

        TaskRecord task;
        task.kind = task_kind::Mirror;
        task.drive = drives.GetDevice('D');
        task.nas = server;
        std::snprintf(task.request.imageName, sizeof task.request.imageName, "TASK%d", images);
        const auto start = Clock::now();
        MirrorTaskExecute(task);
        const double seconds = Seconds(start);
        if (task.status.load() != task_status::Done) {
            state.SkipWithError("mirror task failed");
            break;
        }
        taskSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    const double bytes = double{kSectors} * 2048 * static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    if (plainSeconds > 0 && taskSeconds > 0) {
        state.counters["task_MBps"] = bytes / taskSeconds / 1e6;
        state.counters["plain_MBps"] = bytes / plainSeconds / 1e6;
        state.counters["read_MBps"] = bytes / readSeconds / 1e6;
        state.counters["task_cost"] = taskSeconds / plainSeconds;
        // The same figure under the name bench/run-all puts in its table, with its goal.
        state.counters["ratio_task"] = taskSeconds / plainSeconds;
        state.counters["goal_max_task"] = 1.2;
        // What the task adds to the plain session besides reading the drive.
        state.counters["layer_cost"] = (taskSeconds - readSeconds) / plainSeconds;
    }
}

BENCHMARK(BM_MirrorTask)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
