#include <windows.h>

#include "common/ProcessInfo.h"

namespace tandro {

std::int64_t currentProcessId() {
  return ::GetCurrentProcessId();
}

bool processRuns(std::int64_t processId) {
  if (processId <= 0 || processId > MAXDWORD) {
    return false;
  }
  HANDLE process =
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(processId));
  if (process == nullptr) {
    // A process of another user may refuse to be opened; only a missing one is gone.
    return ::GetLastError() != ERROR_INVALID_PARAMETER;
  }
  DWORD exitCode = 0;
  const bool running = ::GetExitCodeProcess(process, &exitCode) == 0 || exitCode == STILL_ACTIVE;
  ::CloseHandle(process);
  return running;
}

}  // namespace tandro
