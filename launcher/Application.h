// The application object: its title, the launcher's message boxes and the one
// central place that shows an error escaping a handler.
#pragma once

#include <exception>
#include <string>

#include "launcher/Platform.h"

namespace vantro {

// The message as the error box shows it: a full stop is appended when the last
// character's code is above that of ".".
std::string ErrorBoxText(const std::string& message);

// The 8-bit message an error carries.
std::string ErrorMessage(const std::exception& error);

class TApplication {
 public:
  explicit TApplication(Platform& platform) : platform_(platform) {}
  void SetTitle(const std::string& titleUtf8) { title_ = titleUtf8; }
  const std::string& Title() const { return title_; }

  // A modal information box: the title as caption, no icon, one OK button.
  void MessageBox(WindowHandle owner, const std::string& textUtf8);
  // The error box: title as caption, error icon, OK; the program goes on.
  void ShowException(WindowHandle owner, const std::exception& error);
  // Runs handler; an error escaping it is shown with ShowException.
  template <class Handler>
  void Protect(WindowHandle owner, Handler handler) {
    try {
      handler();
    } catch (const std::exception& error) {
      ShowException(owner, error);
    }
  }

 private:
  Platform& platform_;
  std::string title_;
};

}  // namespace vantro
