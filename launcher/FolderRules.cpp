#include "launcher/FolderRules.h"

#include <algorithm>
#include <string_view>

#include "launcher/LauncherTexts.h"
#include "launcher/SingleBytes.h"

namespace vantro {
namespace {

std::string_view NextPart(std::string_view& name) {
  const std::size_t dot = name.find('.');
  const std::string_view part = name.substr(0, dot);
  name = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
  return part;
}

bool IsNumber(std::string_view part) {
  return !part.empty() &&
         std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// <0, 0 or >0; numbers of any length, without converting them.
int ComparePart(std::string_view a, std::string_view b) {
  const bool numberA = IsNumber(a), numberB = IsNumber(b);
  if (numberA != numberB) return numberA ? 1 : -1;
  if (numberA) {
    a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
    b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  }
  return a.compare(b);
}

}  // namespace

bool HasGameExecutable(Platform& platform, const std::string& folder) {
  return platform.FileExists(folder + kGameExe);
}

bool HasRadsTree(Platform& platform, const std::string& folder) {
  return platform.DirectoryExists(folder + kRadsSolutions);
}

bool ReleaseBefore(const std::string& a, const std::string& b) {
  std::string_view restA = a, restB = b;
  while (!restA.empty() || !restB.empty()) {
    const int order = ComparePart(NextPart(restA), NextPart(restB));
    if (order != 0) return order < 0;
  }
  return false;
}

std::string NewestReleaseDeploy(Platform& platform, const std::string& folder) {
  const std::string releases = folder + kRadsReleases;
  std::string newest;
  for (const std::string& release : platform.FindFolders(releases + kReleasePattern)) {
    if ((newest.empty() || ReleaseBefore(newest, release)) &&
        platform.DirectoryExists(releases + "\\" + release + kDeploy)) {
      newest = release;
    }
  }
  return newest.empty() ? std::string() : releases + "\\" + newest + kDeploy;
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

FolderRefusal CmdRefusal(const std::string& folder) {
  FolderRefusal refusal = FolderRefusal::kNone;
  FindSingleByte(folder, [&](std::size_t i) {
    if (folder[i] == '%') refusal = FolderRefusal::kPercent;
    if (folder[i] == '?') refusal = FolderRefusal::kNotAnsi;
    return refusal != FolderRefusal::kNone;
  });
  return refusal;
}

const char* RefusalText(FolderRefusal refusal) {
  return refusal == FolderRefusal::kPercent ? kPercentFolderText : kNotAnsiFolderText;
}

GameFolderVerdict CheckGameFolder(Platform& platform, const std::string& candidate) {
  GameFolderVerdict verdict;
  verdict.refusal = CmdRefusal(candidate);
  // The system cannot look into a folder whose name came back with a "?".
  if (verdict.refusal == FolderRefusal::kNotAnsi) return verdict;
  verdict.folder = AcceptedGameFolder(platform, candidate);
  if (verdict.folder.empty()) verdict.refusal = FolderRefusal::kNone;
  return verdict;
}

}  // namespace vantro
