// The kivra scheme under HKEY_CLASSES_ROOT: the four values, the rule that
// skips the writes, and what a refused or odd registry does.
#include "launcher/Registry.h"

#include <gtest/gtest.h>

#include "LauncherFixture.h"
#include "launcher/LauncherErrors.h"

namespace vantro::fake {
namespace {

constexpr const char kExe[] = "C:\\vantro\\vantro.exe";
constexpr const char kCommandKey[] = "kivra\\shell\\open\\command";

class RegistryTest : public LauncherTest {
 protected:
  void Register(const std::string& exe = kExe, bool passLink = true) {
    RegisterUrlProtocol(platform, "kivra", exe, passLink);
  }
  std::string Message(const std::string& exe = kExe) {
    try {
      Register(exe);
    } catch (const ERegistryException& error) {
      return error.Message();
    }
    return "no error";
  }
};

TEST_F(RegistryTest, FreshSystemGetsAllFourValuesWithTheirZeroByte) {
  Register();
  EXPECT_EQ(system.RegistryText("kivra", ""), "kivraProtocol");
  EXPECT_EQ(system.RegistryText("kivra", "URL Protocol"), kExe);
  EXPECT_EQ(system.RegistryText("kivra\\DefaultIcon", ""), "C:\\vantro\\vantro.exe,1");
  EXPECT_EQ(system.RegistryText(kCommandKey, ""), "\"C:\\vantro\\vantro.exe\" \"%1\"");
  const auto& value = system.registry["kivra"]["url protocol"];
  EXPECT_EQ(value.type, kRegSz);
  EXPECT_EQ(value.data, std::string(kExe) + '\0');
  EXPECT_EQ(platform.CallsOf("RegistryCreate"),
            (std::vector<std::string>{"RegistryCreate kivra", "RegistryCreate kivra\\DefaultIcon",
                                      "RegistryCreate kivra\\shell\\open\\command"}));
}

TEST_F(RegistryTest, WithoutLinkFlagTheCommandIsTheQuotedExe) {
  Register(kExe, false);
  EXPECT_EQ(system.RegistryText(kCommandKey, ""), "\"C:\\vantro\\vantro.exe\"");
}

TEST_F(RegistryTest, CommandNamingTheExeSkipsEveryWrite) {
  Register();
  system.registry["kivra"].erase("url protocol");
  system.SetRegistryText("kivra\\DefaultIcon", "", "changed");
  platform.calls.clear();
  Register();
  EXPECT_TRUE(platform.CallsOf("Registry").empty());
  EXPECT_EQ(system.RegistryText("kivra", "URL Protocol"), "<absent>");
  // A longer path that holds the exe's path counts as current too.
  system.SetRegistryText(kCommandKey, "", "\"C:\\vantro\\vantro.exe.old\\x.exe\" \"%1\"");
  Register();
  EXPECT_TRUE(platform.CallsOf("Registry").empty());
}

TEST_F(RegistryTest, MovedOrOtherCaseExeIsRegisteredAgain) {
  Register("C:\\old\\vantro.exe");
  Register();
  EXPECT_EQ(system.RegistryText(kCommandKey, ""), "\"C:\\vantro\\vantro.exe\" \"%1\"");
  Register("C:\\VANTRO\\vantro.exe");
  EXPECT_EQ(system.RegistryText("kivra", "URL Protocol"), "C:\\VANTRO\\vantro.exe");
}

TEST_F(RegistryTest, CommandKeyWithoutDefaultValueIsRewritten) {
  system.registry[kCommandKey];
  Register();
  EXPECT_EQ(system.RegistryText(kCommandKey, ""), "\"C:\\vantro\\vantro.exe\" \"%1\"");
}

TEST_F(RegistryTest, CommandThatIsNotTextRaisesAndNothingIsWritten) {
  system.registry[kCommandKey][""] = {kRegDword, std::string("\1\0\0\0", 4)};
  EXPECT_EQ(Message(), "Invalid data type for ''");
  EXPECT_TRUE(platform.CallsOf("RegistrySet").empty());
  system.registry[kCommandKey][""] = {kRegExpandSz, std::string(kExe) + '\0'};
  EXPECT_EQ(Message(), "no error");
}

TEST_F(RegistryTest, KeysThatCannotBeOpenedEndTheRegistrationSilently) {
  system.denyKeys.insert("kivra");
  EXPECT_EQ(Message(), "no error");
  EXPECT_TRUE(platform.CallsOf("RegistrySet").empty());

  system.denyKeys = {"kivra\\defaulticon"};
  EXPECT_EQ(Message(), "no error");
  EXPECT_EQ(system.RegistryText(kCommandKey, ""), "\"C:\\vantro\\vantro.exe\" \"%1\"");

  system.registry.clear();
  system.denyKeys = {"kivra\\shell\\open\\command"};
  EXPECT_EQ(Message(), "no error");
  EXPECT_EQ(system.RegistryText("kivra\\DefaultIcon", ""), "C:\\vantro\\vantro.exe,1");
  EXPECT_EQ(system.RegistryText(kCommandKey, ""), "<absent>");
}

TEST_F(RegistryTest, RefusedWriteRaisesWithTheValueName) {
  system.denyWrites.insert("kivra");
  EXPECT_EQ(Message(), "Failed to set data for ''");
  system.denyWrites = {"kivra\\shell\\open\\command"};
  EXPECT_EQ(Message(), "Failed to set data for ''");
  EXPECT_EQ(system.RegistryText("kivra", "URL Protocol"), kExe);
}

}  // namespace
}  // namespace vantro::fake
