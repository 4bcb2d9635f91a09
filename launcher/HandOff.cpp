#include "launcher/HandOff.h"

#include "launcher/LauncherTexts.h"
#include "rtl/AnsiText.h"

namespace vantro {

void HandOverLink(Platform& platform, WindowHandle application, WindowHandle popup,
                  std::uint32_t handOffMessage, const std::string& link) {
  const WindowHandle main =
      application != 0 ? platform.OwnedWindow(application, kMainWindowClass) : 0;
  if (main != 0 && platform.SendWindowData(main, kHandOffDataTag, link) == kHandOffTaken) return;
  platform.PostWindowMessage(main != 0 ? main : popup, handOffMessage, 0, 1);
}

bool IsSpectatorLink(const std::string& link) {
  return StartsText(std::string(kScheme) + "://", link);
}

}  // namespace vantro
