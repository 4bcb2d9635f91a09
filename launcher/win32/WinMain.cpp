// vantro.exe: the instance slot opens before anything else and closes last;
// the GUI thread lives in a single-threaded COM apartment.
#include <objbase.h>
#include <windows.h>

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
  {
    vantro::Win32Gui gui(instance);
    exitCode = vantro::LauncherMain(platform, gui, runOnce);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  runOnce.CloseInstanceSlot();
  return exitCode;
}
