// The program entry: first instance or hand-off, and the exit code.
#pragma once

#include <exception>

#include "launcher/Platform.h"
#include "launcher/wdRunOnce.h"

namespace vantro {

// Runs the launcher after the instance slot has been opened; returns the
// process's exit code.
int LauncherMain(Platform& platform, Gui& gui, TRunOnce& runOnce);

// The runtime's fatal error box for a process without a window to show an
// error in (caption "Application Error", the error's class and message);
// returns the exit code 1.
int FatalError(Platform& platform, const std::exception& error);

}  // namespace vantro
