// Date-times as the profile and the log show them: local wall-clock time, counted in whole
// seconds from 1899-12-30 00:00, where the day serials a record may hold begin, so that a day
// serial of 1 is 86400 and "the record plus two seconds" is exact integer arithmetic.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tandro {

using LocalSeconds = std::int64_t;

inline constexpr LocalSeconds kSecondsPerDay = 86400;

// Local wall-clock time of an instant given in seconds since 1970-01-01 UTC.
LocalSeconds localSecondsFromUnix(std::int64_t unixSeconds);

// The current zone's offset from UTC at an instant, in seconds (east positive).
std::int64_t utcOffsetAt(std::int64_t unixSeconds);

// The instant a local wall-clock time names under the current zone's rules: where the time
// occurs twice (summer time ending), the earlier; where it never occurs (summer time
// starting), as read with the offset before the change.
std::int64_t unixFromLocalSeconds(LocalSeconds wall);

// Wall-clock time and instant at a fixed offset from UTC (seconds, east positive).
LocalSeconds wallAtOffset(std::int64_t unixSeconds, std::int64_t offset);
std::int64_t unixAtOffset(LocalSeconds wall, std::int64_t offset);

// An offset as "+09:00" or "-03:30", and back; nothing for any other text.
std::string formatUtcOffset(std::int64_t offset);
std::optional<std::int64_t> parseUtcOffset(std::string_view text);

// "yyyy/MM/dd H:mm:ss", or the date alone at exactly midnight.
std::string formatDateTime(LocalSeconds time);

// Reads what formatDateTime writes, also without leading zeros, with "-" for "/", with a
// "T" between date and time, without seconds, the date alone, or a plain decimal number
// taken as a day serial. Nothing for any other text.
std::optional<LocalSeconds> parseDateTime(std::string_view text);

}  // namespace tandro
