// vantro.exe: the instance slot opens before anything else and closes last;
// the GUI thread lives in a single-threaded COM apartment.
#include <objbase.h>
#include <windows.h>

#include <exception>

#include "launcher/Program.h"
#include "launcher/wdRunOnce.h"
#include "launcher/win32/LauncherWindows.h"
#include "launcher/win32/Win32Platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  vantro::Win32Platform platform;
  vantro::TRunOnce runOnce(platform);
  runOnce.OpenInstanceSlot();
  const HRESULT com = CoInitialize(nullptr);
  int exitCode = 0;
  try {
    vantro::Win32Gui gui(instance, platform);
    exitCode = vantro::LauncherMain(platform, gui, runOnce);
  } catch (const std::exception& error) {
    // No window could be had to show it in: the runtime's fatal box.
    exitCode = vantro::FatalError(platform, error);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  runOnce.CloseInstanceSlot();
  return exitCode;
}
