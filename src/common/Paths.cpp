#include "common/Paths.h"

#include <algorithm>

namespace tandro {

std::string fullPath(std::string_view root, std::string_view relative) {
  std::string path;
  path.reserve(root.size() + relative.size());
  path.append(root);
  const auto start = path.size();
  path.append(relative);
  if constexpr (kNativeSeparator != kRelativeSeparator) {
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(start), path.end(), kRelativeSeparator,
                 kNativeSeparator);
  }
  return path;
}

std::string folderPart(std::string_view path) {
  const auto last = path.find_last_of(kNativeSeparators);
  return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

std::string withTrailingSeparator(std::string path) {
  if (path.empty() || kNativeSeparators.find(path.back()) == std::string_view::npos) {
    path.push_back(kNativeSeparator);
  }
  return path;
}

}  // namespace tandro
