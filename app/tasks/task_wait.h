// The waits of the task workers (the schedule, recording polls) and their progress arithmetic.
// Every timed wait goes through one replaceable sleeper, and every time is read from the clock
// seam, so that tests drive them with a manual clock.
#pragma once

#include "task_record.h"

#include <cstdint>
#include <functional>

// Waits about ms milliseconds for the task's worker; returns early when the task's run state
// changes (a stop request).
using TaskSleeper = std::function<void(TaskRecord& task, std::uint32_t ms)>;
// Installs the sleeper every worker uses from now on; an empty one restores the real wait.
void SetTaskSleeper(TaskSleeper sleeper);
void TaskSleep(TaskRecord& task, std::uint32_t ms);

// Waits for the task's scheduled start: 1 to go on (start tick set), -1 when stopped while
// waiting (error 48, status 8, run state 3).
int WaitForScheduledStart(TaskRecord& task);

// Progress (0..100) and remaining time (>= 0) after done of total units were sent since the
// task's start tick; nothing divides by zero.
void SetTransferProgress(TaskRecord& task, std::uint64_t done, std::uint64_t total);
