// How the launcher recognises a game install in a folder.
#pragma once

#include <string>

#include "launcher/Platform.h"

namespace vantro {

// A file folder + "\League of Legends.exe" exists.
bool HasGameExecutable(Platform& platform, const std::string& folder);
// A folder folder + "\RADS\solutions" exists.
bool HasRadsTree(Platform& platform, const std::string& folder);
// The deploy folder of the highest release (RADS\solutions\lol_game_client_sln
// \releases\0.0.*, numbers compared as numbers) that holds one: the folder cmd
// is sent to with the RADS layout. Empty when no release holds one.
std::string NewestReleaseDeploy(Platform& platform, const std::string& folder);
// True when release a ranks below release b: dot-separated parts compared as
// numbers, a part that is not a number below any number.
bool ReleaseBefore(const std::string& a, const std::string& b);
// Either of the two: the start-up's test of the game folder.
bool HasGameInstall(Platform& platform, const std::string& folder);
// The game folder a picked folder stands for: itself, or its "game" or
// "League of Legends KR" sub-folder; empty when it holds no game install.
std::string AcceptedGameFolder(Platform& platform, const std::string& picked);

// Why cmd cannot be sent into a folder.
enum class FolderRefusal {
  kNone,
  kPercent,  // cmd expands %NAME% even between double quotes
  kNotAnsi,  // "?": a character the ANSI code page cannot spell
};
FolderRefusal CmdRefusal(const std::string& folder);
// The box text that says why.
const char* RefusalText(FolderRefusal refusal);

// What a folder picked by the user or found by the search stands for: the
// game folder (empty when it holds none) and why cmd could not use it. A
// folder with a character the code page cannot spell is refused unlooked-at.
struct GameFolderVerdict {
  std::string folder;
  FolderRefusal refusal = FolderRefusal::kNone;
};
GameFolderVerdict CheckGameFolder(Platform& platform, const std::string& candidate);

}  // namespace vantro
