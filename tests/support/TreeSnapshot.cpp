#include "support/TreeSnapshot.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "support/TempDir.h"
#include "sync/RootMarker.h"

namespace tandro::test {

namespace fs = std::filesystem;

namespace {

template <typename Visit>
void forEachFile(const fs::path& root, Visit visit) {
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error);
       it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_regular_file(error) && !it->is_symlink(error)) {
      visit(*it);
    }
  }
}

// In one read: the trees of the crash test are read after every kill.
std::string wholeContent(const fs::directory_entry& entry) {
  std::ifstream in(entry.path(), std::ios::binary);
  std::string content(entry.file_size(), '\0');
  in.read(content.data(), static_cast<std::streamsize>(content.size()));
  content.resize(static_cast<std::size_t>(in.gcount()));
  return content;
}

}  // namespace

Tree filesBelow(const fs::path& root) {
  Tree tree;
  forEachFile(root, [&](const fs::directory_entry& entry) {
    const std::string path = entry.path().lexically_relative(root).string();
    if (path != kMarkerName) {
      tree[path] = wholeContent(entry);
    }
  });
  return tree;
}

bool isTemporaryName(const std::string& name) {
  return name.ends_with(".tmp") && (name.starts_with(".tandro-") || name.ends_with(".ini.tmp"));
}

std::vector<std::string> temporariesBelow(const fs::path& root) {
  std::vector<std::string> found;
  forEachFile(root, [&](const fs::directory_entry& entry) {
    if (isTemporaryName(entry.path().filename().string())) {
      found.push_back(entry.path().lexically_relative(root).string());
    }
  });
  return found;
}

std::map<std::string, std::string> recordsIn(const fs::path& profileFile) {
  std::map<std::string, std::string> records;
  std::istringstream lines(readFile(profileFile));
  bool inRecords = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.ends_with('\r')) {
      line.pop_back();
    }
    if (line.starts_with('[') && line.ends_with(']')) {
      inRecords = line == "[Tandro]";
      continue;
    }
    const auto equals = line.find('=');
    if (inRecords && equals != std::string::npos) {
      records.emplace(line.substr(0, equals), line.substr(equals + 1));
    }
  }
  return records;
}

std::string keyOf(std::string relative) {
  std::replace(relative.begin(), relative.end(), '/', '\\');
  return relative;
}

}  // namespace tandro::test
