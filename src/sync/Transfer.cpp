#include "sync/Transfer.h"

#include <atomic>
#include <optional>

#include "common/Failure.h"
#include "common/Paths.h"
#include "common/ProcessInfo.h"

namespace tandro {

namespace {

bool isNumber(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The user never sees the temporary file: a failure on it is told as the destination's.
Failure namingDestination(const Failure& failure, const std::string& temporary,
                          const std::string& destination) {
  std::string description = failure.description();
  if (const auto at = description.find(temporary); at != std::string::npos) {
    description.replace(at, temporary.size(), destination);
  }
  return Failure(failure.number(), failure.source(), std::move(description));
}

// The process number in a temporary file's name, or nothing for any other name.
std::optional<std::int64_t> makerOf(std::string_view name) {
  constexpr std::string_view kSuffix = ".tmp";
  if (!name.starts_with(kTemporaryPrefix) || !name.ends_with(kSuffix)) {
    return std::nullopt;
  }
  name.remove_prefix(std::string_view(kTemporaryPrefix).size());
  name.remove_suffix(kSuffix.size());
  const auto dash = name.find('-');
  if (dash == std::string_view::npos || !isNumber(name.substr(0, dash)) ||
      !isNumber(name.substr(dash + 1)) || dash > 18) {
    return std::nullopt;
  }
  return std::stoll(std::string(name.substr(0, dash)));
}

// Copies `source` into `temporary`, once more when the source changed meanwhile: a copy
// that mixes two versions, or carries the time of another, never goes into place.
void copyOneVersion(const std::string& source, const std::string& temporary, FileSystem& fileSystem,
                    const CopyProgress& progress) {
  constexpr int kAttempts = 2;
  for (int attempt = 1;; ++attempt) {
    const FileStamp copied = fileSystem.copyFile(source, temporary, progress);
    if (fileSystem.stamp(source) == copied) {
      return;
    }
    fileSystem.removeFile(temporary);
    if (attempt == kAttempts) {
      throw Failure::ofNumber(failure_number::kPathFileAccess, source + " (changed while copied)");
    }
  }
}

// Renames the copy over the destination when that is still what the run saw there. Where it
// saw none, the rename refuses a file made there since; something that is no file (a folder,
// a link) is met by the plain rename, which says what it is.
bool putInPlace(const std::string& temporary, const std::string& destination,
                const Replacing& replacing, FileSystem& fileSystem) {
  if (!replacing.seen && fileSystem.renameIfFree(temporary, destination)) {
    return true;
  }
  if (fileSystem.normalFile(destination) != replacing.seen) {
    return false;
  }
  fileSystem.renameFile(temporary, destination);
  return true;
}

}  // namespace

std::string temporaryPathBeside(const std::string& destination) {
  static const std::string processPart = std::to_string(currentProcessId()) + "-";
  static std::atomic<unsigned long> counter{0};
  return folderPart(destination) + kTemporaryPrefix + processPart + std::to_string(++counter) +
         ".tmp";
}

bool isLeftoverTemporary(std::string_view name) {
  const auto maker = makerOf(name);
  return maker && !processRuns(*maker);
}

bool Crypt(const std::string& source, const std::string& destination, FileSystem& fileSystem,
           const CopyProgress& progress, std::optional<PreparedCopy> prepared,
           const std::optional<Replacing>& replacing) {
  return passingFailuresAs("Crypt>", [&] {
    const std::string temporary = prepared ? prepared->temporary : temporaryPathBeside(destination);
    try {
      if (prepared && prepared->failure) {
        std::rethrow_exception(prepared->failure);
      }
      if (prepared && fileSystem.stamp(source) == prepared->copied) {
        if (progress) {
          progress(prepared->copied.size);
        }
      } else {
        if (prepared) {
          fileSystem.removeFile(temporary);  // of a version that is gone
        }
        copyOneVersion(source, temporary, fileSystem, progress);
      }
      if (!replacing) {
        fileSystem.renameFile(temporary, destination);
        return true;
      }
      if (!putInPlace(temporary, destination, *replacing, fileSystem)) {
        fileSystem.removeFile(temporary);
        return false;
      }
      return true;
    } catch (const Failure& failure) {
      removeTemporaryQuietly(fileSystem, temporary);
      throw namingDestination(failure, temporary, destination);
    }
  });
}

bool renameUnlessTaken(const std::string& from, const std::string& to, FileSystem& fileSystem) {
  // Only the folder's own names tell another file from `from` under another spelling: a
  // drive that ignores case answers for `to` with `from`.
  const std::string folder = folderPart(to);
  const std::string_view name = std::string_view(to).substr(folder.size());
  for (const auto& entry : fileSystem.listFolder(folder)) {
    if (entry.name == name) {
      return false;
    }
  }
  if (!fileSystem.stamp(to)) {
    fileSystem.renameFile(from, to);
    return true;
  }
  // Such a drive may take a rename in letter case only for no rename at all.
  const std::string aside = from + ".tandro-rename";
  if (fileSystem.stamp(aside)) {
    return false;
  }
  fileSystem.renameFile(from, aside);
  fileSystem.renameFile(aside, to);
  return true;
}

bool MakeFolders(const std::string& path, FileSystem& fileSystem, MessageHost& host) {
  const std::string folder = folderPart(path);
  for (;;) {
    try {
      fileSystem.createFolder(folder);
      return true;
    } catch (const Failure& failure) {
      const bool parentMissing =
          failure.number() == failure_number::kPathNotFound && folder.size() > 1;
      if (!parentMissing) {
        host.showMessage(failure.numberAndDescription(), MessageIcon::None);
        return false;
      }
      if (!MakeFolders(folder.substr(0, folder.size() - 1), fileSystem, host)) {
        return false;
      }
    }
  }
}

}  // namespace tandro
