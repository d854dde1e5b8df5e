// The upload and build workers end to end against a simulated unit: what the unit receives, in
// which pieces, how each session ends, and the task's bytes afterwards.
#include "../containers/container_fixtures.h"
#include "../isobuild/iso_test_support.h"
#include "build_worker.h"
#include "task_fixtures.h"
#include "upload_worker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace {

namespace fs = std::filesystem;
using tasktest::Bytes;

class UploadWorker : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(unit_.unit, nullptr);
        task_.kind = task_kind::Upload;
        task_.nas = unit_.Server();
        tasktest::SetText(task_.request.folderName, sizeof task_.request.folderName, "IMAGES");
        tasktest::SetText(task_.request.imageName, sizeof task_.request.imageName, "UPLOADED");
    }
    void UseFile(std::size_t size) {
        content_ = isotest::Pattern(size, 3);
        task_.imagePath = dir_ / "image.iso";
        isotest::WriteFile(task_.imagePath, content_);
        task_.imageSizeKb = static_cast<std::uint32_t>((size + 1023) / 1024);
    }

    fixtures::TempDir dir_;
    tasktest::Unit unit_;
    tasktest::ManualWaits waits_;
    TaskRecord task_;
    Bytes content_;
};

TEST_F(UploadWorker, SendsTheFileInPiecesOf20480BytesAndCompletes) {
    UseFile(3 * 20480 + 1000);
    UploadTaskExecute(task_);
    EXPECT_EQ(task_.errorCode.load(), 0);
    EXPECT_EQ(task_.status.load(), task_status::Done);
    EXPECT_EQ(task_.runState.load(), run_state::Finished);
    EXPECT_EQ(task_.progress.load(), 100);

    const nassim::Session s = unit_.OnlySession();
    EXPECT_STREQ(nassim::SessionEndName(s.end),
                 nassim::SessionEndName(nassim::SessionEnd::Completed));
    EXPECT_TRUE(s.data == content_);
    EXPECT_EQ(s.blockSizes, (std::vector<std::size_t>{20480, 20480, 20480, 1000}));
    EXPECT_EQ(s.table, Bytes(812, 0)); // an upload announces no tracks
    // The request: source label, image name and share name all carry the image name.
    const std::string request(s.startRequest.begin(), s.startRequest.end());
    int names = 0;
    for (auto at = request.find("UPLOADED"); at != std::string::npos;
         at = request.find("UPLOADED", at + 1))
        ++names;
    EXPECT_EQ(names, 3);
}

TEST_F(UploadWorker, AnEmptyFileIsSentWithoutDividingByZero) {
    UseFile(0);
    UploadTaskExecute(task_);
    EXPECT_EQ(task_.status.load(), task_status::Done);
    EXPECT_EQ(task_.progress.load(), 100);
    EXPECT_EQ(task_.remainingMs.load(), 0u);
    EXPECT_STREQ(nassim::SessionEndName(unit_.OnlySession().end),
                 nassim::SessionEndName(nassim::SessionEnd::Completed));
}

TEST_F(UploadWorker, AFileThatCannotBeOpenedFailsBeforeASessionOpens) {
    task_.imagePath = dir_ / "missing.iso";
    UploadTaskExecute(task_);
    EXPECT_EQ(task_.status.load(), task_status::Failed);
    EXPECT_EQ(task_.errorCode.load(), task_error::OpenFailed);
    EXPECT_EQ(task_.pathBuffer, task_.imagePath); // named by the report
    EXPECT_EQ(task_.runState.load(), run_state::Finished);
    EXPECT_TRUE(unit_.unit->sessions().empty());
}

TEST_F(UploadWorker, AFailedPieceKeepsItsErrorAndAbortsTheSession) {
    UseFile(5 * 20480);
    nassim::CommandFault fault;
    fault.command = nassim::kCommandMirrorData;
    fault.occurrence = 2;
    fault.status = 14; // no free space
    unit_.unit->addCommandFault(fault);
    UploadTaskExecute(task_);
    EXPECT_EQ(task_.status.load(), task_status::Failed);
    EXPECT_EQ(task_.errorCode.load(), 34);
    const nassim::Session s = unit_.OnlySession();
    EXPECT_STREQ(nassim::SessionEndName(s.end),
                 nassim::SessionEndName(nassim::SessionEnd::Aborted));
    EXPECT_EQ(s.abortReason, kAbortFailed);
    EXPECT_TRUE(s.completions.empty());
    // The file is read ahead while a piece is answered: nothing after the refused piece is sent.
    std::size_t pieces = 0;
    for (const nassim::Request& r : unit_.unit->requests())
        if (r.header && r.header->command == nassim::kCommandMirrorData) ++pieces;
    EXPECT_EQ(pieces, 2u);
}

TEST_F(UploadWorker, AStopEndsTheTransferWithAnAbortSeenByTheUnit) {
    UseFile(5 * 20480);
    waits_.hook = [](TaskRecord& task, std::uint32_t) { task.RequestStop(); };
    UploadTaskExecute(task_);
    EXPECT_EQ(task_.status.load(), task_status::Stopped);
    EXPECT_EQ(task_.runState.load(), run_state::Finished);
    const nassim::Session s = unit_.OnlySession();
    EXPECT_STREQ(nassim::SessionEndName(s.end),
                 nassim::SessionEndName(nassim::SessionEnd::Aborted));
    EXPECT_EQ(s.abortReason, kAbortStopped);
    EXPECT_EQ(s.dataBytes, 0u);
}

TEST_F(UploadWorker, AStopBeforeTheWorkerRanSendsNothing) {
    UseFile(100);
    task_.RequestStop();
    UploadTaskExecute(task_);
    EXPECT_EQ(task_.status.load(), task_status::Stopped);
    EXPECT_EQ(task_.errorCode.load(), task_error::StoppedBuilding);
    EXPECT_TRUE(unit_.unit->sessions().empty());
}

// A build through the task's own server object: the image the unit stored is read by xorriso,
// isoinfo and 7z with every file equal to its source.
TEST(BuildWorker, ImageStoredByTheUnitIsReadByOtherProgramsWithEveryFileEqual) {
    fixtures::TempDir dir;
    fixtures::ProgramHome home(dir.path());
    tasktest::Unit unit;
    ASSERT_NE(unit.unit, nullptr);
    tasktest::ManualWaits waits;
    const fs::path host = dir / std::string("host");
    std::map<std::string, Bytes> files = {{"a.txt", isotest::Pattern(5, 1)},
                                          {"sub/b.bin", isotest::Pattern(70000, 2)},
                                          {"sub/deep/c.dat", isotest::Pattern(2048, 3)},
                                          {"empty.txt", {}}};
    for (const auto& [rel, content] : files) {
        fs::create_directories((host / rel).parent_path());
        isotest::WriteFile((host / rel).string(), content);
    }
    MIRROR_CONTAINER container;
    container.NewContainer();
    for (const char* top : {"a.txt", "sub", "empty.txt"})
        container.ImportHostPath(container.GetRoot(), nullptr, (host / top).string());

    TaskRecord task;
    task.kind = task_kind::Build;
    task.containerKind = container_kind::HostFiles;
    task.container = &container;
    task.nas = unit.Server();
    task.volumeLabel = "BUILT";
    tasktest::SetText(task.request.imageName, sizeof task.request.imageName, "BUILT");
    BuildTaskExecute(task);
    ASSERT_EQ(task.errorCode.load(), 0);
    ASSERT_EQ(task.status.load(), task_status::Done);
    EXPECT_EQ(task.progress.load(), 100);
    const nassim::Session s = unit.OnlySession();
    ASSERT_STREQ(nassim::SessionEndName(s.end),
                 nassim::SessionEndName(nassim::SessionEnd::Completed));
    ASSERT_EQ(s.data.size(), task.imageBytes);
    const std::string image = dir / "stored.iso";
    isotest::WriteFile(image, s.data);

    const struct {
        std::string name, command;
    } readers[] = {
        {"xorriso", "xorriso -abort_on FAILURE -indev " + isotest::Quote(image) +
                        " -osirrox on -extract / " + isotest::Quote(dir / "x")},
        {"7z", "7z x -y -o" + isotest::Quote(dir / "z") + " " + isotest::Quote(image)},
    };
    for (const auto& r : readers) {
        const auto run = isotest::Shell(r.command);
        ASSERT_EQ(run.status, 0) << r.name << ": " << run.output;
        const std::string out = dir / (r.name == "7z" ? "z" : "x");
        for (const auto& [rel, content] : files)
            EXPECT_TRUE(isotest::ReadFile(out + "/" + rel) == content) << r.name << " " << rel;
    }
    const auto info = isotest::Shell("isoinfo -d -i " + isotest::Quote(image));
    ASSERT_EQ(info.status, 0) << info.output;
    EXPECT_NE(info.output.find("Volume id: BUILT"), std::string::npos) << info.output;
}

} // namespace
