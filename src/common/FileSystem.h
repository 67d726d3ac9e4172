// Every file-system access of the core goes through this interface, so that the run can be
// tested against injected faults and built for more than one platform.
// All paths are full native paths. Failing calls throw a Failure (see SystemError.h):
// 76 for a missing folder on the path, 53 for a missing file, 61 disk full, 70 denied,
// 57 I/O error, 75 for anything else.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tandro {

// "NormalFile" is what the program synchronises: a regular file that is neither hidden nor
// a system file. Links, devices, pipes and hidden files are "Other".
enum class EntryKind { NormalFile, Folder, Other };

// What the run compares of one version of a normal file.
struct FileFacts {
  std::int64_t modified = 0;  // last-write time, whole seconds since 1970-01-01 UTC
  std::int64_t size = 0;
  friend bool operator==(const FileFacts&, const FileFacts&) = default;
};

struct FolderEntry {
  std::string name;
  EntryKind kind;
  FileFacts facts;  // of a normal file only
};

// What identifies one version of a file, to the nanosecond.
struct FileStamp {
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// Told the bytes copied so far as a copy goes on, after each piece of at most kCopyPiece.
// The window paints only between pieces: a piece is a few milliseconds of the kernel's
// copying, and its writing out to the device begins as soon as it is copied, so that the
// system seldom holds the writer back for pages waiting to be written.
using CopyProgress = std::function<void(std::int64_t copied)>;
inline constexpr std::int64_t kCopyPiece = 1 << 23;

// Takes the next piece of a file being written; throws when the write fails.
using PieceWriter = std::function<void(std::string_view piece)>;
// Hands a file's content, piece by piece and in order, to the writer it is given.
using ContentPieces = std::function<void(const PieceWriter& put)>;

// An exclusive lock on a file, held until this object is destroyed.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// Thread safety: every member may be called from more than one thread at once, without
// locking by the caller. A run lists both trees at once through one FileSystem: while its
// second thread lists one tree, the run's thread lists the other, stamps its root and may
// make it anew; later, files are copied ahead on another thread while the run's thread
// renames and removes, and a third syncs. Implementations keep no state between calls, or
// guard what they keep.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Sub-folders (links never count as folders) and files of one folder, in platform order.
  virtual std::vector<FolderEntry> listFolder(const std::string& path) = 0;
  // The existence test and the query of time and size in one: the facts of the normal file
  // at `path`, nothing when nothing or something else is there.
  virtual std::optional<FileFacts> normalFile(const std::string& path) = 0;
  // Creates `to`, which must not exist, with the content and last-write time of `from`, and
  // where the system has them its permission bits for user, group and others (never
  // set-user-ID, set-group-ID or sticky); a file system that cannot hold them is no failure.
  // `progress`, when given, hears of every piece. Returns the stamp of the file it opened at
  // `from`, taken before reading it.
  virtual FileStamp copyFile(const std::string& from, const std::string& to,
                             const CopyProgress& progress) = 0;
  // Renames `from` to `to`, replacing a file at `to` in one step.
  virtual void renameFile(const std::string& from, const std::string& to) = 0;
  // Renames `from` to `to` when nothing is at `to`; false, with both as they were, when
  // something is. The rename itself refuses where the file system can, so that a file
  // made at `to` a moment before is never replaced; elsewhere it looks first.
  virtual bool renameIfFree(const std::string& from, const std::string& to) = 0;
  virtual void removeFile(const std::string& path) = 0;
  // Creates one folder: 76 when its parent is missing, 75 when it exists already.
  virtual void createFolder(const std::string& path) = 0;
  // Fails with 75 when a folder between `root` and the last name of `path` (below `root`)
  // is a symbolic link or another redirection: nothing is read, written or removed through
  // one. A missing folder ends the check, as nothing can lie below it.
  virtual void refuseLinkedFolders(const std::string& root, const std::string& path) = 0;

  // The stamp of the file at `path`, or nothing when there is none.
  virtual std::optional<FileStamp> stamp(const std::string& path) = 0;
  // The whole content of a file, or nothing when there is none.
  virtual std::optional<std::string> readFile(const std::string& path) = 0;
  // Creates or truncates `path`, writes `data` and waits until it is on the disk.
  virtual void writeFile(const std::string& path, const std::string& data) = 0;
  // writeFile() of a content that `pieces` hands over as it makes it, so that no one holds
  // it whole: the failure of a write comes out of the writer, and so out of `pieces`.
  virtual void writeFileInPieces(const std::string& path, const ContentPieces& pieces) = 0;
  // Takes an exclusive advisory lock on the file at `path`, made hidden and empty when
  // missing; nothing when another holder (this process or another) has it. The system
  // releases the lock when its process dies.
  virtual std::unique_ptr<FileLock> tryLockExclusive(const std::string& path) = 0;
  // Makes the file at `path` hidden where hiding is an attribute; a name that begins with
  // "." is hidden already where it is not.
  virtual void hideFile(const std::string& path) = 0;
  // Makes everything written so far to the file system that holds the folder part of `path`
  // (up to its last separator: pass a root or a file in it) durable, so that a record written
  // afterwards never speaks for a copy a pulled drive lost. Fails as a file-system call does:
  // 76 for a missing folder, 57 or 61 for writes the drive could not take. Where each copy is
  // flushed before its rename instead (Windows), it does nothing.
  virtual void syncFileSystemOf(const std::string& path) = 0;
};

// Removes a temporary file where it can. A temporary file that stays (hidden) matters less
// than the failure being reported or the work going on, so a failure here is dropped.
void removeTemporaryQuietly(FileSystem& fileSystem, const std::string& path);

// The file system of the platform the program runs on.
std::unique_ptr<FileSystem> createPlatformFileSystem();

}  // namespace tandro
