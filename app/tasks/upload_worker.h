// The upload worker: sends an ISO file to a unit through a mirror session, in pieces of
// 20480 bytes.
#pragma once

#include <cstddef>

struct TaskRecord;

inline constexpr std::size_t kUploadChunk = 20480;

void RunUploadImageTask(TaskRecord& task);
// The execute event of an upload task.
void UploadTaskExecute(TaskRecord& task);
