// Times the profile store at the scale of a 100,000-file tree: one record write per file,
// kept in memory and written by one rewrite, then the run's read of every record from a
// store that loads the file afresh, as the next run does; then the plan of a run with
// nothing to do over both listings of that tree and its records.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/FileSystem.h"
#include "profile/ProfileStore.h"
#include "sync/SyncPlan.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRecords = 100'000;
constexpr int kFilesPerFolder = 100;
const std::string kProfileName = "bench";
const std::string kRecordText = "2008/02/19 15:00:59";
constexpr std::int64_t kRecordOffset = 9 * 3600;  // as a profile written in Japan keeps it
constexpr int kPlanRounds = 51;

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
    store.writeDeferred(tandro::kRecordSection, recordKey(i), kRecordText);
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

// Both sides list every file at the time of its record: the plan judges each one unchanged.
tandro::FileList listing() {
  const auto recorded = tandro::recordOf(*tandro::parseDateTime(kRecordText), kRecordOffset);
  tandro::FileList list;
  for (int i = 0; i < kRecords; ++i) {
    list.add(recordKey(i), recorded, 1024);
  }
  return list;
}

// The median time of a plan, with the records read as a run reads them.
double planRecords(tandro::FileSystem& files, const std::string& folder, std::size_t& planned) {
  tandro::ProfileStore store(files, folder, [] { return kProfileName; });
  store.holdProfileName(true);
  const tandro::FileList local = listing();
  const tandro::FileList removable = listing();
  std::vector<double> rounds;
  for (int round = 0; round < kPlanRounds; ++round) {
    store.readRecords([&](const tandro::RecordReader& records) {
      const auto start = Clock::now();
      auto input = tandro::planInputOf(local, removable, records);
      input.recordOffset = kRecordOffset;
      planned = tandro::makePlan(input).files.size();
      rounds.push_back(secondsSince(start));
    });
  }
  std::sort(rounds.begin(), rounds.end());
  return rounds[rounds.size() / 2];
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
  std::size_t planned = 0;
  const double planning = planRecords(*files, folder, planned);
  const auto size = std::filesystem::file_size(folder + kProfileName + ".ini");
  std::filesystem::remove_all(folder);

  std::printf("%d record writes (deferred) + one flush: %.3f s\n", kRecords, writing);
  std::printf("%d record reads (first one loads the file): %.3f s, %d found\n", kRecords, reading,
              found);
  std::printf("plan of %d files on both sides, nothing to do: %.1f ms (median of %d)\n", kRecords,
              planning * 1000, kPlanRounds);
  std::printf("profile size: %ju bytes\n", static_cast<std::uintmax_t>(size));
  return found == kRecords && planned == 0 ? 0 : 1;
}
