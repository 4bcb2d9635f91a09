#include "launcher/FolderRules.h"

#include "launcher/LauncherTexts.h"

namespace vantro {

bool HasGameExecutable(Platform& platform, const std::string& folder) {
  return platform.FileExists(folder + kGameExe);
}

bool HasRadsTree(Platform& platform, const std::string& folder) {
  return platform.DirectoryExists(folder + kRadsSolutions);
}

bool HasGameInstall(Platform& platform, const std::string& folder) {
  return HasGameExecutable(platform, folder) || HasRadsTree(platform, folder);
}

}  // namespace vantro
