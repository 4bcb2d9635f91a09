#include "launcher/GameCommand.h"

#include <algorithm>

#include "launcher/FolderRules.h"
#include "launcher/SingleBytes.h"
#include "rtl/Convert.h"

namespace vantro {
namespace {

// "/c": cmd ends whether or not the change of folder or the start worked, so
// a failed launch leaves no hidden elevated interpreter behind.
constexpr const char kCdPiece[] = "/c cd /d ";
constexpr const char kStartPiece[] =
    " && @start \"\" \"League of Legends.exe\" \"8394\" \"LoLLauncher.exe\" \"\" \"";
constexpr const char kExitPiece[] = "\" && exit";

// True when test holds for a byte of text that is a character of its own.
template <class Test>
bool AnySingleByte(const std::string& text, Test test) {
  return FindSingleByte(text,
                        [&](std::size_t i) { return test(static_cast<unsigned char>(text[i])); });
}

}  // namespace

std::string DecodePercentEscapes(const std::string& link) {
  std::string text;
  text.reserve(link.size());
  for (std::size_t i = 0; i < link.size(); ++i) {
    if (link[i] == '%' && i + 2 < link.size() && HexDigitValue(link[i + 1]) >= 0 &&
        HexDigitValue(link[i + 2]) >= 0) {
      text.push_back(
          static_cast<char>(HexDigitValue(link[i + 1]) * 16 + HexDigitValue(link[i + 2])));
      i += 2;
    } else {
      text.push_back(link[i]);
    }
  }
  return text;
}

std::string GameArguments(const std::string& link) {
  std::string text = link;
  FindSingleByte(text, [&](std::size_t i) {
    if (text[i] == '|') text[i] = ' ';
    return false;
  });
  text = text.size() > 8 ? text.substr(8) : std::string();
  if (!text.empty() && text.back() == '/') text.pop_back();
  return text;
}

bool HasUnsafeArgumentBytes(const std::string& arguments) {
  // Every byte counts, wherever it stands: none of these is a valid second
  // byte of a double-byte character in any code page, and after a lead byte
  // the system's conversion would let such a byte through on its own.
  return std::any_of(arguments.begin(), arguments.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte == '"' || byte == '%' || byte < 0x20 || byte == 0x7F;
  });
}

std::string DeployFolder(Platform& platform, const std::string& gameFolder) {
  if (HasRadsTree(platform, gameFolder)) {
    std::string deploy = NewestReleaseDeploy(platform, gameFolder);
    if (!deploy.empty()) return deploy;
  }
  return HasGameExecutable(platform, gameFolder) ? gameFolder : std::string();
}

std::string CommandParameters(const std::string& deployFolder, const std::string& arguments) {
  const bool quote =
      AnySingleByte(deployFolder, [](unsigned char c) { return c == '&' || c == '^' || c == '%'; });
  const std::string folder = quote ? "\"" + deployFolder + "\"" : deployFolder;
  return kCdPiece + folder + kStartPiece + arguments + kExitPiece;
}

}  // namespace vantro
