// Uploads and builds into a unit whose store can't take the image: the unit refuses as a unit with
// a full (or unwritable) disk does, and the task ends Failed with the unit's text instead of Done.
#include "../containers/container_fixtures.h"
#include "../drives/sim_machine.h"
#include "../tasks/task_fixtures.h"
#include "build_worker.h"
#include "cdrom.h"
#include "container.h"
#include "mirror_worker.h"
#include "task_codes.h"
#include "upload_worker.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kImageBytes = 300 * 1024;

// Files this process writes are limited to `bytes` for the life of the scope; a write beyond fails
// with EFBIG instead of raising SIGXFSZ. Only the simulated unit writes files meanwhile.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~ScopedFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = SIG_DFL;
};

// A unit of the task fixtures with a store folder.
std::unique_ptr<tasktest::Unit> UnitWithStore(const std::string& store) {
    // The fixture's unit is made first to find a free address, then made again with the store.
    auto unit = std::make_unique<tasktest::Unit>();
    if (!unit->unit) return unit;
    nassim::UnitConfig config;
    config.tcpPort = 2000;
    config.udpPort = 0;
    config.name = "UNIT1";
    config.address = unit->unit->address();
    config.storeFolder = store;
    unit->unit.reset();
    unit->unit = std::make_unique<nassim::Unit>(config);
    return unit;
}

enum class Kind { Upload, Mirror, Build };

const char* Name(Kind kind) {
    return kind == Kind::Upload ? "upload" : kind == Kind::Mirror ? "mirror" : "build";
}

// A simulated drive D: with a data disc of 200 sectors (400 KiB).
struct DiscDrive {
    DiscDrive() {
        auto& adapter = machine.AddAdapter("ATAPI SIM");
        machine.AddDrive(adapter, 0, 0, "FULL", discsim::MakeDataCd(200));
        machine.Start().SetSleeper([](std::uint32_t) {});
        EXPECT_TRUE(table.Rescan());
    }
    SimMachine machine;
    CDH_LOGICAL_CDROM_CLASS table;
};

// An upload task of a 300 KiB file, a mirror of a 400 KiB disc, or a build task of a container
// that holds a 300 KiB file.
void PrepareTask(Kind kind, tasktest::Unit& unit, TaskRecord& task, MIRROR_CONTAINER& container,
                 const fixtures::TempDir& dir, DiscDrive& drive) {
    task.nas = unit.Server();
    if (kind == Kind::Mirror) {
        task.kind = task_kind::Mirror;
        task.drive = drive.table.GetDevice('D');
        tasktest::SetText(task.request.folderName, sizeof task.request.folderName, "IMAGES");
        tasktest::SetText(task.request.imageName, sizeof task.request.imageName, "MIRRORED");
        return;
    }
    if (kind == Kind::Upload) {
        task.kind = task_kind::Upload;
        tasktest::SetText(task.request.folderName, sizeof task.request.folderName, "IMAGES");
        tasktest::SetText(task.request.imageName, sizeof task.request.imageName, "UPLOADED");
        task.imagePath = dir / "image.iso";
        std::ofstream(task.imagePath) << std::string(kImageBytes, 'u');
        task.imageSizeKb = kImageBytes / 1024;
        return;
    }
    const fs::path host = dir / "host";
    fs::create_directories(host);
    std::ofstream((host / "big.bin").string()) << std::string(kImageBytes, 'b');
    container.NewContainer();
    container.ImportHostPath(container.GetRoot(), nullptr, (host / "big.bin").string());
    task.kind = task_kind::Build;
    task.containerKind = container_kind::HostFiles;
    task.container = &container;
    task.volumeLabel = "BUILT";
    tasktest::SetText(task.request.imageName, sizeof task.request.imageName, "BUILT");
}

void RunTask(TaskRecord& task) {
    if (task.kind == task_kind::Build)
        BuildTaskExecute(task);
    else if (task.kind == task_kind::Mirror)
        MirrorTaskExecute(task);
    else
        UploadTaskExecute(task);
}

void ExpectFailedWith(const TaskRecord& task, int unitStatus, const char* text) {
    EXPECT_EQ(task.status.load(), task_status::Failed);
    EXPECT_EQ(task.errorCode.load(), MapApiResultToTaskError(unitStatus));
    EXPECT_EQ(FormatTaskError(task), text);
}

TEST(FullStore, UploadMirrorAndBuildEndFailedWithTheUnitsText) {
    for (Kind kind : {Kind::Upload, Kind::Mirror, Kind::Build}) {
        SCOPED_TRACE(Name(kind));
        fixtures::TempDir dir;
        fixtures::ProgramHome home(dir.path());
        auto unit = UnitWithStore(dir / "store");
        ASSERT_NE(unit->unit, nullptr);
        tasktest::ManualWaits waits;
        DiscDrive drive;
        TaskRecord task;
        MIRROR_CONTAINER container;
        PrepareTask(kind, *unit, task, container, dir, drive);
        {
            // The image's first 64 KiB fit; the rest does not.
            ScopedFileSizeLimit full(64 * 1024);
            RunTask(task);
        }
        ExpectFailedWith(task, nassim::kStatusNoFreeSpace, "No free space on server.");
        EXPECT_TRUE(unit->unit->state().images.empty()) << "a cut image is not listed";
    }
}

TEST(UnwritableStore, UploadMirrorAndBuildEndFailedWithTheUnitsText) {
    for (Kind kind : {Kind::Upload, Kind::Mirror, Kind::Build}) {
        SCOPED_TRACE(Name(kind));
        fixtures::TempDir dir;
        fixtures::ProgramHome home(dir.path());
        // The store's parent is a regular file: nothing can be made under it, root or not.
        std::ofstream(dir / "file") << "x";
        auto unit = UnitWithStore(dir / "file/store");
        ASSERT_NE(unit->unit, nullptr);
        tasktest::ManualWaits waits;
        DiscDrive drive;
        TaskRecord task;
        MIRROR_CONTAINER container;
        PrepareTask(kind, *unit, task, container, dir, drive);
        RunTask(task);
        // Refused at the start, before any data: every kind keeps the unit's text.
        ExpectFailedWith(task, nassim::kStatusPermissionDenied, "Permission Denied!!");
        EXPECT_TRUE(unit->unit->state().images.empty());
    }
}

} // namespace
