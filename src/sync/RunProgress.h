// How far a run is, as its host shows it: the plan's files and bytes, and what is done.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tandro {

struct RunProgress {
  std::size_t files = 0;  // of the plan: every file the run acts on
  std::size_t filesDone = 0;
  std::uint64_t bytes = 0;  // of the plan's copies; none in a preview, which copies nothing
  std::uint64_t bytesDone = 0;

  // 0 to 100, files and bytes weighing half each, so that neither many small files nor one
  // large one stands still; the files alone when nothing is to be copied.
  int percent() const;
  // "3 / 10 files, 1.2 / 4.5 MiB", the bytes left out when nothing is to be copied.
  std::string text() const;
};

}  // namespace tandro
