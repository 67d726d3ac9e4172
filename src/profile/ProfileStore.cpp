#include "profile/ProfileStore.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "common/Failure.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "profile/CodePage.h"
#include "profile/IniDocument.h"

namespace tandro {

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr auto kFlushDelay = std::chrono::seconds(1);

// Characters, not bytes: a long value is refused by its length as the user sees it.
std::size_t characterCount(std::string_view utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

bool holdsLineBreak(std::string_view text) {
  return findAnyOf(text, "\r\n") != std::string_view::npos;
}

void refuseUnwritable(std::string_view section, std::string_view key, std::string_view value) {
  if (characterCount(value) >= kLongValueLimit) {
    throw Failure(failure_number::kValueTooLong, kProgramSource, "長いパスには対応していません。");
  }
  // A line break would put lines of its own into the file, and a key line that reads as a
  // section header ("[a=b]") would hide the key and every key after it.
  if (holdsLineBreak(section) || holdsLineBreak(key) || holdsLineBreak(value) ||
      IniDocument::isSectionHeader(std::string(key) + "=" + std::string(value))) {
    throw Failure::ofNumber(failure_number::kPathFileAccess);
  }
}

// The default as the platform's read hands it back: through the code page, without the
// blanks at its end.
std::string asReturnedDefault(const std::string& defaultValue) {
  auto text = throughProfileCodePage(defaultValue);
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

// A value as the platform's read hands it back: its ANSI functions hand a UTF-8 file's text
// back in the code page.
std::string asReturnedValue(std::string value, bool marked) {
  return marked ? throughProfileCodePage(std::move(value)) : value;
}

// A hidden file beside the profile; beside it, the temporary file's rename stays on one
// volume.
std::string hiddenPathBeside(const std::string& path, const char* suffix) {
  const auto folder = folderPart(path);
  return folder + "." + path.substr(folder.size()) + suffix;
}

std::string temporaryPathFor(const std::string& path) {
  return hiddenPathBeside(path, ".tmp");
}

// An editor's "UTF-8 with BOM": the platform skips the mark, reads the text after it as UTF-8
// whatever the code page, and writes the mark and UTF-8 again when it rewrites the file.
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The file's content as UTF-8 text; `marked` tells whether it began with the mark.
std::string textOfProfile(std::string bytes, bool& marked) {
  marked = bytes.starts_with(kUtf8Mark);
  if (!marked) {
    return fromProfileCodePage(std::move(bytes));
  }
  bytes.erase(0, kUtf8Mark.size());
  return bytes;
}

// The profile goes to the disk in pieces of about this size, each converted on its own, so
// that neither its text nor its bytes are ever held whole.
constexpr std::size_t kPieceSize = 1 << 16;

// Hands the bytes of the profile that holds `document` to `put`. A piece ends where a line or
// a line end does, never inside a character.
void writeProfile(const IniDocument& document, bool marked, const PieceWriter& put) {
  std::string piece(marked ? kUtf8Mark : "");
  const auto handOn = [&] {
    if (marked) {
      put(piece);
    } else {
      put(toProfileCodePage(piece));
    }
    piece.clear();
  };
  document.write([&](std::string_view text) {
    piece += text;
    if (piece.size() >= kPieceSize) {
      handOn();
    }
  });
  handOn();
}

struct Change {
  std::string_view section;
  std::string_view key;
  std::optional<std::string_view> value;  // none: the key's line goes
};

// The changes that wait for a rewrite, in order, their texts end to end in one buffer: the
// tens of thousands of records a run makes between two rewrites cost their text and a few
// words each, not three heap blocks.
class PendingChanges {
 public:
  bool empty() const { return changes_.empty(); }
  std::size_t size() const { return changes_.size(); }

  void push(const Change& change) {
    texts_.append(change.section).append(change.key).append(change.value.value_or(""));
    changes_.push_back(
        {texts_.size(), change.section.size(), change.key.size(), change.value.has_value()});
  }

  Change operator[](std::size_t index) const {
    const Texts& at = changes_[index];
    const std::size_t begin = index == 0 ? 0 : changes_[index - 1].end;
    const std::string_view all = std::string_view(texts_).substr(begin, at.end - begin);
    const std::string_view value = all.substr(at.sectionLength + at.keyLength);
    return {all.substr(0, at.sectionLength), all.substr(at.sectionLength, at.keyLength),
            at.setsValue ? std::optional(value) : std::nullopt};
  }

  void popBack() {
    changes_.pop_back();
    texts_.resize(changes_.empty() ? 0 : changes_.back().end);
  }

  void clear() {
    texts_.clear();
    changes_.clear();
  }

 private:
  struct Texts {
    std::size_t end;  // of the change's texts in texts_
    std::size_t sectionLength;
    std::size_t keyLength;
    bool setsValue;
  };

  std::string texts_;
  std::vector<Texts> changes_;
};

}  // namespace

// The store's state and the work on it. `mutex` guards all of it: every function of State
// requires it held, and the public members take it once and call them, so none locks again.
struct ProfileStore::State {
  State(FileSystem& fileSystem, std::string profileFolder, std::function<std::string()> nameSource)
      : files(fileSystem), folder(std::move(profileFolder)), profileName(std::move(nameSource)) {}

  FileSystem& files;
  std::string folder;
  std::function<std::string()> profileName;
  std::optional<std::string> heldName;
  // Two listings may read folder entries at once.
  mutable std::mutex mutex;

  // The file at `loadedPath` as it was at `loadedStamp` (none: missing), with the pending
  // changes applied on top.
  bool loaded = false;
  bool lookedAtSinceHeld = false;  // the file's stamp, once the name is held
  std::string loadedPath;
  std::optional<FileStamp> loadedStamp;
  IniDocument document;
  bool marked = false;     // the file began with the UTF-8 mark
  PendingChanges pending;  // kept until a rewrite has carried them
  SteadyClock::time_point oldestPending;
  SteadyClock::duration lastFlushCost{};

  std::string currentPath() const {
    return folder + (heldName ? *heldName : profileName()) + ".ini";
  }
  std::string read(const std::string& section, const std::string& key,
                   const std::string& defaultValue);
  void writeDeferred(const std::string& section, const std::string& key, const std::string& value);
  IniDocument& current();
  void refresh(const std::string& path);
  void change(const Change& next);
  void apply(const Change& change);
  void forgetLastChange();
  void flush();
  void flushIfDue();
  void rewrite(const std::string& path);
};

std::string ProfileStore::State::read(const std::string& section, const std::string& key,
                                      const std::string& defaultValue) {
  auto value = current().value(throughProfileCodePage(section), throughProfileCodePage(key));
  if (!value) {
    return asReturnedDefault(defaultValue);
  }
  return asReturnedValue(std::move(*value), marked);
}

void ProfileStore::State::writeDeferred(const std::string& section, const std::string& key,
                                        const std::string& value) {
  refuseUnwritable(section, key, value);
  change({throughProfileCodePage(section), throughProfileCodePage(key),
          throughProfileCodePage(value)});
}

IniDocument& ProfileStore::State::current() {
  const auto path = currentPath();
  if (!pending.empty() && path != loadedPath) {
    flush();  // the pending changes belong to the profile that was chosen before
  }
  // A run that holds the profile spares a look at the file per record: an edit by another
  // program meanwhile is still taken in by the next flush, which looks again.
  if (!heldName || !lookedAtSinceHeld || path != loadedPath) {
    refresh(path);
    lookedAtSinceHeld = heldName.has_value();
  }
  return document;
}

void ProfileStore::State::refresh(const std::string& path) {
  // Stamped before reading: an edit between the two shows as a changed stamp next time.
  const auto stamp = files.stamp(path);
  if (loaded && path == loadedPath && stamp == loadedStamp) {
    return;
  }
  if (path != loadedPath) {
    removeTemporaryQuietly(files, temporaryPathFor(path));  // what a killed rewrite left
  }
  auto content = files.readFile(path);
  marked = false;
  document = content ? IniDocument(textOfProfile(std::move(*content), marked)) : IniDocument();
  loaded = true;
  loadedPath = path;
  loadedStamp = stamp;
  for (std::size_t i = 0; i < pending.size(); ++i) {
    apply(pending[i]);
  }
}

void ProfileStore::State::change(const Change& next) {
  current();
  apply(next);
  if (pending.empty()) {
    oldestPending = SteadyClock::now();
  }
  pending.push(next);
}

void ProfileStore::State::apply(const Change& change) {
  if (change.value) {
    document.set(change.section, change.key, *change.value);
  } else {
    document.remove(change.section, change.key);
  }
}

void ProfileStore::State::forgetLastChange() {
  pending.popBack();
  loaded = lookedAtSinceHeld = false;  // the model still holds the change; reloaded without it
}

void ProfileStore::State::flush() {
  if (pending.empty()) {
    return;
  }
  const auto start = SteadyClock::now();
  refresh(loadedPath);  // an edit by another program is kept; the changes go on top of it
  rewrite(loadedPath);
  pending.clear();
  lastFlushCost = SteadyClock::now() - start;
}

void ProfileStore::State::flushIfDue() {
  // A large profile costs more to rewrite; it waits longer, so that rewriting never takes
  // more than a tenth of a run.
  const auto delay = std::max<SteadyClock::duration>(kFlushDelay, 10 * lastFlushCost);
  if (!pending.empty() && SteadyClock::now() - oldestPending >= delay) {
    flush();
  }
}

void ProfileStore::State::rewrite(const std::string& path) {
  const auto temporary = temporaryPathFor(path);
  try {
    files.writeFileInPieces(temporary,
                            [&](const PieceWriter& put) { writeProfile(document, marked, put); });
    // The rename keeps the stamp; taken before it, an edit right after the rename still shows.
    const auto written = files.stamp(temporary);
    files.renameFile(temporary, path);
    loadedStamp = written;
  } catch (...) {
    removeTemporaryQuietly(files, temporary);
    throw;
  }
}

ProfileStore::ProfileStore(FileSystem& fileSystem, std::string folder,
                           std::function<std::string()> profileName)
    : state_(std::make_unique<State>(fileSystem, std::move(folder), std::move(profileName))) {}

ProfileStore::~ProfileStore() {
  try {
    flush();
  } catch (...) {
    // Nobody is left to report to; the records of this run are lost, the file is intact.
  }
}

std::string ProfileStore::profilePath() const {
  const std::lock_guard lock(state_->mutex);
  return state_->currentPath();
}

std::string ProfileStore::ReadIni(const std::string& section, const std::string& key,
                                  const std::string& defaultValue) {
  const std::lock_guard lock(state_->mutex);
  return state_->read(section, key, defaultValue);
}

void ProfileStore::WriteIni(const std::string& section, const std::string& key,
                            const std::string& value) {
  const std::lock_guard lock(state_->mutex);
  state_->writeDeferred(section, key, value);
  try {
    state_->flush();
  } catch (...) {
    state_->forgetLastChange();
    throw;
  }
}

std::vector<std::pair<std::string, std::string>> ProfileStore::entries(const std::string& section) {
  const std::lock_guard lock(state_->mutex);
  return state_->current().entries(throughProfileCodePage(section));
}

RecordReader::RecordReader(const IniDocument& document, bool marked)
    : document_(document), section_(document.findSection(kRecordSection)), marked_(marked) {}

// The file's key as the profile's lines hold it.
std::string RecordReader::keyOf(std::string_view relativePath) {
  return throughProfileCodePage(std::string(relativePath));
}

// Calls `use` with the file's key, without blanks around it. Where the code page changes
// nothing, that is mostly the path itself, hash and all: a run reads its records without a
// copy of each path.
template <typename Use>
void RecordReader::withKeyOf(const HashedName& relativePath, const Use& use) const {
  if (profileCodePageIsIdentity() &&
      trimmed(relativePath.text).size() == relativePath.text.size()) {
    use(relativePath);
    return;
  }
  const std::string key = keyOf(relativePath.text);
  use(HashedName(trimmed(key)));
}

void RecordReader::read(const HashedName& relativePath, std::string& value) const {
  value.clear();
  if (!section_) {
    return;
  }
  withKeyOf(relativePath, [&](const HashedName& key) {
    if (const auto found = document_.valueIn(*section_, key)) {
      value.assign(*found);
      value = asReturnedValue(std::move(value), marked_);
    }
  });
}

std::string RecordReader::value(std::string_view relativePath) const {
  std::string value;
  read(HashedName(relativePath), value);
  return value;
}

std::string RecordReader::keySpelling(std::string_view relativePath) const {
  return document_.keySpelling(kRecordSection, keyOf(relativePath)).value_or(std::string());
}

void RecordReader::prefetch(const HashedName& relativePath) const {
  if (section_) {
    withKeyOf(relativePath, [&](const HashedName& key) { document_.prefetchIn(*section_, key); });
  }
}

std::string ProfileStore::readRecord(const std::string& relativePath) {
  std::string value;
  readRecords([&](const RecordReader& records) { value = records.value(relativePath); });
  return value;
}

std::string ProfileStore::recordKeySpelling(const std::string& relativePath) {
  std::string key;
  readRecords([&](const RecordReader& records) { key = records.keySpelling(relativePath); });
  return key;
}

void ProfileStore::readRecords(const std::function<void(const RecordReader&)>& read) {
  const std::lock_guard lock(state_->mutex);
  read(RecordReader(state_->current(), state_->marked));
}

IniDocument::SectionSize ProfileStore::recordSectionSize() {
  const std::lock_guard lock(state_->mutex);
  return state_->current().sectionSize(kRecordSection);
}

void ProfileStore::writeDeferred(const std::string& section, const std::string& key,
                                 const std::string& value) {
  const std::lock_guard lock(state_->mutex);
  state_->writeDeferred(section, key, value);
}

void ProfileStore::removeDeferred(const std::string& section, const std::string& key) {
  const std::lock_guard lock(state_->mutex);
  state_->change({throughProfileCodePage(section), throughProfileCodePage(key), std::nullopt});
}

void ProfileStore::holdProfileName(bool hold) {
  const std::lock_guard lock(state_->mutex);
  state_->heldName.reset();
  if (hold) {
    state_->heldName = state_->profileName();
    state_->lookedAtSinceHeld = false;  // what was edited before the run counts in it
  }
}

std::unique_ptr<FileLock> ProfileStore::tryLock() {
  return state_->files.tryLockExclusive(hiddenPathBeside(profilePath(), ".lock"));
}

void ProfileStore::flush() {
  const std::lock_guard lock(state_->mutex);
  state_->flush();
}

void ProfileStore::flushIfDue() {
  const std::lock_guard lock(state_->mutex);
  state_->flushIfDue();
}

bool ProfileStore::hasPendingWrites() const {
  const std::lock_guard lock(state_->mutex);
  return !state_->pending.empty();
}

}  // namespace tandro
