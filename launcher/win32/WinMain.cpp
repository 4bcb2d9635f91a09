// vantro.exe: the instance slot opens before anything else and closes last.
#include <windows.h>

#include <exception>

#include "launcher/Program.h"
#include "launcher/StartupTrace.h"
#include "launcher/wdRunOnce.h"
#include "launcher/win32/LauncherWindows.h"
#include "launcher/win32/Win32Platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  vantro::TraceStep("entry");
  vantro::Win32Platform platform;
  vantro::TRunOnce runOnce(platform);
  runOnce.OpenInstanceSlot();
  vantro::TraceStep("instance-slot");
  int exitCode = 0;
  try {
    vantro::Win32Gui gui(instance, platform);
    exitCode = vantro::LauncherMain(platform, gui, runOnce);
  } catch (const std::exception& error) {
    // No window could be had to show it in: the runtime's fatal box.
    exitCode = vantro::FatalError(platform, error);
  }
  runOnce.CloseInstanceSlot();
  return exitCode;
}
