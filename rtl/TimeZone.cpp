#include "rtl/TimeZone.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <ctime>
#endif

namespace vantro {

std::optional<int> SystemUtcOffsetMinutes() {
#ifdef _WIN32
  TIME_ZONE_INFORMATION zone{};
  const DWORD kind = GetTimeZoneInformation(&zone);
  // The bias is what to add to local time to get UTC.
  switch (kind) {
    case TIME_ZONE_ID_STANDARD:
      return -static_cast<int>(zone.Bias + zone.StandardBias);
    case TIME_ZONE_ID_DAYLIGHT:
      return -static_cast<int>(zone.Bias + zone.DaylightBias);
    case TIME_ZONE_ID_UNKNOWN:
      return -static_cast<int>(zone.Bias);
    default:
      return std::nullopt;
  }
#else
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &local) == nullptr)
    return std::nullopt;
  return static_cast<int>(local.tm_gmtoff / 60);
#endif
}

}  // namespace vantro
