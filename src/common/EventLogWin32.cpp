#include <windows.h>

#include "common/EventLog.h"
#include "common/Win32Text.h"

namespace tandro {

void SystemEventLog::writeError(const std::string& text) {
  HANDLE source = ::RegisterEventSourceW(nullptr, L"Tandro");
  if (source == nullptr) {
    return;
  }
  const std::wstring wide = widened(text);
  const wchar_t* strings[] = {wide.c_str()};
  ::ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
  ::DeregisterEventSource(source);
}

}  // namespace tandro
