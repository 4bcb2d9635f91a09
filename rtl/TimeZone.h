// The system's time zone as an offset from UTC.
#pragma once

#include <optional>

namespace vantro {

// Minutes east of Greenwich in force now (daylight time included), or none
// when the system cannot tell. Windows: GetTimeZoneInformation; elsewhere the
// C library's zone (TZ).
std::optional<int> SystemUtcOffsetMinutes();

}  // namespace vantro
