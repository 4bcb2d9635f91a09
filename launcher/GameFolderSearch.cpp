#include "launcher/GameFolderSearch.h"

#include <cstring>
#include <set>

#include "launcher/Settings.h"
#include "rtl/AnsiText.h"

namespace vantro {
namespace {

constexpr const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The ANSI file functions take paths shorter than MAX_PATH; a longer value is
// no folder the launcher could use.
constexpr std::size_t kMaxPath = 260;

struct UninstallHive {
  RegKey root;
  std::uint32_t view;
};
// 64-bit Windows keeps 32-bit programs' entries in a view of their own; HKCU's
// Software is one view for both.
constexpr UninstallHive kUninstallHives[] = {{kHkeyLocalMachine, kKeyWow6464Key},
                                             {kHkeyLocalMachine, kKeyWow6432Key},
                                             {kHkeyCurrentUser, 0}};

// UTF-8; each is tried on every fixed drive.
constexpr const char* kUsualFolders[] = {
    "\\Riot Games\\League of Legends",           "\\Program Files\\League of Legends",
    "\\Program Files (x86)\\League of Legends",  "\\Program Files\\腾讯游戏\\英雄联盟",
    "\\Program Files (x86)\\腾讯游戏\\英雄联盟", "\\英雄联盟"};

// A text value (REG_SZ or REG_EXPAND_SZ) up to its first zero byte; empty
// for any other type, a missing value or one too long for a path.
std::string TextValue(Platform& platform, RegKey key, const char* name) {
  std::uint32_t type = 0;
  std::string data;
  if (platform.RegistryQuery(key, name, type, data) != kErrorSuccess) return {};
  if (type != kRegSz && type != kRegExpandSz) return {};
  data.resize(std::strlen(data.c_str()));
  return data.size() < kMaxPath ? data : std::string();
}

std::string Unquoted(const std::string& text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

// "X:\..." only: a relative path would be looked up in the current folder,
// and a network path (\\server\share) can keep the lookup waiting for seconds.
bool IsDrivePath(const std::string& path) {
  return path.size() >= 3 &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
         path[1] == ':' && path[2] == '\\';
}

// Without its trailing backslash, unless that is a drive root's.
std::string WithoutTrailingBackslash(std::string path) {
  if (path.size() > 3 && ExtractFilePath(path).size() == path.size()) path.pop_back();
  return path;
}

void AddUninstallCandidates(Platform& platform, const UninstallHive& hive,
                            std::vector<std::string>& candidates) {
  RegKey uninstall = 0;
  if (platform.RegistryOpen(hive.root, kUninstallKey, kKeyRead | hive.view, uninstall) !=
      kErrorSuccess) {
    return;
  }
  for (const std::string& name : platform.RegistrySubKeys(uninstall)) {
    RegKey entry = 0;
    if (platform.RegistryOpen(uninstall, name, kKeyRead | hive.view, entry) != kErrorSuccess) {
      continue;
    }
    std::string folder = InstallLocationFolder(TextValue(platform, entry, "InstallLocation"));
    if (folder.empty()) folder = DisplayIconFolder(TextValue(platform, entry, "DisplayIcon"));
    platform.RegistryClose(entry);
    if (!folder.empty()) candidates.push_back(folder);
  }
  platform.RegistryClose(uninstall);
}

}  // namespace

std::string InstallLocationFolder(const std::string& value) {
  const std::string folder = Unquoted(Trim(value));
  return IsDrivePath(folder) ? WithoutTrailingBackslash(folder) : std::string();
}

std::string DisplayIconFolder(const std::string& value) {
  std::string file = Trim(value);
  if (!file.empty() && file.front() == '"') {
    const std::size_t close = file.find('"', 1);
    file = close == std::string::npos ? std::string() : file.substr(1, close - 1);
  } else if (const std::size_t comma = file.rfind(','); comma != std::string::npos) {
    // The icon's index in the file: ",0", ",-101".
    const std::string index = file.substr(comma + 1);
    std::int32_t ignored = 0;
    if (TryStrToInt(Trim(index), ignored)) file = TrimRight(file.substr(0, comma));
  }
  if (!IsDrivePath(file)) return {};
  return WithoutTrailingBackslash(ExtractFilePath(file));
}

std::vector<std::string> GameFolderCandidates(Platform& platform) {
  std::vector<std::string> candidates;
  for (const UninstallHive& hive : kUninstallHives)
    AddUninstallCandidates(platform, hive, candidates);
  // The folder is kept in ANSI: a name the code page cannot spell cannot be used.
  std::vector<std::string> usual;
  for (const char* name : kUsualFolders) {
    std::string ansi;
    if (platform.Utf8ToAnsi(name, ansi)) usual.push_back(ansi);
  }
  for (const std::string& drive : platform.FixedDrives()) {
    for (const std::string& folder : usual)
      candidates.push_back(drive + folder);
  }
  return candidates;
}

FoundGameFolders SearchGameFolders(Platform& platform) {
  FoundGameFolders found;
  // A folder named twice (both registry views on 32-bit Windows are one, and
  // an entry often has a twin) is looked at once.
  std::set<std::string> looked;
  for (const std::string& candidate : GameFolderCandidates(platform)) {
    if (!looked.insert(LowerCase(candidate)).second) continue;
    GameFolderVerdict verdict = CheckGameFolder(platform, candidate);
    if (verdict.folder.empty()) continue;
    if (verdict.refusal != FolderRefusal::kNone) {
      found.refused.push_back(std::move(verdict));
      continue;
    }
    bool known = false;
    for (const std::string& folder : found.accepted)
      known = known || SameText(folder, verdict.folder);
    if (!known) found.accepted.push_back(std::move(verdict.folder));
  }
  return found;
}

}  // namespace vantro
