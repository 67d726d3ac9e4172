// Runs a test under another time zone (a POSIX TZ rule, so that no zone database is needed)
// and restores the tests' own zone afterwards.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace tandro::test {

// Tokyo, UTC, and Berlin with its summer time (last Sunday of March 2:00 to last Sunday of
// October 3:00).
inline constexpr const char* kTokyo = "JST-9";
inline constexpr const char* kUtc = "UTC0";
inline constexpr const char* kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";

class ZoneScope {
 public:
  explicit ZoneScope(const char* zone) {
    if (const char* old = std::getenv("TZ")) {
      old_ = old;
    }
    use(zone);
  }
  ~ZoneScope() { use(old_ ? old_->c_str() : ""); }
  ZoneScope(const ZoneScope&) = delete;
  ZoneScope& operator=(const ZoneScope&) = delete;

  static void use(const char* zone) {
#ifdef _WIN32
    ::_putenv_s("TZ", zone);
    ::_tzset();
#else
    ::setenv("TZ", zone, 1);
    ::tzset();
#endif
  }

 private:
  std::optional<std::string> old_;
};

}  // namespace tandro::test
