// MIRROR_CONTAINER: a virtual tree of folders and files assembled from host files and folders
// (and folders made only in the container), from which a CD image is built. It keeps the folder
// counts and byte totals of every subtree rolled up to the root, binds the tree to a tree-view
// node, imports host folders, checks entries against their sources and is stored in ".CIS" files.
//
// Every operation that takes a record first checks its signature "R4" and does nothing for any
// other (a freed record is marked "XX"). All of it runs on the GUI thread; a build task reads the
// container from its worker while the pending counter keeps the windows from changing it.
#pragma once

#include "container_import.h"
#include "container_record.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ContainerTreeBinding;
struct CisNameIndex;

// Change flags of a source check.
inline constexpr std::uint32_t kCisSourceMissing = 1; // gone, or changed between file and folder
inline constexpr std::uint32_t kCisSourcePathChanged = 2;
inline constexpr std::uint32_t kCisSourceSizeChanged = 4;
inline constexpr std::uint32_t kCisSourceTimeChanged = 8;
inline constexpr std::uint32_t kCisSourceAttributesChanged = 16;

// Results of LoadFile and SaveFile.
inline constexpr int kCisOk = 0;
inline constexpr int kCisNoMemory = 1;
inline constexpr int kCisBadFormat = 2;
inline constexpr int kCisReadError = 3;
inline constexpr int kCisWriteError = 4;
inline constexpr int kCisOpenError = 5;
inline constexpr int kCisCloseError = 6;
// LoadFile: a folder of the file holds two entries whose names are the same but for letter case
// (a-z against A-Z), which the folder's lookups and case-folding readers of an image cannot tell
// apart; the file is refused as an import of the pair would be (LastLoadReport names them).
inline constexpr int kCisCaseTwins = 7;

// What the last LoadFile or LoadFromBytes found besides its result.
struct CisLoadReport {
    // Texts (names and sources) of a file in a code page that held bytes that are no character of
    // it: each such byte reads as U+FFFD, so that it shows, and the caller tells the user.
    std::size_t undecodableTexts = 0;
    // kCisCaseTwins: the folder's path in the container ("\" for the root) and the two names.
    std::string twinFolder, twinFirst, twinSecond;
};

// The folders of a container in path-table order, one pointer each.
using CisFolderList = std::vector<_CDH_CIS_RECORD_*>;

class MIRROR_CONTAINER {
public:
    using Record = _CDH_CIS_RECORD_;
    using FileInfo = _CDH_CIS_FILE_INFO_STRUCT_;
    static constexpr int kOwnsHiddenNode = 2; // binding mode of a container with its own node
    static constexpr char kRootName[] = "My Container";
    static constexpr char kHiddenNodeCaption[] = "Custom_Tree";

    MIRROR_CONTAINER();
    ~MIRROR_CONTAINER();
    MIRROR_CONTAINER(const MIRROR_CONTAINER&) = delete;
    MIRROR_CONTAINER& operator=(const MIRROR_CONTAINER&) = delete;

    // Frees any tree and makes an empty root named "My Container" whose source is the first of
    // TEMP.CIS, TEMP(1).CIS, ... in the program folder that does not exist. Null when out of
    // memory.
    Record* NewContainer();
    // Frees every record; no root afterwards.
    void Clear();

    // ---- Entries ----
    // A new entry for a host file or folder, last in folder's ring, counted up to the root. Null
    // for a bad name (or one an image cannot hold) or source text, a folder too deep, or no
    // memory.
    Record* AddEntry(Record* folder, const FileInfo& info);
    // A new virtual folder.
    Record* NewFolder(Record* folder, std::string_view name);
    // Rewrite an entry from a host description or another record of the same kind (folder or
    // file); a file's size change is carried to every ancestor.
    bool UpdateEntryFromInfo(Record* record, const FileInfo& info);
    bool UpdateEntryFromRecord(Record* record, const Record* other);
    // Frees the record and its subtree and takes their counts off every ancestor.
    void DeleteEntry(Record* record);
    // Appends to folder's ring without counting (for records that carry their own counters).
    void LinkChild(Record* folder, Record* record);
    // Takes the record out of its folder's ring and its counts off the ancestors; the record
    // keeps its parent pointer.
    bool UnlinkEntry(Record* record);
    // Puts the record into folder, counting. Refused into a file, into the record itself or its
    // own subtree, or deeper than the depth limit.
    bool RelinkEntry(Record* folder, Record* record);
    // Moves the record into folder; on failure it stays where it was.
    bool MoveEntry(Record* record, Record* folder);
    // 0 renamed, else the name check's code and nothing changes; a name the image cannot hold
    // (container_names.h) is 8 when too long, 11 for a folder name with ';'.
    int RenameEntry(Record* record, std::string_view name);
    // 0, 8 too long, 10 empty, 11 bad character (container_names.h).
    static int ValidateEntryName(std::string_view name);
    // Children of folder, or the record's siblings (itself excluded), by name without regard to
    // case; null when none.
    Record* FindChildByName(Record* folder, std::string_view name) const;
    Record* FindSiblingByName(Record* record, std::string_view name) const;
    // The record when it lies in folder's ring, else null.
    Record* HasChild(Record* record, Record* folder) const;

    // ---- Reading ----
    Record* GetRoot() const { return root_; }
    Record* GetFirstChild(const Record* record) const;
    // Null after the last entry of a ring and for the root.
    Record* GetNextSibling(const Record* record) const;
    std::string GetDisplayName(const Record* record) const;
    std::string GetSourcePath(const Record* record) const;
    std::uint32_t GetSubfolderCount(const Record* record) const;
    std::uint32_t GetTotalFolderCount(const Record* record) const;
    std::uint32_t GetFileCount(const Record* record) const;
    std::uint32_t GetTotalFileCount(const Record* record) const;
    std::uint32_t GetAttributes(const Record* record) const;
    std::uint64_t GetTotalSize(const Record* record) const;
    std::uint64_t GetAllocatedSize(const Record* record) const;
    CisFileTime GetTime(const Record* record) const;
    bool IsFolder(const Record* record) const;
    // The path inside the container: "\" for the root, "\a\b.txt" for b.txt in folder a.
    std::string GetEntryPath(const Record* record) const;

    // ---- Sources ----
    // Change flags of the entry against its host source; info gets the source as found. 1 for no
    // record or a source that is not an absolute host path, 0 for a virtual entry.
    std::uint32_t CheckEntrySource(FileInfo& info, const Record* record) const;
    std::uint32_t CompareWithSource(FileInfo& info, const Record* record) const;
    // Applies the changes that flags name from info; flag 1 deletes the entry.
    bool ApplySourceChanges(const FileInfo& info, Record* record, std::uint32_t flags);
    // Adds the host file or folder at path under parent, folders with all they hold. Only regular
    // files and folders the program can read are taken; symbolic links to folders are not
    // followed. New folders get a node under parentNode. Does nothing while the stop word is set.
    // Every entry left out comes back with its host path and the reason (container_log.h writes
    // them to the log and makes the box text).
    CisImportResult ImportHostPath(Record* parent, vcl::TTreeNode* parentNode,
                                   std::string_view path);
    void SetImportStop(std::uint32_t stop) { importStop_.store(stop); }
    std::uint32_t ImportStop() const { return importStop_.load(); }

    // ---- Tree binding ----
    // With a node slot: the container's node lives there (the main window's "My Container"
    // node). Without: counts one more user and, when not bound yet, hides the view, adds a
    // top-level node "Custom_Tree" in the own slot and starts a new empty container as its data.
    void BindTreeView(ContainerTreeBinding* view, vcl::TTreeNode** nodeSlot);
    // In binding mode 2 with a bound node: use count and pending counter 0, node deleted,
    // binding cleared.
    void ResetTreeBinding();
    // In binding mode 2 with a bound node: one user less; the last one deletes the node.
    void ReleaseTreeBinding();
    void ReleaseTreeBindingIfUsed();
    vcl::TTreeNode* BoundNode() const { return nodeSlot_ ? *nodeSlot_ : nullptr; }
    std::uint32_t UseCount() const { return useCount_; }
    std::uint32_t BindingMode() const { return bindingMode_; }
    void SetBindingMode(std::uint32_t mode) { bindingMode_ = mode; }

    // ---- Readers (build tasks) ----
    std::uint32_t IncrementPending() { return ++pending_; }
    std::uint32_t DecrementPending() { return --pending_; }
    std::uint32_t PendingCount() const { return pending_.load(); }

    // ---- ".CIS" files (cis_file.cpp) ----
    // 0, 1 no memory, 2 bad format (also a file of more than kCisMaxFileBytes, refused by its
    // size before it is read), 3 read error, 5 cannot open, 6 cannot close, 7 case twins. The
    // tree is replaced only on success; counters are recomputed from the entries read.
    int LoadFile(const std::string& path);
    const CisLoadReport& LastLoadReport() const { return loadReport_; }
    // The same from the bytes of a file; path becomes the root's source.
    int LoadFromBytes(const std::uint8_t* data, std::size_t size, const std::string& path);
    // 0, 4 write error (also a container whose file would pass kCisMaxFileBytes), 5 cannot open,
    // 6 cannot close. Writes a new file beside the old one and
    // renames it over, so that a failed save leaves the old file as it was. On success, when the
    // root has entries, the summary of the first ten is shown.
    int SaveFile(const std::string& path);
    // The bytes SaveFile writes, with path as the root's source; false without a root or memory,
    // or when they would pass kCisMaxFileBytes.
    bool SaveToBytes(const std::string& path, std::vector<std::uint8_t>& bytes) const;
    // Sum of the bytes, each unsigned, modulo 2^32.
    static std::uint32_t ByteSum(std::size_t count, const std::uint8_t* bytes);
    // Where texts meant for a plain message box go (the save summary); nothing is shown while
    // unset.
    void SetMessageSink(std::function<void(const std::string&)> sink) {
        messages_ = std::move(sink);
    }

    // ---- Path-table list (image builder) ----
    // Sorts every folder's ring by name (bytes) and numbers the folders in pre-order from 1.
    // 0, or 2 when out of memory.
    int NumberDirectories(Record* folder, std::uint32_t& counter);
    // A zeroed list with room for every folder (total folders of the root + 1); false when out
    // of memory or without a root.
    bool AllocPathTable(CisFolderList& list) const;
    std::size_t PathTableSize() const;
    // Fills the list with every folder of the container, each with its level (the root 0), and
    // sorts it into path-table order (after NumberDirectories); the number of folders.
    std::size_t FillPathTable(CisFolderList& list);
    static int CompareByName(const Record* a, const Record* b);
    static int CompareForPathTable(const Record* a, const Record* b);

private:
    friend class CisReader;

    void AdjustAncestors(Record* from, const Record* entry, bool add);
    void RingAppend(Record* folder, Record* record);
    void RingRemove(Record* record);
    bool AncestorsLive(const Record* record) const;
    // Gives a file entry a new size and carries the difference to every folder above it.
    static void SetFileSize(Record* record, std::uint64_t size);
    // Name, source text, kind and size that an entry may have, so that its file can be read back.
    static bool StorableEntry(std::string_view name, std::string_view source,
                              std::uint32_t attributes, std::uint64_t size);
    void FreeSubtree(Record* record);
    void ShowMessage(const std::string& text) const;
    void ImportInto(Record* parent, vcl::TTreeNode* parentNode, const std::string& path,
                    std::size_t parentPathLength, CisNameIndex* siblings, CisImportResult& result);

    Record* root_ = nullptr;
    CisLoadReport loadReport_;
    std::atomic<std::uint32_t> importStop_{0};
    vcl::TTreeNode** nodeSlot_ = nullptr;
    vcl::TTreeNode* ownSlot_ = nullptr;
    ContainerTreeBinding* binding_ = nullptr;
    std::uint32_t useCount_ = 0;
    std::atomic<std::uint32_t> pending_{0};
    std::uint32_t bindingMode_ = 0;
    std::function<void(const std::string&)> messages_;
};

// The host description of path: false for a name that is no valid entry name, an entry that is
// not a regular file or folder (a symbolic link counts as the regular file it names, never as a
// folder), or one the program cannot read (a folder it cannot list).
bool GetFileSourceInfo(std::string_view path, _CDH_CIS_FILE_INFO_STRUCT_& info);
// The same with the reason when path cannot be an entry (nothing when it can).
std::optional<CisImportReason> DescribeFileSource(std::string_view path,
                                                  _CDH_CIS_FILE_INFO_STRUCT_& info);

// Depth below the root (the root is 0); -1 for a broken chain.
int CisEntryDepth(const _CDH_CIS_RECORD_* record);

// The main window's container ("My Container"), made at program start.
extern MIRROR_CONTAINER MainContainer;
void CisFileStartup();
// Frees the main container's tree; the object stays.
void CisFileShutdown();
