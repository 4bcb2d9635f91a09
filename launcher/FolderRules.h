// How the launcher recognises a game install in a folder.
#pragma once

#include <string>

#include "launcher/Platform.h"

namespace vantro {

// A file folder + "\League of Legends.exe" exists.
bool HasGameExecutable(Platform& platform, const std::string& folder);
// A folder folder + "\RADS\solutions" exists.
bool HasRadsTree(Platform& platform, const std::string& folder);
// Either of the two: the start-up's test of the game folder.
bool HasGameInstall(Platform& platform, const std::string& folder);

}  // namespace vantro
