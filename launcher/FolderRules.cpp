#include "launcher/FolderRules.h"

#include "launcher/LauncherTexts.h"

namespace vantro {

bool HasGameExecutable(Platform& platform, const std::string& folder) {
  return platform.FileExists(folder + kGameExe);
}

bool HasRadsTree(Platform& platform, const std::string& folder) {
  return platform.DirectoryExists(folder + kRadsSolutions);
}

bool HasReleaseDeployFolder(Platform& platform, const std::string& folder) {
  const std::string releases = folder + kRadsReleases;
  for (const std::string& release : platform.FindFolders(releases + kReleasePattern)) {
    if (platform.DirectoryExists(releases + "\\" + release + kDeploy)) return true;
  }
  return false;
}

bool HasGameInstall(Platform& platform, const std::string& folder) {
  return HasGameExecutable(platform, folder) || HasRadsTree(platform, folder);
}

std::string AcceptedGameFolder(Platform& platform, const std::string& picked) {
  if (HasGameExecutable(platform, picked)) return picked;
  if (HasGameExecutable(platform, picked + "\\game")) return picked + "\\game";
  if (HasRadsTree(platform, picked)) return picked;
  if (HasRadsTree(platform, picked + "\\League of Legends KR"))
    return picked + "\\League of Legends KR";
  return {};
}

}  // namespace vantro
