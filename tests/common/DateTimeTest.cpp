#include "common/DateTime.h"

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
                           "2008/02/19 9:60:00", "2008/02/19 9:05:03 PM", " 1", "2008/02/19 "}) {
    EXPECT_FALSE(parseDateTime(text).has_value()) << text;
  }
}

TEST(DateTimeTest, ConvertsInstantsToLocalWallClock) {
  // The tests run with TZ=JST-9: 1970-01-01 00:00 UTC is 09:00 local.
  EXPECT_EQ(formatDateTime(localSecondsFromUnix(0)), "1970/01/01 9:00:00");
  EXPECT_EQ(localSecondsFromUnix(86400) - localSecondsFromUnix(0), kSecondsPerDay);
}

}  // namespace
}  // namespace tandro
