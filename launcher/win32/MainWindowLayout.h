// The main window's design: size, place, border, font and controls, scaled
// from the 96 dpi design to the screen's resolution.
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

// Creates the main window hidden, owned by owner, with its controls in tab order.
MainWindowControls CreateMainWindow(HINSTANCE instance, HWND owner, const wchar_t* className);

}  // namespace vantro
