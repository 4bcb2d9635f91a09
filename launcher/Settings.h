// setting.ini beside the running program: one section, read and written key
// by key, opened by name afresh on every access.
#pragma once

#include <string>

#include "launcher/Platform.h"

namespace vantro {

// The folder part of a path: up to and including its last backslash (a
// backslash that is the second byte of a double-byte character does not count).
std::string ExtractFilePath(const std::string& path);

class TSettingsFile {
 public:
  explicit TSettingsFile(Platform& platform);
  const std::string& Path() const { return path_; }
  // The key's value, empty when absent; values are cut to 2047 bytes.
  std::string Read(const std::string& key);
  // Raises EIniFileException when the system refuses; flushes the system's
  // cache afterwards so another process reads the new value at once.
  void Write(const std::string& key, const std::string& value);

 private:
  Platform& platform_;
  std::string path_;
};

}  // namespace vantro
