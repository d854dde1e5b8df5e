// Wire records of the status and list replies and their decode into the caller's records. Every
// count taken from a reply is checked against the caller's array and the bytes that arrived.
#pragma once

#include "nasapi.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace nas {

// Wire record sizes.
inline constexpr size_t kDiskWireSize = NAS_DISK_INFO_SIZE;
inline constexpr size_t kVolWireSize = NAS_VOL_INFO_SIZE;
inline constexpr size_t kTaskWireSize = NAS_TASK_INFO_SIZE;
inline constexpr size_t kImgFolderWireSize = NAS_IMG_FOLDER_SIZE;
inline constexpr size_t kImgWireSize = 196;
inline constexpr size_t kShareWireSize = 616;
inline constexpr size_t kCDDrvWireSize = 52;
static_assert(sizeof(NasImgInfo) == 191 && sizeof(NasShareInfo) == 608 &&
              sizeof(NasCDDrvInfo) == 49 && sizeof(NasCDBurningStat) == 89);

// The task reply's head: the 40-byte header, then the task count and a second counter.
inline constexpr size_t kTaskHeadSize = 48;
inline constexpr size_t kTaskCountersSize = 8; // counted in the data length
// The recording-status reply: 97 bytes after its 32-byte header.
inline constexpr size_t kBurningStatDataSize = 97;

// Records announced by a data length, at most cap.
size_t AnnouncedRecords(uint32_t dataLength, size_t wireSize, size_t cap);

struct TaskHead {
    int16_t status = 0;
    uint32_t taskCount = 0;
    uint32_t value = 0;
    size_t records = 0; // records that follow the head
};
// None when the data length can't hold the two counters or announces more than
// NAS_TASK_INFO_MAX records.
std::optional<TaskHead> DecodeTaskHead(const uint8_t head[kTaskHeadSize]);

// Repacks one wire record; texts bounded by their field and always terminated.
void DecodeImgInfo(const uint8_t wire[kImgWireSize], NasImgInfo& out);
void DecodeShareInfo(const uint8_t wire[kShareWireSize], NasShareInfo& out);
void DecodeCDDrvInfo(const uint8_t wire[kCDDrvWireSize], NasCDDrvInfo& out);
// An image folder record as the unit sent it, with its last byte 0 so that its name ends.
void DecodeImgFolder(const uint8_t wire[kImgFolderWireSize], char out[NAS_IMG_FOLDER_SIZE]);
void DecodeCDBurningStat(const uint8_t data[kBurningStatDataSize], NasCDBurningStat& out);

// A drive passes when its mask shares a bit with the wanted one; 0 or less, or 255, take all.
bool DriveMatches(uint32_t driveMask, int wantedMask);
// Repacks count wire drive records, stores those that match: the number stored (at most count).
size_t FilterCDDrives(const uint8_t* wire, size_t count, int wantedMask, NasCDDrvInfo* out);

} // namespace nas
