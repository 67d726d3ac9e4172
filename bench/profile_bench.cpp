// Times the profile store at the scale of a 100,000-file tree: one record write per file,
// kept in memory and written by one rewrite, then the run's read of every record from a
// store that loads the file afresh, as the next run does.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "common/FileSystem.h"
#include "profile/ProfileStore.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRecords = 100'000;
constexpr int kFilesPerFolder = 100;
const std::string kProfileName = "bench";

std::string recordKey(int index) {
  char key[48];
  std::snprintf(key, sizeof key, "folder%04d\\file%05d.txt", index / kFilesPerFolder,
                index % kFilesPerFolder);
  return key;
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double writeRecords(tandro::FileSystem& files, const std::string& folder) {
  tandro::ProfileStore store(files, folder, [] { return kProfileName; });
  store.WriteIni("Path", "Local", folder);
  const auto start = Clock::now();
  for (int i = 0; i < kRecords; ++i) {
    store.writeDeferred(tandro::kRecordSection, recordKey(i), "2008/02/19 15:00:59");
  }
  store.flush();
  return secondsSince(start);
}

double readRecords(tandro::FileSystem& files, const std::string& folder, int& found) {
  tandro::ProfileStore store(files, folder, [] { return kProfileName; });
  store.holdProfileName(true);  // as a run does: the file is looked at once, not per record
  const auto start = Clock::now();
  found = 0;
  for (int i = 0; i < kRecords; ++i) {
    found += store.readRecord(recordKey(i)).empty() ? 0 : 1;
  }
  return secondsSince(start);
}

}  // namespace

int main() {
  std::string folder = (std::filesystem::temp_directory_path() / "tandro-bench-XXXXXX").string();
  if (::mkdtemp(folder.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  folder += "/";
  const auto files = tandro::createPlatformFileSystem();
  const double writing = writeRecords(*files, folder);
  int found = 0;
  const double reading = readRecords(*files, folder, found);
  const auto size = std::filesystem::file_size(folder + kProfileName + ".ini");
  std::filesystem::remove_all(folder);

  std::printf("%d record writes (deferred) + one flush: %.3f s\n", kRecords, writing);
  std::printf("%d record reads (first one loads the file): %.3f s, %d found\n", kRecords, reading,
              found);
  std::printf("profile size: %ju bytes\n", static_cast<std::uintmax_t>(size));
  return found == kRecords ? 0 : 1;
}
