#include "launcher/WindowPlacement.h"

#include <cstdint>

namespace vantro {
namespace {

int MoveIntoSpan(int start, int length, int spanStart, int spanLength) {
  const int spanEnd = spanStart + spanLength;
  if (start + length > spanEnd) start = spanEnd - length;
  // Too long to fit: its title bar and close button are the part that stays
  // on the screen.
  if (start < spanStart) start = spanStart;
  return start;
}

}  // namespace

int ScaleToDpi(int designPixels, int dpi) {
  if (dpi < 1) dpi = kDesignDpi;
  const std::int64_t product = std::int64_t{designPixels} * dpi;
  const std::int64_t half = kDesignDpi / 2;
  return static_cast<int>(product >= 0 ? (product + half) / kDesignDpi
                                       : (product - half) / kDesignDpi);
}

Place ScaleToDpi(const Place& design, int dpi) {
  return {ScaleToDpi(design.left, dpi), ScaleToDpi(design.top, dpi), ScaleToDpi(design.width, dpi),
          ScaleToDpi(design.height, dpi)};
}

Place MoveIntoWorkArea(const Place& window, const Place& workArea) {
  return {MoveIntoSpan(window.left, window.width, workArea.left, workArea.width),
          MoveIntoSpan(window.top, window.height, workArea.top, workArea.height), window.width,
          window.height};
}

}  // namespace vantro
