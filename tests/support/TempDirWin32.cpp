#include <windows.h>

#include <stdexcept>

#include "common/Win32FileSystem.h"
#include "common/Win32Time.h"
#include "support/TempDir.h"

namespace tandro::test {

TempDir::TempDir() {
  const auto base = std::filesystem::temp_directory_path();
  for (unsigned attempt = 0;; ++attempt) {
    path_ = base / ("tandro-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
                    std::to_string(attempt));
    if (::CreateDirectoryW(path_.c_str(), nullptr) != 0) {
      return;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS) {
      throw std::runtime_error("cannot create " + path_.string());
    }
  }
}

void setModificationTime(const std::filesystem::path& path, std::int64_t unixSeconds) {
  const auto ticks = static_cast<std::uint64_t>(unixSeconds * kTicksPerSecond + kUnixEpochTicks);
  const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  HANDLE file =
      ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  const bool set = file != INVALID_HANDLE_VALUE && ::SetFileTime(file, nullptr, &time, &time) != 0;
  if (file != INVALID_HANDLE_VALUE) {
    ::CloseHandle(file);
  }
  if (!set) {
    throw std::runtime_error("cannot set the time of " + path.string());
  }
}

std::int64_t modificationTime(const std::filesystem::path& path) {
  const auto facts = Win32FileSystem().normalFile(path.string());
  if (!facts) {
    throw std::runtime_error("no normal file " + path.string());
  }
  return facts->modified;
}

}  // namespace tandro::test
