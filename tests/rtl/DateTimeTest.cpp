#include "rtl/DateTime.h"

#include <gtest/gtest.h>

#include "rtl/Convert.h"

namespace vantro {
namespace {

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return CombineDateTime(EncodeDate(y, mo, d), EncodeTime(h, mi, s, 0));
}

void ExpectParts(TDateTime value, int y, int mo, int d, int h, int mi, int s) {
  const TDateTimeParts p = DecodeDateTime(value);
  EXPECT_EQ(p.Year, y);
  EXPECT_EQ(p.Month, mo);
  EXPECT_EQ(p.Day, d);
  EXPECT_EQ(p.Hour, h);
  EXPECT_EQ(p.Minute, mi);
  EXPECT_EQ(p.Second, s);
}

TEST(DateTimeValues, CountDaysFromTheLastDaysOf1899) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
  EXPECT_EQ(EncodeDate(1994, 11, 6), 34644);
  EXPECT_DOUBLE_EQ(At(1899, 12, 30, 18), 0.75);
  // Before the start the time of day still runs forward from midnight.
  EXPECT_DOUBLE_EQ(At(1899, 12, 29, 6), -1.25);
  ExpectParts(-1.25, 1899, 12, 29, 6, 0, 0);
}

TEST(DateTimeValues, EveryCalendarDayRoundTrips) {
  for (int year : {1, 4, 100, 1600, 1899, 1900, 2000, 2024, 2100, 9999})
    for (int month = 1; month <= 12; ++month)
      for (int day = 1; day <= DaysInMonth(year, month); ++day) {
        const TDateTimeParts p = DecodeDateTime(EncodeDate(year, month, day));
        ASSERT_EQ(p.Year * 10000 + p.Month * 100 + p.Day, year * 10000 + month * 100 + day);
      }
}

TEST(DateTimeValues, RefuseFieldsOutOfRange) {
  TDateTime out = 0;
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, out));
  EXPECT_TRUE(TryEncodeDate(2024, 2, 29, out));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, out));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, out));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, out));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, out));
  EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, out));
  EXPECT_FALSE(TryEncodeTime(0, 0, -1, 0, out));
  try {
    EncodeTime(24, 0, 0, 0);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Invalid argument to time encode");
  }
  EXPECT_THROW(EncodeDate(2023, 13, 1), EConvertError);
}

TEST(DateTimeValues, WeekdaysAndSecondArithmetic) {
  EXPECT_EQ(DayOfWeek(At(1994, 11, 6)), 1);  // Sunday
  EXPECT_EQ(DayOfWeek(At(2026, 12, 8, 23, 59, 59)), 3);
  EXPECT_EQ(DayOfWeek(0), 7);
  EXPECT_EQ(DayOfWeek(-1.25), 6);
  ExpectParts(IncSecond(At(2026, 12, 31, 23, 59, 30), 45), 2027, 1, 1, 0, 0, 15);
  ExpectParts(IncSecond(At(1900, 1, 1), -86400 - 3600), 1899, 12, 30, 23, 0, 0);
  EXPECT_EQ(SecondsBetween(At(2026, 1, 1, 0, 1), At(2026, 1, 1)), 60);
  EXPECT_EQ(SecondsBetween(At(2026, 1, 1), At(2026, 1, 1, 0, 1)), -60);
  EXPECT_EQ(SecondsBetween(At(1899, 12, 29, 23), At(1899, 12, 30, 1)), -7200);
}

TEST(DateTimeValues, NowIsAPlausibleLocalTime) {
  const TDateTimeParts p = DecodeDateTime(Now());
  EXPECT_GE(p.Year, 2024);
  EXPECT_LE(p.Year, 2200);
}

TEST(RuntimeIntegers, AcceptTheRuntimeSyntax) {
  EXPECT_EQ(StrToInt32Def("  42", -1), 42);
  EXPECT_EQ(StrToInt32Def("-7", 0), -7);
  EXPECT_EQ(StrToInt32Def("+7", 0), 7);
  EXPECT_EQ(StrToInt32Def("$1F", 0), 31);
  EXPECT_EQ(StrToInt32Def("0x10", 0), 16);
  EXPECT_EQ(StrToInt32Def("$FFFFFFFF", 0), -1);
  EXPECT_EQ(StrToInt32Def("-2147483648", 0), INT32_MIN);
  for (const char* bad : {"", " ", "12 ", "1x", "2147483648", "0x", "$", "--1", "\t1"})
    EXPECT_EQ(StrToInt32Def(bad, -99), -99) << bad;
  try {
    StrToInt32("x");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
  }
}

TEST(RuntimeIntegers, SixtyFourBitsKeepLengthsBeyondTwoGiB) {
  EXPECT_EQ(StrToInt64Def("2147483648", -1), 2147483648LL);
  EXPECT_EQ(StrToInt64Def("9223372036854775807", -1), INT64_MAX);
  EXPECT_EQ(StrToInt64Def("-9223372036854775808", 0), INT64_MIN);
  EXPECT_EQ(StrToInt64Def("$FFFFFFFFFFFFFFFF", 0), -1);
  for (const char* bad :
       {"9223372036854775808", "18446744073709551616", "$10000000000000000", "", "1 "})
    EXPECT_EQ(StrToInt64Def(bad, -99), -99) << bad;
}

}  // namespace
}  // namespace vantro
