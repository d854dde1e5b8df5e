// Texts typed in the program (UTF-8), put in the unit's encoding as the wizard puts them into a
// task's request, through the real task workers and the library into simulated units of
// text-encoding kind 1 (UTF-8) and kind 0 (the locale's code page), under English and Chinese
// locales: the unit stores the same characters, converted once, the names it sent (its image
// folders, the image a mirror made) go back byte for byte, and a mirror that goes on to record
// finds its image.
#include "../containers/container_fixtures.h"
#include "../drives/sim_machine.h"
#include "../tasks/task_fixtures.h"
#include "build_worker.h"
#include "cdrom.h"
#include "container.h"
#include "mirror_worker.h"
#include "msgbox.h"
#include "unit_text.h"
#include "upload_worker.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iconv.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kCafe = "Caf\xC3\xA9";                                    // accented
const std::string kTraditional = "\xE6\xB8\xAC\xE8\xA9\xA6\xE7\x89\x87";    // 測試片
const std::string kSimplified = "\xE6\xB5\x8B\xE8\xAF\x95\xE7\x89\x87";     // 测试片
const std::string kFolderTraditional = "\xE5\xBD\xB1\xE5\x83\x8F-\xC3\xA9"; // 影像-é

struct LocaleCase {
    const char* locale;
    const char* codePage;
    std::string chinese; // a name the locale's code page can hold
};

const LocaleCase kLocales[] = {
    {"en_US.UTF-8", "CP1252", kTraditional}, // kind 0 can't hold it: '?' for each character
    {"zh_TW.UTF-8", "CP950", kTraditional},
    {"zh_CN.UTF-8", "CP936", kSimplified},
};

// The locale this run of the tests was started under (each locale is a test of its own, since the
// program and the library take their code page from the environment once).
const LocaleCase& RunLocale() {
    const char* all = std::getenv("LC_ALL");
    for (const LocaleCase& l : kLocales)
        if (all && std::strcmp(all, l.locale) == 0) return l;
    ADD_FAILURE() << "LC_ALL names none of the locales of this test";
    return kLocales[0];
}

// The bytes a unit of the kind keeps for a UTF-8 text: the text itself, or the locale's code page
// with '?' for each character it lacks.
std::string AsTheUnitKeepsIt(const std::string& utf8, int kind, const char* codePage) {
    if (kind == 1) return utf8;
    iconv_t cd = ::iconv_open(codePage, "UTF-8");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t length = 1;
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead >= 0xF0)
            length = 4;
        else if (lead >= 0xE0)
            length = 3;
        else if (lead >= 0xC0)
            length = 2;
        std::string one = utf8.substr(i, length);
        char buffer[8];
        char* in = one.data();
        std::size_t inLeft = one.size();
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        if (::iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
            out += '?';
        else
            out.append(buffer, outPtr);
        i += length;
    }
    ::iconv_close(cd);
    return out;
}

// A program text into a request field as the wizard puts it there: in the unit's encoding.
void SetUnitText(char* field, std::size_t width, const std::string& utf8, int kind) {
    tasktest::SetText(field, width, UnitFieldText(utf8, kind, width - 1));
}

std::string Field(const char* field, std::size_t width) {
    return std::string(field, strnlen(field, width));
}

// The folder as the unit listed it, into the request, as the wizard takes it from the server.
void TakeUnitsFolder(CNasServer& server, TaskRecord& task) {
    ASSERT_EQ(server.RefreshImageFolders(), 0);
    ASSERT_GE(server.ImgFolderCount, 1);
    const char* listed = server.ImgFolders[0] + 8;
    std::memset(task.request.folderName, 0, sizeof task.request.folderName);
    std::memcpy(task.request.folderName, listed,
                strnlen(listed, std::min<std::size_t>(sizeof task.request.folderName - 1,
                                                      CNasServer::kImgFolderSize - 8)));
}

TEST(TextsThroughTheTasks, UploadAndBuildStoreTheSameCharactersInTheUnitsFolder) {
    const LocaleCase& l = RunLocale();
    SelectLanguage();
    ASSERT_STREQ(AnsiCodePageName(), l.codePage);
    {
        for (int kind : {0, 1}) {
            for (const std::string& name : {kCafe, l.chinese}) {
                SCOPED_TRACE(std::string(l.locale) + " kind " + std::to_string(kind));
                tasktest::Unit unit;
                ASSERT_NE(unit.unit, nullptr);
                tasktest::ManualWaits waits;
                // The unit's folder, in its own encoding.
                const std::string folder =
                    AsTheUnitKeepsIt(kFolderTraditional + " " + kCafe, kind, l.codePage);
                unit.unit->setImageFolders({folder});
                auto server = unit.Server();
                server->Info.textEncodingKind = static_cast<std::uint32_t>(kind);
                server->Info.capabilityFlags = 1; // image folders
                const std::string kept = AsTheUnitKeepsIt(name, kind, l.codePage);

                // An upload of an image file, named in the program.
                fixtures::TempDir dir;
                TaskRecord upload;
                upload.kind = task_kind::Upload;
                upload.nas = server;
                TakeUnitsFolder(*server, upload);
                SetUnitText(upload.request.imageName, sizeof upload.request.imageName, name, kind);
                upload.imagePath = dir / "image.iso";
                std::ofstream(upload.imagePath) << std::string(5000, 'x');
                upload.imageSizeKb = 5;
                UploadTaskExecute(upload);
                EXPECT_EQ(upload.errorCode.load(), 0);
                EXPECT_EQ(upload.status.load(), task_status::Done);

                // A build of a container, into the same folder under another name.
                fixtures::ProgramHome home(dir.path());
                const fs::path host = dir / "host";
                fs::create_directories(host);
                std::ofstream((host / "a.txt").string()) << "a";
                MIRROR_CONTAINER container;
                container.NewContainer();
                container.ImportHostPath(container.GetRoot(), nullptr, (host / "a.txt").string());
                TaskRecord build;
                build.kind = task_kind::Build;
                build.containerKind = container_kind::HostFiles;
                build.container = &container;
                build.nas = server;
                build.volumeLabel = "BUILT";
                TakeUnitsFolder(*server, build);
                SetUnitText(build.request.imageName, sizeof build.request.imageName, name + "2",
                            kind);
                BuildTaskExecute(build);
                EXPECT_EQ(build.errorCode.load(), 0);
                EXPECT_EQ(build.status.load(), task_status::Done);

                const auto images = unit.unit->state().images;
                ASSERT_EQ(images.size(), 2u);
                EXPECT_EQ(images[0].name, kept);
                EXPECT_EQ(images[1].name, AsTheUnitKeepsIt(name + "2", kind, l.codePage));
                EXPECT_EQ(images[0].path, folder + "/" + kept) << "the folder went back unchanged";
                EXPECT_EQ(images[1].path.substr(0, folder.size()), folder);
                // The source label and share name of the upload are the same text, converted once.
                const auto sessions = unit.unit->sessions();
                ASSERT_EQ(sessions.size(), 2u);
                const auto& start = sessions[0].startRequest;
                ASSERT_EQ(start.size(), 420u);
                EXPECT_EQ(Field(reinterpret_cast<const char*>(start.data()) + 180, 32), kept);
                EXPECT_EQ(Field(reinterpret_cast<const char*>(start.data()) + 244, 32), kept);
            }
        }
    }
}

TEST(TextsThroughTheTasks, AMirrorThatGoesOnToRecordFindsItsImage) {
    const LocaleCase& l = RunLocale();
    SelectLanguage();
    {
        for (int kind : {0, 1}) {
            SCOPED_TRACE(std::string(l.locale) + " kind " + std::to_string(kind));
            tasktest::Unit unit;
            ASSERT_NE(unit.unit, nullptr);
            tasktest::ManualWaits waits;
            SimMachine machine;
            auto& adapter = machine.AddAdapter("ATAPI SIM");
            machine.AddDrive(adapter, 0, 0, "REC", discsim::MakeDataCd(200));
            machine.Start().SetSleeper([](std::uint32_t) {});
            CDH_LOGICAL_CDROM_CLASS table;
            ASSERT_TRUE(table.Rescan());
            unit.unit->setImages({});
            unit.unit->setWriterScript({{5, 50, 0}, {0, 100, 15}});
            TaskRecord task;
            task.kind = task_kind::Mirror;
            task.drive = table.GetDevice('D');
            task.nas = unit.Server();
            task.nas->Info.textEncodingKind = static_cast<std::uint32_t>(kind);
            task.recordFlags = 1;
            tasktest::SetText(task.request.folderName, sizeof task.request.folderName, "IMAGES");
            SetUnitText(task.request.imageName, sizeof task.request.imageName, l.chinese, kind);
            MirrorTaskExecute(task);
            EXPECT_EQ(task.errorCode.load(), 0) << (task.notes.empty() ? "" : task.notes[0]);
            const auto images = unit.unit->state().images;
            ASSERT_EQ(images.size(), 1u);
            EXPECT_EQ(images[0].name, AsTheUnitKeepsIt(l.chinese, kind, l.codePage));
            const auto jobs = unit.unit->recordings();
            ASSERT_EQ(jobs.size(), 1u);
            EXPECT_EQ(jobs[0].imageId, images[0].id);
            EXPECT_EQ(jobs[0].imageName, images[0].name) << "the unit's name went back unchanged";
        }
    }
}

} // namespace
