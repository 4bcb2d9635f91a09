#include "launcher/Settings.h"

#include "launcher/LauncherErrors.h"
#include "launcher/LauncherTexts.h"
#include "launcher/SingleBytes.h"

namespace vantro {
namespace {
constexpr std::uint32_t kReadBufferSize = 2048;
}

std::string ExtractFilePath(const std::string& path) {
  std::size_t end = 0;
  FindSingleByte(path, [&](std::size_t i) {
    if (path[i] == '\\') end = i + 1;
    return false;
  });
  return path.substr(0, end);
}

TSettingsFile::TSettingsFile(Platform& platform)
    : platform_(platform), path_(ExtractFilePath(platform.ModuleFileName()) + kSettingsFileName) {}

std::string TSettingsFile::Read(const std::string& key) {
  return platform_.ProfileRead(path_, kSettingsSection, key, kReadBufferSize);
}

void TSettingsFile::Write(const std::string& key, const std::string& value) {
  if (!platform_.ProfileWrite(path_, kSettingsSection, key, value)) {
    throw EIniFileException("Unable to write to " + path_);
  }
  platform_.ProfileFlush(path_);
}

}  // namespace vantro
