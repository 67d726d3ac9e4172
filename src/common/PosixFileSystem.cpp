#include "common/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "common/Paths.h"
#include "common/SystemError.h"

namespace tandro {

namespace {

[[noreturn]] void fail(const std::string& path, PathRole role, int error = errno) {
  throw systemFailure(error, path, role);
}

bool isHiddenName(const std::string& name) {
  return !name.empty() && name.front() == '.';
}

// Closes a descriptor however the scope is left.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  int get() const { return fd_; }
  // Closes now, so that a failing close (a full disk on some file systems) is seen.
  int close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

EntryKind kindOf(const std::string& name, mode_t mode) {
  if (S_ISDIR(mode)) {
    return EntryKind::Folder;
  }
  return S_ISREG(mode) && !isHiddenName(name) ? EntryKind::NormalFile : EntryKind::Other;
}

FileFacts factsOf(const struct stat& status) {
  return {status.st_mtim.tv_sec, status.st_size};
}

// The entry as the listing reports it. The folder entry itself tells folders and things
// that are no normal file apart, so only normal files (for their time) and entries of file
// systems that tell nothing cost a stat.
std::optional<FolderEntry> entryOf(int folderFd, const dirent& entry) {
  switch (entry.d_type) {
    case DT_DIR:
      return FolderEntry{entry.d_name, EntryKind::Folder, {}};
    case DT_REG:
      if (isHiddenName(entry.d_name)) {
        return FolderEntry{entry.d_name, EntryKind::Other, {}};
      }
      break;
    case DT_UNKNOWN:
      break;
    default:
      return FolderEntry{entry.d_name, EntryKind::Other, {}};
  }
  struct stat status {};
  if (::fstatat(folderFd, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
    return std::nullopt;  // gone since the folder was read: it was never there for this listing
  }
  return FolderEntry{entry.d_name, kindOf(entry.d_name, status.st_mode), factsOf(status)};
}

void writeAll(int fd, const char* data, std::size_t size, const std::string& path) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      fail(path, PathRole::File);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

// Begins writing a copied piece of a large file out to the device without waiting for it:
// the writing goes on while the next pieces are copied, and the sync that makes the copy
// durable finds little left. Only a hint; where it fails, the sync does all the writing.
// Files of one piece are left to the sync, which writes many of them at once far better.
void startWritingOut(int fd, std::int64_t offset, std::int64_t length) {
  static_cast<void>(::sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE));
}

// Lets the kernel copy (no round trip through user space, reflinks where the file system
// has them). False when it cannot do so between these two files and nothing was copied.
bool copyInKernel(int from, int to, std::int64_t size, const std::string& fromPath,
                  const CopyProgress& progress) {
  std::int64_t copied = 0;
  while (copied < size) {
    const auto piece = static_cast<std::size_t>(std::min(size - copied, kCopyPiece));
    const ssize_t count = ::copy_file_range(from, nullptr, to, nullptr, piece, 0);
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      const bool unsupported =
          errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL;
      if (unsupported && copied == 0) {
        return false;
      }
      fail(fromPath, PathRole::File);
    }
    if (count == 0) {
      break;  // the source shrank meanwhile; what was there is copied
    }
    if (size > kCopyPiece) {
      startWritingOut(to, copied, count);
    }
    copied += count;
    if (progress) {
      progress(copied);
    }
  }
  return true;
}

// The copy through user space, between file systems the kernel cannot copy between (as to
// most removable drives). A large file's pieces begin writing out as the kernel copy's do.
void copyContent(int from, int to, std::int64_t size, const std::string& fromPath,
                 const std::string& toPath, const CopyProgress& progress) {
  static constexpr std::size_t kBufferSize = 1 << 17;
  std::string buffer(kBufferSize, '\0');
  std::int64_t writingOutFrom = 0;
  for (std::int64_t copied = 0;;) {
    const ssize_t count = ::read(from, buffer.data(), buffer.size());
    if (count == 0) {
      return;
    }
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      fail(fromPath, PathRole::File);
    }
    writeAll(to, buffer.data(), static_cast<std::size_t>(count), toPath);
    copied += count;
    if (size > kCopyPiece && copied - writingOutFrom >= kCopyPiece) {
      startWritingOut(to, writingOutFrom, copied - writingOutFrom);
      writingOutFrom = copied;
    }
    if (progress) {
      progress(copied);
    }
  }
}

FileStamp stampOf(const struct stat& status) {
  return FileStamp{status.st_size, status.st_mtim.tv_sec * 1'000'000'000LL + status.st_mtim.tv_nsec,
                   static_cast<std::uint64_t>(status.st_dev),
                   static_cast<std::uint64_t>(status.st_ino)};
}

// Gives the copy the source's permission bits, never set-user-ID, set-group-ID or sticky.
// A file system without modes (FAT, exFAT) refuses: its files keep what it shows them with.
void carryPermissions(int target, mode_t sourceMode, const std::string& path) {
  if (::fchmod(target, sourceMode & 0777) == 0) {
    return;
  }
  const bool cannotHoldModes = errno == EPERM || errno == ENOSYS || errno == EOPNOTSUPP;
  if (!cannotHoldModes) {
    fail(path, PathRole::File);
  }
}

// The highest folder above `path` on the same file system, ending in "/"; the folder of
// `path` when that cannot be told.
std::string topOfFileSystem(const std::string& path) {
  std::string top = folderPart(path);
  struct stat status {};
  if (::stat(top.c_str(), &status) != 0) {
    return top;
  }
  const dev_t device = status.st_dev;
  while (top.size() > 1) {
    std::string parent = folderPart(std::string_view(top).substr(0, top.size() - 1));
    if (parent.empty() || ::stat(parent.c_str(), &status) != 0 || status.st_dev != device) {
      break;
    }
    top = std::move(parent);
  }
  return top;
}

}  // namespace

std::vector<FolderEntry> PosixFileSystem::listFolder(const std::string& path) {
  DIR* folder = ::opendir(path.c_str());
  if (folder == nullptr) {
    fail(path, PathRole::Folder);
  }
  std::vector<FolderEntry> entries;
  const int folderFd = ::dirfd(folder);
  errno = 0;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") {
      continue;
    }
    if (auto listed = entryOf(folderFd, *entry)) {
      entries.push_back(std::move(*listed));
    }
    errno = 0;
  }
  const int readError = errno;
  ::closedir(folder);
  if (readError != 0) {
    fail(path, PathRole::Folder, readError);
  }
  return entries;
}

std::optional<FileFacts> PosixFileSystem::normalFile(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      return std::nullopt;
    }
    fail(path, PathRole::File);
  }
  const auto slash = path.rfind('/');
  if (kindOf(path.substr(slash + 1), status.st_mode) != EntryKind::NormalFile) {
    return std::nullopt;
  }
  return factsOf(status);
}

FileStamp PosixFileSystem::copyFile(const std::string& from, const std::string& to,
                                    const CopyProgress& progress) {
  Descriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (source.get() < 0) {
    fail(from, PathRole::File);
  }
  struct stat status {};
  if (::fstat(source.get(), &status) != 0) {
    fail(from, PathRole::File);
  }
  if (!S_ISREG(status.st_mode)) {
    fail(from, PathRole::File, EINVAL);
  }
  // Only the owner can read it until it is complete and has the source's bits.
  Descriptor target(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (target.get() < 0) {
    fail(to, PathRole::Folder);
  }
  if (!copyInKernel(source.get(), target.get(), status.st_size, from, progress)) {
    copyContent(source.get(), target.get(), status.st_size, from, to, progress);
  }
  carryPermissions(target.get(), status.st_mode, to);
  const timespec times[2] = {status.st_atim, status.st_mtim};
  if (::futimens(target.get(), times) != 0 || target.close() != 0) {
    fail(to, PathRole::File);
  }
  return stampOf(status);
}

void PosixFileSystem::renameFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    fail(to, PathRole::Folder);
  }
}

bool PosixFileSystem::renameIfFree(const std::string& from, const std::string& to) {
  if (!refusesNoReplace(to)) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
      return true;
    }
    if (errno == EEXIST) {
      return false;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
      fail(to, PathRole::Folder);
    }
    rememberRefusal(to);
  }
  struct stat status {};
  if (::lstat(to.c_str(), &status) == 0) {
    return false;
  }
  if (errno != ENOENT) {
    fail(to, PathRole::Folder);
  }
  renameFile(from, to);
  return true;
}

bool PosixFileSystem::refusesNoReplace(const std::string& path) {
  const std::lock_guard lock(refusingMutex_);
  return std::any_of(refusingTops_.begin(), refusingTops_.end(),
                     [&](const std::string& top) { return path.starts_with(top); });
}

void PosixFileSystem::rememberRefusal(const std::string& path) {
  std::string top = topOfFileSystem(path);
  const std::lock_guard lock(refusingMutex_);
  refusingTops_.push_back(std::move(top));
}

void PosixFileSystem::removeFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) {
    fail(path, PathRole::File);
  }
}

void PosixFileSystem::createFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) != 0) {
    fail(path, PathRole::Folder);
  }
}

void PosixFileSystem::refuseLinkedFolders(const std::string& root, const std::string& path) {
  for (auto slash = path.find('/', root.size()); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0) {
      if (errno == ENOENT || errno == ENOTDIR) {
        return;  // the step itself meets the missing folder and says so
      }
      fail(folder, PathRole::Folder);
    }
    if (S_ISLNK(status.st_mode)) {
      fail(folder, PathRole::Folder, ELOOP);
    }
  }
}

std::optional<FileStamp> PosixFileSystem::stamp(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      return std::nullopt;
    }
    fail(path, PathRole::File);
  }
  return stampOf(status);
}

std::optional<std::string> PosixFileSystem::readFile(const std::string& path) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) {
    if (errno == ENOENT) {
      return std::nullopt;
    }
    fail(path, PathRole::File);
  }
  std::string content;
  // Sized from the start: a growing string would copy a large profile over and over.
  struct stat status {};
  if (::fstat(file.get(), &status) == 0 && status.st_size > 0) {
    content.reserve(static_cast<std::size_t>(status.st_size));
  }
  char buffer[1 << 16];
  for (;;) {
    const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
    if (count == 0) {
      return content;
    }
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      fail(path, PathRole::File);
    }
    content.append(buffer, static_cast<std::size_t>(count));
  }
}

void PosixFileSystem::writeFile(const std::string& path, const std::string& data) {
  writeFileInPieces(path, [&](const PieceWriter& put) { put(data); });
}

void PosixFileSystem::writeFileInPieces(const std::string& path, const ContentPieces& pieces) {
  Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.get() < 0) {
    fail(path, PathRole::Folder);
  }
  pieces([&](std::string_view piece) { writeAll(file.get(), piece.data(), piece.size(), path); });
  if (::fsync(file.get()) != 0 || file.close() != 0) {
    fail(path, PathRole::File);
  }
}

namespace {

// flock, not fcntl: a second descriptor of the same process conflicts too, and a lock is
// never dropped because some other descriptor of the file was closed.
class DescriptorLock : public FileLock {
 public:
  explicit DescriptorLock(Descriptor descriptor) : descriptor_(std::move(descriptor)) {}

 private:
  Descriptor descriptor_;
};

}  // namespace

std::unique_ptr<FileLock> PosixFileSystem::tryLockExclusive(const std::string& path) {
  Descriptor file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
  if (file.get() < 0) {
    fail(path, PathRole::Folder);
  }
  while (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) {
      return nullptr;
    }
    if (errno != EINTR) {
      fail(path, PathRole::File);
    }
  }
  return std::make_unique<DescriptorLock>(std::move(file));
}

void PosixFileSystem::hideFile(const std::string&) {}

void PosixFileSystem::syncFileSystemOf(const std::string& path) {
  const std::string folder = folderPart(path);
  Descriptor opened(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (opened.get() < 0) {
    fail(folder, PathRole::Folder);
  }
  // Since Linux 5.8 syncfs also reports what the drive failed to write since the last call.
  if (::syncfs(opened.get()) != 0) {
    fail(folder, PathRole::Folder);
  }
}

std::unique_ptr<FileSystem> createPlatformFileSystem() {
  return std::make_unique<PosixFileSystem>();
}

}  // namespace tandro
