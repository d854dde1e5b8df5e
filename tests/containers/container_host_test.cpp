// The container against the host: imports of temporary trees (links, FIFOs, entries the program
// cannot read), source checks after touch, resize, permission change and deletion, and the
// updates that follow.
#include "container.h"
#include "container_fixtures.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace fixtures;

namespace {

void MakeFile(const std::string& path, std::size_t size) {
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
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
    c.ImportHostPath(c.GetRoot(), slot, src + "/");
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
    c.ImportHostPath(root, slot, src);
    EXPECT_EQ(root->totalFiles, 5u);
    EXPECT_EQ(view.nodes.size(), 3u);
    CheckCounters(c);
    // A host folder whose name an entry file already has stays out of that file.
    std::filesystem::create_directories(tmp / "A.TXT");
    MakeFile(tmp / "A.TXT/inner", 1);
    c.ImportHostPath(s, s->node, tmp / "A.TXT");
    EXPECT_EQ(root->totalFiles, 5u);
    EXPECT_EQ(c.FindChildByName(s, "a.txt")->firstChild, nullptr);
    // While the stop word is set nothing is imported.
    c.SetImportStop(1);
    c.ImportHostPath(root, slot, tmp / "A.TXT");
    EXPECT_EQ(c.FindChildByName(root, "A.TXT"), nullptr);
}

// Entry paths of a container filled from src, as one text.
std::string ImportedPaths(const std::string& src) {
    MIRROR_CONTAINER c;
    c.NewContainer();
    c.ImportHostPath(c.GetRoot(), nullptr, src);
    std::string text;
    for (const std::string& p : EntryPaths(c))
        text += p + "\n";
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
    const std::string expected = "\\\n\\src\n\\src\\ok.txt\n\\src\\open\n\\src\\open\\x\n";

    if (::geteuid() != 0) {
        EXPECT_EQ(ImportedPaths(src), expected);
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
        const std::string text = ImportedPaths(src);
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

} // namespace
