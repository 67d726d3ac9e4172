#include "common/DateTime.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace tandro {

namespace {

using std::chrono::day;
using std::chrono::month;
using std::chrono::sys_days;
using std::chrono::year;
using std::chrono::year_month_day;

constexpr sys_days kSerialOrigin = sys_days(year_month_day(year(1899), month(12), day(30)));

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
  if (text.empty() || allowed.find(text.front()) == std::string_view::npos) {
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
  const year_month_day date{year(y), month(static_cast<unsigned>(mo)),
                            day(static_cast<unsigned>(d))};
  if (!text.empty() || y < 100 || !date.ok() || h > 23 || mi > 59 || s > 59) {
    return std::nullopt;
  }
  return fromCivil(date, h, mi, s);
}

}  // namespace

LocalSeconds localSecondsFromUnix(std::int64_t unixSeconds) {
  const std::time_t instant = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &instant);
#else
  localtime_r(&instant, &local);
#endif
  const year_month_day date{year(local.tm_year + 1900),
                            month(static_cast<unsigned>(local.tm_mon + 1)),
                            day(static_cast<unsigned>(local.tm_mday))};
  return fromCivil(date, local.tm_hour, local.tm_min, local.tm_sec);
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
  // Records are date-times; a day serial is the rare hand-written value.
  if (auto time = parseCivil(text)) {
    return time;
  }
  return parseSerial(text);
}

}  // namespace tandro
