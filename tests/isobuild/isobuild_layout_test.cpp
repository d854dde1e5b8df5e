// The image builder and its build task: golden sector maps of the layout's edge cases, the
// messages of a session, limits refused before anything is sent, stops, sources that change or
// vanish, failed sessions, the build log, progress and remaining time.
#include "container_fixtures.h"
#include "iso_test_support.h"

#include "clock/clock.h"
#include "container_log.h"
#include "iso9660_records.h"
#include "message_format.h"
#include "msgbox.h"
#include "utils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;
using isotest::Bytes;
using isotest::RecordingSink;
using isotest::SectorMap;

class IsoBuild : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = std::make_unique<fixtures::ProgramHome>(dir_.path());
        fs::create_directories(dir_ / "host");
        container_.NewContainer();
        utils::SetNumberLocale(std::locale::classic());
    }

    // A host file of that content imported directly below the root.
    _CDH_CIS_RECORD_* AddFile(const std::string& name, const Bytes& content) {
        const std::string path = dir_ / ("host/" + name);
        isotest::WriteFile(path, content);
        container_.ImportHostPath(container_.GetRoot(), nullptr, path);
        return container_.FindChildByName(container_.GetRoot(), name);
    }

    void Build(IsoImageSink& sink) {
        isotest::PrepareTask(task_, container_, sink);
        BuildTaskExecute(task_);
    }

    std::vector<std::size_t> MessageSizes(const RecordingSink& sink) const {
        std::vector<std::size_t> sizes;
        for (const auto& m : sink.messages)
            sizes.push_back(m.size());
        return sizes;
    }

    TempDir dir_;
    std::unique_ptr<fixtures::ProgramHome> home_;
    MIRROR_CONTAINER container_;
    TaskRecord task_;
};

// ---- Golden sector maps ----

TEST_F(IsoBuild, EmptyContainerIsTwentyOneSectors) {
    RecordingSink sink;
    Build(sink);
    ASSERT_EQ(task_.status.load(), task_status::Done);
    EXPECT_EQ(SectorMap(sink.image), "space 21 of 21 sent\n"
                                     "pathtable 10 L18 M19\n"
                                     "root 20 2048\n"
                                     "dir 1 <root> parent 1 @20 size 2048\n"
                                     "  @0 . 20 2048 d len 34\n"
                                     "  @34 .. 20 2048 d len 34\n");
    // The system area one sector a message, the rest in messages of at most four sectors.
    std::vector<std::size_t> expected(16, 2048);
    expected.insert(expected.end(), {8192, 2048});
    EXPECT_EQ(MessageSizes(sink), expected);
    EXPECT_EQ(sink.completes, 1);
    EXPECT_TRUE(sink.aborts.empty());
    EXPECT_EQ(task_.imageBytes, 21u * 2048);
    EXPECT_EQ(task_.bytesBeforeData, 21u * 2048);
    EXPECT_EQ(task_.fileDataBytes, 0u);
    isotest::ExpectReadersAccept(sink.image, dir_ / "empty.iso");
}

// 19 folders whose path-table records add up to exactly 2048 bytes with the root's: the tables
// take two sectors each. Their directory records do not fit one sector: the fifteenth would cross
// into the second and starts it instead.
TEST_F(IsoBuild, PathTableOfExactly2048BytesAndARecordThatWouldCrossASector) {
    std::vector<std::string> names;
    for (int i = 1; i <= 18; ++i) {
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "d%02d", i);
        names.push_back(prefix + std::string(97, 'x')); // path record 108, directory record 134
    }
    names.push_back("e" + std::string(85, 'y')); // path record 94, directory record 120
    for (const auto& n : names)
        ASSERT_NE(container_.NewFolder(container_.GetRoot(), n), nullptr);
    RecordingSink sink;
    Build(sink);
    ASSERT_EQ(task_.status.load(), task_status::Done) << int(task_.errorCode.load());

    std::string golden = "space 43 of 43 sent\n"
                         "pathtable 2048 L18 M20\n"
                         "root 22 4096\n"
                         "dir 1 <root> parent 1 @22 size 4096\n"
                         "  @0 . 22 4096 d len 34\n"
                         "  @34 .. 22 4096 d len 34\n";
    const int offsets[19] = {68,   202,  336,  470,  604,  738,  872,  1006, 1140, 1274,
                             1408, 1542, 1676, 1810, 2048, 2182, 2316, 2450, 2584};
    for (int i = 0; i < 19; ++i)
        golden += "  @" + std::to_string(offsets[i]) + " " + names[i] + " " +
                  std::to_string(24 + i) + " 2048 d len " + (i < 18 ? "134" : "120") + "\n";
    for (int i = 0; i < 19; ++i)
        golden += "dir " + std::to_string(i + 2) + " " + names[i] + " parent 1 @" +
                  std::to_string(24 + i) + " size 2048\n  @0 . " + std::to_string(24 + i) +
                  " 2048 d len 34\n  @34 .. 22 4096 d len 34\n";
    EXPECT_EQ(SectorMap(sink.image), golden);
    isotest::ExpectReadersAccept(sink.image, dir_ / "edge.iso");
}

// 45 records of 44 bytes after "." and "..": the directory ends exactly on a sector boundary and
// takes a second, empty sector.
TEST_F(IsoBuild, DirectoryEndingExactlyOnASectorTakesTwo) {
    for (int i = 1; i <= 45; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%04d.txt", i);
        ASSERT_NE(AddFile(name, Bytes{static_cast<std::uint8_t>(i)}), nullptr);
    }
    RecordingSink sink;
    Build(sink);
    ASSERT_EQ(task_.status.load(), task_status::Done) << int(task_.errorCode.load());
    std::string golden = "space 67 of 67 sent\n"
                         "pathtable 10 L18 M19\n"
                         "root 20 4096\n"
                         "dir 1 <root> parent 1 @20 size 4096\n"
                         "  @0 . 20 4096 d len 34\n"
                         "  @34 .. 20 4096 d len 34\n";
    for (int i = 1; i <= 45; ++i) {
        char line[80];
        std::snprintf(line, sizeof line, "  @%d f%04d.txt;1 %d 1 f len 44\n", 68 + 44 * (i - 1), i,
                      21 + i);
        golden += line;
    }
    EXPECT_EQ(SectorMap(sink.image), golden);
    for (int i = 1; i <= 45; ++i)
        EXPECT_EQ(sink.image[(21u + i) * 2048], i);
    isotest::ExpectReadersAccept(sink.image, dir_ / "edge.iso");
}

// Volume dates are the local time with its offset from UTC (effective date not specified, expiry
// a hundred years on); a record's date is its entry's time in UTC.
TEST_F(IsoBuild, DatesOfTheVolumeAndOfTheRecords) {
    ::setenv("TZ", "XYZ-2", 1); // two hours east of UTC, no summer time
    ::tzset();
    platform::ManualClock clock(0, 1700000000); // 2023-11-14 22:13:20 UTC
    platform::ScopedClock scoped(clock);
    const std::string path = dir_ / "host/dated.txt";
    isotest::WriteFile(path, Bytes{1});
    isotest::SetTime(path, 946782245); // 2000-01-02 03:04:05 UTC
    container_.ImportHostPath(container_.GetRoot(), nullptr, path);
    RecordingSink sink;
    Build(sink);
    ASSERT_EQ(task_.status.load(), task_status::Done);
    const std::string pvd(sink.image.begin() + 16 * 2048, sink.image.begin() + 17 * 2048);
    EXPECT_EQ(pvd.substr(813, 16), "2023111500132000");
    EXPECT_EQ(pvd[829], 8); // +2 hours in quarters
    EXPECT_EQ(pvd.substr(830, 16), "2023111500132000");
    EXPECT_EQ(pvd.substr(847, 16), "2123111500132000");
    EXPECT_EQ(pvd.substr(864, 17), std::string(16, '0') + '\0');
    const std::size_t record = 20 * 2048 + 68;
    const Bytes expected{100, 1, 2, 3, 4, 5, 0};
    EXPECT_EQ(Bytes(sink.image.begin() + record + 18, sink.image.begin() + record + 25), expected);
    EXPECT_EQ(pvd.substr(40, 32), "TESTDISC" + std::string(24, ' '));
    EXPECT_EQ(pvd.substr(574, 20), "Image Builder V1.00 ");
}

// A time outside the years a record can hold (1900-2155) is written as "not specified", not as
// a year byte that wrapped.
TEST(IsoRecords, RecordDatesOutsideTheFormatsYearsAreNotSpecified) {
    std::uint8_t date[7];
    for (const CisFileTime time : {CisFileTime{0}, CisFileTimeFromUnix(-2208988801, 0),
                                   CisFileTimeFromUnix(5999999999, 0)}) {
        std::memset(date, 0xAA, sizeof date);
        iso::StoreDirectoryDate(date, time);
        EXPECT_EQ(Bytes(date, date + 7), Bytes(7, 0)) << time;
    }
    iso::StoreDirectoryDate(date, CisFileTimeFromUnix(-2208988800, 0)); // 1900-01-01 00:00:00
    EXPECT_EQ(Bytes(date, date + 7), (Bytes{0, 1, 1, 0, 0, 0, 0}));
}

// The build's worker leaves the tree view alone; a container with its own hidden node gives it
// up when the task ends, on the GUI thread.
TEST_F(IsoBuild, HiddenNodeIsReleasedWhenTheTaskEndsNotByTheWorker) {
    MIRROR_CONTAINER wizard;
    fixtures::RecordingView view;
    wizard.BindTreeView(&view, nullptr);
    wizard.SetBindingMode(MIRROR_CONTAINER::kOwnsHiddenNode);
    ASSERT_EQ(view.nodes.size(), 1u);
    RecordingSink sink;
    TaskRecord task;
    isotest::PrepareTask(task, wizard, sink);
    BuildTaskExecute(task);
    EXPECT_EQ(task.status.load(), task_status::Done);
    EXPECT_TRUE(view.deleted.empty());
    BuildTaskTerminate(task);
    ASSERT_EQ(view.deleted.size(), 1u);
    EXPECT_EQ(view.deleted[0], view.nodes[0].get());
    EXPECT_EQ(wizard.BoundNode(), nullptr);
}

// ---- Limits the format cannot hold: refused before the session is opened ----

TEST_F(IsoBuild, LimitsOfTheFormatAreRefusedBeforeAnythingIsSent) {
    struct Case {
        const char* what;
        std::function<void(MIRROR_CONTAINER&)> fill;
        const char* entry; // the entry the refusal names
        int code = task_error::TooLarge;
        const char* note = nullptr; // how the report's note begins
    };
    const auto file = [](const std::string& name, std::uint64_t size) {
        return [=](MIRROR_CONTAINER& c) {
            ASSERT_NE(c.AddEntry(c.GetRoot(), fixtures::FileInfo(name, size)), nullptr);
        };
    };
    // A record is 33 bytes and the identifier, padded to an even length, and its length byte
    // holds at most 255: a folder name fits in 221 bytes, a file name with its ";1" in 219.
    std::string utf8File220;
    for (int i = 0; i < 110; ++i)
        utf8File220 += "é";
    const std::string utf8File219 = utf8File220.substr(0, 218) + "y";
    const std::string utf8Folder221 = utf8File220 + "x";
    const std::string utf8Folder222 = utf8File220 + "é";
    const std::string longFolder(222, 'D');
    // The container refuses the names below when they enter it; a container file from elsewhere
    // can still hold them.
    const auto loaded = [](std::vector<fixtures::TopEntry> entries) {
        return [=](MIRROR_CONTAINER& c) {
            const Bytes b = fixtures::ContainerFileOf(entries);
            ASSERT_EQ(c.LoadFromBytes(b.data(), b.size(), "/c.CIS"), 0);
        };
    };
    const std::vector<Case> cases = {
        {"a file of 4 GiB", file("huge.bin", 0x100000000ull), "\\huge.bin"},
        {"a file name of 220 bytes", loaded({{utf8File220}}), "", task_error::NameTooLong},
        {"a file name of 220 ASCII bytes", loaded({{std::string(220, 'F')}}), "",
         task_error::NameTooLong},
        {"a folder name of 222 bytes", loaded({{longFolder, true}}), "", task_error::NameTooLong},
        {"a folder name of 222 bytes in 111 characters", loaded({{utf8Folder222, true}}), "",
         task_error::NameTooLong},
        {"a folder name with ';'", loaded({{"x;1", true}, {"x"}}), "\\x;1", task_error::NameNotKept,
         "\\x;1: a folder name with ';'"},
        // A file holding them is refused when it loads; a container made in memory can.
        {"two entries of one name",
         [&](MIRROR_CONTAINER& c) {
             file("twin", 1)(c);
             file("twin", 2)(c);
         },
         "\\twin", task_error::NameNotKept, "\\twin: another entry of the same folder"},
        {"an image of 64 GiB",
         [&](MIRROR_CONTAINER& c) {
             for (int i = 0; i < 17; ++i)
                 file("part" + std::to_string(i), 0xFFFFFFFFull)(c);
         },
         "\\"},
        {"65535 folders besides the root",
         [](MIRROR_CONTAINER& c) {
             for (int i = 0; i < 65535; ++i)
                 ASSERT_NE(c.NewFolder(c.GetRoot(), "f" + std::to_string(i)), nullptr);
         },
         "\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MIRROR_CONTAINER container;
        container.NewContainer();
        c.fill(container);
        RecordingSink sink;
        TaskRecord task;
        isotest::PrepareTask(task, container, sink);
        BuildTaskExecute(task);
        EXPECT_EQ(task.errorCode.load(), c.code);
        EXPECT_EQ(task.status.load(), task_status::Failed);
        EXPECT_EQ(task.runState.load(), run_state::Finished);
        EXPECT_EQ(sink.starts, 0);
        EXPECT_TRUE(sink.messages.empty());
        const std::string entry =
            *c.entry ? std::string(c.entry)
                     : container.GetEntryPath(container.GetFirstChild(container.GetRoot()));
        EXPECT_EQ(task.pathBuffer, entry);
        if (c.note != nullptr) {
            ASSERT_EQ(task.notes.size(), 1u);
            EXPECT_TRUE(task.notes[0].starts_with(c.note)) << task.notes[0];
        }
        if (c.code == task_error::NameTooLong) {
            // The task's error text names the entry and what is wrong with it.
            EXPECT_EQ(
                FormatMessageText(GetMessageText(kNameTooLongForImageMessage), {task.pathBuffer}),
                "The name of " + entry + " is too long for the image.");
        }
    }
    // One byte less in each name fits: the records are 254 bytes long. (The images of these
    // names are read by other programs in the unit tests.)
    MIRROR_CONTAINER fits;
    fits.NewContainer();
    for (const std::string& name : {utf8File220, std::string(220, 'F')})
        EXPECT_EQ(fits.AddEntry(fits.GetRoot(), fixtures::FileInfo(name, 1)), nullptr);
    for (const std::string& name : {longFolder, utf8Folder222, std::string("x;1")})
        EXPECT_EQ(fits.NewFolder(fits.GetRoot(), name), nullptr) << name;
    ASSERT_NE(fits.AddEntry(fits.GetRoot(), fixtures::FileInfo(utf8File219, 1)), nullptr);
    ASSERT_NE(fits.NewFolder(fits.GetRoot(), longFolder.substr(0, 221)), nullptr);
    ASSERT_NE(fits.NewFolder(fits.GetRoot(), utf8Folder221), nullptr);
    TaskRecord task;
    task.runState = run_state::Running;
    IsoLayout layout;
    CisFolderList folders;
    ASSERT_TRUE(fits.AllocPathTable(folders));
    ASSERT_EQ(BuildIsoImage(fits, task, layout, folders), 0);
    Bytes image(16 * 2048, 0);
    image.insert(image.end(), layout.metadata.begin(), layout.metadata.end());
    const std::string map = SectorMap(image);
    // Each one's directory record in the root: "  @offset identifier extent length kind len N".
    for (const std::string& id : {longFolder.substr(0, 221), utf8Folder221, utf8File219 + ";1"}) {
        std::istringstream lines(map);
        std::string line, record;
        while (std::getline(lines, line))
            if (line.starts_with("  @") && line.find(" " + id + " ") != std::string::npos)
                record = line;
        EXPECT_TRUE(record.ends_with(" len 254")) << id << "\n" << map;
    }
}

// Names that readers of an image take apart: a folder named "x;1" is refused where it would
// enter the container; files may hold ';' and come back from the image as they were named.
TEST_F(IsoBuild, NamesWithASemicolonComeBackAsTheyWereNamed) {
    AddFile("x", Bytes(3, 'a'));
    AddFile("x;1", Bytes(5, 'b'));
    AddFile("a;b.txt", Bytes(7, 'c'));
    fs::create_directories(dir_ / "host/y;1");
    const CisImportResult result =
        container_.ImportHostPath(container_.GetRoot(), nullptr, dir_ / "host/y;1");
    ASSERT_EQ(result.refused.size(), 1u);
    EXPECT_EQ(result.refused[0].reason, CisImportReason::FolderVersion);
    EXPECT_EQ(container_.NewFolder(container_.GetRoot(), "z;2"), nullptr);
    ASSERT_EQ(container_.GetRoot()->totalFiles, 3u);
    ASSERT_EQ(container_.GetRoot()->totalFolders, 0u);

    RecordingSink sink;
    Build(sink);
    ASSERT_EQ(task_.status.load(), task_status::Done) << unsigned{task_.errorCode.load()};
    const std::string iso = dir_ / "names.iso";
    isotest::ExpectReadersAccept(sink.image, iso);
    const auto find = isotest::Shell("xorriso -abort_on FAILURE -indev " + isotest::Quote(iso) +
                                     " -find / -type f");
    ASSERT_EQ(find.status, 0) << find.output;
    std::vector<std::string> found;
    std::istringstream lines(find.output);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("'/")) found.push_back(line);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"'/a;b.txt'", "'/x'", "'/x;1'"})) << find.output;
    const auto listing = isotest::Shell("isoinfo -f -i " + isotest::Quote(iso));
    EXPECT_NE(listing.output.find("/x;1;1"), std::string::npos) << listing.output;
    EXPECT_NE(listing.output.find("/x;1\n"), std::string::npos) << listing.output;
}

// ---- Stops ----

TEST_F(IsoBuild, StopDuringTheFileWalkAbortsTheSessionWithoutALog) {
    AddFile("one.bin", isotest::Pattern(100000, 3));
    AddFile("two.bin", isotest::Pattern(100, 4));
    ASSERT_EQ(container_.SaveFile(dir_ / "box.cis"), 0);
    RecordingSink sink;
    sink.onSend = [&](std::size_t sent) {
        if (sent == 16 + 2 + 1) task_.runState = run_state::StopRequested; // after one data chunk
    };
    Build(sink);
    EXPECT_EQ(task_.errorCode.load(), task_error::StoppedSending);
    EXPECT_EQ(task_.status.load(), task_status::Stopped);
    EXPECT_EQ(task_.runState.load(), run_state::Finished);
    EXPECT_EQ(sink.aborts, std::vector<int>{kAbortStopped});
    EXPECT_EQ(sink.completes, 0);
    EXPECT_EQ(sink.messages.size(), 16u + 2 + 2); // the chunk being sent when the stop came
    EXPECT_FALSE(fs::exists(dir_ / "box.log"));
}

TEST_F(IsoBuild, StopBeforeTheStartSendsNothing) {
    AddFile("one.bin", Bytes{1});
    RecordingSink sink;
    task_.runState = run_state::StopRequested;
    Build(sink);
    EXPECT_EQ(task_.errorCode.load(), task_error::StoppedBuilding);
    EXPECT_EQ(task_.status.load(), task_status::Stopped);
    EXPECT_EQ(sink.starts, 0);
    // The layout phases see the stop too.
    IsoLayout layout;
    CisFolderList folders;
    ASSERT_TRUE(container_.AllocPathTable(folders));
    EXPECT_EQ(BuildIsoImage(container_, task_, layout, folders), task_error::StoppedBuilding);
}

// ---- Sources that changed or vanished ----

TEST_F(IsoBuild, SourceThatChangedOrVanishedEndsTheBuildWithItsCode) {
    struct Case {
        const char* what;
        // Changes the source of "data.bin" before the build (when) or as the given message is
        // about to be sent.
        std::function<void(const std::string& path)> change;
        std::size_t atMessage; // 0: before the build
        int code;
    };
    const std::vector<Case> cases = {
        {"deleted", [](const std::string& p) { fs::remove(p); }, 0, task_error::SourceMissing},
        {"touched", [](const std::string& p) { isotest::SetTime(p, 1000000000); }, 0,
         task_error::SourceChanged},
        {"resized", [](const std::string& p) { isotest::WriteFile(p, Bytes(70000, 1)); }, 0,
         task_error::SourceChanged},
        {"replaced by a folder",
         [](const std::string& p) {
             fs::remove(p);
             fs::create_directory(p);
         },
         0, task_error::SourceKindChanged},
        {"deleted while the volume structures are sent",
         [](const std::string& p) { fs::remove(p); }, 17, task_error::SourceMissing},
        {"written to while it is read",
         [](const std::string& p) {
             std::FILE* f = std::fopen(p.c_str(), "r+b");
             std::fputc('!', f);
             std::fclose(f);
             isotest::SetTime(p, 1200000000);
         },
         16 + 2 + 1, task_error::SourceChanged},
        {"cut short while it is read", [](const std::string& p) { fs::resize_file(p, 40000); },
         16 + 2 + 1, task_error::SourceChanged},
        // Found under its new spelling, so not missing; not opened under the old one (46).
        {"renamed in letter case",
         [](const std::string& p) { fs::rename(p, fs::path(p).parent_path() / "DATA.bin"); }, 0,
         task_error::SourceChanged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MIRROR_CONTAINER container;
        container.NewContainer();
        const std::string path = dir_ / "host/data.bin";
        fs::remove_all(path);
        fs::remove_all(dir_ / "host/DATA.bin");
        isotest::WriteFile(path, isotest::Pattern(3 * 32768 + 5, 7));
        isotest::SetTime(path, 1500000000);
        container.ImportHostPath(container.GetRoot(), nullptr, path);
        if (c.atMessage == 0) c.change(path);
        RecordingSink sink;
        sink.onSend = [&](std::size_t sent) {
            if (c.atMessage != 0 && sent == c.atMessage) c.change(path);
        };
        TaskRecord task;
        isotest::PrepareTask(task, container, sink);
        BuildTaskExecute(task);
        EXPECT_EQ(task.errorCode.load(), c.code);
        EXPECT_EQ(task.status.load(), task_status::Failed);
        EXPECT_EQ(task.pathBuffer, path);
        EXPECT_EQ(sink.completes, 0);
        EXPECT_EQ(sink.aborts, std::vector<int>{kAbortFailed});
    }
}

// ---- Sessions that fail ----

TEST_F(IsoBuild, FailedSessionStepsGiveTheirTaskCodes) {
    AddFile("one.bin", isotest::Pattern(40000, 5));
    struct Case {
        const char* what;
        int startResult;
        std::size_t failAt;
        int sendFailure;
        int code;
        bool aborted;
    };
    const std::vector<Case> cases = {
        {"start refused: image exists", 10, 0, 0, 29, false},
        {"start without reply", -1, 0, 0, 24, false},
        {"system area refused", 0, 3, 14, 34, true},
        {"volume structures lost", 0, 17, -1, 24, true},
        {"file data refused", 0, 20, 11, 33, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingSink sink;
        sink.startResult = c.startResult;
        sink.failAtMessage = c.failAt;
        sink.sendFailure = c.sendFailure;
        TaskRecord task;
        isotest::PrepareTask(task, container_, sink);
        BuildTaskExecute(task);
        EXPECT_EQ(task.errorCode.load(), c.code);
        EXPECT_EQ(task.status.load(), task_status::Failed);
        EXPECT_EQ(sink.completes, 0);
        EXPECT_EQ(sink.aborts, c.aborted ? std::vector<int>{kAbortFailed} : std::vector<int>{});
        if (c.failAt != 0) {
            EXPECT_EQ(sink.messages.size(), c.failAt);
        }
    }
}

// ---- The build log ----

TEST(ContainerLog, GoesBesideTheContainerAndNeverOverTheContainer) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/data/My Box.CIS", "/data/My Box.log"},
        {"/data/box.cis", "/data/box.log"},
        {"/data/box.Cis", "/data/box.log"},
        {"/data/box", "/data/box.log"},
        {"/data/box.CIS.bak", "/data/box.CIS.bak.log"},
        {"/data/Old.CIS/box", "/data/Old.CIS/box.log"},
        {"/data/box.log", "/data/box.log.log"},
    };
    for (const auto& [container, log] : cases)
        EXPECT_EQ(ContainerLogPath(container), log) << container;
}

// A container whose totals disagree with its entries fails the build with 241 and a log of both
// sides' figures; the container file itself is left as it was.
TEST_F(IsoBuild, MismatchWritesTheBuildLog) {
    for (const std::string name : {"box.cis", "box"}) {
        SCOPED_TRACE(name);
        container_.NewContainer();
        AddFile("one.txt", Bytes(10, 'a'));
        const std::string path = dir_ / name;
        ASSERT_EQ(container_.SaveFile(path), 0);
        const Bytes saved = isotest::ReadFile(path);
        container_.GetRoot()->totalFiles = 2; // a count that no entry backs
        const std::string logPath = dir_ / "box.log";
        // What an import left out is in the log already; the build's figures go after it.
        const std::string imported = "\n{earlier} [Import] /somewhere\n1 item(s) ...\n";
        isotest::WriteFile(logPath, Bytes(imported.begin(), imported.end()));
        RecordingSink sink;
        TaskRecord task;
        isotest::PrepareTask(task, container_, sink);
        BuildTaskExecute(task);
        EXPECT_EQ(task.errorCode.load(), task_error::CheckFailed);
        EXPECT_EQ(task.status.load(), task_status::Failed);
        EXPECT_EQ(sink.aborts, std::vector<int>{kAbortFailed});
        EXPECT_EQ(task.pathBuffer, logPath);
        EXPECT_TRUE(isotest::ReadFile(path) == saved);
        const Bytes log = isotest::ReadFile(logPath);
        const std::string pad(23, ' ');
        EXPECT_EQ(std::string(log.begin(), log.end()),
                  imported + "\nContainer file=" + path + "\n\n" +
                      "          \t\tBuilder\t\t\t\tContainer\n"
                      "Folder(s)=" +
                      pad + "0\t" + pad +
                      "0\n"
                      "File(s)  =" +
                      pad + "1\t" + pad +
                      "2\n\n"
                      "VolSize  =" +
                      std::string(18, ' ') +
                      "43,008\n"
                      "ImgSize  =" +
                      std::string(19, ' ') +
                      "2,048\n"
                      "TolSize  =" +
                      std::string(18, ' ') +
                      "45,056\n\n"
                      "RealSize =" +
                      std::string(22, ' ') + "10\t" + std::string(22, ' ') +
                      "10\n"
                      "AlocSize =" +
                      std::string(19, ' ') + "2,048\t" + std::string(19, ' ') + "2,048\n");
        fs::remove(logPath);
    }
}

// ---- Progress and remaining time ----

// Files of no bytes at all: the progress of the file walk is complete, not a division by zero.
TEST_F(IsoBuild, ProgressOfAContainerWithoutBytesIsComplete) {
    AddFile("a.empty", {});
    AddFile("b.empty", {});
    RecordingSink sink;
    Build(sink);
    EXPECT_EQ(task_.status.load(), task_status::Done);
    EXPECT_EQ(task_.progress.load(), 100);
    EXPECT_EQ(task_.remainingMs.load(), 0u);
    // Files without data start where the file data would: here at the end of the image.
    EXPECT_EQ(SectorMap(sink.image), "space 21 of 21 sent\n"
                                     "pathtable 10 L18 M19\n"
                                     "root 20 2048\n"
                                     "dir 1 <root> parent 1 @20 size 2048\n"
                                     "  @0 . 20 2048 d len 34\n"
                                     "  @34 .. 20 2048 d len 34\n"
                                     "  @68 a.empty;1 21 0 f len 42\n"
                                     "  @110 b.empty;1 21 0 f len 42\n");
    isotest::ExpectReadersAccept(sink.image, dir_ / "empty-files.iso");
}

// Progress and remaining time follow the bytes sent and the clock: a second per 32 KiB message
// makes 32 bytes a millisecond, so with 1 MiB of 2 MiB sent 32768 ms remain.
TEST_F(IsoBuild, ProgressAndRemainingTimeFollowTheClock) {
    platform::ManualClock clock(5000, 1700000000);
    platform::ScopedClock scoped(clock);
    AddFile("first.bin", isotest::Pattern(1 << 20, 1));
    AddFile("second.bin", isotest::Pattern(1 << 20, 2));
    RecordingSink sink;
    std::vector<std::pair<int, std::uint32_t>> seen; // progress, remaining when a file starts
    sink.onSend = [&](std::size_t sent) {
        if (sent >= 18) {
            if (sent == 18 || sent == 18 + 32) seen.emplace_back(task_.progress, task_.remainingMs);
            clock.Advance(std::chrono::seconds(1));
        }
    };
    Build(sink);
    ASSERT_EQ(task_.status.load(), task_status::Done);
    const std::vector<std::pair<int, std::uint32_t>> expected = {{0, 0}, {50, 32768}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(task_.progress.load(), 100);
    EXPECT_EQ(task_.remainingMs.load(), 0u);
}

} // namespace
