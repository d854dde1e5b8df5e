#include "container.h"

#include "brandinfo.h"
#include "clock/clock.h"
#include "container_binding.h"
#include "container_names.h"
#include "paths/paths.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <new>
#include <string>
#include <vector>

namespace {

using Record = _CDH_CIS_RECORD_;

bool Live(const Record* r) {
    return r != nullptr && r->IsLive();
}

bool LiveFolder(const Record* r) {
    return Live(r) && r->IsFolder();
}

// A text the file format can hold: no zero byte, and with its terminator within the limit.
bool StorableText(std::string_view text, std::size_t limit) {
    return text.size() < limit && text.find('\0') == std::string_view::npos;
}

// Levels of entries below the record (0 for a file or an empty folder).
int SubtreeHeight(const Record* record) {
    if (!record->IsFolder() || record->firstChild == nullptr) return 0;
    int height = 0;
    const Record* c = record->firstChild;
    do {
        height = std::max(height, 1 + SubtreeHeight(c));
        c = c->next;
    } while (c != record->firstChild);
    return height;
}

// A record that lies in its parent's ring (an unlinked record keeps its parent pointer).
bool Linked(const Record* r) {
    return r->parent != nullptr && (r->next != r || r->parent->firstChild == r);
}

template <typename F> void ForEachRecord(Record* top, F f) {
    if (top == nullptr) return;
    std::vector<Record*> stack{top};
    while (!stack.empty()) {
        Record* r = stack.back();
        stack.pop_back();
        if (Record* first = r->firstChild) {
            Record* c = first;
            do {
                stack.push_back(c);
                c = c->next;
            } while (c != first);
        }
        f(r);
    }
}

} // namespace

CisFileTime CisFileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds) {
    if (seconds < -kCisFileTimeEpochOffset) return 0;
    return static_cast<CisFileTime>(seconds + kCisFileTimeEpochOffset) * 10000000u +
           nanoseconds / 100u;
}

CisFileTime CisFileTimeNow() {
    const auto since = platform::Now().time_since_epoch();
    const auto seconds = std::chrono::floor<std::chrono::seconds>(since);
    const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds);
    return CisFileTimeFromUnix(seconds.count(), static_cast<std::uint32_t>(nanos.count()));
}

int CisEntryDepth(const _CDH_CIS_RECORD_* record) {
    int depth = 0;
    for (const Record* a = record->parent; a != nullptr; a = a->parent)
        if (++depth > kCisMaxDepth + 1) return -1;
    return depth;
}

bool MIRROR_CONTAINER::StorableEntry(std::string_view name, std::string_view source,
                                     std::uint32_t attributes, std::uint64_t size) {
    const bool folder = (attributes & kCisAttrFolder) != 0;
    if ((attributes & kCisAttrVirtual) != 0 && !folder) return false; // a virtual file is no entry
    // A name the image cannot hold is refused here, not at the end of a build.
    return IsValidCisFileName(name) && CisImageNameCheck(name, folder) == CisImageNameFault::None &&
           StorableText(source, kCisMaxSourceBytes) && (folder || size <= kCisMaxFileSize);
}

MIRROR_CONTAINER::MIRROR_CONTAINER() = default;

MIRROR_CONTAINER::~MIRROR_CONTAINER() {
    Clear();
}

void MIRROR_CONTAINER::FreeSubtree(Record* record) {
    ForEachRecord(record, [](Record* r) {
        r->signature = kCisFreedSignature;
        delete r;
    });
}

void MIRROR_CONTAINER::Clear() {
    FreeSubtree(root_);
    root_ = nullptr;
}

MIRROR_CONTAINER::Record* MIRROR_CONTAINER::NewContainer() {
    Clear();
    auto* root = new (std::nothrow) Record;
    if (root == nullptr) return nullptr;
    root->attributes = kCisAttrVirtualFolder;
    root->time = CisFileTimeNow();
    const std::string folder = platform::ProgramFolder();
    std::string candidate = folder + "/TEMP.CIS";
    struct stat st {};
    for (unsigned n = 1; ::lstat(candidate.c_str(), &st) == 0; ++n)
        candidate = folder + "/TEMP(" + std::to_string(n) + ").CIS";
    root->source = candidate;
    root->name = kRootName;
    root_ = root;
    return root;
}

void MIRROR_CONTAINER::RingAppend(Record* folder, Record* record) {
    record->parent = folder;
    if (folder->firstChild == nullptr) {
        folder->firstChild = record;
        record->prev = record->next = record;
        return;
    }
    Record* first = folder->firstChild;
    Record* last = first->prev;
    last->next = record;
    record->prev = last;
    record->next = first;
    first->prev = record;
}

void MIRROR_CONTAINER::RingRemove(Record* record) {
    Record* parent = record->parent;
    if (record->next == record) {
        if (parent != nullptr && parent->firstChild == record) parent->firstChild = nullptr;
    } else {
        record->prev->next = record->next;
        record->next->prev = record->prev;
        if (parent != nullptr && parent->firstChild == record) parent->firstChild = record->next;
    }
    record->prev = record->next = record;
}

void MIRROR_CONTAINER::AdjustAncestors(Record* from, const Record* entry, bool add) {
    if (!Live(from)) return;
    const bool folder = entry->IsFolder();
    const std::uint32_t folders = folder ? 1 + entry->totalFolders : 0;
    const std::uint32_t files = folder ? entry->totalFiles : 1;
    std::uint32_t& direct = folder ? from->subFolders : from->files;
    direct = add ? direct + 1 : direct - 1;
    for (Record* a = from; Live(a); a = a->parent) {
        if (add) {
            a->totalFolders += folders;
            a->totalFiles += files;
            a->size += entry->size;
            a->allocated += entry->allocated;
        } else {
            a->totalFolders -= folders;
            a->totalFiles -= files;
            a->size -= entry->size;
            a->allocated -= entry->allocated;
        }
    }
}

bool MIRROR_CONTAINER::AncestorsLive(const Record* record) const {
    for (const Record* a = record->parent; a != nullptr; a = a->parent)
        if (!a->IsLive()) return false;
    return true;
}

MIRROR_CONTAINER::Record* MIRROR_CONTAINER::AddEntry(Record* folder, const FileInfo& info) {
    if (!LiveFolder(folder) || !AncestorsLive(folder)) return nullptr;
    if (!StorableEntry(info.displayName, info.fullPath, info.attributes, info.size)) return nullptr;
    const int depth = CisEntryDepth(folder);
    if (depth < 0 || depth + 1 > kCisMaxDepth) return nullptr;
    auto* r = new (std::nothrow) Record;
    if (r == nullptr) return nullptr;
    r->attributes = info.attributes;
    r->time = info.time;
    r->source = info.fullPath;
    r->name = info.displayName;
    if (!r->IsFolder()) {
        r->secondTime = info.time;
        r->size = info.size;
        r->allocated = CisAllocatedSize(info.size);
    }
    RingAppend(folder, r);
    AdjustAncestors(folder, r, true);
    return r;
}

MIRROR_CONTAINER::Record* MIRROR_CONTAINER::NewFolder(Record* folder, std::string_view name) {
    FileInfo info;
    info.displayName = std::string(name);
    info.fullPath = "Created by " + BrandInfo.APPNAME;
    info.attributes = kCisAttrVirtualFolder;
    info.time = CisFileTimeNow();
    return AddEntry(folder, info);
}

void MIRROR_CONTAINER::SetFileSize(Record* record, std::uint64_t size) {
    const std::uint64_t allocated = CisAllocatedSize(size);
    for (Record* a = record->parent; Live(a) && a->IsFolder(); a = a->parent) {
        a->size = a->size - record->size + size;
        a->allocated = a->allocated - record->allocated + allocated;
    }
    record->size = size;
    record->allocated = allocated;
}

bool MIRROR_CONTAINER::UpdateEntryFromInfo(Record* record, const FileInfo& info) {
    if (!Live(record) || !AncestorsLive(record)) return false;
    if (record->IsFolder() != ((info.attributes & kCisAttrFolder) != 0)) return false;
    if (!StorableEntry(info.displayName, info.fullPath, info.attributes, info.size)) return false;
    record->attributes = info.attributes;
    record->source = info.fullPath;
    record->name = info.displayName;
    record->time = info.time;
    if (!record->IsFolder()) {
        record->secondTime = info.time;
        SetFileSize(record, info.size);
    }
    return true;
}

bool MIRROR_CONTAINER::UpdateEntryFromRecord(Record* record, const Record* other) {
    if (!Live(record) || !Live(other) || !AncestorsLive(record)) return false;
    if (record->IsFolder() != other->IsFolder()) return false;
    if (!StorableEntry(other->name, other->source, other->attributes, other->size)) return false;
    record->attributes = other->attributes;
    record->source = other->source;
    record->name = other->name;
    record->time = other->time;
    if (!record->IsFolder()) {
        record->secondTime = other->secondTime;
        SetFileSize(record, other->size);
    }
    return true;
}

void MIRROR_CONTAINER::DeleteEntry(Record* record) {
    if (!Live(record)) return;
    if (Linked(record)) {
        Record* parent = record->parent;
        RingRemove(record);
        AdjustAncestors(parent, record, false);
    }
    if (record == root_) root_ = nullptr;
    FreeSubtree(record);
}

void MIRROR_CONTAINER::LinkChild(Record* folder, Record* record) {
    if (!Live(folder) || !Live(record)) return;
    RingAppend(folder, record);
}

bool MIRROR_CONTAINER::UnlinkEntry(Record* record) {
    if (!Live(record) || !LiveFolder(record->parent) || !Linked(record)) return false;
    Record* parent = record->parent;
    RingRemove(record);
    AdjustAncestors(parent, record, false);
    return true;
}

namespace {

// Whether record may go into folder: both entries, folder a folder and not the record or inside
// its subtree, and the subtree stays within the depth limit there.
bool CanPlace(const Record* folder, const Record* record) {
    if (!LiveFolder(folder) || !Live(record)) return false;
    for (const Record* a = folder; a != nullptr; a = a->parent)
        if (a == record) return false;
    const int depth = CisEntryDepth(folder);
    return depth >= 0 && depth + 1 + SubtreeHeight(record) <= kCisMaxDepth;
}

} // namespace

bool MIRROR_CONTAINER::RelinkEntry(Record* folder, Record* record) {
    if (!CanPlace(folder, record) || Linked(record) || record == root_) return false;
    RingAppend(folder, record);
    AdjustAncestors(folder, record, true);
    return true;
}

bool MIRROR_CONTAINER::MoveEntry(Record* record, Record* folder) {
    // Checked before anything changes, so that a refused move keeps the entry in its place.
    if (!CanPlace(folder, record)) return false;
    Record* old = record->parent;
    if (!UnlinkEntry(record)) return false;
    if (RelinkEntry(folder, record)) return true;
    if (RelinkEntry(old, record)) return false;
    record->parent = nullptr;
    record->prev = record->next = record;
    FreeSubtree(record);
    return false;
}

int MIRROR_CONTAINER::ValidateEntryName(std::string_view name) {
    return CisValidateEntryName(name);
}

int MIRROR_CONTAINER::RenameEntry(Record* record, std::string_view name) {
    const int code = ValidateEntryName(name);
    if (code != kCisNameOk) return code;
    if (!Live(record)) return -1;
    switch (CisImageNameCheck(name, record->IsFolder())) {
    case CisImageNameFault::TooLong:
        return kCisNameTooLong;
    case CisImageNameFault::FolderVersion:
        return kCisNameBadCharacter;
    case CisImageNameFault::None:
        break;
    }
    record->name = std::string(name);
    return kCisNameOk;
}

MIRROR_CONTAINER::Record* MIRROR_CONTAINER::FindChildByName(Record* folder,
                                                            std::string_view name) const {
    if (!LiveFolder(folder) || folder->firstChild == nullptr) return nullptr;
    Record* c = folder->firstChild;
    do {
        if (!c->IsLive()) return nullptr;
        if (SameNameIgnoringCase(c->name, name)) return c;
        c = c->next;
    } while (c != folder->firstChild);
    return nullptr;
}

MIRROR_CONTAINER::Record* MIRROR_CONTAINER::FindSiblingByName(Record* record,
                                                              std::string_view name) const {
    if (!Live(record)) return nullptr;
    for (Record* c = record->next; c != record && c->IsLive(); c = c->next)
        if (SameNameIgnoringCase(c->name, name)) return c;
    return nullptr;
}

MIRROR_CONTAINER::Record* MIRROR_CONTAINER::HasChild(Record* record, Record* folder) const {
    if (!Live(record) || !LiveFolder(folder) || folder->firstChild == nullptr) return nullptr;
    Record* c = folder->firstChild;
    do {
        if (c == record) return record;
        c = c->next;
    } while (c != folder->firstChild);
    return nullptr;
}

MIRROR_CONTAINER::Record* MIRROR_CONTAINER::GetFirstChild(const Record* record) const {
    return Live(record) ? record->firstChild : nullptr;
}

MIRROR_CONTAINER::Record* MIRROR_CONTAINER::GetNextSibling(const Record* record) const {
    if (!Live(record) || record->parent == nullptr) return nullptr;
    return record->next == record->parent->firstChild ? nullptr : record->next;
}

std::string MIRROR_CONTAINER::GetDisplayName(const Record* record) const {
    return Live(record) ? record->name : std::string();
}

std::string MIRROR_CONTAINER::GetSourcePath(const Record* record) const {
    return Live(record) ? record->source : std::string();
}

std::uint32_t MIRROR_CONTAINER::GetSubfolderCount(const Record* record) const {
    return Live(record) ? record->subFolders : 0;
}

std::uint32_t MIRROR_CONTAINER::GetTotalFolderCount(const Record* record) const {
    return Live(record) ? record->totalFolders : 0;
}

std::uint32_t MIRROR_CONTAINER::GetFileCount(const Record* record) const {
    return Live(record) ? record->files : 0;
}

std::uint32_t MIRROR_CONTAINER::GetTotalFileCount(const Record* record) const {
    return Live(record) ? record->totalFiles : 0;
}

std::uint32_t MIRROR_CONTAINER::GetAttributes(const Record* record) const {
    return Live(record) ? record->attributes : 0;
}

std::uint64_t MIRROR_CONTAINER::GetTotalSize(const Record* record) const {
    return Live(record) ? record->size : 0;
}

std::uint64_t MIRROR_CONTAINER::GetAllocatedSize(const Record* record) const {
    return Live(record) ? record->allocated : 0;
}

CisFileTime MIRROR_CONTAINER::GetTime(const Record* record) const {
    return Live(record) ? record->time : 0;
}

bool MIRROR_CONTAINER::IsFolder(const Record* record) const {
    return LiveFolder(record);
}

std::string MIRROR_CONTAINER::GetEntryPath(const Record* record) const {
    if (!Live(record)) return {};
    if (record->parent == nullptr) return "\\";
    // Names from the entry up; at most 65 folders are put in front of it.
    std::vector<const std::string*> names{&record->name};
    bool reachedRoot = false;
    int folders = 0;
    for (const Record* a = record->parent; a != nullptr && folders < 65; a = a->parent, ++folders) {
        if (a->parent == nullptr) {
            reachedRoot = true;
            break;
        }
        names.push_back(&a->name);
    }
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (reachedRoot || it != names.rbegin()) path += '\\';
        path += **it;
    }
    return path;
}

void MIRROR_CONTAINER::BindTreeView(ContainerTreeBinding* view, vcl::TTreeNode** nodeSlot) {
    if (nodeSlot != nullptr) {
        nodeSlot_ = nodeSlot;
        binding_ = view;
        return;
    }
    ++useCount_;
    if (nodeSlot_ != nullptr) return;
    binding_ = view;
    nodeSlot_ = &ownSlot_;
    Record* root = NewContainer();
    if (view == nullptr) return;
    view->Hide();
    view->BeginUpdate();
    ownSlot_ = view->AddNode(nullptr, kHiddenNodeCaption, root);
    view->EndUpdate();
}

void MIRROR_CONTAINER::ResetTreeBinding() {
    if (bindingMode_ != kOwnsHiddenNode || nodeSlot_ == nullptr || *nodeSlot_ == nullptr) return;
    useCount_ = 0;
    pending_ = 0;
    if (binding_ != nullptr) binding_->DeleteNode(*nodeSlot_);
    *nodeSlot_ = nullptr;
    nodeSlot_ = nullptr;
    ForEachRecord(root_, [](Record* r) { r->node = nullptr; });
}

void MIRROR_CONTAINER::ReleaseTreeBinding() {
    if (bindingMode_ != kOwnsHiddenNode || nodeSlot_ == nullptr || *nodeSlot_ == nullptr) return;
    if (useCount_ > 0) --useCount_;
    if (useCount_ > 0) return;
    if (binding_ != nullptr) binding_->DeleteNode(*nodeSlot_);
    *nodeSlot_ = nullptr;
    nodeSlot_ = nullptr;
    ForEachRecord(root_, [](Record* r) { r->node = nullptr; });
}

void MIRROR_CONTAINER::ReleaseTreeBindingIfUsed() {
    if (useCount_ >= 1) ReleaseTreeBinding();
}

void MIRROR_CONTAINER::ShowMessage(const std::string& text) const {
    if (messages_) messages_(text);
}

MIRROR_CONTAINER MainContainer;

void CisFileStartup() {
    MainContainer.Clear();
}

void CisFileShutdown() {
    MainContainer.Clear();
}
