#include <windows.h>

#include "common/SystemError.h"
#include "common/Win32Text.h"

namespace tandro {

namespace {

std::int32_t failureNumberOf(DWORD error, PathRole role) {
  namespace n = failure_number;
  switch (error) {
    // As on POSIX, a file whose folder is missing is a missing file.
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return role == PathRole::Folder ? n::kPathNotFound : n::kFileNotFound;
    case ERROR_DIRECTORY:
      return n::kPathNotFound;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return n::kDiskFull;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return n::kPermissionDenied;
    case ERROR_NOT_READY:
      return n::kDiskNotReady;
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
      return n::kDeviceIo;
    default:
      return n::kPathFileAccess;
  }
}

// The system's own text for `error`, without the line break it ends with.
std::string systemMessage(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring message(buffer, length);
  ::LocalFree(buffer);
  while (!message.empty() &&
         std::wstring_view(L" \r\n").find(message.back()) != std::wstring::npos) {
    message.pop_back();
  }
  return message.empty() ? "Win32 error " + std::to_string(error) : narrowed(message);
}

}  // namespace

Failure systemFailure(int errorNumber, const std::string& path, PathRole role) {
  const auto error = static_cast<DWORD>(errorNumber);
  return Failure::ofNumber(failureNumberOf(error, role), path + " (" + systemMessage(error) + ")");
}

}  // namespace tandro
