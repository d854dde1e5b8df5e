// The build worker: lays out the task's container as an ISO 9660 image, opens the session, sends
// the system area, the volume structures and every file's data, checks the totals against the
// container and ends the session; may go on to have the unit record the image.
#pragma once

struct TaskRecord;

// Leaves status, error code and run state 4 (finished) in the task.
void RunBuildContainerTask(TaskRecord& task);
// The execute event of a build task: status, progress and remaining time 0, start tick now, then
// the build worker.
void BuildTaskExecute(TaskRecord& task);
// The end of a build task, on the GUI thread: a container that owns its hidden tree node gives
// up its binding.
void BuildTaskTerminate(TaskRecord& task);
