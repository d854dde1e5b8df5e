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

// The names in a folder, sorted by their bytes; "." and ".." left out.
std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(path.c_str()));
    if (!dir) return names;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string_view name = e->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

bool GetFileSourceInfo(std::string_view path, _CDH_CIS_FILE_INFO_STRUCT_& info) {
    info.fullPath = std::string(path);
    info.displayName = std::string(BaseName(path));
    if (!IsValidCisFileName(info.displayName)) return false;
    if (path.size() >= kCisMaxSourceBytes) return false;
    HostEntry entry;
    if (!LookupHostEntry(info.fullPath, entry)) return false;
    // An entry the program cannot read would only fail the image build later.
    const int access = entry.folder ? (R_OK | X_OK) : R_OK;
    if (::faccessat(AT_FDCWD, info.fullPath.c_str(), access, AT_EACCESS) != 0) return false;
    info.attributes = entry.attributes;
    info.time = entry.time;
    info.size = entry.size;
    return true;
}

std::uint32_t MIRROR_CONTAINER::CompareWithSource(FileInfo& info, const Record* record) const {
    if (record == nullptr || !record->IsLive() || record->IsVirtual()) return 0;
    HostEntry entry;
    if (!LookupHostEntry(record->source, entry)) return kCisSourceMissing;
    if (entry.folder != record->IsFolder()) return kCisSourceMissing;
    info.fullPath = record->source;
    info.displayName = std::string(BaseName(record->source));
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

void MIRROR_CONTAINER::ImportHostPath(Record* parent, vcl::TTreeNode* parentNode,
                                      std::string_view path) {
    if (importStop_.load() != 0) return;
    if (parent == nullptr || !parent->IsLive() || !parent->IsFolder()) return;
    std::string hostPath(path);
    while (hostPath.size() > 1 && hostPath.back() == '/')
        hostPath.pop_back();
    ImportInto(parent, parentNode, hostPath, Utf8Length(GetEntryPath(parent)), nullptr);
}

void MIRROR_CONTAINER::ImportInto(Record* parent, vcl::TTreeNode* parentNode,
                                  const std::string& path, std::size_t parentPathLength,
                                  CisNameIndex* siblings) {
    if (importStop_.load() != 0) return;
    if (binding_ != nullptr) binding_->ProcessMessages();
    const std::string_view name = BaseName(path);
    if (name == "." || name == "..") return;
    FileInfo info;
    if (!GetFileSourceInfo(path, info)) return;
    const std::size_t nameLength = Utf8Length(name);
    if (nameLength > kMaxImportName || parentPathLength + nameLength + 2 > kMaxImportPath) return;

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
        // An entry of that name but the other kind stays as it is: a folder's content never goes
        // into a file entry.
        if (entry->IsFolder() != folder) return;
    } else {
        entry = AddEntry(parent, info);
        if (entry == nullptr) return;
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
    for (const std::string& child : ListFolder(path)) {
        if (importStop_.load() != 0) return;
        ImportInto(entry, entry->node, path == "/" ? "/" + child : path + "/" + child,
                   entryPathLength, &children);
    }
}
