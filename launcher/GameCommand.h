// Turning a spectator link into the parameter text for cmd.
#pragma once

#include <string>

#include "launcher/Platform.h"

namespace vantro {

// The link as the page wrote it: every "%" followed by two hex digits (either
// case) replaced by the byte they name, once; any other "%" stays. Chromium-
// based browsers and Electron programs escape every byte outside a small safe
// set this way before they hand a link to its registered handler.
std::string DecodePercentEscapes(const std::string& link);

// The game arguments of a link: every free-standing "|" turned into a space,
// the first 8 bytes (the scheme prefix, not tested) dropped, then one
// trailing "/" dropped.
std::string GameArguments(const std::string& link);

// True when cmd would act on a byte of the game arguments although they stand
// in double quotes: a double quote, "%", DEL or a control character, in any
// position (no valid double-byte character holds one).
bool HasUnsafeArgumentBytes(const std::string& arguments);

// The folder cmd changes into: the deploy folder of the RADS tree's highest
// release that holds one, named as it is (cmd would resolve a wildcard to
// the first match the file system lists, which need not hold a deploy folder),
// else the game folder when the game executable is there, else empty
// (nothing that cmd could start the game in).
std::string DeployFolder(Platform& platform, const std::string& gameFolder);

// "/c cd /d " D " && @start ... \"" A "\" && exit". D is quoted only when it
// holds "&", "^" or "%", which cmd would act on in an unquoted folder.
std::string CommandParameters(const std::string& deployFolder, const std::string& arguments);

}  // namespace vantro
