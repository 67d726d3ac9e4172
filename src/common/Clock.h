// The run's "now", injected so that tests can fix it.
#pragma once

#include <cstdint>

namespace tandro {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since 1970-01-01 UTC.
  virtual std::int64_t now() = 0;
};

class SystemClock : public Clock {
 public:
  std::int64_t now() override;
};

}  // namespace tandro
