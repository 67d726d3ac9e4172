// What the date-time texts need of the system: an instant's calendar time in the current
// time zone.
#pragma once

#include <cstdint>
#include <ctime>

namespace tandro {

// The local calendar time of an instant (seconds since 1970-01-01 UTC) by the zone rules in
// force; safe to call from more than one thread at once.
std::tm localCalendarTime(std::int64_t unixSeconds);

}  // namespace tandro
