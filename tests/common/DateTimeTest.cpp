#include "common/DateTime.h"
#include "support/ZoneScope.h"

#include <gtest/gtest.h>

namespace tandro {
namespace {

TEST(DateTimeTest, FormatsTheGeneralDateForm) {
  const LocalSeconds time = *parseDateTime("2008/02/19 15:00:59");
  EXPECT_EQ(formatDateTime(time), "2008/02/19 15:00:59");
  EXPECT_EQ(formatDateTime(*parseDateTime("2008/02/19 9:05:03")), "2008/02/19 9:05:03");
  EXPECT_EQ(formatDateTime(*parseDateTime("2008/02/19 0:00:00")), "2008/02/19");
  EXPECT_EQ(formatDateTime(kSecondsPerDay), "1899/12/31");
}

TEST(DateTimeTest, ReadsEveryAcceptedSpellingToTheSameSecond) {
  const LocalSeconds expected = *parseDateTime("2008/02/19 09:05:03");
  for (const char* text :
       {"2008/2/19 9:05:03", "2008-02-19 09:05:03", "2008-02-19T09:05:03", "2008/02/19 9:5:3"}) {
    EXPECT_EQ(parseDateTime(text), expected) << text;
  }
  EXPECT_EQ(parseDateTime("2008/02/19"), parseDateTime("2008/02/19 0:00:00"));
  EXPECT_EQ(parseDateTime("2008/02/19 9:05"), expected - 3);
}

TEST(DateTimeTest, ReadsPlainNumbersAsDaySerials) {
  EXPECT_EQ(parseDateTime("1"), kSecondsPerDay);
  EXPECT_EQ(parseDateTime("0"), 0);
  EXPECT_EQ(parseDateTime("1.5"), kSecondsPerDay * 3 / 2);
  EXPECT_EQ(parseDateTime("39497.625"), parseDateTime("2008/02/19 15:00:00"));
  EXPECT_EQ(parseDateTime("1899/12/31"), kSecondsPerDay);
}

TEST(DateTimeTest, RefusesEverythingElse) {
  for (const char* text : {"", "yes", "1x", "2008/13/01", "2008/02/30", "2008/02/19 24:00:00",
                           "2008/02/19 9:60:00", "2008/02/19 9:05:03 PM", " 1", "2008/02/19 ",
                           // the written form's length and shape, but no time
                           "2008/13/19 15:00:59", "0099/02/19 15:00:59", "2008/02/19 15:00:5x",
                           "2008/02/19 15-00:59", "2008/02/19 +9:00:59"}) {
    EXPECT_FALSE(parseDateTime(text).has_value()) << text;
  }
}

TEST(DateTimeTest, ConvertsInstantsToLocalWallClock) {
  // The tests run with TZ=JST-9: 1970-01-01 00:00 UTC is 09:00 local.
  EXPECT_EQ(formatDateTime(localSecondsFromUnix(0)), "1970/01/01 9:00:00");
  EXPECT_EQ(localSecondsFromUnix(86400) - localSecondsFromUnix(0), kSecondsPerDay);
}

// 2023/10/29 2:30 happens twice in Berlin (CEST, then CET); 2023/03/26 2:30 never.
TEST(DateTimeTest, LocalWallTimesAcrossSummerTimeChanges) {
  const test::ZoneScope berlin(test::kBerlin);
  const auto wall = [](const char* text) { return *parseDateTime(text); };
  EXPECT_EQ(unixFromLocalSeconds(wall("2023/10/29 2:30:00")), 1698539400);  // 00:30 UTC
  EXPECT_EQ(unixFromLocalSeconds(wall("2023/10/29 3:30:00")), 1698546600);  // 02:30 UTC
  EXPECT_EQ(unixFromLocalSeconds(wall("2023/03/26 2:30:00")), 1679794200);  // 01:30 UTC
  EXPECT_EQ(unixFromLocalSeconds(wall("2023/07/01 12:00:00")), 1688205600);
  EXPECT_EQ(utcOffsetAt(1688205600), 7200);
  EXPECT_EQ(formatDateTime(wallAtOffset(1698539400, 3600)), "2023/10/29 1:30:00");
  EXPECT_EQ(unixAtOffset(wall("2023/10/29 1:30:00"), 3600), 1698539400);
}

TEST(DateTimeTest, UtcOffsetsAsText) {
  EXPECT_EQ(formatUtcOffset(32400), "+09:00");
  EXPECT_EQ(formatUtcOffset(-12600), "-03:30");
  EXPECT_EQ(formatUtcOffset(0), "+00:00");
  EXPECT_EQ(parseUtcOffset("+09:00"), 32400);
  EXPECT_EQ(parseUtcOffset("-03:30"), -12600);
  for (const char* text :
       {"", "09:00", "+9:00", "+09:60", "+15:00", "+0900", "--1:00", "+09:00 "}) {
    EXPECT_FALSE(parseUtcOffset(text).has_value()) << text;
  }
}

}  // namespace
}  // namespace tandro
