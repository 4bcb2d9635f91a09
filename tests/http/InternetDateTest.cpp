#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>

#include "http/IdDateTime.h"
#include "rtl/TimeZone.h"
#include "tests/support/FixedTimeZone.h"

namespace vantro {
namespace {

using test::FixedTimeZone;

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return CombineDateTime(EncodeDate(y, mo, d), EncodeTime(h, mi, s, 0));
}

TDateTime Hours(double h) {
  return h / HoursPerDay;
}

// Compares to the second: date arithmetic goes through doubles.
#define EXPECT_SAME_MOMENT(a, b) EXPECT_NEAR((a), (b), 0.5 / SecsPerDay)

TDateTime Parse(std::string text, std::string* rest = nullptr) {
  const TDateTime value = ParseInternetDate(text);
  if (rest) *rest = text;
  return value;
}

TEST(InternetDateForms, TheThreeHttpFormsGiveTheSameMoment) {
  const TDateTime expected = At(1994, 11, 6, 8, 49, 37);
  std::string rest;
  EXPECT_SAME_MOMENT(Parse("Sun, 06 Nov 1994 08:49:37 GMT", &rest), expected);
  EXPECT_EQ(rest, "GMT");
  EXPECT_SAME_MOMENT(Parse("Sunday, 06-Nov-94 08:49:37 GMT", &rest), expected);
  EXPECT_EQ(rest, "GMT");
  EXPECT_SAME_MOMENT(Parse("Sun Nov  6 08:49:37 1994", &rest), expected);
  EXPECT_EQ(rest, "");
  EXPECT_SAME_MOMENT(Parse("  06 nov 1994 08:49:37 +0800", &rest), expected);
  EXPECT_EQ(rest, "+0800");
}

TEST(InternetDateForms, TwoDigitYearsAndMissingParts) {
  EXPECT_SAME_MOMENT(Parse("01 Jan 79 00:00:00 GMT"), At(2079, 1, 1));
  EXPECT_SAME_MOMENT(Parse("01 Jan 80 00:00:00 GMT"), At(1980, 1, 1));
  EXPECT_SAME_MOMENT(Parse("01 Jan 99"), At(1999, 1, 1));
  // A day that is not a number counts as the first; no time means midnight.
  EXPECT_SAME_MOMENT(Parse("xx Mar 2020"), At(2020, 3, 1));
}

TEST(InternetDateForms, UnreadableDatesGiveZero) {
  for (const char* text :
       {"", "   ", "garbage", "31 Feb 2020 10:00:00 GMT", "06 Nov 1994 24:00:00 GMT",
        "06 Nov 1994 10:60:00", "06 November 1994", "Sun,", "-1", "06 Nov 10000 00:00:00"})
    EXPECT_EQ(Parse(text), 0) << text;
}

TEST(InternetDateNames, MatchWholeNamesInAnyCase) {
  EXPECT_EQ(DayNameNumber("sun"), 1);
  EXPECT_EQ(DayNameNumber("SAT"), 7);
  EXPECT_EQ(DayNameNumber("Sunday"), 0);
  EXPECT_EQ(MonthNameNumber("jan"), 1);
  EXPECT_EQ(MonthNameNumber("DEC"), 12);
  EXPECT_EQ(MonthNameNumber("Sept"), 0);
}

TEST(InternetDateZones, OffsetsReadFromTheFirstFiveCharacters) {
  EXPECT_DOUBLE_EQ(ParseZoneOffset("+0800"), Hours(8));
  EXPECT_DOUBLE_EQ(ParseZoneOffset(" -0530 (EST)"), -Hours(5.5));
  // Hours and minutes count as they stand.
  EXPECT_DOUBLE_EQ(ParseZoneOffset("+2500"), Hours(25));
  EXPECT_DOUBLE_EQ(ParseZoneOffset("-0060"), -Hours(1));
  for (const char* text : {"GMT", "", "+08", "+08:00", "0800", "+-100", "+ 800", "+$F00"})
    EXPECT_EQ(ParseZoneOffset(text), 0) << text;
}

TEST(InternetDateZones, DatesMoveToTheLocalZone) {
  FixedTimeZone zone(8 * 60);
  const TDateTime noon = At(2026, 12, 8, 12);
  EXPECT_SAME_MOMENT(InternetDateToLocal("Tue, 08 Dec 2026 12:00:00 +0800"), noon);
  EXPECT_SAME_MOMENT(InternetDateToLocal("Tue, 08 Dec 2026 12:00:00 GMT"), noon + Hours(8));
  EXPECT_SAME_MOMENT(InternetDateToLocal("Tue, 08 Dec 2026 12:00:00 -0100"), noon + Hours(9));
  // Zone names are not looked up: EST counts as UTC.
  EXPECT_SAME_MOMENT(InternetDateToLocal("Tue, 08 Dec 2026 12:00:00 EST"), noon + Hours(8));
  // Without a date the local offset itself comes back.
  EXPECT_SAME_MOMENT(InternetDateToLocal(""), Hours(8));
  EXPECT_SAME_MOMENT(InternetDateToLocal("nonsense"), Hours(8));
}

TEST(InternetDateZones, DaysBeforeTheStartMoveAlongTheTimeLine) {
  FixedTimeZone zone(0);
  EXPECT_SAME_MOMENT(InternetDateToLocal("29 Dec 1899 06:00:00 +0800"), At(1899, 12, 28, 22));
}

TEST(InternetDateFormat, WritesTheLocalMomentInUTCAsServersRead) {
  const TDateTime moment = At(2026, 12, 8, 16, 45);
  {
    FixedTimeZone zone(8 * 60);
    EXPECT_EQ(FormatInternetDate(moment), "Tue, 08 Dec 2026 08:45:00 GMT");
    EXPECT_EQ(FormatInternetDate(At(1994, 11, 6, 8, 49, 37)), "Sun, 06 Nov 1994 00:49:37 GMT");
    // The day before in UTC, weekday and all.
    EXPECT_EQ(FormatInternetDate(At(2020, 3, 1, 2)), "Sat, 29 Feb 2020 18:00:00 GMT");
  }
  {
    FixedTimeZone zone(-(5 * 60 + 30));
    EXPECT_EQ(FormatInternetDate(moment), "Tue, 08 Dec 2026 22:15:00 GMT");
  }
  {
    FixedTimeZone zone(0);
    EXPECT_EQ(FormatInternetDate(At(2020, 3, 5, 10)), "Thu, 05 Mar 2020 10:00:00 GMT");
  }
}

TEST(InternetDateFormat, FormattedDatesReadBackToTheSameMoment) {
  FixedTimeZone zone(-7 * 60);
  for (const TDateTime moment : {At(2026, 2, 28, 23, 59, 59), At(1970, 1, 1), At(2099, 12, 31)})
    EXPECT_SAME_MOMENT(InternetDateToLocal(FormatInternetDate(moment)), moment);
}

TEST(InternetDateFormat, ZoneOffsetTexts) {
  EXPECT_EQ(ZoneOffsetText(0, true), "GMT");
  EXPECT_EQ(ZoneOffsetText(0, false), "+0000");
  EXPECT_EQ(ZoneOffsetText(Hours(8), true), "+0800");
  EXPECT_EQ(ZoneOffsetText(-Hours(1.5), false), "-0130");
  EXPECT_EQ(ZoneOffsetText(Hours(5.75), false), "+0545");
}

TEST(LocalZone, AFailedZoneQueryRaises) {
  FixedTimeZone zone(std::nullopt);
  try {
    LocalOffsetFromUTC();
    FAIL();
  } catch (const EIdFailedToRetreiveTimeZoneInfo& e) {
    EXPECT_STREQ(e.what(), "Failed attempting to retrieve time zone information.");
  }
  EXPECT_THROW(InternetDateToLocal("Tue, 08 Dec 2026 12:00:00 GMT"), EIdException);
}

TEST(LocalZone, TheSystemZoneIsAskedWhenNoneIsFixed) {
  const std::optional<int> system = SystemUtcOffsetMinutes();
  ASSERT_TRUE(system.has_value());
  EXPECT_LE(std::abs(*system), 14 * 60);
  EXPECT_DOUBLE_EQ(LocalOffsetFromUTC(), *system / MinsPerDay);
}

#ifndef _WIN32
TEST(LocalZone, TheCLibraryZoneFollowsTZ) {
  const char* saved = std::getenv("TZ");
  const std::string savedText = saved ? saved : "";
  setenv("TZ", "XST-8", 1);  // eight hours east, no daylight rule
  tzset();
  const std::optional<int> east = SystemUtcOffsetMinutes();
  setenv("TZ", "YST5", 1);
  tzset();
  const std::optional<int> west = SystemUtcOffsetMinutes();
  if (saved)
    setenv("TZ", savedText.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
  EXPECT_EQ(east, 480);
  EXPECT_EQ(west, -300);
}
#endif

}  // namespace
}  // namespace vantro
