#include "profile/ProfileRoots.h"

namespace tandro {

namespace {

constexpr const char* kLocalRootKey = "Local";
constexpr const char* kRemovableRootKey = "Remove";

}  // namespace

ProfileRoots readProfileRoots(ProfileStore& profile) {
  return {profile.ReadIni(kPathSection, kLocalRootKey, ""),
          profile.ReadIni(kPathSection, kRemovableRootKey, "")};
}

void writeProfileRoots(ProfileStore& profile, const ProfileRoots& roots) {
  profile.WriteIni(kPathSection, kLocalRootKey, roots.local);
  profile.WriteIni(kPathSection, kRemovableRootKey, roots.removable);
}

}  // namespace tandro
