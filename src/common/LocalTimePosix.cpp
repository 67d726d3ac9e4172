#include "common/LocalTime.h"

namespace tandro {

std::tm localCalendarTime(std::int64_t unixSeconds) {
  const std::time_t instant = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  localtime_r(&instant, &local);
  return local;
}

}  // namespace tandro
