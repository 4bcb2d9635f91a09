#include "launcher/Program.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
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

namespace {

// Reads a <source-name> (its length, then that many bytes) at `at`; false
// when there is none whole.
bool ReadSourceName(const char*& at, std::string& name) {
  char* end = nullptr;
  const unsigned long length = std::strtoul(at, &end, 10);
  if (end == at || std::strlen(end) < length) return false;
  name.assign(end, length);
  at = end + length;
  return true;
}

// The class as the user knows it, without its namespaces: the last name of
// its mangled type name as g++ and clang write it (Itanium C++ ABI:
// "N6vantro16EIniFileExceptionE", "St13runtime_error", ABI tags skipped).
// Not the runtime's demangler: it would take 45 KB of the 750 KB the release
// exe may weigh, for a class name.
std::string ClassName(const char* mangled) {
  std::string last, name;
  const char* at = mangled;
  if (*at == '*') ++at;  // a class of one translation unit
  while (*at != '\0') {
    if (std::isdigit(static_cast<unsigned char>(*at))) {
      if (!ReadSourceName(at, last)) break;
    } else if (*at == 'B') {  // an ABI tag: [abi:name]
      if (!ReadSourceName(++at, name)) break;
    } else if (*at == 'N' || *at == 'E') {
      ++at;
    } else if (at[0] == 'S' && at[1] == 't') {  // std::
      at += 2;
    } else {
      break;  // template arguments and the like: the name so far
    }
  }
  return last.empty() ? std::string(mangled) : last;
}

}  // namespace

int FatalError(Platform& platform, const std::exception& error) {
  const std::string name = ClassName(typeid(error).name());
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
