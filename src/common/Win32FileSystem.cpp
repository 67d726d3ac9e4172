#include "common/Win32FileSystem.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "common/Paths.h"
#include "common/SystemError.h"
#include "common/Win32Text.h"
#include "common/Win32Time.h"

namespace tandro {

namespace {

constexpr DWORD kChunkSize = 1 << 20;

[[noreturn]] void fail(const std::string& path, PathRole role, DWORD error = ::GetLastError()) {
  throw systemFailure(static_cast<int>(error), path, role);
}

bool isMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Closes a handle however the scope is left.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (valid()) {
      ::CloseHandle(handle_);
    }
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  // Closes now, so that a failing close is seen.
  bool close() {
    const bool closed = ::CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

// Shared with every other reader and writer, as a POSIX open would be.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

Handle openFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags) {
  return Handle(
      ::CreateFileW(widened(path).c_str(), access, share, nullptr, disposition, flags, nullptr));
}

// The file or folder at `path` opened, or nothing when neither it nor its folder exists.
std::optional<Handle> openIfThere(const std::string& path, DWORD access, DWORD flags) {
  Handle file = openFile(path, access, kShareAll, OPEN_EXISTING, flags);
  if (!file.valid()) {
    if (isMissing(::GetLastError())) {
      return std::nullopt;
    }
    fail(path, PathRole::File);
  }
  return file;
}

std::int64_t ticksOf(const FILETIME& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                   time.dwLowDateTime);
}

std::int64_t unixSecondsOf(const FILETIME& time) {
  const auto ticks = ticksOf(time) - kUnixEpochTicks;
  return ticks / kTicksPerSecond - (ticks % kTicksPerSecond < 0 ? 1 : 0);
}

std::int64_t sizeOf(DWORD high, DWORD low) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

FileStamp stampOf(const BY_HANDLE_FILE_INFORMATION& info) {
  const auto index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return FileStamp{sizeOf(info.nFileSizeHigh, info.nFileSizeLow),
                   (ticksOf(info.ftLastWriteTime) - kUnixEpochTicks) * 100,
                   info.dwVolumeSerialNumber, index};
}

// Time and size as both the listing and the attribute query report them.
template <typename Data>
FileFacts factsOf(const Data& data) {
  return {unixSecondsOf(data.ftLastWriteTime), sizeOf(data.nFileSizeHigh, data.nFileSizeLow)};
}

constexpr DWORD kLinkOrDevice = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;

// The attributes and times of whatever is at `path`, links not followed; nothing when
// neither it nor its folder exists.
std::optional<WIN32_FILE_ATTRIBUTE_DATA> attributesOf(const std::string& path,
                                                      PathRole role = PathRole::File) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (::GetFileAttributesExW(widened(path).c_str(), GetFileExInfoStandard, &data) == 0) {
    if (isMissing(::GetLastError())) {
      return std::nullopt;
    }
    fail(path, role);
  }
  return data;
}

bool isFolder(const std::string& path) {
  const auto attributes = attributesOf(path);
  return attributes && (attributes->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void writeAll(HANDLE file, const char* data, std::size_t size, const std::string& path) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, kChunkSize));
    DWORD written = 0;
    if (::WriteFile(file, data, chunk, &written, nullptr) == 0) {
      fail(path, PathRole::File);
    }
    data += written;
    size -= written;
  }
}

// Calls `take` with each piece of the file's content until its end.
template <typename Take>
void readAll(HANDLE file, const std::string& path, Take&& take) {
  std::string buffer(kChunkSize, '\0');
  for (;;) {
    DWORD count = 0;
    if (::ReadFile(file, buffer.data(), kChunkSize, &count, nullptr) == 0) {
      fail(path, PathRole::File);
    }
    if (count == 0) {
      return;
    }
    take(buffer.data(), count);
  }
}

// Gives the finished copy the source's last-write time and ordinary attributes in one call.
void finishCopy(HANDLE target, const FILETIME& lastWrite, const std::string& path) {
  FILE_BASIC_INFO basic{};
  basic.LastWriteTime.QuadPart = ticksOf(lastWrite);
  basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (::SetFileInformationByHandle(target, FileBasicInfo, &basic, sizeof basic) == 0) {
    fail(path, PathRole::File);
  }
}

}  // namespace

EntryKind kindOfAttributes(std::uint32_t attributes) {
  if ((attributes & kLinkOrDevice) != 0) {
    return EntryKind::Other;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return EntryKind::Folder;
  }
  return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0
             ? EntryKind::Other
             : EntryKind::NormalFile;
}

std::vector<FolderEntry> Win32FileSystem::listFolder(const std::string& path) {
  WIN32_FIND_DATAW found{};
  const auto pattern = widened(withTrailingSeparator(path) + "*");
  HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // The root of an empty drive has not even "." and "..".
    if (error == ERROR_FILE_NOT_FOUND && isFolder(path)) {
      return {};
    }
    fail(path, PathRole::Folder, error);
  }
  std::vector<FolderEntry> entries;
  do {
    const std::wstring_view name = found.cFileName;
    if (name != L"." && name != L"..") {
      entries.push_back({narrowed(name), kindOfAttributes(found.dwFileAttributes), factsOf(found)});
    }
  } while (::FindNextFileW(search, &found) != 0);
  const DWORD error = ::GetLastError();
  ::FindClose(search);
  if (error != ERROR_NO_MORE_FILES) {
    fail(path, PathRole::Folder, error);
  }
  return entries;
}

std::optional<FileFacts> Win32FileSystem::normalFile(const std::string& path) {
  const auto attributes = attributesOf(path);
  if (!attributes || kindOfAttributes(attributes->dwFileAttributes) != EntryKind::NormalFile) {
    return std::nullopt;
  }
  return factsOf(*attributes);
}

FileStamp Win32FileSystem::copyFile(const std::string& from, const std::string& to,
                                    const CopyProgress& progress) {
  Handle source = openFile(from, GENERIC_READ, kShareAll, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT);
  if (!source.valid()) {
    fail(from, PathRole::File);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(source.get(), &info) == 0) {
    fail(from, PathRole::File);
  }
  if ((info.dwFileAttributes & (kLinkOrDevice | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    fail(from, PathRole::File, ERROR_INVALID_PARAMETER);
  }
  // Hidden while it is incomplete, which is when a killed run would leave it behind.
  Handle target = openFile(to, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN);
  if (!target.valid()) {
    fail(to, PathRole::Folder);
  }
  std::int64_t copied = 0;
  readAll(source.get(), from, [&](const char* data, DWORD size) {
    writeAll(target.get(), data, size, to);
    copied += size;
    if (progress) {
      progress(copied);
    }
  });
  finishCopy(target.get(), info.ftLastWriteTime, to);
  // On the disk before the rename can put it in place: the durability a volume flush would
  // give, without the administrator rights that one needs.
  if (::FlushFileBuffers(target.get()) == 0 || !target.close()) {
    fail(to, PathRole::File);
  }
  return stampOf(info);
}

void Win32FileSystem::renameFile(const std::string& from, const std::string& to) {
  if (::MoveFileExW(widened(from).c_str(), widened(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    fail(to, PathRole::Folder);
  }
}

bool Win32FileSystem::renameIfFree(const std::string& from, const std::string& to) {
  if (::MoveFileExW(widened(from).c_str(), widened(to).c_str(), MOVEFILE_WRITE_THROUGH) != 0) {
    return true;
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
    return false;
  }
  fail(to, PathRole::Folder, error);
}

void Win32FileSystem::removeFile(const std::string& path) {
  if (::DeleteFileW(widened(path).c_str()) == 0) {
    fail(path, PathRole::File);
  }
}

void Win32FileSystem::createFolder(const std::string& path) {
  if (::CreateDirectoryW(widened(path).c_str(), nullptr) == 0) {
    fail(path, PathRole::Folder);
  }
}

void Win32FileSystem::refuseLinkedFolders(const std::string& root, const std::string& path) {
  for (auto separator = path.find_first_of(kNativeSeparators, root.size());
       separator != std::string::npos;
       separator = path.find_first_of(kNativeSeparators, separator + 1)) {
    const std::string folder = path.substr(0, separator);
    const auto attributes = attributesOf(folder, PathRole::Folder);
    if (!attributes) {
      return;  // the step itself meets the missing folder and says so
    }
    if ((attributes->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      fail(folder, PathRole::Folder, ERROR_CANT_RESOLVE_FILENAME);
    }
  }
}

std::optional<FileStamp> Win32FileSystem::stamp(const std::string& path) {
  // Backup semantics: a folder has a stamp too, as it has on POSIX.
  const auto file = openIfThere(path, FILE_READ_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS);
  if (!file) {
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(file->get(), &info) == 0) {
    fail(path, PathRole::File);
  }
  return stampOf(info);
}

std::optional<std::string> Win32FileSystem::readFile(const std::string& path) {
  const auto file = openIfThere(path, GENERIC_READ, FILE_FLAG_SEQUENTIAL_SCAN);
  if (!file) {
    return std::nullopt;
  }
  std::string content;
  // Sized from the start: a growing string would copy a large profile over and over.
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(file->get(), &size) != 0) {
    content.reserve(static_cast<std::size_t>(size.QuadPart));
  }
  readAll(file->get(), path, [&](const char* data, DWORD size) { content.append(data, size); });
  return content;
}

void Win32FileSystem::writeFile(const std::string& path, const std::string& data) {
  writeFileInPieces(path, [&](const PieceWriter& put) { put(data); });
}

void Win32FileSystem::writeFileInPieces(const std::string& path, const ContentPieces& pieces) {
  // Opened and then cut rather than created anew: CREATE_ALWAYS refuses a hidden file.
  Handle file = openFile(path, GENERIC_WRITE, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  if (!file.valid()) {
    fail(path, PathRole::Folder);
  }
  pieces([&](std::string_view piece) { writeAll(file.get(), piece.data(), piece.size(), path); });
  if (::SetEndOfFile(file.get()) == 0 || ::FlushFileBuffers(file.get()) == 0 || !file.close()) {
    fail(path, PathRole::File);
  }
}

namespace {

class HandleLock : public FileLock {
 public:
  explicit HandleLock(Handle handle) : handle_(std::move(handle)) {}

 private:
  Handle handle_;  // closing the handle releases the lock
};

}  // namespace

std::unique_ptr<FileLock> Win32FileSystem::tryLockExclusive(const std::string& path) {
  Handle file =
      openFile(path, GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN);
  if (!file.valid()) {
    fail(path, PathRole::Folder);
  }
  OVERLAPPED whole{};
  if (::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                   MAXDWORD, &whole) == 0) {
    if (::GetLastError() == ERROR_LOCK_VIOLATION) {
      return nullptr;
    }
    fail(path, PathRole::File);
  }
  return std::make_unique<HandleLock>(std::move(file));
}

void Win32FileSystem::hideFile(const std::string& path) {
  const auto wide = widened(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      ::SetFileAttributesW(wide.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN) == 0) {
    fail(path, PathRole::File);
  }
}

void Win32FileSystem::syncFileSystemOf(const std::string&) {}

std::unique_ptr<FileSystem> createPlatformFileSystem() {
  return std::make_unique<Win32FileSystem>();
}

}  // namespace tandro
