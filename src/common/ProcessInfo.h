// What the core asks the system about processes: its own number, and whether another runs,
// so that a temporary file is removed only once the process that made it is gone.
#pragma once

#include <cstdint>

namespace tandro {

std::int64_t currentProcessId();

// True while a process with this number runs, and where the system will not say.
bool processRuns(std::int64_t processId);

}  // namespace tandro
