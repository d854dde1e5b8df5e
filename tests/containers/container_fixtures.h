// Helpers of the container tests: ".CIS" bytes laid out by hand at the offsets of the file's
// record tables (independent of the program's encoder), a checker that recomputes every counter
// of a container from its entries, and a temporary folder.
#pragma once

#include "container.h"
#include "container_binding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace fixtures {

using Bytes = std::vector<std::uint8_t>;

inline void PutLe(Bytes& b, std::size_t at, std::uint64_t v, int width) {
    if (b.size() < at + width) b.resize(at + width);
    for (int i = 0; i < width; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::uint32_t SumOf(const Bytes& b, std::size_t n) {
    std::uint32_t s = 0;
    for (std::size_t i = 0; i < n; ++i)
        s += b[i];
    return s;
}

// Header of version 0x0400: 140 bytes, byte sum of 0-135 at 136.
// With textMark, bytes 6-9 say "UTF8": the texts are stored as the program uses them (the files
// this program writes); without, they are in the code page (the files of the earlier program).
inline Bytes Header4(bool textMark = false) {
    Bytes b(140, 0);
    b[0] = 'C', b[1] = 'I', b[2] = 'S', b[3] = 0;
    PutLe(b, 4, 0x0400, 2);
    if (textMark) b[6] = 'U', b[7] = 'T', b[8] = 'F', b[9] = '8';
    PutLe(b, 136, SumOf(b, 136), 4);
    return b;
}

// Header of version 0x0100: 32 bytes, byte sum of 0-27 at 28.
inline Bytes Header1() {
    Bytes b(32, 0);
    b[0] = 'C', b[1] = 'I', b[2] = 'S', b[3] = 0;
    PutLe(b, 4, 0x0100, 2);
    for (std::size_t i = 6; i < 28; ++i)
        b[i] = static_cast<std::uint8_t>(i); // not interpreted
    PutLe(b, 28, SumOf(b, 28), 4);
    return b;
}

struct R4 {
    std::uint32_t attributes = 0;
    std::uint64_t time = 0;
    std::uint16_t dirNumber = 0, level = 0; // folders
    std::uint64_t secondTime = 0;           // files
    std::uint32_t subFolders = 0, totalFolders = 0, files = 0, totalFiles = 0;
    std::uint64_t size = 0, allocated = 0, extent = 0;
    std::string source, name;
};

// One "R4" record: 68-byte header, then source and name with their zero bytes.
inline Bytes EncodeR4(const R4& r) {
    Bytes b(68, 0);
    const std::size_t sl = r.source.size() + 1, nl = r.name.size() + 1;
    b[0] = 'R', b[1] = '4';
    PutLe(b, 2, 68 + sl + nl, 2);
    PutLe(b, 4, r.attributes, 4);
    PutLe(b, 12, r.time, 8);
    if (r.attributes & 0x10) {
        PutLe(b, 20, r.dirNumber, 2);
        PutLe(b, 22, r.level, 2);
        PutLe(b, 24, r.subFolders, 4);
        PutLe(b, 28, r.totalFolders, 4);
        PutLe(b, 32, r.files, 4);
        PutLe(b, 36, r.totalFiles, 4);
    } else {
        PutLe(b, 20, r.secondTime, 8);
    }
    PutLe(b, 40, r.size, 8);
    PutLe(b, 48, r.allocated, 8);
    PutLe(b, 56, r.extent, 8);
    PutLe(b, 64, sl, 2);
    PutLe(b, 66, nl, 2);
    b.insert(b.end(), r.source.begin(), r.source.end());
    b.push_back(0);
    b.insert(b.end(), r.name.begin(), r.name.end());
    b.push_back(0);
    return b;
}

struct R1 {
    std::uint32_t attributes = 0;
    std::uint32_t time = 0;       // seconds since 1970
    std::uint32_t secondTime = 0; // files
    std::uint16_t dirNumber = 0, level = 0, subFolders = 0, totalFolders = 0;
    std::uint32_t files = 0, totalFiles = 0;
    std::uint32_t size = 0, allocated = 0, extent = 0;
    std::string source, name;
};

// One "R1" record: 64-byte header, then source and name, lengths stored without the zero.
inline Bytes EncodeR1(const R1& r) {
    Bytes b(64, 0);
    b[0] = 'R', b[1] = '1';
    for (std::size_t i = 2; i < 20; ++i)
        b[i] = 0xEE; // not interpreted
    PutLe(b, 20, r.attributes, 4);
    PutLe(b, 24, r.time, 4);
    if (r.attributes & 0x10) {
        PutLe(b, 28, r.dirNumber, 2);
        PutLe(b, 30, r.level, 2);
    } else {
        PutLe(b, 28, r.secondTime, 4);
    }
    PutLe(b, 32, r.subFolders, 2);
    PutLe(b, 34, r.totalFolders, 2);
    PutLe(b, 36, r.files, 4);
    PutLe(b, 40, r.totalFiles, 4);
    PutLe(b, 44, 0xDEADBEEF, 4); // not interpreted
    PutLe(b, 48, r.size, 4);
    PutLe(b, 52, r.allocated, 4);
    PutLe(b, 56, r.extent, 4);
    PutLe(b, 60, r.source.size(), 2);
    PutLe(b, 62, r.name.size(), 2);
    b.insert(b.end(), r.source.begin(), r.source.end());
    b.push_back(0);
    b.insert(b.end(), r.name.begin(), r.name.end());
    b.push_back(0);
    return b;
}

inline void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

// An entry directly below the root of a hand-made container file.
struct TopEntry {
    TopEntry(std::string name_, bool folder_ = false, std::string source_ = {},
             std::uint64_t size_ = 1, std::uint64_t time_ = 0)
        : name(std::move(name_)), folder(folder_), source(std::move(source_)), size(size_),
          time(time_) {}
    std::string name;
    bool folder;
    std::string source; // empty: a virtual folder, or "/host/<name>" for a file
    std::uint64_t size;
    std::uint64_t time; // FILETIME
};

// The bytes of a container file (with the text mark) whose root holds the entries, as a file
// from elsewhere may hold them: names the program's own checks would refuse are written as given.
inline Bytes ContainerFileOf(const std::vector<TopEntry>& entries) {
    std::uint32_t folders = 0, files = 0;
    for (const TopEntry& e : entries)
        ++(e.folder ? folders : files);
    Bytes b = Header4(true);
    Append(b, EncodeR4({.attributes = 0x10010,
                        .subFolders = folders,
                        .files = files,
                        .source = "/c.CIS",
                        .name = "My Container"}));
    for (const TopEntry& e : entries) {
        const bool isVirtual = e.folder && e.source.empty();
        Append(b, EncodeR4({.attributes = e.folder ? (isVirtual ? 0x10010u : 0x10u) : 0x20u,
                            .time = e.time,
                            .secondTime = e.folder ? 0 : e.time,
                            .size = e.folder ? 0 : e.size,
                            .allocated = e.folder ? 0 : (e.size + 2047) / 2048 * 2048,
                            .source = e.source.empty() && !e.folder ? "/host/" + e.name : e.source,
                            .name = e.name}));
    }
    return b;
}

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), {});
}

inline void WriteFile(const std::string& path, const Bytes& b) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// A fresh folder removed with its content at the end of the scope.
class TempDir {
public:
    explicit TempDir(const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
        std::string pattern = (base / "cis-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        // Give back permissions a test took away, so that everything can be removed.
        for (auto it = std::filesystem::recursive_directory_iterator(
                 path_, std::filesystem::directory_options::skip_permission_denied, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (!it->is_symlink(ec)) ::chmod(it->path().c_str(), 0700);
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

using Record = _CDH_CIS_RECORD_;

// Every entry below (and including) top, pre-order, through the container's navigation.
inline std::vector<Record*> AllEntries(const MIRROR_CONTAINER& c, Record* top) {
    std::vector<Record*> out;
    if (top == nullptr) return out;
    out.push_back(top);
    for (Record* child = c.GetFirstChild(top); child != nullptr; child = c.GetNextSibling(child)) {
        auto sub = AllEntries(c, child);
        out.insert(out.end(), sub.begin(), sub.end());
    }
    return out;
}

struct Totals {
    std::uint32_t subFolders = 0, totalFolders = 0, files = 0, totalFiles = 0;
    std::uint64_t size = 0, allocated = 0;
};

// Recomputes a folder's counters from its entries and checks each folder's stored values and the
// links of every ring on the way; the failures are reported against the entry's path.
inline Totals CheckSubtree(const MIRROR_CONTAINER& c, Record* folder) {
    Totals t;
    Record* first = folder->firstChild;
    if (first != nullptr) {
        Record* r = first;
        int guard = 0;
        do {
            EXPECT_EQ(r->parent, folder) << c.GetEntryPath(r);
            EXPECT_EQ(r->next->prev, r) << c.GetEntryPath(r);
            EXPECT_EQ(r->signature, kCisRecordSignature);
            if (r->IsFolder()) {
                const Totals sub = CheckSubtree(c, r);
                ++t.subFolders;
                t.totalFolders += 1 + sub.totalFolders;
                t.totalFiles += sub.totalFiles;
                t.size += sub.size;
                t.allocated += sub.allocated;
            } else {
                EXPECT_EQ(r->firstChild, nullptr);
                EXPECT_EQ(r->allocated, (r->size + 2047) / 2048 * 2048) << c.GetEntryPath(r);
                ++t.files;
                ++t.totalFiles;
                t.size += r->size;
                t.allocated += (r->size + 2047) / 2048 * 2048;
            }
            r = r->next;
        } while (r != first && ++guard < 100000);
    }
    const std::string where = c.GetEntryPath(folder);
    EXPECT_EQ(folder->subFolders, t.subFolders) << where;
    EXPECT_EQ(folder->totalFolders, t.totalFolders) << where;
    EXPECT_EQ(folder->files, t.files) << where;
    EXPECT_EQ(folder->totalFiles, t.totalFiles) << where;
    EXPECT_EQ(folder->size, t.size) << where;
    EXPECT_EQ(folder->allocated, t.allocated) << where;
    return t;
}

inline void CheckCounters(const MIRROR_CONTAINER& c) {
    ASSERT_NE(c.GetRoot(), nullptr);
    ASSERT_EQ(c.GetRoot()->parent, nullptr);
    CheckSubtree(c, c.GetRoot());
}

// A host description that needs no host.
inline _CDH_CIS_FILE_INFO_STRUCT_ FileInfo(const std::string& name, std::uint64_t size,
                                           std::uint64_t time = 130000000000000000ull) {
    _CDH_CIS_FILE_INFO_STRUCT_ info;
    info.displayName = name;
    info.fullPath = "/host/" + name;
    info.attributes = 0x20;
    info.time = time;
    info.size = size;
    return info;
}

inline _CDH_CIS_FILE_INFO_STRUCT_ FolderInfo(const std::string& name) {
    auto info = FileInfo(name, 0);
    info.attributes = 0x10;
    return info;
}

// Points the program folder at dir for the life of the object.
class ProgramHome {
public:
    explicit ProgramHome(const std::string& dir) { ::setenv("BRIMLET_HOME", dir.c_str(), 1); }
    ~ProgramHome() { ::unsetenv("BRIMLET_HOME"); }
};

// A tree view that records what the container asks of it.
class RecordingView : public ContainerTreeBinding {
public:
    struct Node {
        Node* parent;
        std::string caption;
        Record* data;
    };
    void BeginUpdate() override { ++depth; }
    void EndUpdate() override { --depth; }
    void Hide() override { hidden = true; }
    vcl::TTreeNode* AddNode(vcl::TTreeNode* parent, std::string_view caption,
                            Record* data) override {
        EXPECT_EQ(depth, 1) << "nodes are added inside an update bracket";
        nodes.push_back(std::make_unique<Node>(
            Node{reinterpret_cast<Node*>(parent), std::string(caption), data}));
        return reinterpret_cast<vcl::TTreeNode*>(nodes.back().get());
    }
    void DeleteNode(vcl::TTreeNode* node) override {
        deleted.push_back(reinterpret_cast<Node*>(node));
    }
    void ProcessMessages() override { ++messageRuns; }

    int depth = 0;
    bool hidden = false;
    int messageRuns = 0;
    std::vector<std::unique_ptr<Node>> nodes;
    std::vector<Node*> deleted;
};

} // namespace fixtures
