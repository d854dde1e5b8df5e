// The entries of a container: one record per folder or file, linked into a tree of sibling rings,
// and the description of a host file that entries are made from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vcl {
class TTreeNode;
}

// Times are FILETIME values: 100 ns intervals since 1601-01-01 00:00 UTC.
using CisFileTime = std::uint64_t;
// Seconds between 1601-01-01 and 1970-01-01.
inline constexpr std::int64_t kCisFileTimeEpochOffset = 11644473600;

CisFileTime CisFileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds);
// Now, by the program's clock.
CisFileTime CisFileTimeNow();

inline constexpr std::uint16_t kCisRecordSignature = 0x3452; // "R4"
inline constexpr std::uint16_t kCisFreedSignature = 0x5858;  // "XX"

// Attribute bits.
inline constexpr std::uint32_t kCisAttrReadOnly = 0x01;
inline constexpr std::uint32_t kCisAttrHidden = 0x02;
inline constexpr std::uint32_t kCisAttrSystem = 0x04;
inline constexpr std::uint32_t kCisAttrFolder = 0x10;
inline constexpr std::uint32_t kCisAttrArchive = 0x20;
inline constexpr std::uint32_t kCisAttrVirtual = 0x10000; // no host source: virtual folders, root
inline constexpr std::uint32_t kCisAttrVirtualFolder = kCisAttrVirtual | kCisAttrFolder;

// Image sectors: allocated sizes are whole multiples of this.
inline constexpr std::uint64_t kCisBlockSize = 2048;

// Limits that keep every container writable to and readable from a ".CIS" file.
inline constexpr std::size_t kCisMaxNameCharacters = 255; // longer names are code 8
inline constexpr std::size_t kCisMaxNameBytes = 1024;     // stored name, terminator included
inline constexpr std::size_t kCisMaxSourceBytes = 4096;   // stored source, terminator included
inline constexpr int kCisMaxDepth = 64;                   // levels of entries below the root
// Bytes of a ".CIS" file: larger files are refused by their size before they are read, and a
// container that would write a larger one is not saved. 256 MiB hold over a million entries of
// typical paths.
inline constexpr std::uint64_t kCisMaxFileBytes = std::uint64_t{256} << 20;
// Sizes a stored file entry may claim (a host file is far smaller); sums stay inside 64 bits.
inline constexpr std::uint64_t kCisMaxFileSize = std::uint64_t{1} << 48;

// A host file or folder as the host describes it.
struct _CDH_CIS_FILE_INFO_STRUCT_ {
    std::string displayName; // last component of the path
    std::string fullPath;
    std::uint32_t attributes = 0;
    CisFileTime time = 0; // last write
    std::uint64_t size = 0;
};

// One entry. The fields up to `extent` and the two texts are what the file format stores.
struct _CDH_CIS_RECORD_ {
    std::uint16_t signature = kCisRecordSignature;
    std::uint16_t recordLength = 0; // set by the file writer
    std::uint32_t attributes = 0;
    std::uint32_t reserved = 0;
    CisFileTime time = 0;
    // Folders: directory number and level / sector count, set by the image builder.
    std::uint16_t directoryNumber = 0;
    std::uint16_t level = 0;
    // Files: a copy of `time` (stored where a folder keeps the two numbers above).
    CisFileTime secondTime = 0;
    // Folders: direct sub-folders, folders of the whole subtree, direct files, files of the
    // subtree.
    std::uint32_t subFolders = 0;
    std::uint32_t totalFolders = 0;
    std::uint32_t files = 0;
    std::uint32_t totalFiles = 0;
    std::uint64_t size = 0;      // file: its size; folder: sum over the subtree's files
    std::uint64_t allocated = 0; // the same in whole 2048-byte blocks
    std::uint64_t extent = 0;    // first image sector, set by the image builder
    std::string source;          // host path; the root: the container file; virtual: a note
    std::string name;            // display name
    std::string savedName;       // the display name while the image builder replaces it

    _CDH_CIS_RECORD_* parent = nullptr;
    _CDH_CIS_RECORD_* firstChild = nullptr;
    _CDH_CIS_RECORD_* prev = this; // ring of siblings; a lone entry points to itself
    _CDH_CIS_RECORD_* next = this;
    vcl::TTreeNode* node = nullptr; // the tree node that shows a folder, set by the window

    bool IsLive() const { return signature == kCisRecordSignature; }
    bool IsFolder() const { return (attributes & kCisAttrFolder) != 0; }
    bool IsVirtual() const { return (attributes & kCisAttrVirtual) != 0; }
};

// size rounded up to a whole multiple of 2048.
inline std::uint64_t CisAllocatedSize(std::uint64_t size) {
    return (size + kCisBlockSize - 1) / kCisBlockSize * kCisBlockSize;
}
