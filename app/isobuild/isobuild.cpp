// The volume structures of an image: numbering and ordering of the folders, the layout of the
// path tables and directories, the directory records and the volume descriptors.
#include "isobuild.h"

#include "clock/clock.h"
#include "container_names.h"
#include "iso9660_records.h"
#include "msgbox.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

using Record = _CDH_CIS_RECORD_;
using iso::kSectorSize;

// Image sizes of 64 GiB and more are refused.
constexpr std::uint64_t kMaxImageKiB = 67108864;
constexpr std::uint32_t kMaxDirectorySectors = 0xFFFF; // kept in a folder's 16-bit sector count

// Calls fn(child) for each child of folder in ring order while the task runs.
template <typename Fn> bool ForEachChild(Record* folder, const TaskRecord& task, Fn&& fn) {
    Record* first = folder->firstChild;
    if (first == nullptr) return true;
    Record* c = first;
    do {
        if (!task.Running()) return true;
        if (!fn(c)) return false;
        c = c->next;
    } while (c != first);
    return true;
}

void SetProgress(TaskRecord& task, std::uint64_t done, std::uint64_t total) {
    task.progress.store(static_cast<std::uint8_t>(
        total == 0 ? 100 : std::min<std::uint64_t>(done * 100 / total, 100)));
}

// Names the entry the image cannot hold in the task's path buffer; the code.
int Refuse(TaskRecord& task, const MIRROR_CONTAINER& container, const Record* entry,
           int code = task_error::TooLarge) {
    task.pathBuffer = container.GetEntryPath(entry);
    return code;
}

iso::DirectoryEntry FolderEntry(const Record& folder) {
    iso::DirectoryEntry e;
    e.extent = static_cast<std::uint32_t>(folder.extent);
    e.dataLength =
        static_cast<std::uint32_t>(folder.level) * static_cast<std::uint32_t>(kSectorSize);
    e.time = folder.time;
    e.folder = true;
    return e;
}

// The offset of a sector in the metadata buffer, which starts at sector 16.
std::uint64_t BufferOffset(std::uint64_t sector) {
    return (sector - iso::kPrimaryDescriptorSector) * kSectorSize;
}

} // namespace

std::uint32_t TypeMPathTableSector(const IsoLayout& layout) {
    return iso::kPathTableSector + layout.pathTableRounded / kSectorSize;
}

std::uint32_t FirstDirectorySector(const IsoLayout& layout) {
    return iso::kPathTableSector + 2 * (layout.pathTableRounded / kSectorSize);
}

std::uint64_t FirstFileSector(const IsoLayout& layout) {
    return FirstDirectorySector(layout) + layout.directoryAreaSize / kSectorSize;
}

std::uint64_t ImageSectors(const IsoLayout& layout, const MIRROR_CONTAINER& container) {
    const Record* root = container.GetRoot();
    return FirstFileSector(layout) + (root != nullptr ? root->allocated / kSectorSize : 0);
}

std::uint64_t MetadataBytes(const IsoLayout& layout) {
    return (FirstDirectorySector(layout) - iso::kPrimaryDescriptorSector) * kSectorSize +
           layout.directoryAreaSize;
}

int PrepareIsoTree(MIRROR_CONTAINER& container, TaskRecord& task, CisFolderList& folders) {
    task.status.store(task_status::Numbering);
    task.progress.store(0);
    std::uint32_t counter = 0;
    if (container.NumberDirectories(container.GetRoot(), counter) != 0) return task_error::NoMemory;
    task.progress.store(50);
    try {
        container.FillPathTable(folders);
    } catch (const std::bad_alloc&) {
        return task_error::NoMemory;
    }
    task.progress.store(100);
    return 0;
}

int BuildPathTables(MIRROR_CONTAINER& container, TaskRecord& task, IsoLayout& layout,
                    const CisFolderList& folders) {
    task.status.store(task_status::Layout);
    task.progress.store(0);
    const Record* root = container.GetRoot();
    const std::uint64_t total = std::uint64_t{root->totalFiles} + root->totalFolders;
    std::uint64_t done = 0;
    std::uint64_t pathTableSize = iso::kRootPathRecordLength;
    std::uint64_t directoryArea = 0;
    int refused = 0;

    for (std::size_t i = 0; i < folders.size() && task.Running(); ++i) {
        Record* folder = folders[i];
        folder->directoryNumber = static_cast<std::uint16_t>(i + 1);
        std::uint64_t position = 2 * iso::kDotRecordLength;
        const Record* previous = nullptr; // the children are in byte order of their names
        const bool ok = ForEachChild(folder, task, [&](Record* child) {
            SetProgress(task, ++done, total);
            const std::size_t id = iso::IdentifierLength(*child);
            if (child->IsFolder() ? id > iso::kMaxFolderIdentifier : id > iso::kMaxFileName) {
                refused = Refuse(task, container, child, task_error::NameTooLong);
                return false;
            }
            // Names a reader would not give back as they are (a container file can hold them,
            // the container's own checks refuse them): the build fails and the report names the
            // entry and the reason.
            const char* fault = nullptr;
            if (CisImageNameCheck(child->name, child->IsFolder()) ==
                CisImageNameFault::FolderVersion)
                fault = "a folder name with ';' comes back from the image without what follows "
                        "the ';', which readers take as a version number";
            else if (previous != nullptr && previous->name == child->name)
                fault = "another entry of the same folder has the same name";
            if (fault != nullptr) {
                refused = Refuse(task, container, child, task_error::NameNotKept);
                task.notes.push_back(task.pathBuffer + ": " + fault + ".");
                return false;
            }
            previous = child;
            if (!child->IsFolder() && child->size > iso::kMaxFileSize) {
                refused = Refuse(task, container, child);
                return false;
            }
            if (child->IsFolder()) pathTableSize += iso::PathTableRecordLength(*child);
            position = iso::PlaceRecord(position, iso::DirectoryRecordLength(*child));
            return true;
        });
        if (!ok) return refused;
        const std::uint64_t size = iso::NextSectorBoundary(position);
        if (size / kSectorSize > kMaxDirectorySectors) return Refuse(task, container, folder);
        folder->level = static_cast<std::uint16_t>(size / kSectorSize);
        folder->extent = directoryArea / kSectorSize; // relative until the path tables are sized
        directoryArea += size;
    }
    if (!task.Running()) return task_error::StoppedBuilding;

    layout.pathTableExact = static_cast<std::uint32_t>(pathTableSize);
    layout.pathTableRounded = static_cast<std::uint32_t>(iso::NextSectorBoundary(pathTableSize));
    layout.directoryAreaSize = directoryArea;
    const std::uint32_t firstDirectory = FirstDirectorySector(layout);
    for (Record* folder : folders)
        folder->extent += firstDirectory;
    return 0;
}

int BuildDirectoryRecords(MIRROR_CONTAINER& container, TaskRecord& task, IsoLayout& layout,
                          const CisFolderList& folders) {
    task.progress.store(0);
    const Record* root = container.GetRoot();
    const std::uint64_t total = std::uint64_t{root->totalFiles} + root->totalFolders;
    std::uint64_t done = 0;
    std::uint8_t* buffer = layout.metadata.data();
    const std::uint64_t bufferSize = layout.metadata.size();
    std::uint8_t* typeL = buffer + BufferOffset(iso::kPathTableSector);
    std::uint8_t* typeM = buffer + BufferOffset(TypeMPathTableSector(layout));
    const std::uint64_t firstFile = FirstFileSector(layout);

    layout.pathTableWritePos = static_cast<std::uint32_t>(iso::WriteRootPathTableRecord(
        typeL, iso::ByteOrder::Little, static_cast<std::uint32_t>(root->extent)));
    layout.fileDataBytes = 0;
    bool consistent = true;

    for (Record* folder : folders) {
        if (!task.Running()) break;
        const std::uint64_t base = BufferOffset(folder->extent);
        const std::uint64_t size = std::uint64_t{folder->level} * kSectorSize;
        if (base + size > bufferSize) return task_error::Inconsistent;
        std::uint8_t* extent = buffer + base;
        const iso::DirectoryEntry self = FolderEntry(*folder);
        iso::WriteDotRecords(extent, self, folder->parent ? FolderEntry(*folder->parent) : self);
        std::uint64_t position = 2 * iso::kDotRecordLength;

        ForEachChild(folder, task, [&](Record* child) {
            SetProgress(task, ++done, total);
            const std::size_t length = iso::DirectoryRecordLength(*child);
            const std::uint64_t start = iso::RecordStart(position, length);
            if (length > iso::kMaxRecordLength || start + length > size) {
                consistent = false;
                return false;
            }
            iso::DirectoryEntry entry;
            entry.identifier = child->name;
            entry.time = child->time;
            entry.folder = child->IsFolder();
            if (child->IsFolder()) {
                const std::size_t ptLength = iso::PathTableRecordLength(*child);
                if (layout.pathTableWritePos + ptLength > layout.pathTableExact) {
                    consistent = false;
                    return false;
                }
                layout.pathTableWritePos += static_cast<std::uint32_t>(iso::WritePathTableRecord(
                    typeL + layout.pathTableWritePos, iso::ByteOrder::Little, child->name,
                    static_cast<std::uint32_t>(child->extent), folder->directoryNumber));
                entry.extent = static_cast<std::uint32_t>(child->extent);
                entry.dataLength = static_cast<std::uint32_t>(child->level) *
                                   static_cast<std::uint32_t>(kSectorSize);
            } else {
                child->extent = firstFile + layout.fileDataBytes / kSectorSize;
                layout.fileDataBytes += child->allocated;
                entry.extent = static_cast<std::uint32_t>(child->extent);
                entry.dataLength = static_cast<std::uint32_t>(child->size);
            }
            iso::WriteDirectoryRecord(extent + start, entry);
            position = start + length;
            return true;
        });
        if (!consistent) return task_error::Inconsistent;
        layout.directoryWritePos = base + iso::NextSectorBoundary(position);
    }
    if (!task.Running()) return task_error::StoppedBuilding;
    if (layout.pathTableWritePos != layout.pathTableExact ||
        !iso::ConvertPathTableToBigEndian(typeL, typeM, layout.pathTableExact))
        return task_error::Inconsistent;
    return 0;
}

int WriteVolumeDescriptors(MIRROR_CONTAINER& container, TaskRecord& task, IsoLayout& layout) {
    task.status.store(task_status::Descriptors);
    task.progress.store(0);
    const Record* root = container.GetRoot();
    std::uint8_t* pvd = layout.metadata.data();
    const std::string maker = GetMessageText(2);
    char application[64];
    std::snprintf(application, sizeof application, "%s V%u.%02u", GetMessageText(808), 1u, 0u);

    pvd[iso::kVdTypeAt] = iso::kPrimaryDescriptorType;
    std::memcpy(pvd + iso::kVdStandardIdAt, iso::kStandardId, 5);
    pvd[iso::kVdVersionAt] = 1;
    iso::StoreBlankPadded(pvd + iso::kVdSystemIdAt, maker, iso::kVdSystemIdWidth);
    iso::StoreBlankPadded(pvd + iso::kVdVolumeIdAt, task.volumeLabel, iso::kVdVolumeIdWidth);
    iso::StoreBothEndian32(static_cast<std::uint32_t>(ImageSectors(layout, container)),
                           pvd + iso::kVdSpaceSizeAt);
    iso::StoreBothEndian16(1, pvd + iso::kVdSetSizeAt);
    iso::StoreBothEndian16(1, pvd + iso::kVdSequenceAt);
    iso::StoreBothEndian16(static_cast<std::uint16_t>(kSectorSize), pvd + iso::kVdBlockSizeAt);
    iso::StoreBothEndian32(layout.pathTableExact, pvd + iso::kVdPathTableSizeAt);
    iso::StoreIsoNumber(iso::ByteOrder::Little, 4, iso::kPathTableSector,
                        pvd + iso::kVdTypeLPathAt);
    iso::StoreIsoNumber(iso::ByteOrder::Big, 4, TypeMPathTableSector(layout),
                        pvd + iso::kVdTypeMPathAt);
    const iso::DirectoryEntry rootEntry = FolderEntry(*root);
    iso::WriteDirectoryRecord(pvd + iso::kVdRootRecordAt, rootEntry);
    iso::StoreBlankPadded(pvd + iso::kVdVolumeSetIdAt, root->name, iso::kVdLongIdWidth);
    iso::StoreBlankPadded(pvd + iso::kVdPublisherIdAt, maker, iso::kVdLongIdWidth);
    iso::StoreBlankPadded(pvd + iso::kVdPreparerIdAt, application, iso::kVdLongIdWidth);
    iso::StoreBlankPadded(pvd + iso::kVdApplicationIdAt, application, iso::kVdLongIdWidth);
    task.progress.store(50);
    const auto now = platform::Now();
    iso::StoreVolumeDate(0, pvd + iso::kVdCreationDateAt, now);
    iso::StoreVolumeDate(0, pvd + iso::kVdModificationDateAt, now);
    iso::StoreVolumeDate(100, pvd + iso::kVdExpirationDateAt, now);
    iso::StoreUnspecifiedVolumeDate(pvd + iso::kVdEffectiveDateAt);
    pvd[iso::kVdStructureVersionAt] = 1;

    std::uint8_t* terminator = pvd + kSectorSize;
    terminator[iso::kVdTypeAt] = iso::kTerminatorType;
    std::memcpy(terminator + iso::kVdStandardIdAt, iso::kStandardId, 5);
    terminator[iso::kVdVersionAt] = 1;
    task.progress.store(100);
    return 0;
}

int BuildIsoImage(MIRROR_CONTAINER& container, TaskRecord& task, IsoLayout& layout,
                  CisFolderList& folders) {
    layout = IsoLayout{};
    Record* root = container.GetRoot();
    if (root == nullptr) return task_error::NoMemory;
    // Directory numbers are 16 bits: refuse before anything is numbered.
    if (std::uint64_t{root->totalFolders} + 1 > iso::kMaxFolders)
        return Refuse(task, container, root);
    if (const int code = PrepareIsoTree(container, task, folders); code != 0) return code;
    if (const int code = BuildPathTables(container, task, layout, folders); code != 0) return code;
    if (2 * ImageSectors(layout, container) >= kMaxImageKiB) return Refuse(task, container, root);
    try {
        layout.metadata.assign(MetadataBytes(layout), 0);
    } catch (const std::bad_alloc&) {
        return task_error::NoMemory;
    } catch (const std::length_error&) {
        return task_error::NoMemory;
    }
    if (const int code = BuildDirectoryRecords(container, task, layout, folders); code != 0)
        return code;
    return WriteVolumeDescriptors(container, task, layout);
}

void FillImageDiscInfo(DiscInfo& disc, const TaskRecord& task, const IsoLayout& layout) {
    const std::uint64_t sectors =
        task.container != nullptr ? ImageSectors(layout, *task.container) : FirstFileSector(layout);
    disc = DiscInfo{};
    disc.readState = 1;
    disc.fileSystemCode = 0; // CDFS
    disc.discKind = disc_kind::Data;
    disc.readStateLess1 = 0;
    disc.timeEncoding = 2;
    disc.layers = 1;
    disc.trackPath = 0;
    disc.firstSession = 1;
    disc.lastSession = 1;
    disc.sessionCount = 1;
    disc.lastTrack = 1;
    disc.vdAddress = iso::kPrimaryDescriptorSector;
    disc.endAddress = sectors;
    disc.totalSectors = sectors;
    disc.tocSignature = sectors | 0x1000000;
    disc.volumeLabel = CutUtf8(task.volumeLabel, DiscInfo::LabelWidth - 1);
    disc.fileSystemName = "CDFS";
    const auto length = static_cast<std::uint32_t>(sectors);
    disc.tracks[0] = DiscTrackEntry{1, 1, 1, 0x14, 0, length};
    disc.tracks[1] = DiscTrackEntry{1, 1, 1, 0x14, length, 0};
    const DiscInfoBytes bytes = EncodeDiscInfo(disc);
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < disc_info_offset::TocChecksum; ++i)
        sum += bytes[i];
    disc.tocChecksum = sum;
}
