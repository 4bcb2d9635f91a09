// Internet dates of any text: parsing never fails, and whatever it reads
// formats back to a text that reads as the same moment. Years below 100 read
// as two-digit years and 1900 stands for "no year" in the asctime form, so
// those are left out of the round trip.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "http/IdDateTime.h"

namespace {

std::optional<int> FixedZone() {
  return 8 * 60;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vantro::SetZoneQuery(&FixedZone);
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string rest = text;
  const vantro::TDateTime moment = vantro::ParseInternetDate(rest);
  vantro::ParseZoneOffset(rest);
  const vantro::TDateTime local = vantro::InternetDateToLocal(text);
  const int year = vantro::DecodeDateTime(local).Year;
  if (moment > 0 && year >= 100 && year <= 9999 && year != 1900) {
    // Formatting keeps whole seconds only.
    const vantro::TDateTime back = vantro::InternetDateToLocal(vantro::FormatInternetDate(local));
    if (std::fabs(back - local) > 1.0 / vantro::SecsPerDay) std::abort();
  }
  return 0;
}
