// The window framework of vantro.exe: the hidden application window that owns
// every top-level window and answers SC_RESTORE, and the main window with its
// message loop. Errors escaping the main window's handlers go to the
// application's central error box.
#pragma once

#include <windows.h>

#include "launcher/Platform.h"
#include "launcher/win32/MainWindowLayout.h"

namespace vantro {

class Win32Gui : public Gui {
 public:
  // Raises the system's error when the window classes cannot be registered.
  Win32Gui(HINSTANCE instance, Platform& platform);
  ~Win32Gui() override;
  Win32Gui(const Win32Gui&) = delete;
  Win32Gui& operator=(const Win32Gui&) = delete;

  WindowHandle ApplicationWindow() override;
  void SetApplicationTitle(const std::string& titleUtf8) override;
  void RunMainWindow(TForm1& form) override;

 private:
  static LRESULT CALLBACK ApplicationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE instance_;
  Platform& platform_;
  HWND application_ = nullptr;
  MainWindowControls main_;  // the window is null while none shows
};

}  // namespace vantro
