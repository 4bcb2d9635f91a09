// A launcher process on the fake system, with its setting.ini beside
// C:\vantro\vantro.exe and a game folder to fill.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "launcher/Application.h"
#include "launcher/LauncherTexts.h"
#include "launcher/Unit1.h"
#include "tests/support/fake_platform.h"

namespace vantro::fake {

inline constexpr const char kIni[] = "C:\\vantro\\setting.ini";
inline constexpr const char kGame[] = "D:\\Games\\LoL";

class LauncherTest : public ::testing::Test {
 protected:
  LauncherTest() : platform(system), application(platform) {
    application.SetTitle(kApplicationTitle);
    GameFolder.clear();
  }
  ~LauncherTest() override { GameFolder.clear(); }

  void AddGameExe(const std::string& folder = kGame) {
    system.files.insert(folder + "\\League of Legends.exe");
  }
  void AddRads(const std::string& folder = kGame) {
    system.folders.insert(folder + "\\RADS\\solutions");
  }
  void SetIni(const std::string& key, const std::string& value) {
    ASSERT_TRUE(platform.ProfileWrite(kIni, "setting", key, value));
    platform.calls.clear();
  }
  std::string Ini(const std::string& key) { return system.ProfileValue(kIni, "setting", key); }

  FakeSystem system;
  FakePlatform platform;
  TApplication application;
};

}  // namespace vantro::fake
