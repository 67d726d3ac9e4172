#include "sync/GetFileList.h"

#include <array>
#include <string_view>

#include "common/Failure.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "profile/CodePage.h"
#include "sync/Transfer.h"

namespace tandro {

namespace {

// Matched with letter case and only below the first level: the patterns demand a "\"
// before the name, and relative folder paths have none at their start.
constexpr std::array<std::string_view, 3> kExcludedFolderEnds = {"\\CVS\\", "\\Debug\\",
                                                                 "\\Release\\"};
constexpr std::array<std::string_view, 2> kBookkeepingFiles = {"MSSCCPRJ.SCC", "vssver.scc"};

bool isBuiltInExcludedFolder(std::string_view relativeFolder) {
  for (const auto end : kExcludedFolderEnds) {
    if (relativeFolder.ends_with(end)) {
      return true;
    }
  }
  return false;
}

bool isBookkeepingFile(std::string_view name) {
  for (const auto bookkeeping : kBookkeepingFiles) {
    if (name == bookkeeping) {
      return true;
    }
  }
  return false;
}

bool isExcludedByProfile(const std::string& relativeFolder, ProfileStore& profile) {
  return !relativeFolder.empty() && profile.ReadIni(kRecordSection, relativeFolder, "0") == "1";
}

// A name whose relative path the profile could not hold as a key, so that its file would
// never find its record or would find another's: "\" separates names in a key, a line break
// would split the key's line and "=" would end the key early; the profile drops blanks
// around a key and reads a line that begins with ";" as a comment; and a name the profile's
// code page cannot hold comes back as another name. The profile is UTF-8 text, so a name that
// is not UTF-8 would make it something an editor may rewrite.
bool isRepresentable(const std::string& relativeFolder, const FolderEntry& entry) {
  const std::string& name = entry.name;
  if (findAnyOf(name, "\\=\r\n") != std::string::npos) {
    return false;
  }
  if (relativeFolder.empty() && (name.front() == ';' || isBlank(name.front()))) {
    return false;
  }
  if (entry.kind == EntryKind::NormalFile && isBlank(name.back())) {
    return false;
  }
  return isValidUtf8(name) && throughProfileCodePage(name) == name;
}

// A tree mostly holds the files the profile has records of, under names as long as their keys
// (a record's line is longer still): room made for them at once spares the listing copies of
// its growing arrays.
void reserveForRecords(FileList& list, ProfileStore& profile) {
  const auto records = profile.recordSectionSize();
  list.reserve(records.lines, records.bytes);
}

// The normal files of one folder, as they are added to the list. A large tree's index does
// not fit the processor's caches: the places of a folder's files in it are all asked for
// before the first is added, so that their misses overlap. One thread's buffers are kept
// from folder to folder, so that listing a tree allocates nothing per file.
struct FolderFiles {
  std::string paths;  // end to end
  std::vector<std::size_t> ends;
  std::vector<FileFacts> facts;
  std::vector<HashedName> hashed;

  void clear() {
    paths.clear();
    ends.clear();
    facts.clear();
    hashed.clear();
  }

  void push(const std::string& relativeFolder, const FolderEntry& entry) {
    paths.append(relativeFolder).append(entry.name);
    ends.push_back(paths.size());
    facts.push_back(entry.facts);
  }

  void addTo(FileList& list) {
    std::size_t begin = 0;
    for (const std::size_t end : ends) {
      list.prefetchIgnoringCase(
          hashed.emplace_back(std::string_view(paths).substr(begin, end - begin)));
      begin = end;
    }
    for (std::size_t i = 0; i < facts.size(); ++i) {
      list.add(hashed[i], facts[i].modified, facts[i].size);
    }
  }
};

}  // namespace

void GetFileList(FileList& list, const std::string& root, const std::string& relativeFolder,
                 FileSystem& fileSystem, ProfileStore& profile, const ListingProgress& progress,
                 std::vector<std::string>* leftovers) {
  passingFailuresAs("GetFileList>", [&] {
    if (isBuiltInExcludedFolder(relativeFolder) || isExcludedByProfile(relativeFolder, profile)) {
      return;
    }
    if (relativeFolder.empty()) {
      reserveForRecords(list, profile);
    }
    const auto entries = fileSystem.listFolder(fullPath(root, relativeFolder));
    for (const auto& entry : entries) {
      if (entry.kind == EntryKind::Folder && isRepresentable(relativeFolder, entry)) {
        GetFileList(list, root, relativeFolder + entry.name + "\\", fileSystem, profile, progress,
                    leftovers);
      }
    }
    // Taken only after the sub-folders are listed, so one per thread serves every level.
    thread_local FolderFiles files;
    files.clear();
    for (const auto& entry : entries) {
      if (entry.kind == EntryKind::NormalFile && isRepresentable(relativeFolder, entry) &&
          !isBookkeepingFile(entry.name)) {
        files.push(relativeFolder, entry);
      } else if (leftovers && entry.kind == EntryKind::Other && isLeftoverTemporary(entry.name)) {
        leftovers->push_back(fullPath(root, relativeFolder + entry.name));
      }
    }
    files.addTo(list);
    if (progress) {
      progress(list.size());
    }
  });
}

}  // namespace tandro
