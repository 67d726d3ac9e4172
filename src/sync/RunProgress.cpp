#include "sync/RunProgress.h"

#include <algorithm>
#include <cstdio>

namespace tandro {

namespace {

double share(double done, double total) {
  return total > 0 ? std::min(done / total, 1.0) : 1.0;
}

std::string mebibytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1 << 20));
  return text;
}

}  // namespace

int RunProgress::percent() const {
  if (files == 0) {
    return 0;
  }
  const double fileShare = share(static_cast<double>(filesDone), static_cast<double>(files));
  const double byteShare =
      bytes > 0 ? share(static_cast<double>(bytesDone), static_cast<double>(bytes)) : fileShare;
  return static_cast<int>(50 * (fileShare + byteShare));
}

std::string RunProgress::text() const {
  std::string line = std::to_string(filesDone) + " / " + std::to_string(files) + " files";
  if (bytes > 0) {
    line += ", " + mebibytes(bytesDone) + " / " + mebibytes(bytes) + " MiB";
  }
  return line;
}

}  // namespace tandro
