// The real calls behind the seam under Wine: the record handed to the shell,
// profile files, the instance slot's atomic claim and the text conversions.
#include "launcher/win32/Win32Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "launcher/Settings.h"
#include "launcher/wdRunOnce.h"

namespace vantro {
namespace {

TEST(Win32PlatformTest, ShellExecuteRecordBecomesTheSystemsSixtyByteRecord) {
  ShellExecuteRecord record;
  record.cbSize = kShellExecuteInfoSize;
  record.fMask = 0x500;
  record.hwnd = 0x1234;
  record.lpVerb = "runas";
  record.lpFile = "cmd";
  record.lpParameters = "/k x";
  SHELLEXECUTEINFOA info;
  FillShellExecuteInfo(record, info);
  EXPECT_EQ(info.cbSize, sizeof info);
#if !defined(_WIN64)
  EXPECT_EQ(sizeof info, 60u);
#endif
  EXPECT_EQ(info.fMask, 0x500u);
  EXPECT_EQ(info.hwnd, reinterpret_cast<HWND>(0x1234));
  EXPECT_STREQ(info.lpVerb, "runas");
  EXPECT_STREQ(info.lpFile, "cmd");
  EXPECT_STREQ(info.lpParameters, "/k x");
  EXPECT_EQ(info.lpDirectory, nullptr);
  EXPECT_EQ(info.nShow, SW_HIDE);
  EXPECT_EQ(info.hInstApp, nullptr);
}

TEST(Win32PlatformTest, ProfileValuesRoundTripAndLongOnesAreCut) {
  Win32Platform platform;
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string file = std::string(folder) + "vantro-profile-test.ini";
  DeleteFileA(file.c_str());
  EXPECT_EQ(platform.ProfileRead(file, "setting", "lol_path", 2048), "");
  ASSERT_TRUE(platform.ProfileWrite(file, "setting", "watch", std::string(3000, 'w')));
  ASSERT_TRUE(platform.ProfileWrite(file, "setting", "lol_path", "C:\\Games\\LoL"));
  platform.ProfileFlush(file);
  EXPECT_EQ(platform.ProfileRead(file, "setting", "lol_path", 2048), "C:\\Games\\LoL");
  EXPECT_EQ(platform.ProfileRead(file, "setting", "watch", 2048), std::string(2047, 'w'));
  DeleteFileA(file.c_str());
  EXPECT_FALSE(platform.ProfileWrite(std::string(folder) + "no such folder\\setting.ini", "setting",
                                     "cmd", "x"));
}

TEST(Win32PlatformTest, FilesAndFoldersAreTellApart) {
  Win32Platform platform;
  const std::string exe = platform.ModuleFileName();
  EXPECT_TRUE(platform.FileExists(exe));
  EXPECT_FALSE(platform.DirectoryExists(exe));
  const std::string folder = ExtractFilePath(exe);
  EXPECT_TRUE(platform.DirectoryExists(folder.substr(0, folder.size() - 1)));
  EXPECT_FALSE(platform.FileExists(folder.substr(0, folder.size() - 1)));
  EXPECT_GE(platform.OsMajorVersion(), 6);
}

TEST(Win32PlatformTest, FoldersMatchingAWildcardAreFoundAndFilesAreNot) {
  Win32Platform platform;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string releases = std::string(temp) + "vantro-releases-test";
  for (const char* folder : {"", "\\0.0.1.88", "\\0.0.1.90", "\\1.0.0.1"}) {
    CreateDirectoryA((releases + folder).c_str(), nullptr);
  }
  std::fclose(std::fopen((releases + "\\0.0.2.0").c_str(), "w"));
  std::vector<std::string> found = platform.FindFolders(releases + "\\0.0.*");
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{"0.0.1.88", "0.0.1.90"}));
  EXPECT_TRUE(platform.FindFolders(releases + "\\9.*").empty());
  EXPECT_TRUE(platform.FindFolders(releases + "\\no such folder\\0.0.*").empty());
  DeleteFileA((releases + "\\0.0.2.0").c_str());
  for (const char* folder : {"\\0.0.1.88", "\\0.0.1.90", "\\1.0.0.1", ""}) {
    RemoveDirectoryA((releases + folder).c_str());
  }
}

TEST(Win32PlatformTest, SlotIsClaimedOnceAcrossTwoOpenings) {
  Win32Platform platform;
  TRunOnce first(platform, "vantro-test-slot"), second(platform, "vantro-test-slot");
  first.OpenInstanceSlot();
  second.OpenInstanceSlot();
  const HWND window =
      CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(first.CheckPrevInstance(reinterpret_cast<WindowHandle>(window)), 0u);
  EXPECT_EQ(second.CheckPrevInstance(0x42), reinterpret_cast<WindowHandle>(window));
  DestroyWindow(window);
  // The window is gone: a later opener runs as a first instance, without claiming.
  EXPECT_EQ(second.CheckPrevInstance(0x42), 0u);
}

TEST(Win32PlatformTest, AnsiTextsReachTheScreenAsUtf8) {
  Win32Platform platform;
  EXPECT_EQ(platform.AnsiToUtf8("C:\\Games"), "C:\\Games");
  EXPECT_EQ(platform.SystemErrorText(ERROR_FILE_NOT_FOUND).empty(), false);
}

// Subkeys listed through both registry views, fixed drives, the code page's
// refusal of what it cannot spell, and data sent to an owned window.
TEST(Win32PlatformTest, UninstallEntriesDrivesSpellingAndSentData) {
  Win32Platform platform;
  const std::string parent = "Software\\VantroTest\\Uninstall";
  HKEY created = nullptr;
  for (const char* name : {"B entry", "A entry"}) {
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (parent + "\\" + name).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &created, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(created);
  }
  RegKey key = 0;
  ASSERT_EQ(platform.RegistryOpen(kHkeyCurrentUser, parent, kKeyRead, key), kErrorSuccess);
  std::vector<std::string> names = platform.RegistrySubKeys(key);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"A entry", "B entry"}));
  platform.RegistryClose(key);
  for (std::uint32_t view : {kKeyWow6464Key, kKeyWow6432Key}) {
    EXPECT_EQ(platform.RegistryOpen(kHkeyLocalMachine,
                                    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                                    kKeyRead | view, key),
              kErrorSuccess)
        << view;
    platform.RegistryClose(key);
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VantroTest");

  const std::vector<std::string> drives = platform.FixedDrives();
  EXPECT_NE(std::find(drives.begin(), drives.end(), "C:"), drives.end());

  std::string ansi;
  EXPECT_TRUE(platform.Utf8ToAnsi("\\Riot Games", ansi));
  EXPECT_EQ(ansi, "\\Riot Games");
  if (GetACP() == 1252) {
    EXPECT_TRUE(platform.Utf8ToAnsi("\\Jeux \xc3\xa9", ansi));
    EXPECT_EQ(ansi, "\\Jeux \xe9");
    // No best fit: a look-alike would name another folder.
    EXPECT_FALSE(platform.Utf8ToAnsi("\\\xe8\x8b\xb1\xe9\x9b\x84 \xc4\x81", ansi));
    EXPECT_EQ(ansi, "\\?? ?");
  }

  const HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                     nullptr, nullptr);
  const HWND owned =
      CreateWindowExA(0, "STATIC", "owned", WS_POPUP, 0, 0, 1, 1, owner, nullptr, nullptr, nullptr);
  EXPECT_EQ(platform.OwnedWindow(reinterpret_cast<WindowHandle>(owner), "Static"),
            reinterpret_cast<WindowHandle>(owned));
  EXPECT_EQ(platform.OwnedWindow(reinterpret_cast<WindowHandle>(owned), "Static"), 0u);
  // A window that takes no data answers 0: the hand-off's fallback.
  EXPECT_EQ(platform.SendWindowData(reinterpret_cast<WindowHandle>(owned), 1, "kivra://x"), 0);
  DestroyWindow(owned);
  DestroyWindow(owner);
}

}  // namespace
}  // namespace vantro
