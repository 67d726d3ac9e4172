#include "sync/RootMarker.h"

#include <algorithm>
#include <random>

#include "common/Paths.h"
#include "sync/Transfer.h"

namespace tandro {

namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    auto end = text.find('\n', begin);
    if (end == std::string::npos) {
      end = text.size();
    }
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (!line.empty()) {
      lines.push_back(std::move(line));
    }
    begin = end + 1;
  }
  return lines;
}

}  // namespace

std::string newProfileId() {
  std::random_device source;
  std::uniform_int_distribution<int> digit(0, 15);
  std::string id(32, '0');
  for (char& c : id) {
    c = "0123456789abcdef"[digit(source)];
  }
  return id;
}

std::vector<std::string> readMarker(FileSystem& fileSystem, const std::string& root) {
  const auto text = fileSystem.readFile(fullPath(root, kMarkerName));
  return text ? linesOf(*text) : std::vector<std::string>{};
}

void addToMarker(FileSystem& fileSystem, const std::string& root, const std::string& id) {
  auto ids = readMarker(fileSystem, root);
  if (std::find(ids.begin(), ids.end(), id) != ids.end()) {
    return;
  }
  ids.push_back(id);
  const auto kept = ids.size() > kMarkerCapacity ? ids.end() - kMarkerCapacity : ids.begin();
  std::string text;
  for (auto line = kept; line != ids.end(); ++line) {
    text += *line + "\n";
  }
  const std::string marker = fullPath(root, kMarkerName);
  const std::string temporary = temporaryPathBeside(marker);
  try {
    fileSystem.writeFile(temporary, text);
    fileSystem.hideFile(temporary);
    fileSystem.renameFile(temporary, marker);
  } catch (...) {
    removeTemporaryQuietly(fileSystem, temporary);
    throw;
  }
}

}  // namespace tandro
