// The ISO 9660 image builder: lays a container out as an image (system area, volume descriptors,
// a type L and a type M path table, one extent per directory, then every file in whole sectors),
// fills the volume structures in memory and streams the files' data to a unit.
//
// Identifiers are the UTF-8 bytes of the display names, sorted by those bytes; files carry ";1".
// Names, sizes and counts the format cannot hold are refused before anything is sent.
#pragma once

#include "container.h"
#include "disc_info.h"
#include "isobuild_task.h"

#include <cstdint>
#include <string>
#include <vector>

// The working record of one build.
struct IsoLayout {
    std::uint32_t pathTableRounded = 0; // exact size advanced to the next sector boundary
    std::uint32_t pathTableWritePos = 0;
    std::uint32_t pathTableExact = 0;
    std::uint64_t directoryAreaSize = 0; // all directory extents, in bytes
    std::uint64_t directoryWritePos = 0;
    std::uint64_t fileDataBytes = 0; // after the build: the whole file data area
    // Sectors 16 up to the last directory sector: descriptors, both path tables, directories.
    std::vector<std::uint8_t> metadata;
};

// Sectors of the layout (valid once the path tables are laid out).
std::uint32_t TypeMPathTableSector(const IsoLayout& layout);
std::uint32_t FirstDirectorySector(const IsoLayout& layout);
std::uint64_t FirstFileSector(const IsoLayout& layout);
std::uint64_t ImageSectors(const IsoLayout& layout, const MIRROR_CONTAINER& container);
// Bytes of the metadata buffer: sectors 16 to the end of the directories.
std::uint64_t MetadataBytes(const IsoLayout& layout);

// Numbering, layout, limits, buffer, directory records, descriptors. 0, 2 out of memory, 42 too
// large or another limit of the format, 52 a name too long for a directory record (for both,
// task.pathBuffer names the entry), 48 stopped, 240 when the phases disagree about the layout.
// A name readers would not give back (a folder name with ';', two entries of one name in a
// folder) is 53 with a note in task.notes that names the entry and the reason.
int BuildIsoImage(MIRROR_CONTAINER& container, TaskRecord& task, IsoLayout& layout,
                  CisFolderList& folders);
// Reads and sends every file. 0, the task code of a refused or failed send (the unit's reason),
// 43 source missing, 44 source changed (before or while it was read), 45 changed between file
// and folder, 46 cannot open, 47 read failed, 49 stopped, -1 no server object.
int BuildCdImage(MIRROR_CONTAINER& container, TaskRecord& task, IsoImageSink* server,
                 const CisFolderList& folders);

// The phases of BuildIsoImage.
int PrepareIsoTree(MIRROR_CONTAINER& container, TaskRecord& task, CisFolderList& folders);
int BuildPathTables(MIRROR_CONTAINER& container, TaskRecord& task, IsoLayout& layout,
                    const CisFolderList& folders);
int BuildDirectoryRecords(MIRROR_CONTAINER& container, TaskRecord& task, IsoLayout& layout,
                          const CisFolderList& folders);
int WriteVolumeDescriptors(MIRROR_CONTAINER& container, TaskRecord& task, IsoLayout& layout);

// Describes the image as a one-track CD-Data disc.
void FillImageDiscInfo(DiscInfo& disc, const TaskRecord& task, const IsoLayout& layout);

// Writes the build log beside the container: the task's totals against the container's.
void WriteContainerLog(TaskRecord& task);
