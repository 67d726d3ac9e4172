#include "sync/RootCheck.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "common/Paths.h"
#include "common/Text.h"

namespace tandro {

namespace {

// The folder's names after lexical normalisation, in one letter case where the file system
// ignores it (drive letters included); "." and empty names are dropped.
std::vector<std::string> namesOf(const std::string& root) {
  std::vector<std::string> names;
  for (const auto& part : std::filesystem::path(root).lexically_normal()) {
    const std::string name = part.string();
    if (!name.empty() && name != ".") {
      names.push_back(kNamesIgnoreCase ? foldCase(name) : name);
    }
  }
  return names;
}

bool isPrefixOf(const std::vector<std::string>& shorter, const std::vector<std::string>& longer) {
  return shorter.size() <= longer.size() &&
         std::equal(shorter.begin(), shorter.end(), longer.begin());
}

}  // namespace

std::optional<std::string> unsafeRootsMessage(const std::string& localRoot,
                                              const std::string& removableRoot) {
  if (localRoot.empty() || removableRoot.empty()) {
    return kEmptyRootMessage;
  }
  if (!std::filesystem::path(localRoot).is_absolute() ||
      !std::filesystem::path(removableRoot).is_absolute()) {
    return kRelativeRootMessage;
  }
  const auto local = namesOf(localRoot);
  const auto removable = namesOf(removableRoot);
  if (isPrefixOf(local, removable) || isPrefixOf(removable, local)) {
    return kOverlappingRootsMessage;
  }
  return std::nullopt;
}

}  // namespace tandro
