// A clock that stands still, so that the times a run writes are known beforehand.
#pragma once

#include <cstdint>

#include "common/Clock.h"

namespace tandro::test {

class FixedClock : public Clock {
 public:
  explicit FixedClock(std::int64_t unixSeconds) : time(unixSeconds) {}
  std::int64_t now() override { return time; }
  std::int64_t time;  // a test moves it on to run later
};

}  // namespace tandro::test
