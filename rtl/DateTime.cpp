#include "rtl/DateTime.h"

#include <cmath>

#include "rtl/Convert.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <ctime>
#endif

namespace vantro {

namespace {

// Day numbers of the proleptic Gregorian calendar counted from 30 December
// 1899, valid for any year (the usual era-based civil-calendar arithmetic).
std::int64_t DayNumber(std::int64_t year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 693899;
}

void CivilDate(std::int64_t dayNumber, TDateTimeParts& parts) {
  const std::int64_t z = dayNumber + 693899;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t dayOfEra = z - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t mp = (5 * dayOfYear + 2) / 153;
  parts.Day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  parts.Month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  parts.Year = static_cast<int>(yearOfEra + era * 400 + (parts.Month <= 2));
}

// Milliseconds since the start, with the negative-day convention folded in.
std::int64_t ToMilliseconds(TDateTime value) {
  // Far beyond any calendar year; keeps the integer arithmetic in range.
  constexpr double kLimit = 1e9;
  if (!(std::fabs(value) < kLimit)) value = 0;
  const double days = std::trunc(value);
  const double msOfDay = std::round(std::fabs(value - days) * MSecsPerDay);
  return static_cast<std::int64_t>(days) * 86400000 + static_cast<std::int64_t>(msOfDay);
}

// Whole days (rounded down) and the milliseconds into that day.
void SplitMilliseconds(std::int64_t ms, std::int64_t& days, std::int64_t& msOfDay) {
  days = ms / 86400000;
  msOfDay = ms % 86400000;
  if (msOfDay < 0) {
    msOfDay += 86400000;
    --days;
  }
}

TDateTime FromMilliseconds(std::int64_t ms) {
  std::int64_t days = 0, msOfDay = 0;
  SplitMilliseconds(ms, days, msOfDay);
  return CombineDateTime(static_cast<double>(days), static_cast<double>(msOfDay) / MSecsPerDay);
}

}  // namespace

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
  if (day < 1 || day > DaysInMonth(year, month)) return false;
  date = static_cast<double>(DayNumber(year, month, day));
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& time) {
  if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60 ||
      msec < 0 || msec >= 1000)
    return false;
  time = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec) / MSecsPerDay;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime date = 0;
  if (!TryEncodeDate(year, month, day, date))
    throw EConvertError("Invalid argument to date encode");
  return date;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  TDateTime time = 0;
  if (!TryEncodeTime(hour, minute, second, msec, time))
    throw EConvertError("Invalid argument to time encode");
  return time;
}

TDateTime CombineDateTime(TDateTime date, TDateTime time) {
  return date < 0 ? date - time : date + time;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
  std::int64_t days = 0, msOfDay = 0;
  SplitMilliseconds(ToMilliseconds(value), days, msOfDay);
  TDateTimeParts parts{};
  parts.Hour = static_cast<int>(msOfDay / 3600000);
  parts.Minute = static_cast<int>(msOfDay / 60000 % 60);
  parts.Second = static_cast<int>(msOfDay / 1000 % 60);
  parts.MSec = static_cast<int>(msOfDay % 1000);
  CivilDate(days, parts);
  return parts;
}

int DayOfWeek(TDateTime value) {
  std::int64_t days = 0, msOfDay = 0;
  SplitMilliseconds(ToMilliseconds(value), days, msOfDay);
  // 30 December 1899 was a Saturday.
  return static_cast<int>(((days + 6) % 7 + 7) % 7) + 1;
}

std::int64_t SecondsBetween(TDateTime later, TDateTime earlier) {
  return (ToMilliseconds(later) - ToMilliseconds(earlier)) / 1000;
}

TDateTime IncSecond(TDateTime value, std::int64_t seconds) {
  return IncMilliSecond(value, seconds * 1000);
}

TDateTime IncMilliSecond(TDateTime value, std::int64_t msecs) {
  return FromMilliseconds(ToMilliseconds(value) + msecs);
}

TDateTime AddTimeSpan(TDateTime value, TDateTime span) {
  return IncMilliSecond(value, static_cast<std::int64_t>(std::llround(span * MSecsPerDay)));
}

TDateTime Now() {
#ifdef _WIN32
  SYSTEMTIME st;
  GetLocalTime(&st);
  return CombineDateTime(EncodeDate(st.wYear, st.wMonth, st.wDay),
                         EncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds));
#else
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  return CombineDateTime(
      EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday),
      EncodeTime(local.tm_hour, local.tm_min, local.tm_sec < 60 ? local.tm_sec : 59,
                 static_cast<int>(ts.tv_nsec / 1000000)));
#endif
}

}  // namespace vantro
