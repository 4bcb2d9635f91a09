#include "launcher/Program.h"

#include <cxxabi.h>

#include <cstdlib>
#include <exception>
#include <typeinfo>

#include "launcher/Application.h"
#include "launcher/CommandLine.h"
#include "launcher/HandOff.h"
#include "launcher/LauncherTexts.h"
#include "launcher/Settings.h"
#include "launcher/StartupTrace.h"
#include "launcher/Unit1.h"

namespace vantro {

int FatalError(Platform& platform, const std::exception& error) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(typeid(error).name(), nullptr, nullptr, &status);
  std::string name = demangled != nullptr ? demangled : typeid(error).name();
  std::free(demangled);
  // The class as the user knows it, without our namespace.
  if (const auto colon = name.rfind("::"); colon != std::string::npos) name.erase(0, colon + 2);
  platform.ShowMessageBox(0, platform.AnsiToUtf8(name + ": " + ErrorBoxText(ErrorMessage(error))),
                          kFatalErrorCaption, kMbOk | kMbIconError | kMbTaskModal);
  return 1;
}

int LauncherMain(Platform& platform, Gui& gui, TRunOnce& runOnce) {
  const WindowHandle running =
      runOnce.CheckPrevInstance([&gui] { return gui.ApplicationWindow(); });
  TraceStep("instance-check");
  const std::uint32_t handOff = platform.RegisterMessage(kHandOffMessageName);
  std::vector<std::string> params = SplitCommandLine(platform.CommandLine());
  if (running == 0) {
    TApplication application(platform);
    application.SetTitle(kApplicationTitle);
    gui.SetApplicationTitle(kApplicationTitle);
    TForm1 form(platform, application, std::move(params));
    gui.RunMainWindow(form);
    return 0;
  }
  if (params.size() > 1) {
    try {
      TSettingsFile(platform).Write(kKeyWatch, params[1]);
    } catch (const std::exception& error) {
      return FatalError(platform, error);
    }
    TraceStep("watch-written");
    HandOverLink(platform, runOnce.RunningApplicationWindow(), running, handOff, params[1]);
    TraceStep("hand-off-posted");
  }
  return 0;
}

}  // namespace vantro
