#include "sync/FileList.h"

#include "common/Failure.h"

namespace tandro {

namespace {

char folded(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string_view FileList::Paths::at(std::uint32_t index) const {
  if (index == kProbe) {
    return probe;
  }
  const std::size_t begin = index == 0 ? 0 : ends[index - 1];
  return std::string_view(text).substr(begin, ends[index] - begin);
}

std::size_t FileList::FoldedHash::operator()(std::uint32_t index) const {
  std::size_t hash = 14695981039346656037ull;
  for (const char c : paths->at(index)) {
    hash = (hash ^ static_cast<unsigned char>(folded(c))) * 1099511628211ull;
  }
  return hash;
}

bool FileList::FoldedEqual::operator()(std::uint32_t a, std::uint32_t b) const {
  const std::string_view left = paths->at(a);
  const std::string_view right = paths->at(b);
  if (left.size() != right.size()) {
    return false;
  }
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (folded(left[i]) != folded(right[i])) {
      return false;
    }
  }
  return true;
}

FileList::FileList()
    : paths_(std::make_unique<Paths>()),
      index_(16, FoldedHash{paths_.get()}, FoldedEqual{paths_.get()}) {}

std::vector<std::string> FileList::paths() const {
  std::vector<std::string> all;
  all.reserve(size());
  for (std::size_t i = 0; i < size(); ++i) {
    all.emplace_back(path(i));
  }
  return all;
}

void FileList::add(std::string_view relativePath, std::int64_t modified) {
  Paths& paths = *paths_;
  paths.text.append(relativePath);
  paths.ends.push_back(static_cast<std::uint32_t>(paths.text.size()));
  paths.modified.push_back(modified);
  if (!index_.insert(static_cast<std::uint32_t>(paths.ends.size() - 1)).second) {
    paths.ends.pop_back();
    paths.modified.pop_back();
    paths.text.resize(paths.ends.empty() ? 0 : paths.ends.back());
    throw Failure::ofNumber(failure_number::kDuplicateKey, std::string(relativePath));
  }
}

std::optional<std::uint32_t> FileList::findIgnoringCase(std::string_view relativePath) const {
  paths_->probe = relativePath;
  const auto found = index_.find(kProbe);
  if (found == index_.end()) {
    return std::nullopt;
  }
  return *found;
}

std::optional<std::size_t> FileList::find(std::string_view relativePath) const {
  const auto found = findIgnoringCase(relativePath);
  if (!found || path(*found) != relativePath) {
    return std::nullopt;
  }
  return *found;
}

bool FileList::containsIgnoringCase(std::string_view relativePath) const {
  return findIgnoringCase(relativePath).has_value();
}

}  // namespace tandro
