// Windows only: file times count 100-nanosecond ticks from 1601-01-01 UTC.
#pragma once

#include <cstdint>

namespace tandro {

inline constexpr std::int64_t kTicksPerSecond = 10'000'000;
// 1970-01-01 UTC, the origin of the program's own times, in ticks.
inline constexpr std::int64_t kUnixEpochTicks = 116'444'736'000'000'000;

}  // namespace tandro
