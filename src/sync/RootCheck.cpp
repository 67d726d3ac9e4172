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

// A NUL would cut the name short on its way to the system, and other control characters
// come only from a damaged or hostile profile.
bool holdsControlCharacter(const std::string& root) {
  return std::any_of(root.begin(), root.end(), [](char c) {
    const auto code = static_cast<unsigned char>(c);
    return code < 0x20 || code == 0x7F;
  });
}

// The folder as the system resolves it: links followed as far as the path exists, ".."
// removed. The text itself where the system cannot tell.
std::string resolved(const std::string& root) {
  std::error_code error;
  const auto path = std::filesystem::weakly_canonical(root, error);
  return error ? root : path.string();
}

bool isPrefixOf(const std::vector<std::string>& shorter, const std::vector<std::string>& longer) {
  return shorter.size() <= longer.size() &&
         std::equal(shorter.begin(), shorter.end(), longer.begin());
}

bool overlap(const std::string& a, const std::string& b) {
  const auto namesOfA = namesOf(a);
  const auto namesOfB = namesOf(b);
  return isPrefixOf(namesOfA, namesOfB) || isPrefixOf(namesOfB, namesOfA);
}

}  // namespace

std::optional<std::string> unsafeRootsMessage(const std::string& localRoot,
                                              const std::string& removableRoot) {
  if (localRoot.empty() || removableRoot.empty()) {
    return kEmptyRootMessage;
  }
  if (holdsControlCharacter(localRoot) || holdsControlCharacter(removableRoot)) {
    return kControlCharacterRootMessage;
  }
  if (!std::filesystem::path(localRoot).is_absolute() ||
      !std::filesystem::path(removableRoot).is_absolute()) {
    return kRelativeRootMessage;
  }
  if (overlap(localRoot, removableRoot) || overlap(resolved(localRoot), resolved(removableRoot))) {
    return kOverlappingRootsMessage;
  }
  return std::nullopt;
}

}  // namespace tandro
