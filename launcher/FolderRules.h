// How the launcher recognises a game install in a folder.
#pragma once

#include <string>

#include "launcher/Platform.h"

namespace vantro {

// A file folder + "\League of Legends.exe" exists.
bool HasGameExecutable(Platform& platform, const std::string& folder);
// A folder folder + "\RADS\solutions" exists.
bool HasRadsTree(Platform& platform, const std::string& folder);
// A release folder matching RADS\solutions\lol_game_client_sln\releases\0.0.*
// holds a "deploy" folder: the folder cmd is sent to with the RADS layout.
bool HasReleaseDeployFolder(Platform& platform, const std::string& folder);
// Either of the two: the start-up's test of the game folder.
bool HasGameInstall(Platform& platform, const std::string& folder);
// The game folder a picked folder stands for: itself, or its "game" or
// "League of Legends KR" sub-folder; empty when it holds no game install.
std::string AcceptedGameFolder(Platform& platform, const std::string& picked);

}  // namespace vantro
