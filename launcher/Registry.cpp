#include "launcher/Registry.h"

#include <cstring>

#include "launcher/LauncherErrors.h"

namespace vantro {

bool TRegistry::OpenKey(const std::string& path, bool canCreate) {
  CloseKey();
  RegKey key = 0;
  const long result = canCreate
                          ? platform_.RegistryCreate(kHkeyClassesRoot, path, kKeyAllAccess, key)
                          : platform_.RegistryOpen(kHkeyClassesRoot, path, kKeyAllAccess, key);
  if (result != kErrorSuccess) return false;
  current_ = key;
  return true;
}

void TRegistry::CloseKey() {
  if (current_ != 0) platform_.RegistryClose(current_);
  current_ = 0;
}

std::string TRegistry::ReadString(const std::string& name) {
  std::uint32_t type = 0;
  std::string data;
  if (platform_.RegistryQuery(current_, name, type, data) != kErrorSuccess) return {};
  if (type != kRegSz && type != kRegExpandSz) {
    throw ERegistryException("Invalid data type for '" + name + "'");
  }
  return data.substr(0, std::strlen(data.c_str()));
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  std::string data = value;
  data.push_back('\0');
  if (platform_.RegistrySet(current_, name, kRegSz, data) != kErrorSuccess) {
    throw ERegistryException("Failed to set data for '" + name + "'");
  }
}

void RegisterUrlProtocol(Platform& platform, const std::string& scheme, const std::string& exe,
                         bool passLink) {
  const std::string commandKey = scheme + "\\shell\\open\\command";
  TRegistry registry(platform);
  if (registry.OpenKey(commandKey, false) &&
      registry.ReadString("").find(exe) != std::string::npos) {
    return;
  }
  if (!registry.OpenKey(scheme, true)) return;
  registry.WriteString("", scheme + "Protocol");
  registry.WriteString("URL Protocol", exe);
  if (registry.OpenKey(scheme + "\\DefaultIcon", true)) registry.WriteString("", exe + ",1");
  if (registry.OpenKey(commandKey, true)) {
    registry.WriteString("", passLink ? "\"" + exe + "\" \"%1\"" : "\"" + exe + "\"");
  }
}

}  // namespace vantro
