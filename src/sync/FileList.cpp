#include "sync/FileList.h"

#include "common/Failure.h"

namespace tandro {

namespace {

char folded(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::size_t FileList::FoldedHash::operator()(std::uint32_t index) const {
  std::size_t hash = 14695981039346656037ull;
  for (const char c : list->at(index)) {
    hash = (hash ^ static_cast<unsigned char>(folded(c))) * 1099511628211ull;
  }
  return hash;
}

bool FileList::FoldedEqual::operator()(std::uint32_t a, std::uint32_t b) const {
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
    : text_(std::move(other.text_)),
      ends_(std::move(other.ends_)),
      modified_(std::move(other.modified_)),
      index_(makeIndex()) {
  takeIndexOf(other);
}

FileList& FileList::operator=(FileList&& other) noexcept {
  text_ = std::move(other.text_);
  ends_ = std::move(other.ends_);
  modified_ = std::move(other.modified_);
  index_ = makeIndex();
  takeIndexOf(other);
  return *this;
}

FileList::Index FileList::makeIndex() {
  return Index(16, FoldedHash{this}, FoldedEqual{this});
}

// The other list's positions, hashed again now that this list holds the paths.
void FileList::takeIndexOf(FileList& other) {
  index_.reserve(other.index_.size());
  index_.insert(other.index_.begin(), other.index_.end());
  other.index_.clear();
}

std::string_view FileList::path(std::size_t index) const {
  const std::size_t begin = index == 0 ? 0 : ends_[index - 1];
  return std::string_view(text_).substr(begin, ends_[index] - begin);
}

std::vector<std::string> FileList::paths() const {
  std::vector<std::string> all;
  all.reserve(size());
  for (std::size_t i = 0; i < size(); ++i) {
    all.emplace_back(path(i));
  }
  return all;
}

void FileList::add(std::string_view relativePath, std::int64_t modified) {
  text_.append(relativePath);
  ends_.push_back(static_cast<std::uint32_t>(text_.size()));
  modified_.push_back(modified);
  if (!index_.insert(static_cast<std::uint32_t>(ends_.size() - 1)).second) {
    ends_.pop_back();
    modified_.pop_back();
    text_.resize(ends_.empty() ? 0 : ends_.back());
    throw Failure::ofNumber(failure_number::kDuplicateKey, std::string(relativePath));
  }
}

std::optional<std::uint32_t> FileList::findIgnoringCase(std::string_view relativePath) const {
  probe_ = relativePath;
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
