// The two roots a profile holds, as the user typed them: the only place that knows their keys.
#pragma once

#include <string>

#include "profile/ProfileStore.h"

namespace tandro {

struct ProfileRoots {
  std::string local;
  std::string removable;

  bool operator==(const ProfileRoots&) const = default;
};

// Both roots of the current profile, empty where one is missing. Throws as ReadIni does.
ProfileRoots readProfileRoots(ProfileStore& profile);

// Writes the local root, then the removable one; throws as WriteIni does, and a failure of the
// second leaves the first written.
void writeProfileRoots(ProfileStore& profile, const ProfileRoots& roots);

}  // namespace tandro
