// Texts of the task codes: task error codes (with the mapping of access-library results onto
// them), status codes, recording errors and the task-kind names of the "Task Name" column.
#pragma once

#include "task_record.h"

#include <cstdint>
#include <string>

// printf-style formatting into a string (message texts keep the English conversions in every
// language, which the message table's build checks).
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The text of a task error code; names the task's file or the failed read where the code does.
std::string FormatTaskError(const TaskRecord& task);
// The text of a recording failure (the task's error code).
std::string FormatRecordError(const TaskRecord& task);
// The status column's text of a status code; empty for 0 and codes above 18.
std::string GetTaskStatusText(std::uint8_t code);

// The 8-slot table of task-kind names, filled from the message table.
void LoadTaskKindTexts();
std::string TaskKindText(int slot);
// The slot that names a task: 1 for a build task from a disc-based container, else its kind.
int TaskKindSlot(const TaskRecord& task);
