// Remote recording: a unit records one of its images on its own CD writer, and the task follows
// the writer's state until it ends. The whole job of a record task; the last step of a mirror or
// build task that asks for it.
#pragma once

#include <cstdint>
#include <string>

struct TaskRecord;
class CNasServer;

// Polls taken while waiting for the unit to take the recording job (1 s apart).
inline constexpr int kJobTakePolls = 120;

// Runs on the task's worker thread; leaves status 17, 18 or 19 on completion, 16 on failure.
void RunRemoteRecording(TaskRecord& task);
// The execute event of record tasks.
void RecordTaskExecute(TaskRecord& task);
// The id of the first image whose name equals name exactly, or -1 (result: the list call's
// result, 0 when the list came but holds no such image).
std::int64_t FindServerImage(CNasServer& server, const std::string& name, int& result);
