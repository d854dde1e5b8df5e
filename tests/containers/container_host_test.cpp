// The container against the host: imports of temporary trees (links, FIFOs, entries the program
// cannot read), source checks after touch, resize, permission change and deletion, and the
// updates that follow.
#include "container.h"
#include "container_fixtures.h"
#include "container_log.h"

#include "clock/clock.h"
#include "msgbox.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace fixtures;

namespace {

void MakeFile(const std::string& path, std::size_t size) {
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

const char* ReasonName(CisImportReason reason) {
    switch (reason) {
    case CisImportReason::NameEdge:
        return "NameEdge";
    case CisImportReason::NameCharacter:
        return "NameCharacter";
    case CisImportReason::NameTooLong:
        return "NameTooLong";
    case CisImportReason::NameTooLongForImage:
        return "NameTooLongForImage";
    case CisImportReason::FolderVersion:
        return "FolderVersion";
    case CisImportReason::PathTooLong:
        return "PathTooLong";
    case CisImportReason::TooDeep:
        return "TooDeep";
    case CisImportReason::NameTaken:
        return "NameTaken";
    case CisImportReason::NotFound:
        return "NotFound";
    case CisImportReason::NotRegular:
        return "NotRegular";
    case CisImportReason::Unreadable:
        return "Unreadable";
    case CisImportReason::SourceTooLong:
        return "SourceTooLong";
    case CisImportReason::NoMemory:
        return "NoMemory";
    }
    return "?";
}

// The refused entries as "path: reason", the temporary folder written as <tmp>.
std::vector<std::string> Refused(const CisImportResult& result, const std::string& tmp) {
    std::vector<std::string> lines;
    for (const CisRefusedEntry& e : result.refused) {
        std::string path = e.path;
        if (path.starts_with(tmp)) path = "<tmp>" + path.substr(tmp.size());
        lines.push_back(path + ": " + ReasonName(e.reason));
    }
    return lines;
}

std::vector<std::string> EntryPaths(const MIRROR_CONTAINER& c) {
    std::vector<std::string> paths;
    for (Record* r : AllEntries(c, c.GetRoot()))
        paths.push_back(c.GetEntryPath(r));
    return paths;
}

CisFileTime ModifiedTime(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return CisFileTimeFromUnix(st.st_mtim.tv_sec, static_cast<std::uint32_t>(st.st_mtim.tv_nsec));
}

TEST(ContainerImport, TakesRegularFilesAndFoldersAndFollowsNoFolderLink) {
    TempDir tmp;
    const std::string src = tmp / "src";
    std::filesystem::create_directories(src + "/sub/deeper");
    MakeFile(src + "/a.txt", 5);
    MakeFile(src + "/sub/b.bin", 3000);
    MakeFile(src + "/sub/deeper/c", 0);
    MakeFile(src + "/bad?name", 1);
    MakeFile(src + "/.hidden", 1);
    ASSERT_EQ(::symlink("sub", (src + "/link_dir").c_str()), 0);
    ASSERT_EQ(::symlink("a.txt", (src + "/link_file").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (src + "/dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo((src + "/fifo").c_str(), 0600), 0);

    RecordingView view;
    MIRROR_CONTAINER c;
    vcl::TTreeNode* slot = reinterpret_cast<vcl::TTreeNode*>(&tmp);
    c.BindTreeView(&view, &slot);
    c.NewContainer();
    const CisImportResult result = c.ImportHostPath(c.GetRoot(), slot, src + "/");
    const std::vector<std::string> expected = {"\\",
                                               "\\src",
                                               "\\src\\a.txt",
                                               "\\src\\link_file",
                                               "\\src\\sub",
                                               "\\src\\sub\\b.bin",
                                               "\\src\\sub\\deeper",
                                               "\\src\\sub\\deeper\\c"};
    EXPECT_EQ(EntryPaths(c), expected);
    Record* root = c.GetRoot();
    EXPECT_EQ(root->totalFiles, 4u);
    EXPECT_EQ(root->totalFolders, 3u);
    EXPECT_EQ(root->size, 3010u);
    EXPECT_GE(view.messageRuns, 8);
    CheckCounters(c);
    // What was left out came back with its reason, in the order met.
    EXPECT_EQ(Refused(result, tmp.path()),
              (std::vector<std::string>{
                  "<tmp>/src/.hidden: NameEdge", "<tmp>/src/bad?name: NameCharacter",
                  "<tmp>/src/dangling: NotRegular", "<tmp>/src/fifo: NotRegular",
                  "<tmp>/src/link_dir: NotRegular"}));
    EXPECT_FALSE(result.stopped);

    Record* s = c.GetFirstChild(root);
    Record* b = c.FindChildByName(c.FindChildByName(s, "sub"), "b.bin");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->source, src + "/sub/b.bin");
    EXPECT_EQ(b->attributes, 0x20u);
    EXPECT_EQ(b->time, ModifiedTime(src + "/sub/b.bin"));
    // Folders got nodes under the nodes of their folders.
    ASSERT_EQ(view.nodes.size(), 3u);
    EXPECT_EQ(view.nodes[0]->caption, "src");
    EXPECT_EQ(reinterpret_cast<vcl::TTreeNode*>(view.nodes[0]->parent), slot);
    EXPECT_EQ(view.nodes[2]->caption, "deeper");
    EXPECT_EQ(view.nodes[2]->parent, view.nodes[1].get());
    EXPECT_EQ(reinterpret_cast<RecordingView::Node*>(s->node), view.nodes[0].get());

    // Importing again adds only what is new; names match without regard to case.
    MakeFile(src + "/sub/new.txt", 7);
    EXPECT_EQ(c.ImportHostPath(root, slot, src).RefusedCount(), 5u);
    EXPECT_EQ(root->totalFiles, 5u);
    EXPECT_EQ(view.nodes.size(), 3u);
    CheckCounters(c);
    // A host folder whose name an entry file already has stays out of that file.
    std::filesystem::create_directories(tmp / "A.TXT");
    MakeFile(tmp / "A.TXT/inner", 1);
    EXPECT_EQ(Refused(c.ImportHostPath(s, s->node, tmp / "A.TXT"), tmp.path()),
              (std::vector<std::string>{"<tmp>/A.TXT: NameTaken"}));
    EXPECT_EQ(root->totalFiles, 5u);
    EXPECT_EQ(c.FindChildByName(s, "a.txt")->firstChild, nullptr);
    // While the stop word is set nothing is imported, and the result says it stopped.
    c.SetImportStop(1);
    const CisImportResult stopped = c.ImportHostPath(root, slot, tmp / "A.TXT");
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.RefusedCount(), 0u);
    EXPECT_EQ(c.FindChildByName(root, "A.TXT"), nullptr);
}

// Entry paths of a container filled from src, then what was refused, as one text.
std::string ImportedPaths(const std::string& src, const std::string& tmp) {
    MIRROR_CONTAINER c;
    c.NewContainer();
    const CisImportResult result = c.ImportHostPath(c.GetRoot(), nullptr, src);
    std::string text;
    for (const std::string& p : EntryPaths(c))
        text += p + "\n";
    for (const std::string& r : Refused(result, tmp))
        text += r + "\n";
    return text;
}

TEST(ContainerImport, LeavesOutWhatItCannotRead) {
    TempDir tmp("/tmp");
    const std::string src = tmp / "src";
    std::filesystem::create_directories(src + "/locked");
    std::filesystem::create_directories(src + "/open");
    MakeFile(src + "/ok.txt", 1);
    MakeFile(src + "/secret.txt", 1);
    MakeFile(src + "/locked/inner.txt", 1);
    MakeFile(src + "/open/x", 1);
    ASSERT_EQ(::chmod(tmp.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(src.c_str(), 0755), 0);
    ASSERT_EQ(::chmod((src + "/open").c_str(), 0755), 0);
    ASSERT_EQ(::chmod((src + "/open/x").c_str(), 0644), 0);
    ASSERT_EQ(::chmod((src + "/ok.txt").c_str(), 0644), 0);
    ASSERT_EQ(::chmod((src + "/secret.txt").c_str(), 0), 0);
    ASSERT_EQ(::chmod((src + "/locked").c_str(), 0), 0);
    const std::string expected = "\\\n\\src\n\\src\\ok.txt\n\\src\\open\n\\src\\open\\x\n"
                                 "<tmp>/src/locked: Unreadable\n<tmp>/src/secret.txt: Unreadable\n";

    if (::geteuid() != 0) {
        EXPECT_EQ(ImportedPaths(src, tmp.path()), expected);
        return;
    }
    // Permissions do not hold for the superuser: the import runs as an unprivileged user.
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(out[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const std::string text = ImportedPaths(src, tmp.path());
        const bool written =
            ::write(out[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(written ? 0 : 3);
    }
    ::close(out[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, n);
    ::close(out[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(text, expected);
}

// Entries the container's rules keep out: each comes back with its host path and reason, and
// the rest of the tree is imported around them.
TEST(ContainerImport, EveryRefusedEntryComesBackWithItsPathAndReason) {
    TempDir tmp;
    const std::string src = tmp / "src";
    std::filesystem::create_directories(src);
    const std::vector<std::pair<std::string, std::string>> refusedNames = {
        {".profile", "NameEdge"},
        {" lead.txt", "NameEdge"},
        {"trail ", "NameEdge"},
        {"end.", "NameEdge"},
        {"a\\b", "NameCharacter"},
        {"c:d", "NameCharacter"},
        {"e*f", "NameCharacter"},
        {"g?h", "NameCharacter"},
        {"i\"j", "NameCharacter"},
        {"k<l", "NameCharacter"},
        {"m>n", "NameCharacter"},
        {"o|p", "NameCharacter"},
        {"tab\tx", "NameCharacter"},
        // A file's name with the ";1" after it must fit a directory record's 221 bytes.
        {std::string(222, 'n'), "NameTooLongForImage"},
        {std::string(220, 'q'), "NameTooLongForImage"},
        {"a.txt", "NameTaken"}, // beside A.txt: a twin that differs only in letter case
    };
    std::vector<std::string> expected;
    for (const auto& [name, reason] : refusedNames) {
        MakeFile(src + "/" + name, 1);
        expected.push_back("<tmp>/src/" + name + ": " + reason);
    }
    // A folder's name: 221 bytes, and no ';' (readers take what follows it as a version).
    std::filesystem::create_directories(src + "/" + std::string(222, 'E'));
    expected.push_back("<tmp>/src/" + std::string(222, 'E') + ": NameTooLongForImage");
    std::filesystem::create_directories(src + "/v;1");
    expected.push_back("<tmp>/src/v;1: FolderVersion");
    std::filesystem::create_directories(src + "/" + std::string(221, 'F')); // the longest taken
    MakeFile(src + "/w;1", 1);                                              // a file may hold ';'
    MakeFile(src + "/A.txt", 1);
    MakeFile(src + "/" + std::string(219, 'k'), 1); // the longest file name taken
    // Paths in the container: "\src\" and 200 letters, then "\" and a name of 48 characters make
    // 254, the longest taken; one more is refused.
    const std::string wide = src + "/" + std::string(200, 'p');
    std::filesystem::create_directories(wide);
    MakeFile(wide + "/" + std::string(48, 'f'), 1);
    MakeFile(wide + "/" + std::string(49, 'g'), 1);
    expected.push_back("<tmp>/src/" + std::string(200, 'p') + "/" + std::string(49, 'g') +
                       ": PathTooLong");
    // Depth: src is 1 level below the root, z 2, and the 63rd folder below z would be 65.
    std::string deep = src + "/z";
    for (int i = 0; i < 63; ++i)
        deep += "/d";
    std::filesystem::create_directories(deep);
    MakeFile(deep + "/lost.txt", 1);
    expected.push_back("<tmp>/src/z" + std::string(deep.substr((src + "/z").size())) + ": TooDeep");

    MIRROR_CONTAINER c;
    c.NewContainer();
    const CisImportResult result = c.ImportHostPath(c.GetRoot(), nullptr, src);
    std::vector<std::string> refused = Refused(result, tmp.path());
    std::sort(refused.begin(), refused.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(refused, expected);
    EXPECT_EQ(result.RefusedCount(), refusedNames.size() + 4);
    Record* root = c.GetRoot();
    EXPECT_EQ(root->totalFiles, 4u); // A.txt, w;1, the 219-letter name, the 48-letter name
    // src, the 221-letter folder, the wide folder, z and 62 folders below it
    EXPECT_EQ(root->totalFolders, 3u + 63);
    CheckCounters(c);
    EXPECT_EQ(c.FindChildByName(c.GetFirstChild(root), "a.txt")->source, src + "/A.txt");
}

// The whole list goes to the log beside the container, after what the log already holds; the
// box shows the count, the first ten entries with their reasons, how many more, and the log.
TEST(ContainerImport, RefusalsGoToTheLogBesideTheContainerAndToOneBox) {
    TempDir tmp;
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    ProgramHome home(tmp.path());
    const std::string src = tmp / "src";
    std::filesystem::create_directories(src);
    MakeFile(src + "/kept.txt", 1);
    for (int i = 0; i < 12; ++i)
        MakeFile(src + "/.f" + std::to_string(10 + i), 1);
    MIRROR_CONTAINER c;
    c.NewContainer();
    const std::string log = tmp / "TEMP.log";
    ASSERT_EQ(c.GetRoot()->source, tmp / "TEMP.CIS");
    MakeFile(log, 0);
    std::ofstream(log) << "earlier\n";

    const CisImportResult result = c.ImportHostPath(c.GetRoot(), nullptr, src);
    ASSERT_EQ(result.RefusedCount(), 12u);
    platform::ManualClock clock(0, 1750000000); // 2025-06-15 15:06:40 UTC
    platform::ScopedClock scoped(clock);
    EXPECT_EQ(WriteImportLog(c, src, result), log);
    const std::string reason = "The name begins or ends with a blank or a dot.";
    std::string lines;
    for (int i = 0; i < 12; ++i)
        lines += src + "/.f" + std::to_string(10 + i) + "\t" + reason + "\n";
    const Bytes written = ReadFile(log);
    EXPECT_EQ(std::string(written.begin(), written.end()),
              "earlier\n\n{Sun Jun 15 15:06:40 2025} [Import] " + src +
                  "\n12 item(s) could not be added to the container:\n" + lines);

    std::string box = "12 item(s) could not be added to the container:\n";
    for (int i = 0; i < 10; ++i)
        box += "\n" + src + "/.f" + std::to_string(10 + i) + " - " + reason;
    box += "\n... and 2 more.\n\nThe whole list is in " + log;
    EXPECT_EQ(ImportRefusalBoxText(result, log), box);
    // Without a log the box says nothing of one; without refusals there is neither.
    EXPECT_EQ(ImportRefusalBoxText(result, ""), box.substr(0, box.find("\n\nThe whole")));
    EXPECT_EQ(WriteImportLog(c, src, CisImportResult{}), "");
    EXPECT_EQ(ImportRefusalBoxText(CisImportResult{}, log), "");
    // A name with a line break or bytes that are not UTF-8 keeps its entry on one line.
    const std::string odd = tmp / "odd";
    std::filesystem::create_directories(odd);
    MakeFile(odd + "/line\nbreak", 1);
    MakeFile(odd + "/bad\xFF", 1);
    const CisImportResult oddResult = c.ImportHostPath(c.GetRoot(), nullptr, odd);
    ASSERT_EQ(oddResult.RefusedCount(), 2u);
    ASSERT_EQ(WriteImportLog(c, odd, oddResult), log);
    const Bytes more = ReadFile(log);
    const std::string bad =
        "\tThe name is empty or holds a character that is not allowed: \\ / : * "
        "? \" < > | or a control character.\n";
    EXPECT_TRUE(std::string(more.begin(), more.end())
                    .ends_with("2 item(s) could not be added to the container:\n" + odd + "/bad?" +
                               bad + odd + "/line?break" + bad))
        << std::string(more.begin(), more.end());
    // A log that cannot be written gives no path.
    c.GetRoot()->source = tmp / "gone/box.cis";
    EXPECT_EQ(WriteImportLog(c, src, result), "");
    // The texts are the message table's, in the message language.
    const int saved = LanguageIndex;
    LanguageIndex = 1;
    const std::string chinese = ImportRefusalBoxText(result, log);
    LanguageIndex = saved;
    EXPECT_TRUE(chinese.starts_with("有 12 個項目無法加入容器：\n")) << chinese;
    EXPECT_NE(chinese.find(" - 名稱以空白或句點開頭或結尾。"), std::string::npos) << chinese;
}

TEST(ContainerSources, HostChangesShowAsFlagsAndUpdatesCarryThem) {
    TempDir tmp;
    const std::string src = tmp / "src";
    std::filesystem::create_directories(src + "/dir");
    MakeFile(src + "/dir/f.txt", 100);
    MakeFile(src + "/g.txt", 10);
    MakeFile(src + "/h.txt", 10);
    MIRROR_CONTAINER c;
    c.NewContainer();
    c.ImportHostPath(c.GetRoot(), nullptr, src);
    Record* s = c.GetFirstChild(c.GetRoot());
    Record* dir = c.FindChildByName(s, "dir");
    Record* f = c.FindChildByName(dir, "f.txt");
    Record* g = c.FindChildByName(s, "g.txt");
    Record* h = c.FindChildByName(s, "h.txt");
    ASSERT_TRUE(dir && f && g && h);
    _CDH_CIS_FILE_INFO_STRUCT_ info;
    for (Record* r : AllEntries(c, c.GetRoot()))
        EXPECT_EQ(c.CheckEntrySource(info, r), 0u);

    const timespec fixed[2] = {{1500000000, 0}, {1500000000, 0}};
    const timespec keep[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
    struct Change {
        const char* what;
        Record* entry;
        std::function<void()> act;
        std::uint32_t flags;
    };
    const std::string fPath = src + "/dir/f.txt";
    const std::vector<Change> changes = {
        {"touch", f, [&] { ::utimensat(AT_FDCWD, fPath.c_str(), fixed, 0); }, 8},
        {"resize", f,
         [&] {
             ::truncate(fPath.c_str(), 5000);
             ::utimensat(AT_FDCWD, fPath.c_str(), fixed, 0);
         },
         4},
        {"read-only", g, [&] { ::chmod((src + "/g.txt").c_str(), 0444); }, 16},
        {"unchanged", g, [&] { ::utimensat(AT_FDCWD, (src + "/g.txt").c_str(), keep, 0); }, 0},
        {"deleted", h, [&] { ::unlink((src + "/h.txt").c_str()); }, 1},
        {"folder became a file", dir,
         [&] {
             std::filesystem::remove_all(src + "/dir");
             MakeFile(src + "/dir", 3);
         },
         1},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        change.act();
        EXPECT_EQ(c.CheckEntrySource(info, change.entry), change.flags);
        if (change.flags == 0) continue;
        ASSERT_TRUE(c.ApplySourceChanges(info, change.entry, change.flags));
        CheckCounters(c);
        if (change.flags != 1) {
            EXPECT_EQ(c.CheckEntrySource(info, change.entry), 0u);
        }
    }
    // What is left: s holding g (10 bytes, read-only now).
    EXPECT_EQ(EntryPaths(c), (std::vector<std::string>{"\\", "\\src", "\\src\\g.txt"}));
    EXPECT_EQ(g->attributes, 0x21u);
    EXPECT_EQ(c.GetRoot()->size, 10u);

    // Virtual entries have no source to check; a source that is no absolute path is missing.
    Record* virt = c.NewFolder(c.GetRoot(), "virtual");
    EXPECT_EQ(c.CheckEntrySource(info, virt), 0u);
    EXPECT_EQ(c.CheckEntrySource(info, nullptr), 1u);
    auto relative = FileInfo("rel", 1);
    relative.fullPath = "relative/path";
    EXPECT_EQ(c.CheckEntrySource(info, c.AddEntry(virt, relative)), 1u);
    // A kind change without flag 1 is refused.
    EXPECT_FALSE(c.ApplySourceChanges(FolderInfo("g.txt"), g, kCisSourceTimeChanged));
}

// A source renamed only in letter case, or lying in a folder so renamed, is found under its new
// spelling: a path change (flag 2) that an update takes into the source; the display name stays.
// Without exactly one match the source is missing.
TEST(ContainerSources, CaseOnlyRenameIsAPathChangeThatUpdatesTake) {
    TempDir tmp;
    const std::string src = tmp / "src";
    std::filesystem::create_directories(src + "/Dir");
    MakeFile(src + "/Dir/f.txt", 3);
    MakeFile(src + "/g.txt", 4);
    MakeFile(src + "/twin.txt", 5);
    MakeFile(src + "/other.txt", 6);
    MIRROR_CONTAINER c;
    c.NewContainer();
    ASSERT_EQ(c.ImportHostPath(c.GetRoot(), nullptr, src).RefusedCount(), 0u);
    Record* s = c.GetFirstChild(c.GetRoot());
    Record* dir = c.FindChildByName(s, "Dir");
    Record* f = c.FindChildByName(dir, "f.txt");
    Record* g = c.FindChildByName(s, "g.txt");
    Record* twin = c.FindChildByName(s, "twin.txt");
    Record* other = c.FindChildByName(s, "other.txt");
    ASSERT_TRUE(dir && f && g && twin && other);

    std::filesystem::rename(src + "/g.txt", src + "/G.TXT");
    std::filesystem::rename(src + "/Dir", src + "/DIR");
    std::filesystem::rename(src + "/twin.txt", src + "/Twin.txt");
    MakeFile(src + "/TWIN.TXT", 5);
    std::filesystem::rename(src + "/other.txt", src + "/others.txt");

    _CDH_CIS_FILE_INFO_STRUCT_ info;
    struct Case {
        Record* entry;
        std::uint32_t flags;
        std::string found;
    };
    const std::vector<Case> cases = {
        {g, kCisSourcePathChanged, src + "/G.TXT"},
        {dir, kCisSourcePathChanged, src + "/DIR"},
        {f, kCisSourcePathChanged, src + "/DIR/f.txt"},
        {twin, kCisSourceMissing, ""},  // two matches
        {other, kCisSourceMissing, ""}, // more than letter case changed
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.entry->source);
        info = {};
        ASSERT_EQ(c.CheckEntrySource(info, k.entry), k.flags);
        if (k.flags != kCisSourcePathChanged) continue;
        EXPECT_EQ(info.fullPath, k.found);
        const std::string name = k.entry->name;
        ASSERT_TRUE(c.ApplySourceChanges(info, k.entry, k.flags));
        EXPECT_EQ(k.entry->source, k.found);
        EXPECT_EQ(k.entry->name, name);
        EXPECT_EQ(c.CheckEntrySource(info, k.entry), 0u);
    }
    CheckCounters(c);
}

} // namespace
