// The texts a task shows: its target ("'unit':folder : [image]"), its source, its row's
// description, and the result report of the finish event.
#pragma once

#include "task_record.h"

#include <cstdint>
#include <string>

// Icons of the message page.
namespace report_icon {
inline constexpr int Success = 0;
inline constexpr int Failure = 1;
inline constexpr int Warning = 2;
} // namespace report_icon

struct TaskReport {
    std::string caption;
    std::string text;
    int icon = report_icon::Success;
};

// A text of the request record (folder, image name) for display: UTF-8 on units of text-encoding
// kind 1 or 2, else in the message language's code page.
std::string RequestText(const TaskRecord& task, const char* field, std::size_t width);
std::string GetTaskEndpointNames(const TaskRecord& task);
// The source drive's letter and the volume label of its disc (a snapshot taken under the drive's
// lock); '?' and "" without a drive.
char SourceLetter(const TaskRecord& task);
std::string SourceLabel(const TaskRecord& task);
// "Used time" and the row's "Time": the seconds since the start tick, formatted.
std::string ElapsedText(const TaskRecord& task, std::uint32_t nowTick);
// The result report of a finished task.
TaskReport ComposeTaskReport(const TaskRecord& task, std::uint32_t nowTick);
