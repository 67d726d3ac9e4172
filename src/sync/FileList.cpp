#include "sync/FileList.h"

#include "common/Failure.h"

namespace tandro {

namespace {

char folded(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::size_t FileList::FoldedHash::operator()(std::size_t index) const {
  std::size_t hash = 14695981039346656037ull;
  for (const char c : list->at(index)) {
    hash = (hash ^ static_cast<unsigned char>(folded(c))) * 1099511628211ull;
  }
  return hash;
}

bool FileList::FoldedEqual::operator()(std::size_t a, std::size_t b) const {
  const std::string_view left = list->at(a);
  const std::string_view right = list->at(b);
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

FileList::FileList() : index_(makeIndex()) {}

FileList::FileList(FileList&& other) noexcept
    : paths_(std::move(other.paths_)), index_(makeIndex()) {
  index_.insert(other.index_.begin(), other.index_.end());
  other.index_.clear();
}

FileList& FileList::operator=(FileList&& other) noexcept {
  paths_ = std::move(other.paths_);
  index_ = makeIndex();
  index_.insert(other.index_.begin(), other.index_.end());
  other.index_.clear();
  return *this;
}

std::unordered_set<std::size_t, FileList::FoldedHash, FileList::FoldedEqual> FileList::makeIndex() {
  return std::unordered_set<std::size_t, FoldedHash, FoldedEqual>(16, FoldedHash{this},
                                                                  FoldedEqual{this});
}

void FileList::add(const std::string& relativePath) {
  paths_.push_back(relativePath);
  if (!index_.insert(paths_.size() - 1).second) {
    paths_.pop_back();
    throw Failure::ofNumber(failure_number::kDuplicateKey, relativePath);
  }
}

bool FileList::containsIgnoringCase(std::string_view relativePath) const {
  probe_ = relativePath;
  return index_.contains(kProbe);
}

bool FileList::contains(std::string_view relativePath) const {
  probe_ = relativePath;
  const auto found = index_.find(kProbe);
  return found != index_.end() && paths_[*found] == relativePath;
}

}  // namespace tandro
