// The build task as the image builder sees it: the task record whose build fields the builder
// reads and writes, and the build worker that runs it (both belong to the tasks).
#pragma once

#include "build_worker.h"
#include "task_record.h"
