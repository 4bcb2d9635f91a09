#include "http/IdDateTime.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "http/IdGlobal.h"
#include "rtl/AnsiText.h"
#include "rtl/Convert.h"
#include "rtl/TimeZone.h"

namespace vantro {

namespace {

std::atomic<TZoneQuery> zoneQuery{nullptr};

template <std::size_t N>
int NameNumber(std::string_view text, const std::array<const char*, N>& names) {
  const std::string upper = UpperCase(text);
  for (std::size_t i = 0; i < N; ++i)
    if (upper == UpperCase(names[i])) return static_cast<int>(i) + 1;
  return 0;
}

// Separator of day, month and year: "-" only when a dash after the first
// character comes before the first space.
const char* DateSeparator(std::string_view text) {
  const int dash = TextPos("-", text);
  const int space = TextPos(" ", text);
  return dash > 1 && dash < space ? "-" : " ";
}

bool ReadTimeOfDay(std::string& text, TDateTime& time) {
  std::string clock = CutToken(text, " ");
  const int hour = StrToInt32Def(CutToken(clock, ":"), 0);
  const int minute = StrToInt32Def(CutToken(clock, ":"), 0);
  const int second = StrToInt32Def(CutToken(clock, " "), 0);
  return TryEncodeTime(hour, minute, second, 0, time);
}

}  // namespace

int DayNameNumber(std::string_view text) {
  return NameNumber(text, InternetDayNames);
}
int MonthNameNumber(std::string_view text) {
  return NameNumber(text, InternetMonthNames);
}

TDateTime ParseInternetDate(std::string& text) {
  text = Trim(text);
  if (text.empty()) return 0;
  if (DayNameNumber(std::string_view(text).substr(0, 3)) > 0) {
    CutToken(text, " ");
    text = TrimLeft(text);
  }
  const char* separator = DateSeparator(text);
  int day = 1, month = 0;
  std::string probe = text;
  if (MonthNameNumber(CutToken(probe, separator)) > 0) {
    month = MonthNameNumber(CutToken(text, separator));
    text = TrimLeft(text);
    day = StrToInt32Def(CutToken(text, separator), 1);
  } else {
    day = StrToInt32Def(CutToken(text, separator), 1);
    text = TrimLeft(text);
    month = MonthNameNumber(CutToken(text, separator));
  }
  text = TrimLeft(text);

  std::string yearText = CutToken(text, " ");
  int year = StrToInt32Def(yearText, 1900);
  if (year == 1900) {  // the asctime form puts the year after the time
    year = StrToInt32Def(text, 1900);
    text = std::move(yearText);
  }
  if (year < 80)
    year += 2000;
  else if (year < 100)
    year += 1900;

  TDateTime result = 0;
  if (!TryEncodeDate(year, month, day, result)) return 0;
  if (TextPos(":", text) > 0) {
    TDateTime time = 0;
    if (!ReadTimeOfDay(text, time)) return 0;
    result = CombineDateTime(result, time);
  }
  text = TrimLeft(text);
  return result;
}

TDateTime ParseZoneOffset(std::string_view text) {
  const std::string zone = Trim(text).substr(0, 5);
  if (zone.size() < 5 || (zone[0] != '+' && zone[0] != '-')) return 0;
  for (std::size_t i = 1; i < zone.size(); ++i)
    if (zone[i] < '0' || zone[i] > '9') return 0;
  // Hours and minutes count as they stand: "+2500" is 25 hours.
  const int hours = (zone[1] - '0') * 10 + (zone[2] - '0');
  const int minutes = (zone[3] - '0') * 10 + (zone[4] - '0');
  const TDateTime span = (hours * 60.0 + minutes) / MinsPerDay;
  return zone[0] == '-' ? -span : span;
}

TDateTime LocalOffsetFromUTC() {
  const TZoneQuery query = zoneQuery.load();
  const std::optional<int> minutes = query ? query() : SystemUtcOffsetMinutes();
  if (!minutes)
    throw EIdFailedToRetreiveTimeZoneInfo("Failed attempting to retrieve time zone information.");
  return *minutes / MinsPerDay;
}

TDateTime InternetDateToUTC(std::string_view text) {
  std::string rest(text);
  const TDateTime moment = ParseInternetDate(rest);
  // Zone names such as GMT or EST are not looked up: they count as UTC.
  const TDateTime offset = rest.size() > 4 ? ParseZoneOffset(rest) : 0;
  return AddTimeSpan(moment, -offset);
}

TDateTime InternetDateToLocal(std::string_view text) {
  return AddTimeSpan(InternetDateToUTC(text), LocalOffsetFromUTC());
}

std::string FormatInternetDate(TDateTime value) {
  // Servers read only the IMF-fixdate form (RFC 9110 section 5.6.7): UTC,
  // two-digit day, "GMT"; nginx ignores an If-Modified-Since in any other.
  const TDateTime utc = AddTimeSpan(value, -LocalOffsetFromUTC());
  const TDateTimeParts parts = DecodeDateTime(utc);
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT",
                InternetDayNames[DayOfWeek(utc) - 1], parts.Day,
                InternetMonthNames[parts.Month - 1], parts.Year, parts.Hour, parts.Minute,
                parts.Second);
  return text;
}

std::string ZoneOffsetText(TDateTime offset, bool gmtWanted) {
  if (offset == 0 && gmtWanted) return "GMT";
  const long long minutes = std::llabs(std::llround(offset * MinsPerDay));
  char text[48];
  std::snprintf(text, sizeof text, "%c%02lld%02lld", offset >= 0 ? '+' : '-', minutes / 60,
                minutes % 60);
  return text;
}

TZoneQuery SetZoneQuery(TZoneQuery query) {
  return zoneQuery.exchange(query);
}

}  // namespace vantro
