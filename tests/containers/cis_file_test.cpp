// The ".CIS" file: hand-made files of both versions read field by field, the writer's bytes
// against the record tables, round trips, damaged files refused without touching the container,
// and saves that never lose the old file.
#include "container.h"
#include "container_fixtures.h"
#include "msgbox.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <array>
#include <csignal>
#include <ctime>
#include <functional>

using namespace fixtures;

namespace {

constexpr std::uint64_t T0 = 133000000000000000ull;
constexpr std::uint64_t T1 = 133100000000000000ull;
constexpr std::uint64_t T2 = 133200000000000000ull;

struct Layout {
    Bytes bytes;
    std::size_t root = 0, folder = 0, inner = 0, last = 0; // where each record starts
};

// The root holds folder "d" (with f.txt, 3000 bytes) and g.txt (5 bytes). rootSource and
// rootName as the file should carry them.
Layout Version4File(const std::string& rootSource, const std::string& rootName = "My Container",
                    bool textMark = false) {
    Layout l;
    l.bytes = Header4(textMark);
    l.root = l.bytes.size();
    Append(l.bytes, EncodeR4({.attributes = 0x10010,
                              .time = T0,
                              .dirNumber = 1,
                              .level = 0,
                              .subFolders = 1,
                              .totalFolders = 1,
                              .files = 1,
                              .totalFiles = 2,
                              .size = 3005,
                              .allocated = 6144,
                              .extent = 19,
                              .source = rootSource,
                              .name = rootName}));
    l.folder = l.bytes.size();
    Append(l.bytes, EncodeR4({.attributes = 0x10,
                              .time = T1,
                              .dirNumber = 2,
                              .level = 1,
                              .files = 1,
                              .totalFiles = 1,
                              .size = 3000,
                              .allocated = 4096,
                              .extent = 20,
                              .source = "/host/d",
                              .name = "d"}));
    l.inner = l.bytes.size();
    Append(l.bytes, EncodeR4({.attributes = 0x20,
                              .time = T2,
                              .secondTime = T2,
                              .size = 3000,
                              .allocated = 4096,
                              .extent = 21,
                              .source = "/host/d/f.txt",
                              .name = "f.txt"}));
    l.last = l.bytes.size();
    Append(l.bytes, EncodeR4({.attributes = 0x21,
                              .time = T1,
                              .secondTime = T1,
                              .size = 5,
                              .allocated = 2048,
                              .extent = 23,
                              .source = "/host/g.txt",
                              .name = "g.txt"}));
    return l;
}

TEST(CisFile, ReadsAVersion4FileFieldByField) {
    TempDir dir;
    const std::string path = dir / "in.CIS";
    WriteFile(path, Version4File("/somewhere/else.CIS", "Old name").bytes);
    MIRROR_CONTAINER c;
    ASSERT_EQ(c.LoadFile(path), 0);
    Record* root = c.GetRoot();
    EXPECT_EQ(root->name, "My Container");
    EXPECT_EQ(root->source, path);
    EXPECT_EQ(root->attributes, 0x10010u);
    EXPECT_EQ(root->time, T0);
    EXPECT_EQ(root->extent, 19u);
    EXPECT_EQ(root->totalFiles, 2u);
    EXPECT_EQ(root->allocated, 6144u);
    Record* d = c.GetFirstChild(root);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->name, "d");
    EXPECT_EQ(d->directoryNumber, 2);
    EXPECT_EQ(d->level, 1);
    Record* f = c.GetFirstChild(d);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->source, "/host/d/f.txt");
    EXPECT_EQ(f->secondTime, T2);
    EXPECT_EQ(f->extent, 21u);
    Record* g = c.GetNextSibling(d);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->attributes, 0x21u);
    EXPECT_EQ(g->size, 5u);
    EXPECT_EQ(c.GetNextSibling(g), nullptr);
    CheckCounters(c);
}

TEST(CisFile, WritesTheRecordTablesByteForByte) {
    TempDir dir;
    MIRROR_CONTAINER c;
    WriteFile(dir / "in.CIS", Version4File("/x.CIS").bytes);
    ASSERT_EQ(c.LoadFile(dir / "in.CIS"), 0);
    const std::string out = dir / "out.CIS";
    ASSERT_EQ(c.SaveFile(out), 0);
    // The writer marks its texts as stored (UTF-8 names, host paths as they are).
    EXPECT_EQ(ReadFile(out), Version4File(out, "My Container", true).bytes);
    EXPECT_EQ(c.GetSourcePath(c.GetRoot()), out);
}

TEST(CisFile, StoredCountersAreRecomputedFromTheEntries) {
    Layout l = Version4File("/x.CIS");
    PutLe(l.bytes, l.root + 36, 999, 4);  // total files
    PutLe(l.bytes, l.root + 40, 1, 8);    // size
    PutLe(l.bytes, l.inner + 48, 123, 8); // a file's allocated size
    PutLe(l.bytes, l.folder + 28, 77, 4); // total folders of a folder
    TempDir dir;
    WriteFile(dir / "c.CIS", l.bytes);
    MIRROR_CONTAINER c;
    ASSERT_EQ(c.LoadFile(dir / "c.CIS"), 0);
    EXPECT_EQ(c.GetRoot()->totalFiles, 2u);
    EXPECT_EQ(c.GetRoot()->size, 3005u);
    CheckCounters(c);
}

TEST(CisFile, ReadsAVersion1FileWithLocalCalendarTimes) {
    ::setenv("TZ", "XYZ-3", 1); // three hours east of UTC
    ::tzset();
    const std::uint32_t stamp = 1000000000; // 2001-09-09 01:46:40 UTC, 04:46:40 local
    const std::uint64_t local = (std::uint64_t{stamp} + 3 * 3600 + 11644473600ull) * 10000000ull;
    Bytes b = Header1();
    Append(b, EncodeR1({.attributes = 0x10010,
                        .time = stamp,
                        .dirNumber = 1,
                        .subFolders = 1,
                        .totalFolders = 1,
                        .totalFiles = 2,
                        .size = 70000,
                        .allocated = 71680,
                        .source = "C:\\old.CIS",
                        .name = "My Container"}));
    Append(b, EncodeR1({.attributes = 0x10,
                        .time = stamp,
                        .dirNumber = 2,
                        .level = 1,
                        .files = 2,
                        .totalFiles = 2,
                        .size = 70000,
                        .allocated = 71680,
                        .extent = 20,
                        .source = "C:\\dir",
                        .name = "dir"}));
    Append(b, EncodeR1({.attributes = 0x20,
                        .time = stamp,
                        .secondTime = stamp + 60,
                        .size = 69999,
                        .allocated = 69632,
                        .extent = 21,
                        .source = "C:\\dir\\big",
                        .name = "big"}));
    Append(b, EncodeR1({.attributes = 0x21,
                        .time = stamp,
                        .secondTime = stamp,
                        .size = 1,
                        .allocated = 2048,
                        .extent = 55,
                        .source = "C:\\dir\\caf\xE9.txt",
                        .name = "caf\xE9.txt"}));
    TempDir dir;
    WriteFile(dir / "v1.CIS", b);
    MIRROR_CONTAINER c;
    ASSERT_EQ(c.LoadFile(dir / "v1.CIS"), 0);
    Record* root = c.GetRoot();
    EXPECT_EQ(root->time, local);
    Record* folder = c.GetFirstChild(root);
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->files, 2u);
    EXPECT_EQ(folder->directoryNumber, 2);
    EXPECT_EQ(folder->extent, 20u);
    Record* big = c.GetFirstChild(folder);
    EXPECT_EQ(big->secondTime, local + 60 * 10000000ull);
    EXPECT_EQ(big->allocated, 71680u); // from its size, not the 69632 stored
    Record* cafe = c.GetNextSibling(big);
    ASSERT_NE(cafe, nullptr);
    // Names of the earlier program are in its code page; they come in as UTF-8.
    EXPECT_EQ(cafe->name, "caf\xC3\xA9.txt");
    EXPECT_EQ(cafe->extent, 55u);
    EXPECT_EQ(root->totalFiles, 2u);
    EXPECT_EQ(root->size, 70000u);
    EXPECT_EQ(root->allocated, 73728u);
    CheckCounters(c);
    // Saved again, it is a version 0x0400 file with the same entries.
    ASSERT_EQ(c.SaveFile(dir / "v4.CIS"), 0);
    MIRROR_CONTAINER back;
    ASSERT_EQ(back.LoadFile(dir / "v4.CIS"), 0);
    EXPECT_EQ(ReadFile(dir / "v4.CIS")[5], 0x04);
    EXPECT_EQ(back.GetFirstChild(back.GetFirstChild(back.GetRoot()))->secondTime,
              local + 60 * 10000000ull);
}

// The header says how the texts are stored: with the mark as they are, without it (the files of
// the earlier program) in the code page of the message language. Nothing is guessed from a text.
TEST(CisFile, TextsAreReadAsTheHeaderSays) {
    struct Case {
        const char* what;
        bool mark;
        std::string storedName, storedSource;
        int code;
        std::string name, source;
    };
    const std::string cafeUtf8 = "caf\xC3\xA9", cafe1252 = "caf\xE9";
    const std::string chinese = "\xE4\xB8\xAD\xE6\x96\x87"; // two characters, UTF-8
    const std::vector<Case> cases = {
        {"code page", false, cafe1252, "C:\\" + cafe1252, 0, cafeUtf8, "C:\\" + cafeUtf8},
        // Bytes that happen to be valid UTF-8 are still the code page's characters.
        {"code page that looks like UTF-8", false, cafeUtf8, "/h", 0, "caf\xC3\x83\xC2\xA9", "/h"},
        {"marked", true, chinese, "/h/" + chinese, 0, chinese, "/h/" + chinese},
        // A host path is bytes: kept as it is, even when it is no UTF-8.
        {"marked source of other bytes", true, "n", "/h/\xFF\xFE", 0, "n", "/h/\xFF\xFE"},
        {"marked name that is no UTF-8", true, cafe1252, "/h", 2, "", ""},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes b = Header4(c.mark);
        Append(b, EncodeR4({.attributes = 0x10010, .files = 1, .source = "/c.CIS", .name = "r"}));
        Append(
            b,
            EncodeR4(
                {.attributes = 0x20, .size = 1, .source = c.storedSource, .name = c.storedName}));
        WriteFile(dir / "t.CIS", b);
        MIRROR_CONTAINER m;
        ASSERT_EQ(m.LoadFile(dir / "t.CIS"), c.code);
        if (c.code != 0) continue;
        const Record* e = m.GetFirstChild(m.GetRoot());
        EXPECT_EQ(e->name, c.name);
        EXPECT_EQ(e->source, c.source);
    }
    // Names no code page holds whole survive a save and a load.
    MIRROR_CONTAINER m;
    m.NewContainer();
    auto info = FileInfo(chinese + ".txt", 3);
    info.fullPath = "/h/\xFF/" + chinese + ".txt";
    ASSERT_NE(m.AddEntry(m.GetRoot(), info), nullptr);
    ASSERT_EQ(m.SaveFile(dir / "u.CIS"), 0);
    const Bytes saved = ReadFile(dir / "u.CIS");
    EXPECT_EQ(std::string(saved.begin() + 6, saved.begin() + 10), "UTF8");
    MIRROR_CONTAINER back;
    ASSERT_EQ(back.LoadFile(dir / "u.CIS"), 0);
    const Record* e = back.GetFirstChild(back.GetRoot());
    EXPECT_EQ(e->name, chinese + ".txt");
    EXPECT_EQ(e->source, info.fullPath);
}

// Files of the earlier program (no text mark) in each message language: their texts are read in
// that language's code page; a name that the file format allows loads, control characters
// included; a byte that is no character of the code page shows as U+FFFD and is counted for the
// user, never dropped; two names of a folder the same but for letter case are refused, named, as
// an import refuses them.
TEST(CisFile, CodePageFilesInEachLanguage) {
    const std::string R = "\xEF\xBF\xBD"; // U+FFFD
    struct Case {
        const char* what;
        std::vector<std::string> storedNames; // files below the root
        std::string storedSource;             // of the first file
        int code;
        // By language (English, Traditional Chinese, Simplified Chinese): the first file's name
        // and source as read, and the texts counted as holding bytes of no character.
        std::array<std::string, 3> name;
        std::array<std::size_t, 3> marked{};
        std::array<std::string, 3> sourceRead{};
    };
    const std::vector<Case> cases = {
        {"cp1252 name",
         {"Caf\xE9.txt"},
         "/h/n",
         0,
         {"Caf\xC3\xA9.txt", "Caf" + R + ".txt", "Caf" + R + ".txt"},
         {0, 1, 1}},
        {"cp950 name",
         {"\xA4\xA4\xA4\xE5.txt"},
         "/h/n",
         0,
         {"\xC2\xA4\xC2\xA4\xC2\xA4\xC3\xA5.txt", "\xE4\xB8\xAD\xE6\x96\x87.txt",
          "\xE3\x81\x84\xE3\x82\x85.txt"}},
        {"cp936 name",
         {"\xD6\xD0\xCE\xC4.txt"},
         "/h/n",
         0,
         {"\xC3\x96\xC3\x90\xC3\x8E\xC3\x84.txt", "\xE7\xAC\xA2\xE6\x81\x85.txt",
          "\xE4\xB8\xAD\xE6\x96\x87.txt"}},
        {"a tab in a name", {"a\tb.txt"}, "/h/n", 0, {"a\tb.txt", "a\tb.txt", "a\tb.txt"}},
        // 0x81 is no character in code page 1252 and starts none in 950 before 'y'; in 936 the
        // two bytes are one character.
        {"a 0x81 byte",
         {"x\x81y"},
         "/h/n",
         0,
         {"x" + R + "y", "x" + R + "y", "x\xE4\xBA\x82"},
         {1, 1, 0}},
        {"a 0x81 byte in a source",
         {"n.txt"},
         "/h/x\x81y",
         0,
         {"n.txt", "n.txt", "n.txt"},
         {1, 1, 0},
         {"/h/x" + R + "y", "/h/x" + R + "y", "/h/x\xE4\xBA\x82"}},
        {"case twins", {"Readme.txt", "README.TXT"}, "/h/n", kCisCaseTwins, {}},
    };
    TempDir dir;
    const int savedLanguage = LanguageIndex;
    for (const Case& c : cases) {
        Bytes b = Header4(false);
        Append(b, EncodeR4({.attributes = 0x10010,
                            .files = static_cast<std::uint32_t>(c.storedNames.size()),
                            .source = "/c.CIS",
                            .name = "r"}));
        for (std::size_t i = 0; i < c.storedNames.size(); ++i)
            Append(b, EncodeR4({.attributes = 0x20,
                                .size = 1,
                                .source = i == 0 ? c.storedSource : "/h/other",
                                .name = c.storedNames[i]}));
        WriteFile(dir / "t.CIS", b);
        for (int language = 0; language < 3; ++language) {
            SCOPED_TRACE(std::string(c.what) + ", language " + std::to_string(language));
            LanguageIndex = language;
            MIRROR_CONTAINER m;
            ASSERT_EQ(m.LoadFile(dir / "t.CIS"), c.code);
            const CisLoadReport& report = m.LastLoadReport();
            if (c.code == kCisCaseTwins) {
                EXPECT_EQ(m.GetRoot(), nullptr);
                EXPECT_EQ(report.twinFolder, "\\");
                EXPECT_EQ(report.twinFirst + "|" + report.twinSecond, "Readme.txt|README.TXT");
                continue;
            }
            const Record* e = m.GetFirstChild(m.GetRoot());
            ASSERT_NE(e, nullptr);
            EXPECT_EQ(e->name, c.name[language]);
            EXPECT_EQ(e->source,
                      c.sourceRead[language].empty() ? c.storedSource : c.sourceRead[language]);
            EXPECT_EQ(report.undecodableTexts, c.marked[language]);
        }
    }
    LanguageIndex = savedLanguage;
    // Twins deeper down are named by their folder's path; a file with the mark is held to the
    // same rule.
    Bytes b = Header4(true);
    Append(b, EncodeR4({.attributes = 0x10010, .subFolders = 1, .source = "/c.CIS", .name = "r"}));
    Append(b, EncodeR4({.attributes = 0x10, .files = 2, .source = "/h/d", .name = "d"}));
    Append(b, EncodeR4({.attributes = 0x20, .size = 1, .source = "/h/d/a", .name = "a.iso"}));
    Append(b, EncodeR4({.attributes = 0x20, .size = 1, .source = "/h/d/A", .name = "A.ISO"}));
    WriteFile(dir / "deep.CIS", b);
    MIRROR_CONTAINER m;
    m.NewContainer();
    const Record* before = m.GetRoot();
    EXPECT_EQ(m.LoadFile(dir / "deep.CIS"), kCisCaseTwins);
    EXPECT_EQ(m.GetRoot(), before); // the container keeps its tree
    EXPECT_EQ(m.LastLoadReport().twinFolder, "\\d");
    EXPECT_EQ(m.LastLoadReport().twinFirst + "|" + m.LastLoadReport().twinSecond, "a.iso|A.ISO");
}

// A file larger than any container is refused by its size: the sparse gigabyte here is never
// read (a read would take it into memory whole).
TEST(CisFile, OversizedFileIsRefusedBeforeItIsRead) {
    TempDir dir;
    const std::string path = dir / "huge.CIS";
    WriteFile(path, Version4File("/x.CIS").bytes);
    std::filesystem::resize_file(path, std::uintmax_t{1} << 30);
    MIRROR_CONTAINER c;
    c.NewContainer();
    Record* root = c.GetRoot();
    EXPECT_EQ(c.LoadFile(path), kCisBadFormat);
    EXPECT_EQ(c.GetRoot(), root);
    // The limit itself: one byte past it is refused, by LoadFromBytes too.
    std::filesystem::resize_file(path, kCisMaxFileBytes + 1);
    EXPECT_EQ(c.LoadFile(path), kCisBadFormat);
    const Bytes small = Version4File("/x.CIS").bytes;
    EXPECT_EQ(c.LoadFromBytes(small.data(), kCisMaxFileBytes + 1, "/x.CIS"), kCisBadFormat);
    EXPECT_EQ(c.GetRoot(), root);
}

TEST(CisFile, SaveShowsTheSummaryOfTheFirstTenEntries) {
    TempDir dir;
    MIRROR_CONTAINER c;
    c.NewContainer();
    std::vector<std::string> shown;
    c.SetMessageSink([&](const std::string& text) { shown.push_back(text); });
    ASSERT_EQ(c.SaveFile(dir / "empty.CIS"), 0);
    EXPECT_TRUE(shown.empty());
    std::string expected = "Files:\n";
    for (int i = 0; i < 12; ++i) {
        auto info = FileInfo("e" + std::to_string(i), 1);
        c.AddEntry(c.GetRoot(), info);
        if (i < 10) expected += info.fullPath + "\n";
    }
    expected += "...etc\n";
    ASSERT_EQ(c.SaveFile(dir / "full.CIS"), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], expected);
    // A failed save shows nothing.
    EXPECT_EQ(c.SaveFile(dir / "missing-folder/x.CIS"), 5);
    EXPECT_EQ(shown.size(), 1u);
}

TEST(CisFile, AFailedSaveKeepsTheOldFileAndTheContainer) {
    TempDir dir;
    const std::string path = dir / "keep.CIS";
    MIRROR_CONTAINER small;
    small.NewContainer();
    small.AddEntry(small.GetRoot(), FileInfo("one", 1));
    ASSERT_EQ(small.SaveFile(path), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const Bytes before = ReadFile(path);

    MIRROR_CONTAINER big;
    big.NewContainer();
    for (int i = 0; i < 200; ++i)
        big.AddEntry(big.GetRoot(), FileInfo("a-rather-long-entry-name-" + std::to_string(i), 9));
    const std::string bigSource = big.GetSourcePath(big.GetRoot());

    // Writes beyond the old file's size fail: the new file cannot be completed.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limit = old;
    limit.rlim_cur = before.size() + 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const int code = big.SaveFile(path);
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(code, 4);
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(big.GetSourcePath(big.GetRoot()), bigSource);
    std::size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        ++files;
        EXPECT_EQ(e.path().string(), path);
    }
    EXPECT_EQ(files, 1u);

    // A save that succeeds replaces the file and keeps its permissions.
    ASSERT_EQ(big.SaveFile(path), 0);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    MIRROR_CONTAINER back;
    ASSERT_EQ(back.LoadFile(path), 0);
    EXPECT_EQ(back.GetRoot()->totalFiles, 200u);

    // Saved through a symbolic link, the file it names is replaced and the link stays.
    const std::string link = dir / "link.CIS";
    ASSERT_EQ(::symlink("keep.CIS", link.c_str()), 0);
    ASSERT_EQ(small.SaveFile(link), 0);
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(back.LoadFile(path), 0);
    EXPECT_EQ(back.GetRoot()->totalFiles, 1u);
}

TEST(CisFile, OpenErrors) {
    TempDir dir;
    MIRROR_CONTAINER c;
    EXPECT_EQ(c.LoadFile(dir / "absent.CIS"), 5);
    EXPECT_EQ(c.LoadFile(dir.path()), 5);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(c.LoadFile(dir / "fifo"), 5); // refused, not waited on
    EXPECT_EQ(c.GetRoot(), nullptr);
    EXPECT_EQ(c.SaveFile(dir / "x.CIS"), 4); // nothing to save
}

// A chain of `levels` folders below the root, each holding the next.
Bytes Chain(int levels) {
    Bytes b = Header4();
    Append(b, EncodeR4({.attributes = 0x10010, .subFolders = 1, .source = "/c.CIS", .name = "r"}));
    for (int i = 1; i <= levels; ++i)
        Append(b, EncodeR4({.attributes = 0x10,
                            .subFolders = i < levels ? 1u : 0u,
                            .source = "/d",
                            .name = "d"}));
    return b;
}

struct Damage {
    const char* what;
    std::function<void(Layout&)> change;
    int code;
};

void Set(Bytes& b, std::size_t at, std::uint64_t v, int width) {
    PutLe(b, at, v, width);
}

const std::vector<Damage>& Damages() {
    static const std::vector<Damage> damages = {
        {"empty file", [](Layout& l) { l.bytes.clear(); }, 3},
        {"ends inside the signature", [](Layout& l) { l.bytes.resize(3); }, 3},
        {"ends inside the header", [](Layout& l) { l.bytes.resize(100); }, 3},
        {"ends after the header", [](Layout& l) { l.bytes.resize(140); }, 3},
        {"ends inside a record", [](Layout& l) { l.bytes.resize(l.last + 30); }, 3},
        {"ends inside a text", [](Layout& l) { l.bytes.resize(l.bytes.size() - 2); }, 3},
        {"signature", [](Layout& l) { l.bytes[2] = 'T'; }, 2},
        {"version 0x0200",
         [](Layout& l) {
             l.bytes[5] = 0x02;
             Set(l.bytes, 136, SumOf(l.bytes, 136), 4);
         },
         2},
        {"checksum", [](Layout& l) { l.bytes[136] ^= 1; }, 2},
        {"header byte under the checksum", [](Layout& l) { l.bytes[50] = 1; }, 2},
        {"record signature", [](Layout& l) { l.bytes[l.folder + 1] = '5'; }, 2},
        {"source length past the record", [](Layout& l) { Set(l.bytes, l.folder + 64, 9, 2); }, 2},
        {"record length too short", [](Layout& l) { Set(l.bytes, l.inner + 2, 70, 2); }, 2},
        {"name length 0", [](Layout& l) { Set(l.bytes, l.last + 66, 0, 2); }, 2},
        {"name length 65535", [](Layout& l) { Set(l.bytes, l.last + 66, 65535, 2); }, 2},
        {"missing terminator", [](Layout& l) { l.bytes.back() = 'x'; }, 2},
        {"zero inside a name", [](Layout& l) { l.bytes[l.bytes.size() - 4] = 0; }, 2},
        {"zero inside a source", [](Layout& l) { l.bytes[l.bytes.size() - 15] = 0; }, 2},
        {"impossible child count", [](Layout& l) { Set(l.bytes, l.root + 24, 0xFFFFFFFF, 4); }, 2},
        {"counts that disagree with the records",
         [](Layout& l) {
             Set(l.bytes, l.root + 24, 2, 4);
             Set(l.bytes, l.root + 32, 0, 4);
         },
         2},
        {"a record announced where the file ends",
         [](Layout& l) { Set(l.bytes, l.root + 32, 2, 4); }, 3},
        {"bad name", [](Layout& l) { l.bytes[l.bytes.size() - 5] = '?'; }, 2},
        {"name with a leading blank", [](Layout& l) { l.bytes[l.bytes.size() - 6] = ' '; }, 2},
        {"virtual file", [](Layout& l) { Set(l.bytes, l.last + 4, 0x10000, 4); }, 2},
        {"root that is a file", [](Layout& l) { Set(l.bytes, l.root + 4, 0x20, 4); }, 2},
        {"bytes after the last record", [](Layout& l) { l.bytes.push_back(0); }, 2},
        {"file size no disc holds",
         [](Layout& l) { Set(l.bytes, l.last + 40, 0x8000000000000000ull, 8); }, 2},
        {"excessive depth", [](Layout& l) { l.bytes = Chain(kCisMaxDepth + 1); }, 2},
        {"version 1 record signature",
         [](Layout& l) {
             l.bytes = Header1();
             Append(l.bytes, EncodeR1({.attributes = 0x10, .source = "s", .name = "n"}));
             l.bytes[33] = '4';
         },
         2},
        {"version 1 checksum",
         [](Layout& l) {
             l.bytes = Header1();
             l.bytes[28] ^= 0x80;
             Append(l.bytes, EncodeR1({.attributes = 0x10, .source = "s", .name = "n"}));
         },
         2},
        {"version 1 ends inside a record",
         [](Layout& l) {
             l.bytes = Header1();
             Append(l.bytes,
                    EncodeR1({.attributes = 0x10, .files = 1, .source = "s", .name = "n"}));
             Append(
                 l.bytes,
                 EncodeR1({.attributes = 0x20, .source = "C:\\dir\\file.txt", .name = "file.txt"}));
             l.bytes.resize(l.bytes.size() - 3);
         },
         3},
    };
    return damages;
}

TEST(CisFile, DamagedFilesAreRefusedAndTheContainerKeepsItsTree) {
    TempDir dir;
    for (const Damage& d : Damages()) {
        SCOPED_TRACE(d.what);
        Layout l = Version4File("/x.CIS");
        d.change(l);
        WriteFile(dir / "bad.CIS", l.bytes);
        MIRROR_CONTAINER c;
        c.NewContainer();
        Record* root = c.GetRoot();
        Record* kept = c.AddEntry(root, FileInfo("kept", 100));
        EXPECT_EQ(c.LoadFile(dir / "bad.CIS"), d.code);
        EXPECT_EQ(c.GetRoot(), root);
        EXPECT_EQ(c.GetFirstChild(root), kept);
        EXPECT_EQ(c.GetNextSibling(kept), nullptr);
        CheckCounters(c);
    }
    // The deepest tree the model can make reads back.
    WriteFile(dir / "deep.CIS", Chain(kCisMaxDepth));
    MIRROR_CONTAINER c;
    ASSERT_EQ(c.LoadFile(dir / "deep.CIS"), 0);
    EXPECT_EQ(c.GetRoot()->totalFolders, static_cast<std::uint32_t>(kCisMaxDepth));
}

} // namespace
