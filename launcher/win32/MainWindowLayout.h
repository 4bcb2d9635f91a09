// The main window's design: size, place, border, font and controls, scaled
// from the 96 dpi design to the resolution of the monitor it opens on, and
// again whenever the system moves it to another resolution.
#pragma once

#include <windows.h>

namespace vantro {

struct MainWindowControls {
  HWND window = nullptr;
  HWND label1 = nullptr;
  HWND edit1 = nullptr;
  HWND button1 = nullptr;
  HWND web = nullptr;
  HFONT font = nullptr;  // owned: freed with DeleteObject when the window is gone
};

inline constexpr int kButton1Id = 101;

// Creates the main window hidden, owned by owner, with its controls in tab
// order, laid out at the resolution of the monitor holding its design place
// and moved, if need be, so that it lies inside that monitor's work area.
// creationData is CreateWindowExW's last parameter; the window is null when it
// could not be created.
MainWindowControls CreateMainWindow(HINSTANCE instance, HWND owner, const wchar_t* className,
                                    void* creationData = nullptr);

// Answers WM_DPICHANGED: a new font and controls laid out at the resolution
// in wParam, the window given the rectangle lParam points to. False, and
// nothing done, for any other message.
bool RescaleOnDpiChange(MainWindowControls& main, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vantro
