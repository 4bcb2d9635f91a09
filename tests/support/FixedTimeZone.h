// Fixes the zone that LocalOffsetFromUTC reports for one scope, so results do
// not depend on the machine. None stands for a system that cannot tell.
#pragma once

#include <optional>

#include "http/IdDateTime.h"

namespace vantro::test {

class FixedTimeZone {
 public:
  explicit FixedTimeZone(std::optional<int> minutesEast) {
    Minutes() = minutesEast;
    previous_ = SetZoneQuery(&Query);
  }
  ~FixedTimeZone() { SetZoneQuery(previous_); }
  FixedTimeZone(const FixedTimeZone&) = delete;
  FixedTimeZone& operator=(const FixedTimeZone&) = delete;

 private:
  static std::optional<int>& Minutes() {
    static std::optional<int> minutes;
    return minutes;
  }
  static std::optional<int> Query() { return Minutes(); }

  TZoneQuery previous_;
};

}  // namespace vantro::test
