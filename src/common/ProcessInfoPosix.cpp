#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "common/ProcessInfo.h"

namespace tandro {

std::int64_t currentProcessId() {
  return ::getpid();
}

bool processRuns(std::int64_t processId) {
  if (processId <= 0 || processId != static_cast<pid_t>(processId)) {
    return false;
  }
  // Signal 0 only asks; EPERM means it runs under another user.
  return ::kill(static_cast<pid_t>(processId), 0) == 0 || errno != ESRCH;
}

}  // namespace tandro
