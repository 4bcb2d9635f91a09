// A registry key opened from HKEY_CLASSES_ROOT at a time, with text values.
#pragma once

#include <string>

#include "launcher/Platform.h"

namespace vantro {

class TRegistry {
 public:
  explicit TRegistry(Platform& platform) : platform_(platform) {}
  ~TRegistry() { CloseKey(); }
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  // Opens path from the root with full access (creating it when canCreate),
  // closing the key opened before. False when that does not work.
  bool OpenKey(const std::string& path, bool canCreate);
  void CloseKey();
  // The value as text, empty when absent; raises ERegistryException
  // "Invalid data type for '<name>'" when it is not a text.
  std::string ReadString(const std::string& name);
  // Stores REG_SZ with its zero byte; raises "Failed to set data for '<name>'".
  void WriteString(const std::string& name, const std::string& value);

 private:
  Platform& platform_;
  RegKey current_ = 0;
};

// Registers scheme as a URL protocol run by exe, unless the open command
// already names exe. passLink adds the "%1" argument to the command.
void RegisterUrlProtocol(Platform& platform, const std::string& scheme, const std::string& exe,
                         bool passLink);

}  // namespace vantro
