// One complete synchronisation run between the local and the removable tree.
#pragma once

#include <string>

#include "common/Clock.h"
#include "common/FileSystem.h"
#include "profile/ProfileStore.h"
#include "sync/SyncHost.h"

namespace tandro {

// How a run ended.
enum class SyncOutcome {
  Completed,  // both passes done, completion line written
  Failed,     // ended after a report, or after MakeFolders showed its message
  Cancelled,  // the user answered Cancel in a confirmation, or No to a warning
  Refused,    // a root of a profile that has synchronised before is missing: nothing done
};

// The run's collaborators. The roots are native paths ending with the native separator.
struct SyncContext {
  FileSystem& fileSystem;
  ProfileStore& profile;
  SyncHost& host;
  Clock& clock;
  std::string localRoot;
  std::string removableRoot;
};

// Runs one synchronisation. Every failure is handled inside the run (reported through the
// host); the result says how it ended.
SyncOutcome SyncFolders(const SyncContext& context);

}  // namespace tandro
