// Date-times as the profile and the log show them: local wall-clock time, counted in whole
// seconds from 1899-12-30 00:00 (the origin of the classic day serial), so that a day serial
// of 1 is 86400 and "the record plus two seconds" is exact integer arithmetic.
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

// "yyyy/MM/dd H:mm:ss", or the date alone at exactly midnight.
std::string formatDateTime(LocalSeconds time);

// Reads what formatDateTime writes, also without leading zeros, with "-" for "/", with a
// "T" between date and time, without seconds, the date alone, or a plain decimal number
// taken as a day serial. Nothing for any other text.
std::optional<LocalSeconds> parseDateTime(std::string_view text);

}  // namespace tandro
