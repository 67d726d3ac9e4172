#include "sync/FileList.h"

#include "common/Failure.h"
#include "common/Text.h"

namespace tandro {

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

void FileList::add(const HashedName& relativePath, std::int64_t modified, std::int64_t size) {
  const auto slot = slotOf(relativePath.text, relativePath.hash);
  if (index_.item(slot) != HashIndex::kNoItem) {
    throw Failure::ofNumber(failure_number::kDuplicateKey, std::string(relativePath.text));
  }
  text_.append(relativePath.text);
  ends_.push_back(static_cast<std::uint32_t>(text_.size()));
  facts_.push_back({modified, size});
  index_.insert(slot, static_cast<std::uint32_t>(ends_.size() - 1), relativePath.hash);
}

void FileList::reserve(std::size_t files, std::size_t pathBytes) {
  text_.reserve(pathBytes);
  ends_.reserve(files);
  facts_.reserve(files);
  index_.reserve(files);
}

std::size_t FileList::slotOf(std::string_view relativePath, std::uint32_t hash) const {
  return index_.find(
      hash, [&](std::uint32_t index) { return equalIgnoringCase(path(index), relativePath); });
}

std::optional<std::uint32_t> FileList::findIgnoringCase(const HashedName& relativePath) const {
  const auto found = index_.item(slotOf(relativePath.text, relativePath.hash));
  if (found == HashIndex::kNoItem) {
    return std::nullopt;
  }
  return found;
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
