// The container's side of the host: looking up sources, comparing entries with them and
// importing host folders.
#include "container.h"

#include "container_binding.h"
#include "container_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// Entries of one folder by upper-cased name, so that a large folder imports in linear time.
struct CisNameIndex {
    std::unordered_map<std::string, _CDH_CIS_RECORD_*> byName;
};

namespace {

using Record = _CDH_CIS_RECORD_;

// Names longer than this (in characters) are not imported, nor are entries whose container path
// would exceed kMaxImportPath characters.
constexpr std::size_t kMaxImportName = 221;
constexpr std::size_t kMaxImportPath = 255;

struct HostEntry {
    bool folder = false;
    std::uint32_t attributes = 0;
    CisFileTime time = 0;
    std::uint64_t size = 0;
};

// A regular file (also one reached through a symbolic link) or a folder (never through a link).
// Anything else, or nothing at all, is not found.
bool LookupHostEntry(const std::string& path, HostEntry& entry) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return false;
    if (S_ISLNK(st.st_mode)) {
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    }
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return false;
    entry.folder = S_ISDIR(st.st_mode);
    entry.attributes = entry.folder ? kCisAttrFolder : kCisAttrArchive;
    if ((st.st_mode & S_IWUSR) == 0) entry.attributes |= kCisAttrReadOnly;
    entry.time =
        CisFileTimeFromUnix(st.st_mtim.tv_sec, static_cast<std::uint32_t>(st.st_mtim.tv_nsec));
    entry.size = entry.folder ? 0 : static_cast<std::uint64_t>(st.st_size);
    return true;
}

std::string_view BaseName(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// The names in a folder, sorted by their bytes; "." and ".." left out. False when the folder
// cannot be listed.
bool ListFolder(const std::string& path, std::vector<std::string>& names) {
    names.clear();
    std::unique_ptr<DIR, DirCloser> dir(::opendir(path.c_str()));
    if (!dir) return false;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string_view name = e->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    std::sort(names.begin(), names.end());
    return true;
}

// Why a name cannot be an entry's: the name check's fault as an import reason.
std::optional<CisImportReason> NameFault(std::string_view name) {
    switch (CisValidateEntryName(name)) {
    case kCisNameOk:
        return std::nullopt;
    case kCisNameTooLong:
        return CisImportReason::NameTooLong;
    case kCisNameBadCharacter:
        return CisNameHasBadCharacter(name) ? CisImportReason::NameCharacter
                                            : CisImportReason::NameEdge;
    default:
        return CisImportReason::NameCharacter;
    }
}

// The host description of path, or why it cannot be an entry.
std::optional<CisImportReason> DescribeHostEntry(std::string_view path,
                                                 _CDH_CIS_FILE_INFO_STRUCT_& info) {
    info.fullPath = std::string(path);
    info.displayName = std::string(BaseName(path));
    if (const auto fault = NameFault(info.displayName)) return fault;
    if (path.size() >= kCisMaxSourceBytes) return CisImportReason::SourceTooLong;
    struct stat st {};
    if (::lstat(info.fullPath.c_str(), &st) != 0) return CisImportReason::NotFound;
    HostEntry entry;
    if (!LookupHostEntry(info.fullPath, entry)) return CisImportReason::NotRegular;
    // Neither would a name the image cannot hold.
    switch (CisImageNameCheck(info.displayName, entry.folder)) {
    case CisImageNameFault::TooLong:
        return CisImportReason::NameTooLongForImage;
    case CisImageNameFault::FolderVersion:
        return CisImportReason::FolderVersion;
    case CisImageNameFault::None:
        break;
    }
    // An entry the program cannot read would only fail the image build later.
    const int access = entry.folder ? (R_OK | X_OK) : R_OK;
    if (::faccessat(AT_FDCWD, info.fullPath.c_str(), access, AT_EACCESS) != 0)
        return CisImportReason::Unreadable;
    info.attributes = entry.attributes;
    info.time = entry.time;
    info.size = entry.size;
    return std::nullopt;
}

// The host path of a source as it stands now: the path itself when it is there; when it is gone,
// the path whose missing components each have exactly one match in their folder without regard
// to letter case (a source, or a folder above it, renamed only in letter case). Empty when there
// is no such path.
std::string FindSourceIgnoringCase(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) return path;
    if (path.empty() || path.front() != '/') return {};
    std::string found;
    std::size_t at = 1;
    while (at <= path.size()) {
        std::size_t end = path.find('/', at);
        if (end == std::string::npos) end = path.size();
        const std::string_view component = std::string_view(path).substr(at, end - at);
        at = end + 1;
        if (component.empty()) continue;
        const std::string exact = found + "/" + std::string(component);
        if (::lstat(exact.c_str(), &st) == 0) {
            found = exact;
            continue;
        }
        std::vector<std::string> names;
        if (!ListFolder(found.empty() ? "/" : found, names)) return {};
        std::string match;
        int matches = 0;
        for (const std::string& name : names) {
            if (SameNameIgnoringCase(name, component) && ++matches == 1) match = name;
        }
        if (matches != 1) return {};
        found += "/" + match;
    }
    return found;
}

} // namespace

bool GetFileSourceInfo(std::string_view path, _CDH_CIS_FILE_INFO_STRUCT_& info) {
    return !DescribeHostEntry(path, info).has_value();
}

std::optional<CisImportReason> DescribeFileSource(std::string_view path,
                                                  _CDH_CIS_FILE_INFO_STRUCT_& info) {
    return DescribeHostEntry(path, info);
}

std::uint32_t MIRROR_CONTAINER::CompareWithSource(FileInfo& info, const Record* record) const {
    if (record == nullptr || !record->IsLive() || record->IsVirtual()) return 0;
    // A source renamed only in letter case is found under its new spelling (flag 2).
    const std::string found = FindSourceIgnoringCase(record->source);
    HostEntry entry;
    if (found.empty() || !LookupHostEntry(found, entry)) return kCisSourceMissing;
    if (entry.folder != record->IsFolder()) return kCisSourceMissing;
    info.fullPath = found;
    info.displayName = std::string(BaseName(found));
    info.attributes = entry.attributes;
    info.time = entry.time;
    info.size = entry.size;
    std::uint32_t flags = 0;
    if (info.attributes != record->attributes) flags |= kCisSourceAttributesChanged;
    if (info.time != record->time) flags |= kCisSourceTimeChanged;
    if (!record->IsFolder() && info.size != record->size) flags |= kCisSourceSizeChanged;
    if (info.fullPath != record->source) flags |= kCisSourcePathChanged;
    return flags;
}

std::uint32_t MIRROR_CONTAINER::CheckEntrySource(FileInfo& info, const Record* record) const {
    if (record == nullptr || !record->IsLive()) return kCisSourceMissing;
    if (record->IsVirtual()) return 0;
    if (record->source.empty() || record->source.front() != '/') return kCisSourceMissing;
    return CompareWithSource(info, record);
}

bool MIRROR_CONTAINER::ApplySourceChanges(const FileInfo& info, Record* record,
                                          std::uint32_t flags) {
    if (record == nullptr || !record->IsLive()) return false;
    const bool infoFolder = (info.attributes & kCisAttrFolder) != 0;
    if (infoFolder != record->IsFolder() && (flags & kCisSourceMissing) == 0) return false;
    if ((flags & kCisSourceMissing) != 0) {
        // A folder's node (and with it its sub-folders' nodes) goes with the record: nothing in
        // the window may keep showing a freed record.
        if (binding_ && record->node) binding_->DeleteNode(record->node);
        DeleteEntry(record);
        return true;
    }
    if ((flags & kCisSourcePathChanged) != 0 &&
        !StorableEntry(record->name, info.fullPath, record->attributes, record->size))
        return false;
    if ((flags & kCisSourceAttributesChanged) != 0) record->attributes = info.attributes;
    if ((flags & kCisSourcePathChanged) != 0) record->source = info.fullPath;
    if ((flags & kCisSourceTimeChanged) != 0) {
        record->time = info.time;
        if (!record->IsFolder()) record->secondTime = info.time;
    }
    if ((flags & kCisSourceSizeChanged) != 0 && !record->IsFolder())
        SetFileSize(record, std::min(info.size, kCisMaxFileSize));
    return true;
}

CisImportResult MIRROR_CONTAINER::ImportHostPath(Record* parent, vcl::TTreeNode* parentNode,
                                                 std::string_view path) {
    CisImportResult result;
    if (importStop_.load() != 0) {
        result.stopped = true;
        return result;
    }
    if (parent == nullptr || !parent->IsLive() || !parent->IsFolder()) return result;
    std::string hostPath(path);
    while (hostPath.size() > 1 && hostPath.back() == '/')
        hostPath.pop_back();
    ImportInto(parent, parentNode, hostPath, Utf8Length(GetEntryPath(parent)), nullptr, result);
    return result;
}

void MIRROR_CONTAINER::ImportInto(Record* parent, vcl::TTreeNode* parentNode,
                                  const std::string& path, std::size_t parentPathLength,
                                  CisNameIndex* siblings, CisImportResult& result) {
    if (importStop_.load() != 0) {
        result.stopped = true;
        return;
    }
    if (binding_ != nullptr) binding_->ProcessMessages();
    const std::string_view name = BaseName(path);
    if (name == "." || name == "..") return;
    const auto refuse = [&](CisImportReason reason) { result.refused.push_back({path, reason}); };
    FileInfo info;
    if (const auto fault = DescribeHostEntry(path, info)) return refuse(*fault);
    const std::size_t nameLength = Utf8Length(name);
    if (nameLength > kMaxImportName) return refuse(CisImportReason::NameTooLong);
    if (parentPathLength + nameLength + 2 > kMaxImportPath)
        return refuse(CisImportReason::PathTooLong);

    const std::string key = UpperCaseName(name);
    Record* entry = nullptr;
    if (siblings != nullptr) {
        const auto found = siblings->byName.find(key);
        if (found != siblings->byName.end()) entry = found->second;
    } else {
        entry = FindChildByName(parent, name);
    }
    const bool folder = (info.attributes & kCisAttrFolder) != 0;
    if (entry != nullptr) {
        // A folder's content goes into the folder entry of its name, but never into a file
        // entry; a file already added from this very path stays as it is; any other file of that
        // name (a twin that differs in letter case among them) is refused.
        if (entry->IsFolder() != folder) return refuse(CisImportReason::NameTaken);
        if (!folder && entry->source != info.fullPath) return refuse(CisImportReason::NameTaken);
    } else {
        const int depth = CisEntryDepth(parent);
        if (depth < 0 || depth + 1 > kCisMaxDepth) return refuse(CisImportReason::TooDeep);
        entry = AddEntry(parent, info);
        if (entry == nullptr) return refuse(CisImportReason::NoMemory);
        if (siblings != nullptr) siblings->byName.emplace(key, entry);
        if (folder && binding_ != nullptr && parentNode != nullptr) {
            binding_->BeginUpdate();
            entry->node = binding_->AddNode(parentNode, entry->name, entry);
            binding_->EndUpdate();
        }
    }
    if (!folder) return;

    const std::size_t entryPathLength =
        (parent->parent == nullptr ? 0 : parentPathLength) + 1 + nameLength;
    CisNameIndex children;
    if (Record* first = entry->firstChild) {
        Record* c = first;
        do {
            children.byName.emplace(UpperCaseName(c->name), c);
            c = c->next;
        } while (c != first);
    }
    std::vector<std::string> names;
    if (!ListFolder(path, names)) return refuse(CisImportReason::Unreadable);
    for (const std::string& child : names) {
        if (importStop_.load() != 0) {
            result.stopped = true;
            return;
        }
        ImportInto(entry, entry->node, path == "/" ? "/" + child : path + "/" + child,
                   entryPathLength, &children, result);
    }
}
