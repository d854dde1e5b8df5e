// Images built from host trees and streamed through the server object into a simulated unit:
// the session's messages, track table and request; and the image, written to a file by the test,
// read by programs no one here wrote (xorriso, isoinfo, isovfy, 7z), every file with its
// source's content.
#include "container_fixtures.h"
#include "iso_unit_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;
using isotest::Bytes;
using isotest::Quote;
using isotest::SectorMap;
using isotest::Shell;

// The files of the test tree: path inside the image (with '/'), content.
struct Tree {
    std::map<std::string, Bytes> files;
    std::set<std::string> folders; // every folder, empty ones included
};

// A host tree with the kinds of entries an image has to carry: nested and empty folders, an
// empty file, files of one sector, of a sector and a byte, of several 32 KiB chunks, names with
// blanks, upper and lower case, non-ASCII letters and a long name; then a container of it.
Tree MakeTree(const std::string& host, MIRROR_CONTAINER& container) {
    Tree t;
    const auto file = [&](const std::string& rel, std::size_t size, unsigned seed) {
        const Bytes b = isotest::Pattern(size, seed);
        isotest::WriteFile(host + "/" + rel, b);
        t.files["/" + rel] = b;
    };
    const auto folder = [&](const std::string& rel) {
        fs::create_directories(host + "/" + rel);
        t.folders.insert("/" + rel);
    };
    folder("top");
    folder("top/sub dir");
    folder("top/sub dir/nested");
    folder("top/void");
    folder("Élan");
    file("top/A.txt", 5, 1);
    file("top/b.txt", 5000, 2);
    file("top/big.bin", 100000, 3);
    file("top/empty.dat", 0, 4);
    file("top/exact.bin", 2048, 5);
    file("top/sub dir/nested/deep.txt", 2049, 6);
    file("Élan/été.txt", 777, 7);
    file("Élan/" + std::string(180, 'L') + ".txt", 3000, 8);
    file("readme.md", 64, 9);

    container.NewContainer();
    for (const char* top : {"top", "Élan", "readme.md"})
        container.ImportHostPath(container.GetRoot(), nullptr, host + "/" + top);
    container.NewFolder(container.GetRoot(), "Virtual");
    t.folders.insert("/Virtual");
    return t;
}

class ImageReaders : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = std::make_unique<fixtures::ProgramHome>(dir_.path());
        fs::create_directories(dir_ / "host");
        tree_ = MakeTree(dir_ / "host", container_);
        ASSERT_NE(unit_.unit, nullptr);
        isotest::PrepareTask(task_, container_, unit_.sink, "READERS");
        BuildTaskExecute(task_);
        ASSERT_EQ(task_.errorCode.load(), 0);
        ASSERT_EQ(task_.status.load(), task_status::Done);
        const Bytes image = unit_.SessionData();
        ASSERT_EQ(image.size(), task_.imageBytes);
        image_ = dir_ / "received.iso";
        isotest::WriteFile(image_, image);
    }

    // Every file of the tree has its content at out + its path; nothing else is there. A reader
    // that takes identifiers for ASCII (plain ISO 9660 names are, to some) gives names of its own
    // to entries whose path is not: those are matched by their content.
    void ExpectExtracted(const std::string& out, bool asciiNamesOnly = false) {
        std::map<std::string, Bytes> extracted;
        for (const auto& e : fs::recursive_directory_iterator(out)) {
            const std::string rel = e.path().string().substr(out.size());
            if (e.is_directory()) {
                EXPECT_TRUE(tree_.folders.count(rel) || asciiNamesOnly)
                    << "unexpected folder " << rel;
            } else {
                extracted[rel] = isotest::ReadFile(e.path().string());
            }
        }
        for (const auto& file : tree_.files) {
            const auto& rel = file.first;
            const auto& content = file.second;
            auto it = extracted.find(rel);
            if (it == extracted.end() && asciiNamesOnly && !IsAscii(rel))
                it = std::find_if(extracted.begin(), extracted.end(), [&](const auto& x) {
                    return !tree_.files.count(x.first) && x.second == content;
                });
            if (it == extracted.end()) {
                ADD_FAILURE() << "missing " << rel;
                continue;
            }
            EXPECT_TRUE(it->second == content) << "content of " << rel;
            extracted.erase(it);
        }
        for (const auto& [rel, content] : extracted)
            ADD_FAILURE() << "unexpected file " << rel;
        for (const auto& rel : tree_.folders) {
            if (!asciiNamesOnly || IsAscii(rel)) {
                EXPECT_TRUE(fs::is_directory(out + rel)) << "missing folder " << rel;
            }
        }
    }

    static bool IsAscii(const std::string& s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return (c & 0x80) == 0; });
    }

    TempDir dir_;
    std::unique_ptr<fixtures::ProgramHome> home_;
    MIRROR_CONTAINER container_;
    Tree tree_;
    isotest::UnitServer unit_;
    TaskRecord task_;
    std::string image_;
};

TEST_F(ImageReaders, XorrisoFindsAndExtractsEveryEntry) {
    const auto find =
        Shell("xorriso -abort_on FAILURE -indev " + Quote(image_) + " -find / -exec lsdl");
    ASSERT_EQ(find.status, 0) << find.output;
    // xorriso reads plain ISO 9660 identifiers as ASCII: other names come out replaced.
    for (const auto& [rel, content] : tree_.files) {
        if (IsAscii(rel)) {
            EXPECT_NE(find.output.find("'" + rel + "'"), std::string::npos) << rel;
        }
    }
    EXPECT_EQ(find.output.find("FAILURE"), std::string::npos) << find.output;
    EXPECT_EQ(find.output.find("SORRY"), std::string::npos) << find.output;

    const std::string out = dir_ / "xorriso";
    const auto extract = Shell("xorriso -abort_on FAILURE -osirrox on -indev " + Quote(image_) +
                               " -extract / " + Quote(out));
    ASSERT_EQ(extract.status, 0) << extract.output;
    ExpectExtracted(out, true);
}

TEST_F(ImageReaders, IsoinfoDescribesTheVolumeAndIsovfyFindsNoFault) {
    const auto d = Shell("isoinfo -d -i " + Quote(image_));
    ASSERT_EQ(d.status, 0) << d.output;
    EXPECT_NE(d.output.find("Volume id: READERS"), std::string::npos) << d.output;
    EXPECT_NE(d.output.find("Logical block size is: 2048"), std::string::npos) << d.output;
    EXPECT_NE(d.output.find("Volume size is: " + std::to_string(task_.imageBytes / 2048)),
              std::string::npos)
        << d.output;

    const auto l = Shell("isoinfo -l -i " + Quote(image_));
    ASSERT_EQ(l.status, 0) << l.output;
    for (const char* name : {"A.txt;1", "b.txt;1", "big.bin;1", "empty.dat;1", "deep.txt;1",
                             "readme.md;1", "été.txt;1"})
        EXPECT_NE(l.output.find(name), std::string::npos) << name << "\n" << l.output;
    EXPECT_NE(l.output.find("Directory listing of /top/sub dir/nested/"), std::string::npos)
        << l.output;

    if (Shell("command -v isovfy").status != 0) GTEST_SKIP() << "isovfy is not installed";
    const auto v = Shell("isovfy " + Quote(image_));
    EXPECT_EQ(v.status, 0) << v.output;
    EXPECT_EQ(v.output.find("***"), std::string::npos) << v.output;
    EXPECT_EQ(v.output.find("rror"), std::string::npos) << v.output;
}

TEST_F(ImageReaders, SevenZipTestsAndExtractsEveryFile) {
    const auto t = Shell("7z t " + Quote(image_));
    ASSERT_EQ(t.status, 0) << t.output;
    EXPECT_NE(t.output.find("Everything is Ok"), std::string::npos) << t.output;
    const std::string out = dir_ / "7z";
    const auto x = Shell("7z x -y -o" + Quote(out) + " " + Quote(image_));
    ASSERT_EQ(x.status, 0) << x.output;
    ExpectExtracted(out);
}

class UnitStream : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = std::make_unique<fixtures::ProgramHome>(dir_.path());
        fs::create_directories(dir_ / "host");
        container_.NewContainer();
    }
    void AddFile(const std::string& name, const Bytes& content) {
        const std::string path = dir_ / ("host/" + name);
        isotest::WriteFile(path, content);
        container_.ImportHostPath(container_.GetRoot(), nullptr, path);
    }
    void Build(IsoImageSink& sink) {
        isotest::PrepareTask(task_, container_, sink);
        BuildTaskExecute(task_);
    }

    TempDir dir_;
    std::unique_ptr<fixtures::ProgramHome> home_;
    MIRROR_CONTAINER container_;
    TaskRecord task_;
};

// Names sort by their bytes; files go in whole sectors with a zero pad, through one 32 KiB
// buffer: the 5000-byte file is one 6144-byte message (the next file does not fit beside it),
// the 40000-byte file a 32768-byte one and 8192 bytes that share a message with the last file. Sent
// through the server object to a simulated unit, which also sees the image's track table and
// request.
TEST_F(UnitStream, FilesGoInWholeSectorsThroughTheUnit) {
    const Bytes a = isotest::Pattern(5000, 1), b = isotest::Pattern(40000, 2);
    AddFile("b.txt", b);
    AddFile("A.txt", a);
    AddFile("é.txt", Bytes{0x7F});
    isotest::UnitServer unit;
    ASSERT_NE(unit.unit, nullptr);
    Build(unit.sink);
    ASSERT_EQ(task_.status.load(), task_status::Done) << int(task_.errorCode.load());
    const Bytes image = unit.SessionData();
    EXPECT_EQ(SectorMap(image), "space 45 of 45 sent\n"
                                "pathtable 10 L18 M19\n"
                                "root 20 2048\n"
                                "dir 1 <root> parent 1 @20 size 2048\n"
                                "  @0 . 20 2048 d len 34\n"
                                "  @34 .. 20 2048 d len 34\n"
                                "  @68 A.txt;1 21 5000 f len 40\n"
                                "  @108 b.txt;1 24 40000 f len 40\n"
                                "  @148 é.txt;1 44 1 f len 42\n");
    ASSERT_EQ(image.size(), 45u * 2048);
    EXPECT_TRUE(std::equal(a.begin(), a.end(), image.begin() + 21 * 2048));
    EXPECT_TRUE(std::all_of(image.begin() + 21 * 2048 + 5000, image.begin() + 24 * 2048,
                            [](std::uint8_t v) { return v == 0; }));
    EXPECT_TRUE(std::equal(b.begin(), b.end(), image.begin() + 24 * 2048));
    EXPECT_TRUE(std::all_of(image.begin() + 24 * 2048 + 40000, image.begin() + 44 * 2048,
                            [](std::uint8_t v) { return v == 0; }));
    EXPECT_EQ(image[44 * 2048], 0x7F);

    const auto session = unit.unit->sessions().at(0);
    std::vector<std::size_t> expected(16, 2048);
    expected.insert(expected.end(), {8192, 2048, 6144, 32768, 10240});
    EXPECT_EQ(session.blockSizes, expected);
    // Track table: one data track of the image's 45 sectors and its lead-out at 45.
    ASSERT_EQ(session.table.size(), 812u);
    EXPECT_EQ(session.table[0], 1);
    EXPECT_EQ(session.table[1], 1);
    EXPECT_EQ(session.table[10], 1);    // track 1
    EXPECT_EQ(session.table[11], 0x41); // control and ADR, nibbles swapped
    EXPECT_EQ(isotest::Le32(session.table, 13), 0u);
    EXPECT_EQ(isotest::Le32(session.table, 805), 45u);
    // Request: the sector count twice, CD-Data bits, CDFS word, mode 3 (from a container).
    EXPECT_EQ(isotest::Le32(session.startRequest, 168), 45u);
    EXPECT_EQ(isotest::Le32(session.startRequest, 172), 1u);
    EXPECT_EQ(isotest::Le32(session.startRequest, 276), 45u);
    EXPECT_EQ(isotest::Le32(session.startRequest, 280), 1u);
    EXPECT_EQ(session.startRequest[286], 3);
}

} // namespace
