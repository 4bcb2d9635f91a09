// Looking for the game where Windows knows it is: the folders programs'
// uninstall entries name, and the folders the game usually installs into on
// every fixed drive. Each candidate goes through the rules a picked folder
// goes through.
#pragma once

#include <string>
#include <vector>

#include "launcher/FolderRules.h"
#include "launcher/Platform.h"

namespace vantro {

struct FoundGameFolders {
  // Distinct game folders (compared without regard to case), in search order.
  std::vector<std::string> accepted;
  // Game folders that cmd could not be sent into.
  std::vector<GameFolderVerdict> refused;
};

// The folder an uninstall entry value names: InstallLocation as it is, or the
// folder of DisplayIcon's file (quotes and a trailing ",N" removed). Empty
// when the text names no absolute folder on a drive.
std::string InstallLocationFolder(const std::string& value);
std::string DisplayIconFolder(const std::string& value);

// The candidates in search order: the uninstall entries of HKLM (both
// registry views) and HKCU, then the usual folders on the fixed drives.
std::vector<std::string> GameFolderCandidates(Platform& platform);
FoundGameFolders SearchGameFolders(Platform& platform);

}  // namespace vantro
