// The arithmetic of the main window's size and place: the design is drawn at
// 96 dpi and scaled to a monitor's resolution the way MulDiv rounds, and a
// window reaching past its monitor's work area is moved into it, never
// resized.
#pragma once

namespace vantro {

// The resolution the window's design is drawn at.
inline constexpr int kDesignDpi = 96;

// A place and size in pixels: a window on the screen, a control in its
// parent's client area, or a work area.
struct Place {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  friend bool operator==(const Place&, const Place&) = default;
};

// designPixels * dpi / kDesignDpi, halves rounded away from zero as MulDiv
// rounds them (a font height is negative); a resolution below 1 is taken as
// the design's.
int ScaleToDpi(int designPixels, int dpi);

// Every figure of the place scaled on its own, as the design's controls are.
Place ScaleToDpi(const Place& design, int dpi);

// The window moved, on each axis, left or up until its far edge lies inside
// the work area; a window longer than the work area on an axis starts where
// the work area starts there. Its size never changes.
Place MoveIntoWorkArea(const Place& window, const Place& workArea);

}  // namespace vantro
