// Internet dates (RFC 822/850/asctime forms) to and from local date-time
// values, and the local zone's offset from UTC.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "rtl/DateTime.h"
#include "tcp/IdException.h"

namespace vantro {

VANTRO_EXCEPTION(EIdFailedToRetreiveTimeZoneInfo, EIdException);

inline constexpr std::array<const char*, 7> InternetDayNames = {"Sun", "Mon", "Tue", "Wed",
                                                                "Thu", "Fri", "Sat"};
inline constexpr std::array<const char*, 12> InternetMonthNames = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// 1 (Sunday) to 7, or 0; the whole text must be the name, in any case.
int DayNameNumber(std::string_view text);
// 1 (January) to 12, or 0.
int MonthNameNumber(std::string_view text);

// The date and time at the start of text, 0 when it cannot be read; text is
// left holding what follows (the zone).
TDateTime ParseInternetDate(std::string& text);
// "+hhmm" / "-hhmm" as a time span; anything else is 0.
TDateTime ParseZoneOffset(std::string_view text);
// The local zone's offset as a time span, east of Greenwich positive.
// Raises EIdFailedToRetreiveTimeZoneInfo when the system cannot tell.
TDateTime LocalOffsetFromUTC();
// The moment in text with its zone offset taken off (0 when unreadable).
TDateTime InternetDateToUTC(std::string_view text);
// The moment in text as local time; a text without a date gives the local
// offset itself.
TDateTime InternetDateToLocal(std::string_view text);
// A local time written as UTC: "Tue, 08 Dec 2026 08:45:00 GMT" at +0800.
std::string FormatInternetDate(TDateTime value);
// "+hhmm" / "-hhmm", or "GMT" for a zero offset when gmtWanted.
std::string ZoneOffsetText(TDateTime offset, bool gmtWanted);

// Where LocalOffsetFromUTC asks for the zone (minutes east, none when
// unknown). Null, the default, is the system's zone; tests fix a zone here.
using TZoneQuery = std::optional<int> (*)();
TZoneQuery SetZoneQuery(TZoneQuery query);

}  // namespace vantro
