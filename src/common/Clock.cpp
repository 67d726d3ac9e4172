#include "common/Clock.h"

#include <chrono>

namespace tandro {

std::int64_t SystemClock::now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace tandro
