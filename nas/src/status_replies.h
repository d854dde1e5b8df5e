// Readers of the status and list replies on a connection whose request has been sent. The exports
// connect and send; these read and check everything that comes back (and are what the fuzz
// targets drive).
#pragma once

#include "nasapi.h"

#include <cstddef>
#include <cstdint>

namespace nas {

struct ListResult {
    int result = -1;   // the unit's status, -1, or NAS_RESULT_TIMEOUT
    size_t stored = 0; // records stored in the caller's array
};

// Plain-form lists: the header within the readiness wait, then the records announced, capped to
// the kind's NAS_..._MAX. With a non-zero status no records are read, except CD drives.
ListResult ReadImgFolders(int fd, char (*out)[NAS_IMG_FOLDER_SIZE]);
ListResult ReadImgList(int fd, NasImgInfo* out);
ListResult ReadShareList(int fd, NasShareInfo* out);
ListResult ReadCDDrvList(int fd, NasCDDrvInfo* out, int typeMask);

// Direct-form replies, each part within the direct wait. Raw records (disks, volumes): 0 with
// *count records of recordSize bytes in out (at most cap), 0 with *count 0 when nothing came in
// time, -1 with *count 0 when the header can't be read.
int ReadRawRecords(int fd, size_t recordSize, size_t cap, uint8_t* out, int* count);
// The task reply: the array as NasApiGetTask returns it.
NasTaskInfo* ReadTaskReply(int fd, int* status, int* taskCount, int* value);

// The recording-status reply: 0 with out filled, the unit's non-zero status, or -1.
int ReadBurningStatReply(int fd, NasCDBurningStat* out);

} // namespace nas
