// Date-time values: days since 30 December 1899 as a double, the time of day
// as the fraction. Days before that start are negative; their time of day is
// still counted forward from midnight (-1.25 is 29 December 1899 06:00).
#pragma once

#include <cstdint>

namespace vantro {

using TDateTime = double;

inline constexpr double HoursPerDay = 24;
inline constexpr double MinsPerDay = 24 * 60;
inline constexpr double SecsPerDay = 24 * 60 * 60;
inline constexpr double MSecsPerDay = SecsPerDay * 1000;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// The Try forms answer false for a field out of range; the others raise
// EConvertError "Invalid argument to date encode" / "... time encode".
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& time);
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
// A calendar date plus a time of day, also for days before the start.
TDateTime CombineDateTime(TDateTime date, TDateTime time);

struct TDateTimeParts {
  int Year, Month, Day, Hour, Minute, Second, MSec;
};
TDateTimeParts DecodeDateTime(TDateTime value);
// 1 for Sunday up to 7 for Saturday.
int DayOfWeek(TDateTime value);

// Whole seconds between two values, truncated toward zero.
std::int64_t SecondsBetween(TDateTime later, TDateTime earlier);
TDateTime IncSecond(TDateTime value, std::int64_t seconds);
TDateTime IncMilliSecond(TDateTime value, std::int64_t msecs);
// Moves value along the time line by span (days), also before the start.
TDateTime AddTimeSpan(TDateTime value, TDateTime span);

// The local wall-clock time, to the millisecond.
TDateTime Now();

}  // namespace vantro
