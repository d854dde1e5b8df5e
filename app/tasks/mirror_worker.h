// The mirror worker: reads the disc of a local drive in runs of up to 16 sectors and sends each
// run as one data message of a mirror session, with the track table announced first; audio and
// video tracks go with a 44-byte header and padding to whole 2048-byte blocks.
#pragma once

#include "disc_info.h"

#include <cstdint>

struct TaskRecord;

inline constexpr std::uint32_t kRunSectors = 16;
inline constexpr std::size_t kTrackHeaderSize = 44;
inline constexpr std::uint32_t kFailedPassLimit = 4; // failed reads in one track that end the task

// How a disc is read.
struct ReadParameters {
    int mode = 0; // TScsiCdd::ReadSectors mode
    std::uint32_t sectorSize = 2048;
    std::uint32_t runLength = kRunSectors;
};

// Fills the request's counts and kinds from the task's copy of the disc description and chooses
// the read parameters; mixed and XA discs become their data track. 0, or -1 for a disc kind that
// is not mirrored.
int PrepareMirrorSource(TaskRecord& task, DiscInfo& disc, ReadParameters& read);
void RunMirrorTask(TaskRecord& task);
// The execute event of a mirror task.
void MirrorTaskExecute(TaskRecord& task);
