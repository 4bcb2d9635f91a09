// A launcher process on the fake system, with its setting.ini beside
// C:\vantro\vantro.exe and a game folder to fill.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "launcher/Application.h"
#include "launcher/LauncherTexts.h"
#include "launcher/Unit1.h"
#include "launcher/UpdateCheck.h"
#include "tests/support/fake_platform.h"
#include "tests/support/http_ScriptedServer.h"

namespace vantro::fake {

inline constexpr const char kIni[] = "C:\\vantro\\setting.ini";
inline constexpr const char kGame[] = "D:\\Games\\LoL";
// Piece 3 of the parameter text, and the RADS deploy folder of kGame (its
// one release, AddRads's).
inline const std::string kStart =
    " && @start \"\" \"League of Legends.exe\" \"8394\" \"LoLLauncher.exe\" \"\" \"";
inline const std::string kRadsDeployPath =
    "D:\\Games\\LoL\\RADS\\solutions\\lol_game_client_sln\\releases\\0.0.1.88\\deploy";

class LauncherTest : public ::testing::Test {
 protected:
  LauncherTest() : platform(system), application(platform) {
    application.SetTitle(kApplicationTitle);
    GameFolder.clear();
    UpdateTarget = {updateServer.Url("/kivra/Version.txt"), "http://www.vantro.example/ob",
                    "http://www.vantro.example/client/"};
  }
  ~LauncherTest() override {
    GameFolder.clear();
    UpdateTarget = BuiltInUpdateAddresses();
  }

  void AddGameExe(const std::string& folder = kGame) {
    system.files.insert(folder + "\\League of Legends.exe");
  }
  // The RADS tree with one release whose deploy folder cmd can change into.
  void AddRads(const std::string& folder = kGame) {
    AddRadsWithoutRelease(folder);
    const std::string release =
        folder + "\\RADS\\solutions\\lol_game_client_sln\\releases\\0.0.1.88";
    system.folders.insert(release);
    system.folders.insert(release + "\\deploy");
  }
  void AddRadsWithoutRelease(const std::string& folder = kGame) {
    system.folders.insert(folder + "\\RADS\\solutions");
  }
  void SetIni(const std::string& key, const std::string& value) {
    ASSERT_TRUE(platform.ProfileWrite(kIni, "setting", key, value));
    platform.calls.clear();
  }
  std::string Ini(const std::string& key) { return system.ProfileValue(kIni, "setting", key); }

  // Publishes the launcher's own version, so the check stays quiet.
  test::HttpScriptedServer updateServer{{{test::HttpAnswer("HTTP/1.1 200 OK", "1.0.2.0")}}, true};
  FakeSystem system;
  FakePlatform platform;
  TApplication application;
};

}  // namespace vantro::fake
