// The profile file: one INI file per profile in the profile folder, named after the current
// profile name, which is asked for again at every access. Reads come from an in-memory index
// that is reloaded whenever the file on disk changed; every rewrite is atomic.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/FileSystem.h"
#include "profile/IniDocument.h"

namespace tandro {

// The section of the profile's roots and identifier.
inline constexpr const char* kPathSection = "Path";
// The fixed offset from UTC of the sync records, in section Path: "+09:00".
inline constexpr const char* kRecordOffsetKey = "Offset";
// The section of the sync records and folder entries, named after the product.
inline constexpr const char* kRecordSection = "Tandro";
// Values of this many characters or more are refused.
inline constexpr std::size_t kLongValueLimit = 260;

// The record section of a profile as loaded, for many reads at once: any number of threads
// may read through it while the store's call that handed it out lasts.
class RecordReader {
 public:
  RecordReader(const IniDocument& document, bool marked);

  // Puts the value of the file's key into `value`, emptied when there is none: a caller
  // that reads many values reuses one string's room.
  void read(const HashedName& relativePath, std::string& value) const;
  // The value of the file's key, empty when there is none.
  std::string value(std::string_view relativePath) const;
  // The key as the profile spells it (keys ignore letter case), empty for none.
  std::string keySpelling(std::string_view relativePath) const;
  // Readies a read of the file's key soon after.
  void prefetch(const HashedName& relativePath) const;

 private:
  static std::string keyOf(std::string_view relativePath);
  template <typename Use>
  void withKeyOf(const HashedName& relativePath, const Use& use) const;

  const IniDocument& document_;
  std::optional<std::size_t> section_;  // none: the profile has no records
  bool marked_;  // the file is UTF-8 with the mark: values come back in the code page
};

// Thread safety: every member may be called from more than one thread at once (a run's two
// listings read folder entries together). One lock guards the loaded file, the deferred
// changes, the held name and the rewrite hook; a member takes it once and keeps it through
// its reads and rewrites of the file. The name source and the rewrite hook are called with
// it held, so they must not call the store.
class ProfileStore {
 public:
  // `folder` ends with the native separator; `profileName` gives the current profile name.
  ProfileStore(FileSystem& fileSystem, std::string folder,
               std::function<std::string()> profileName);
  ~ProfileStore();
  ProfileStore(const ProfileStore&) = delete;
  ProfileStore& operator=(const ProfileStore&) = delete;

  // Full path of the current profile file: folder, profile name, ".ini".
  std::string profilePath() const;

  // One value of the current profile file, whole; `defaultValue` (without blanks at its end)
  // when the file, the section or the key is missing. Throws only when the file exists but
  // cannot be read.
  std::string ReadIni(const std::string& section, const std::string& key,
                      const std::string& defaultValue);

  // Writes one value at once. Throws failure kValueTooLong (number -2147221504) for a value
  // of 260 characters or more, failure 75 for a key or value holding a line break, and the
  // file-system failure when the rewrite fails; the file is unchanged in each case.
  void WriteIni(const std::string& section, const std::string& key, const std::string& value);

  // Every key of a section with its value, in the order of the file.
  std::vector<std::pair<std::string, std::string>> entries(const std::string& section);

  // The run's read of a sync record: the value of the file's key in the record section,
  // empty when there is none.
  std::string readRecord(const std::string& relativePath);
  // The record's key as the profile spells it (keys ignore letter case), empty for none.
  std::string recordKeySpelling(const std::string& relativePath);
  // Hands `read` the records as they are now, under one lock and one look at the file: a
  // run's plan reads every record at once, from more than one thread. `read` must not call
  // the store.
  void readRecords(const std::function<void(const RecordReader&)>& read);
  // The size of the record section: about that of a listing of a tree the records speak of.
  IniDocument::SectionSize recordSectionSize();

  // Deferred forms for the run: kept in memory (and seen by reads) until flush().
  // They refuse values as WriteIni does, at the moment of the call.
  void writeDeferred(const std::string& section, const std::string& key, const std::string& value);
  void removeDeferred(const std::string& section, const std::string& key);

  // While held, the profile name is the one current when it was taken, and the name source
  // is not asked: a run keeps its profile, and its second listing thread never calls into
  // the host. While held, reads take the file as it was last loaded or written.
  void holdProfileName(bool hold);

  // The current profile's exclusive lock (on a hidden file beside it, as the profile itself
  // is replaced at every rewrite), held by a run or another writer for its whole length;
  // nothing when another holder has it. Throws when the lock file cannot be made.
  std::unique_ptr<FileLock> tryLock();

  // Writes all deferred changes in one atomic rewrite. Nothing to do costs nothing.
  void flush();
  // Flushes when the oldest deferred change waits for a second or longer, or ten times as
  // long as the last rewrite took when that is longer.
  void flushIfDue();
  bool hasPendingWrites() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tandro
