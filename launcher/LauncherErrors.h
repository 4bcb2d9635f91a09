// The launcher's error classes, each with the message text the user sees.
#pragma once

#include <cstdint>
#include <string>

#include "launcher/Platform.h"
#include "rtl/Exception.h"

namespace vantro {

// A settings write the system refused: "Unable to write to <path>".
class EIniFileException : public Exception {
  using Exception::Exception;
};

// A registry value that could not be written or read as text.
class ERegistryException : public Exception {
  using Exception::Exception;
};

// A failed system call: "System Error.  Code: %d.\r\n<system text>".
class EOSError : public Exception {
 public:
  EOSError(std::uint32_t errorCode, std::string message)
      : Exception(std::move(message)), errorCode_(errorCode) {}
  std::uint32_t ErrorCode() const { return errorCode_; }

 private:
  std::uint32_t errorCode_;
};

// The error for the system call that just failed, as the runtime words it.
EOSError LastOSError(Platform& platform);

}  // namespace vantro
