#include "launcher/Application.h"

#include "rtl/AnsiText.h"
#include "rtl/Exception.h"

namespace vantro {

std::string ErrorBoxText(const std::string& message) {
  std::size_t last = std::string::npos;
  for (std::size_t i = 0; i < message.size(); ++i) {
    last = i;
    if (IsLeadByte(static_cast<unsigned char>(message[i])) && i + 1 < message.size()) ++i;
  }
  if (last != std::string::npos && static_cast<unsigned char>(message[last]) > '.') {
    return message + ".";
  }
  return message;
}

std::string ErrorMessage(const std::exception& error) {
  const auto* own = dynamic_cast<const Exception*>(&error);
  return own != nullptr ? own->Message() : error.what();
}

void TApplication::MessageBox(WindowHandle owner, const std::string& textUtf8) {
  platform_.ShowMessageBox(owner, textUtf8, title_, kMbOk);
}

void TApplication::ShowException(WindowHandle owner, const std::exception& error) {
  platform_.ShowMessageBox(owner, platform_.AnsiToUtf8(ErrorBoxText(ErrorMessage(error))), title_,
                           kMbOk | kMbIconError);
}

}  // namespace vantro
