#include "sync/FileList.h"

#include "common/Failure.h"
#include "common/Text.h"

namespace tandro {

void FileList::add(const std::string& relativePath) {
  if (!foldedKeys_.insert(foldCase(relativePath)).second) {
    throw Failure::ofNumber(failure_number::kDuplicateKey, relativePath);
  }
  paths_.push_back(relativePath);
}

}  // namespace tandro
