// The container model: counters rolled up through every change, names, moves, navigation, the tree
// binding and the folder list of the image builder.
#include "container.h"
#include "container_binding.h"
#include "container_fixtures.h"
#include "container_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace fixtures;

namespace {

struct Tree {
    MIRROR_CONTAINER c;
    Record* root = nullptr;
    Tree() {
        c.NewContainer();
        root = c.GetRoot();
    }
};

TEST(ContainerModel, AddingAFileCountsItOnEveryAncestor) {
    Tree t;
    Record* a = t.c.AddEntry(t.root, FolderInfo("a"));
    Record* b = t.c.AddEntry(a, FolderInfo("b"));
    ASSERT_NE(b, nullptr);
    Record* f = t.c.AddEntry(b, FileInfo("one.txt", 1));
    ASSERT_NE(f, nullptr);
    for (Record* r : {b, a, t.root}) {
        EXPECT_EQ(t.c.GetTotalFileCount(r), 1u);
        EXPECT_EQ(t.c.GetTotalSize(r), 1u);
        EXPECT_EQ(t.c.GetAllocatedSize(r), 2048u);
    }
    EXPECT_EQ(t.c.GetFileCount(b), 1u);
    EXPECT_EQ(t.c.GetFileCount(a), 0u);
    EXPECT_EQ(t.c.GetTotalFolderCount(t.root), 2u);
    EXPECT_EQ(f->secondTime, f->time);
    // A lone entry's ring points to itself.
    EXPECT_EQ(f->next, f);
    EXPECT_EQ(f->prev, f);
    CheckCounters(t.c);
}

TEST(ContainerModel, DeletingASubtreeRestoresTheCountersBeforeIt) {
    Tree t;
    Record* keep = t.c.AddEntry(t.root, FileInfo("keep.bin", 5000));
    ASSERT_NE(keep, nullptr);
    const Totals before{t.root->subFolders, t.root->totalFolders, t.root->files,
                        t.root->totalFiles, t.root->size,         t.root->allocated};
    Record* sub = t.c.AddEntry(t.root, FolderInfo("sub"));
    t.c.AddEntry(sub, FileInfo("x", 10));
    Record* inner = t.c.NewFolder(sub, "inner");
    t.c.AddEntry(inner, FileInfo("y", 4096));
    t.c.DeleteEntry(sub);
    EXPECT_EQ(t.root->subFolders, before.subFolders);
    EXPECT_EQ(t.root->totalFolders, before.totalFolders);
    EXPECT_EQ(t.root->files, before.files);
    EXPECT_EQ(t.root->totalFiles, before.totalFiles);
    EXPECT_EQ(t.root->size, before.size);
    EXPECT_EQ(t.root->allocated, before.allocated);
    EXPECT_EQ(t.c.GetFirstChild(t.root), keep);
    CheckCounters(t.c);
}

TEST(ContainerModel, UnlinkingALoneEntryEmptiesTheFolder) {
    Tree t;
    Record* f = t.c.AddEntry(t.root, FileInfo("f", 3));
    ASSERT_TRUE(t.c.UnlinkEntry(f));
    EXPECT_EQ(t.root->firstChild, nullptr);
    EXPECT_EQ(f->parent, t.root); // keeps its parent
    EXPECT_EQ(t.root->totalFiles, 0u);
    ASSERT_TRUE(t.c.RelinkEntry(t.root, f));
    EXPECT_EQ(t.c.GetFirstChild(t.root), f);
    CheckCounters(t.c);
    // Deleting an unlinked entry leaves its old folder alone.
    Record* g = t.c.AddEntry(t.root, FileInfo("g", 1));
    ASSERT_TRUE(t.c.UnlinkEntry(g));
    t.c.DeleteEntry(g);
    EXPECT_EQ(t.c.GetFirstChild(t.root), f);
    EXPECT_EQ(t.c.GetNextSibling(f), nullptr);
    CheckCounters(t.c);
}

TEST(ContainerModel, RefusedMovesLeaveTheEntryInItsPlace) {
    Tree t;
    Record* a = t.c.AddEntry(t.root, FolderInfo("a"));
    Record* b = t.c.AddEntry(a, FolderInfo("b"));
    Record* file = t.c.AddEntry(t.root, FileInfo("file", 10));
    Record* after = t.c.AddEntry(t.root, FileInfo("after", 1));
    // Into a file, into itself, into its own subtree.
    EXPECT_FALSE(t.c.MoveEntry(a, file));
    EXPECT_FALSE(t.c.MoveEntry(a, a));
    EXPECT_FALSE(t.c.MoveEntry(a, b));
    EXPECT_FALSE(t.c.MoveEntry(t.root, a));
    EXPECT_EQ(t.c.GetFirstChild(t.root), a); // same place in the ring
    EXPECT_EQ(t.c.GetNextSibling(a), file);
    EXPECT_EQ(t.c.GetNextSibling(file), after);
    CheckCounters(t.c);
    ASSERT_TRUE(t.c.MoveEntry(file, b));
    EXPECT_EQ(t.c.GetEntryPath(file), "\\a\\b\\file");
    EXPECT_EQ(a->size, 10u);
    CheckCounters(t.c);
}

TEST(ContainerModel, NamesAreCheckedByTheRulesOfEntryNames) {
    struct Case {
        std::string name;
        int code;
    };
    const std::vector<Case> cases = {
        {"", 10},
        {std::string(255, 'n'), 0},
        {std::string(256, 'n'), 8},
        {std::string(255, 'n') + "\xC3\xA9", 8}, // 256 characters
        {std::string(254, 'n') + "\xC3\xA9", 0}, // 255 characters, 256 bytes
        {" lead", 11},
        {"trail ", 11},
        {".lead", 11},
        {"trail.", 11},
        {"a?b", 11},
        {"a\\b", 11},
        {"a/b", 11},
        {"a:b", 11},
        {"a*b", 11},
        {"a\"b", 11},
        {"a<b", 11},
        {"a>b", 11},
        {"a|b", 11},
        {"a\nb", 11},
        {"caf\xE9", 11}, // not UTF-8
        {"read.me", 0},
        {"\xE4\xB8\xAD\xE6\x96\x87", 0},
        {std::string(219, 'n'), 0},
        {std::string(220, 'n'), 0},
        {std::string(221, 'n'), 0},
        {std::string(222, 'n'), 0},
        {"x;1", 0},
    };
    Tree t;
    Record* f = t.c.AddEntry(t.root, FileInfo("old", 1));
    Record* d = t.c.NewFolder(t.root, "dir");
    for (const Case& k : cases) {
        EXPECT_EQ(MIRROR_CONTAINER::ValidateEntryName(k.name), k.code) << k.name;
        EXPECT_EQ(IsValidCisFileName(k.name), k.code == 0) << k.name;
        // A valid name must also fit an image's directory record: 219 bytes for a file (";1"
        // follows it), 221 for a folder, whose name holds no ';'.
        const int asFile = k.code != 0 ? k.code : k.name.size() > 219 ? 8 : 0;
        const int asFolder = k.code != 0                             ? k.code
                             : k.name.size() > 221                   ? 8
                             : k.name.find(';') != std::string::npos ? 11
                                                                     : 0;
        for (const auto& [entry, expected] : {std::pair{f, asFile}, std::pair{d, asFolder}}) {
            const std::string before = entry->name;
            EXPECT_EQ(t.c.RenameEntry(entry, k.name), expected) << k.name;
            EXPECT_EQ(entry->name, expected == 0 ? k.name : before);
        }
        // Entries are never made with a name a file or an image could not give back.
        EXPECT_EQ(t.c.NewFolder(t.root, k.name) != nullptr, asFolder == 0) << k.name;
        EXPECT_EQ(t.c.AddEntry(t.root, FileInfo(k.name, 1)) != nullptr, asFile == 0) << k.name;
    }
    CheckCounters(t.c);
}

TEST(ContainerModel, FindsByNameWithoutRegardToCase) {
    Tree t;
    Record* readme = t.c.AddEntry(t.root, FileInfo("README.txt", 1));
    Record* other = t.c.AddEntry(t.root, FileInfo("other", 1));
    EXPECT_EQ(t.c.FindChildByName(t.root, "readme.TXT"), readme);
    EXPECT_EQ(t.c.FindChildByName(t.root, "readme"), nullptr);
    EXPECT_EQ(t.c.FindSiblingByName(other, "readme.txt"), readme);
    EXPECT_EQ(t.c.FindSiblingByName(readme, "README.TXT"), nullptr); // never itself
    EXPECT_EQ(t.c.HasChild(readme, t.root), readme);
    EXPECT_EQ(t.c.FindChildByName(readme, "x"), nullptr); // a file holds nothing
}

TEST(ContainerModel, EntryPathsAndNavigation) {
    Tree t;
    EXPECT_EQ(t.c.GetEntryPath(t.root), "\\");
    Record* a = t.c.AddEntry(t.root, FolderInfo("a"));
    Record* b = t.c.AddEntry(a, FileInfo("b.txt", 1));
    EXPECT_EQ(t.c.GetEntryPath(a), "\\a");
    EXPECT_EQ(t.c.GetEntryPath(b), "\\a\\b.txt");
    EXPECT_EQ(t.c.GetNextSibling(t.root), nullptr);
    EXPECT_EQ(t.c.GetNextSibling(b), nullptr);
    EXPECT_EQ(t.c.GetDisplayName(t.root), "My Container");
    EXPECT_TRUE(t.c.IsFolder(a));
    EXPECT_FALSE(t.c.IsFolder(b));
    // A freed record is refused by every operation.
    Record dead;
    dead.signature = kCisFreedSignature;
    EXPECT_EQ(t.c.GetSourcePath(&dead), "");
    EXPECT_EQ(t.c.GetEntryPath(&dead), "");
    EXPECT_EQ(t.c.AddEntry(&dead, FileInfo("x", 1)), nullptr);
    EXPECT_EQ(t.c.RenameEntry(&dead, "fine"), -1);
    EXPECT_FALSE(t.c.MoveEntry(&dead, t.root));
}

TEST(ContainerModel, DepthIsLimitedSoThatEveryContainerCanBeReadBack) {
    Tree t;
    Record* folder = t.root;
    for (int level = 1; level <= kCisMaxDepth; ++level) {
        folder = t.c.NewFolder(folder, "d");
        ASSERT_NE(folder, nullptr) << level;
    }
    EXPECT_EQ(t.c.NewFolder(folder, "d"), nullptr);
    EXPECT_EQ(t.c.AddEntry(folder, FileInfo("f", 1)), nullptr);
    // A two-level subtree cannot move one level from the bottom.
    Record* two = t.c.NewFolder(t.root, "two");
    t.c.NewFolder(two, "inner");
    EXPECT_FALSE(t.c.MoveEntry(two, folder->parent));
    EXPECT_EQ(two->parent, t.root);
    CheckCounters(t.c);
}

TEST(ContainerModel, NewContainerTakesTheFirstFreeTempName) {
    TempDir home;
    ProgramHome env(home.path());
    MIRROR_CONTAINER c;
    ASSERT_NE(c.NewContainer(), nullptr);
    EXPECT_EQ(c.GetSourcePath(c.GetRoot()), home / "TEMP.CIS");
    EXPECT_EQ(c.GetAttributes(c.GetRoot()), 0x10010u);
    WriteFile(home / "TEMP.CIS", {1});
    WriteFile(home / "TEMP(1).CIS", {1});
    c.NewContainer();
    EXPECT_EQ(c.GetSourcePath(c.GetRoot()), home / "TEMP(2).CIS");
}

TEST(ContainerModel, UpdatesCarryASizeChangeToTheAncestors) {
    Tree t;
    Record* a = t.c.AddEntry(t.root, FolderInfo("a"));
    Record* f = t.c.AddEntry(a, FileInfo("f", 100));
    Record* g = t.c.AddEntry(t.root, FileInfo("g", 5000, 42));
    auto info = FileInfo("f2", 3000, 7);
    ASSERT_TRUE(t.c.UpdateEntryFromInfo(f, info));
    EXPECT_EQ(f->name, "f2");
    EXPECT_EQ(f->secondTime, 7u);
    EXPECT_EQ(a->allocated, 4096u);
    ASSERT_TRUE(t.c.UpdateEntryFromRecord(f, g));
    EXPECT_EQ(a->size, 5000u);
    EXPECT_FALSE(t.c.UpdateEntryFromInfo(a, FileInfo("file", 1))); // folder from a file
    EXPECT_FALSE(t.c.UpdateEntryFromRecord(f, a));
    CheckCounters(t.c);
}

TEST(ContainerBinding, OwnHiddenNodeIsCountedAndReleasedByItsLastUser) {
    RecordingView view;
    MIRROR_CONTAINER c;
    c.SetBindingMode(MIRROR_CONTAINER::kOwnsHiddenNode);
    c.BindTreeView(&view, nullptr);
    ASSERT_EQ(view.nodes.size(), 1u);
    EXPECT_TRUE(view.hidden);
    EXPECT_EQ(view.nodes[0]->caption, "Custom_Tree");
    EXPECT_EQ(view.nodes[0]->data, c.GetRoot());
    EXPECT_EQ(c.GetDisplayName(c.GetRoot()), "My Container");
    c.BindTreeView(&view, nullptr); // a second user: no second node
    EXPECT_EQ(view.nodes.size(), 1u);
    EXPECT_EQ(c.UseCount(), 2u);
    c.ReleaseTreeBinding();
    EXPECT_TRUE(view.deleted.empty());
    c.ReleaseTreeBindingIfUsed();
    ASSERT_EQ(view.deleted.size(), 1u);
    EXPECT_EQ(c.BoundNode(), nullptr);
    c.ReleaseTreeBindingIfUsed(); // nothing left to release
    EXPECT_EQ(view.deleted.size(), 1u);

    c.BindTreeView(&view, nullptr);
    c.IncrementPending();
    c.ResetTreeBinding();
    EXPECT_EQ(c.PendingCount(), 0u);
    EXPECT_EQ(c.UseCount(), 0u);
    EXPECT_EQ(view.deleted.size(), 2u);
}

TEST(ContainerBinding, AnOwnersSlotIsUsedAsGivenAndNeverDeletedByTheContainer) {
    RecordingView view;
    MIRROR_CONTAINER c;
    vcl::TTreeNode* slot = reinterpret_cast<vcl::TTreeNode*>(&view);
    c.BindTreeView(&view, &slot);
    EXPECT_EQ(c.BoundNode(), slot);
    EXPECT_TRUE(view.nodes.empty());
    c.ReleaseTreeBinding(); // not binding mode 2
    c.ResetTreeBinding();
    EXPECT_TRUE(view.deleted.empty());
    EXPECT_EQ(c.IncrementPending(), 1u);
    EXPECT_EQ(c.DecrementPending(), 0u);
}

TEST(ContainerPathTable, FoldersAreNumberedInSortedPreOrderAndListedByLevel) {
    Tree t;
    Record* b = t.c.NewFolder(t.root, "b");
    t.c.AddEntry(t.root, FileInfo("z.txt", 1));
    Record* A = t.c.NewFolder(t.root, "A");
    Record* a2 = t.c.NewFolder(t.root, "a2");
    Record* bx = t.c.NewFolder(b, "x");
    Record* ay = t.c.NewFolder(A, "y");
    Record* ayq = t.c.NewFolder(ay, "q");
    Record* Ac = t.c.NewFolder(A, "C");
    std::uint32_t counter = 0;
    ASSERT_EQ(t.c.NumberDirectories(t.root, counter), 0);
    EXPECT_EQ(counter, 8u);
    // Rings sorted by bytes: upper case before lower case.
    std::vector<std::string> top;
    for (Record* r = t.c.GetFirstChild(t.root); r; r = t.c.GetNextSibling(r))
        top.push_back(r->name);
    EXPECT_EQ(top, (std::vector<std::string>{"A", "a2", "b", "z.txt"}));
    // Pre-order: root 1, A 2, C 3, y 4, q 5, a2 6, b 7, x 8.
    EXPECT_EQ(t.root->directoryNumber, 1);
    EXPECT_EQ(A->directoryNumber, 2);
    EXPECT_EQ(Ac->directoryNumber, 3);
    EXPECT_EQ(ay->directoryNumber, 4);
    EXPECT_EQ(ayq->directoryNumber, 5);
    EXPECT_EQ(a2->directoryNumber, 6);
    EXPECT_EQ(b->directoryNumber, 7);
    EXPECT_EQ(bx->directoryNumber, 8);

    CisFolderList list;
    ASSERT_TRUE(t.c.AllocPathTable(list));
    EXPECT_EQ(list.size(), 8u);
    EXPECT_EQ(t.c.PathTableSize(), 8 * sizeof(Record*));
    ASSERT_EQ(t.c.FillPathTable(list), 8u);
    std::vector<Record*> expected = {t.root, A, a2, b, Ac, ay, bx, ayq};
    EXPECT_EQ(list, expected);
    EXPECT_EQ(ayq->level, 3);
    CheckCounters(t.c);
}

// Random sequences of add, delete, move, rename and update; after every step each folder's
// counters are recomputed from its entries. Ends with a save and load that must give the same
// tree.
class ContainerProperty : public ::testing::TestWithParam<unsigned> {};

int Height(const Record* r) {
    int h = 0;
    if (Record* first = r->firstChild) {
        const Record* c = first;
        do {
            h = std::max(h, 1 + Height(c));
            c = c->next;
        } while (c != first);
    }
    return h;
}

TEST_P(ContainerProperty, CountersHoldThroughRandomEdits) {
    std::mt19937 rng(GetParam());
    auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    };
    Tree t;
    int made = 0;
    for (int step = 0; step < 300; ++step) {
        const auto entries = AllEntries(t.c, t.root);
        std::vector<Record*> folders;
        for (Record* r : entries)
            if (r->IsFolder()) folders.push_back(r);
        Record* any = entries[pick(entries.size())];
        Record* folder = folders[pick(folders.size())];
        const std::string name = "n" + std::to_string(made++);
        switch (pick(8)) {
        case 0:
        case 1:
            ASSERT_NE(t.c.AddEntry(folder, FileInfo(name, pick(3) == 0 ? 0 : pick(100000))),
                      nullptr);
            break;
        case 2:
            ASSERT_NE(pick(2) ? t.c.AddEntry(folder, FolderInfo(name))
                              : t.c.NewFolder(folder, name),
                      nullptr);
            break;
        case 3:
            if (any != t.root) t.c.DeleteEntry(any);
            break;
        case 4: {
            Record* oldParent = any->parent;
            bool inside = false;
            for (Record* a = folder; a; a = a->parent)
                inside |= a == any;
            const bool fits = CisEntryDepth(folder) + 1 + Height(any) <= kCisMaxDepth;
            const bool moved = t.c.MoveEntry(any, folder);
            EXPECT_EQ(moved, any != t.root && !inside && fits);
            EXPECT_EQ(any->parent, moved ? folder : oldParent);
            break;
        }
        case 5:
            if (any != t.root) {
                const bool good = pick(4) != 0;
                const std::string before = any->name;
                EXPECT_EQ(t.c.RenameEntry(any, good ? name : name + "?"), good ? 0 : 11);
                EXPECT_EQ(any->name, good ? name : before);
            }
            break;
        case 6:
            if (!any->IsFolder()) {
                ASSERT_TRUE(t.c.UpdateEntryFromInfo(any, FileInfo(any->name, pick(70000))));
            }
            break;
        default:
            if (!any->IsFolder()) {
                auto info = FileInfo(any->name, pick(9000), 99);
                ASSERT_TRUE(t.c.ApplySourceChanges(info, any,
                                                   kCisSourceSizeChanged | kCisSourceTimeChanged));
            }
            break;
        }
        CheckCounters(t.c);
        if (::testing::Test::HasFailure()) FAIL() << "after step " << step;
    }

    TempDir dir;
    ASSERT_EQ(t.c.SaveFile(dir / "p.CIS"), 0);
    MIRROR_CONTAINER back;
    ASSERT_EQ(back.LoadFile(dir / "p.CIS"), 0);
    const auto a = AllEntries(t.c, t.c.GetRoot());
    const auto b = AllEntries(back, back.GetRoot());
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i]->name, b[i]->name);
        EXPECT_EQ(a[i]->source, b[i]->source);
        EXPECT_EQ(a[i]->size, b[i]->size);
        EXPECT_EQ(a[i]->totalFiles, b[i]->totalFiles);
        EXPECT_EQ(a[i]->totalFolders, b[i]->totalFolders);
        EXPECT_EQ(a[i]->time, b[i]->time);
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ContainerProperty, ::testing::Values(1u, 7u, 2024u));

} // namespace
