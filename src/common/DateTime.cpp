#include "common/DateTime.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "common/LocalTime.h"

namespace tandro {

namespace {

using std::chrono::day;
using std::chrono::month;
using std::chrono::sys_days;
using std::chrono::year;
using std::chrono::year_month_day;

constexpr sys_days kSerialOrigin = sys_days(year_month_day(year(1899), month(12), day(30)));
// 1970-01-01 00:00 in the count of LocalSeconds.
constexpr LocalSeconds kUnixOrigin =
    (sys_days(year_month_day(year(1970), month(1), day(1))) - kSerialOrigin).count() *
    kSecondsPerDay;

LocalSeconds fromCivil(const year_month_day& date, int hour, int minute, int second) {
  const auto days = (sys_days(date) - kSerialOrigin).count();
  return days * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

// Splits off the next run of digits; false when there is none.
bool takeNumber(std::string_view& text, int& value) {
  const auto* end = text.data() + text.size();
  const auto [next, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || next == text.data() || next - text.data() > 4) {
    return false;
  }
  text.remove_prefix(static_cast<std::size_t>(next - text.data()));
  return true;
}

bool takeChar(std::string_view& text, std::string_view allowed) {
  // A search of so few characters costs less inline than as a call.
  if (text.empty() || std::find(allowed.begin(), allowed.end(), text.front()) == allowed.end()) {
    return false;
  }
  text.remove_prefix(1);
  return true;
}

std::optional<LocalSeconds> parseSerial(std::string_view text) {
  if (text.empty() || text.find_first_not_of("+-0123456789.") != std::string_view::npos) {
    return std::nullopt;
  }
  double serial = 0;
  const auto [next, error] =
      std::from_chars(text.data(), text.data() + text.size(), serial, std::chars_format::fixed);
  if (error != std::errc() || next != text.data() + text.size() || !std::isfinite(serial) ||
      std::fabs(serial) > 3e6) {
    return std::nullopt;
  }
  return static_cast<LocalSeconds>(std::llround(serial * kSecondsPerDay));
}

std::optional<LocalSeconds> civil(int y, int mo, int d, int h, int mi, int s) {
  const year_month_day date{year(y), month(static_cast<unsigned>(mo)),
                            day(static_cast<unsigned>(d))};
  if (y < 100 || !date.ok() || h > 23 || mi > 59 || s > 59) {
    return std::nullopt;
  }
  return fromCivil(date, h, mi, s);
}

// What formatDateTime writes with a time, read by position: a run reads a record per file.
std::optional<LocalSeconds> parseWritten(std::string_view text) {
  const std::string_view form = text.size() == 19 ? "0000/00/00 00:00:00" : "0000/00/00 0:00:00";
  if (text.size() != form.size()) {
    return std::nullopt;
  }
  std::array<int, 6> fields{};
  std::size_t field = 0;
  for (std::size_t i = 0; i < form.size(); ++i) {
    const char c = text[i];
    if (form[i] != '0') {
      if (c != form[i]) {
        return std::nullopt;
      }
      ++field;
    } else if (c < '0' || c > '9') {
      return std::nullopt;
    } else {
      fields[field] = fields[field] * 10 + (c - '0');
    }
  }
  return civil(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]);
}

std::optional<LocalSeconds> parseCivil(std::string_view text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (!takeNumber(text, y) || !takeChar(text, "/-") || !takeNumber(text, mo) ||
      !takeChar(text, "/-") || !takeNumber(text, d)) {
    return std::nullopt;
  }
  if (!text.empty()) {
    if (!takeChar(text, " T") || !takeNumber(text, h) || !takeChar(text, ":") ||
        !takeNumber(text, mi)) {
      return std::nullopt;
    }
    if (!text.empty() && (!takeChar(text, ":") || !takeNumber(text, s))) {
      return std::nullopt;
    }
  }
  if (!text.empty()) {
    return std::nullopt;
  }
  return civil(y, mo, d, h, mi, s);
}

}  // namespace

LocalSeconds localSecondsFromUnix(std::int64_t unixSeconds) {
  const std::tm local = localCalendarTime(unixSeconds);
  const year_month_day date{year(local.tm_year + 1900),
                            month(static_cast<unsigned>(local.tm_mon + 1)),
                            day(static_cast<unsigned>(local.tm_mday))};
  return fromCivil(date, local.tm_hour, local.tm_min, local.tm_sec);
}

std::int64_t utcOffsetAt(std::int64_t unixSeconds) {
  return localSecondsFromUnix(unixSeconds) - (unixSeconds + kUnixOrigin);
}

std::int64_t unixFromLocalSeconds(LocalSeconds wall) {
  const std::int64_t asUtc = wall - kUnixOrigin;
  // The offsets a day before and after cover any change near the time.
  const std::int64_t before = utcOffsetAt(asUtc - kSecondsPerDay);
  const std::int64_t after = utcOffsetAt(asUtc + kSecondsPerDay);
  std::optional<std::int64_t> earliest;
  for (const std::int64_t offset : {before, after}) {
    const std::int64_t candidate = asUtc - offset;
    if (localSecondsFromUnix(candidate) == wall && (!earliest || candidate < *earliest)) {
      earliest = candidate;
    }
  }
  return earliest.value_or(asUtc - before);
}

LocalSeconds wallAtOffset(std::int64_t unixSeconds, std::int64_t offset) {
  return unixSeconds + kUnixOrigin + offset;
}

std::int64_t unixAtOffset(LocalSeconds wall, std::int64_t offset) {
  return wall - kUnixOrigin - offset;
}

std::string formatUtcOffset(std::int64_t offset) {
  const std::int64_t minutes = (offset < 0 ? -offset : offset) / 60;
  char text[16];
  std::snprintf(text, sizeof text, "%c%02d:%02d", offset < 0 ? '-' : '+',
                static_cast<int>(minutes / 60), static_cast<int>(minutes % 60));
  return text;
}

std::optional<std::int64_t> parseUtcOffset(std::string_view text) {
  const auto digit = [&](std::size_t at) { return text[at] - '0'; };
  if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':' ||
      text.find_first_not_of("0123456789", 1) != 3 ||
      text.find_first_not_of("0123456789", 4) != std::string_view::npos) {
    return std::nullopt;
  }
  const bool negative = text[0] == '-';
  const int hours = digit(1) * 10 + digit(2);
  const int minutes = digit(4) * 10 + digit(5);
  if (hours > 14 || minutes > 59) {
    return std::nullopt;
  }
  const std::int64_t offset = hours * 3600 + minutes * 60;
  return negative ? -offset : offset;
}

std::string formatDateTime(LocalSeconds time) {
  auto days = time / kSecondsPerDay;
  auto secondOfDay = time % kSecondsPerDay;
  if (secondOfDay < 0) {
    secondOfDay += kSecondsPerDay;
    --days;
  }
  const year_month_day date(kSerialOrigin + std::chrono::days(days));
  char text[40];
  int length =
      std::snprintf(text, sizeof text, "%04d/%02u/%02u", static_cast<int>(date.year()),
                    static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  if (secondOfDay != 0) {
    std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), " %d:%02d:%02d",
                  static_cast<int>(secondOfDay / 3600), static_cast<int>(secondOfDay / 60 % 60),
                  static_cast<int>(secondOfDay % 60));
  }
  return text;
}

std::optional<LocalSeconds> parseDateTime(std::string_view text) {
  // Records are date-times as written; a day serial is the rare hand-written value.
  if (auto time = parseWritten(text)) {
    return time;
  }
  if (auto time = parseCivil(text)) {
    return time;
  }
  return parseSerial(text);
}

}  // namespace tandro
