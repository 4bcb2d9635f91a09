#include "launcher/LauncherErrors.h"

namespace vantro {

// The error for a failed system call, as the runtime words it.
EOSError LastOSError(Platform& platform) {
  const std::uint32_t code = platform.LastError();
  if (code == 0) return EOSError(0, "A call to an OS function failed");
  std::string text = platform.SystemErrorText(code);
  // The system's texts end in a line break and often a full stop; neither belongs in the box.
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.')) {
    text.pop_back();
  }
  return EOSError(code, "System Error.  Code: " + std::to_string(code) + ".\r\n" + text);
}

}  // namespace vantro
