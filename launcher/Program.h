// The program entry: first instance or hand-off, and the exit code.
#pragma once

#include "launcher/Platform.h"
#include "launcher/wdRunOnce.h"

namespace vantro {

// Runs the launcher after the instance slot has been opened; returns the
// process's exit code.
int LauncherMain(Platform& platform, Gui& gui, TRunOnce& runOnce);

}  // namespace vantro
