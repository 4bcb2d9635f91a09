// A second start's link, handed to the running launcher. The link travels in
// the message itself (WM_COPYDATA), so every hand-off carries its own, even
// when several come at one moment. A running launcher of an older version
// answers that with 0; it still gets the link the old way: "watch" in
// setting.ini, which every second start writes first, and the registered
// message posted after it.
#pragma once

#include <cstdint>
#include <string>

#include "launcher/Platform.h"

namespace vantro {

// WM_COPYDATA's dwData for a link ("KIVR"); the running launcher answers it
// with kHandOffTaken. Posted with the registered message as its first
// parameter, it has the main window launch its next queued link.
inline constexpr std::uintptr_t kHandOffDataTag = 0x4B495652;
inline constexpr std::intptr_t kHandOffTaken = static_cast<std::intptr_t>(kHandOffDataTag);

// application: the running launcher's application window (the instance
// slot's value); popup: its window CheckPrevInstance gave. The link goes to
// the main window itself: while a box or the folder picker is open, that is
// the last active popup, which would drop a message posted to it.
void HandOverLink(Platform& platform, WindowHandle application, WindowHandle popup,
                  std::uint32_t handOffMessage, const std::string& link);

// The text starts as a spectator link: "kivra://", the scheme in any letter
// case (RFC 3986 section 3.1). An empty text is none.
bool IsSpectatorLink(const std::string& link);

}  // namespace vantro
