// The launcher's Platform and Gui in memory. A FakeSystem is what processes
// share (files, profile files, registry, named shared memory, windows); each
// FakePlatform is one process on it and records what it asked of the system.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "launcher/Platform.h"

namespace vantro::fake {

struct Message {
  std::uint32_t id;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

struct FakeSystem {
  std::recursive_mutex mutex;

  // Files and folders by exact path.
  std::set<std::string> files, folders;

  // Profile files: file -> sections in order -> keys in order. Names compare
  // without regard to ASCII case, as the system's profile functions do.
  using Section = std::vector<std::pair<std::string, std::string>>;
  std::map<std::string, std::vector<std::pair<std::string, Section>>> profiles;
  std::set<std::string> readOnlyFiles;
  std::string ProfileValue(const std::string& file, const std::string& section,
                           const std::string& key);  // "<absent>" when absent

  // Registry: key path (lower case) -> value name (lower case) -> (type,
  // bytes). Paths under HKEY_CLASSES_ROOT stand as they are; the other roots'
  // begin with their hive: "hklm64\", "hklm32\" (HKLM's two views; a key
  // opened without a view flag is the 32-bit one) and "hkcu\". Keys in
  // denyKeys cannot be opened or created; values cannot be set in keys of
  // denyWrites.
  struct Value {
    std::uint32_t type;
    std::string data;
  };
  std::map<std::string, std::map<std::string, Value>> registry;
  std::set<std::string> denyKeys, denyWrites;
  void SetRegistryText(const std::string& key, const std::string& name, const std::string& text);
  std::string RegistryText(const std::string& key, const std::string& name);  // "<absent>"
  // Creates the key and its parents.
  void SetRegistryKey(const std::string& key);
  // Stores a value as it is, creating the key and its parents.
  void SetRegistryValue(const std::string& key, const std::string& name, std::uint32_t type,
                        const std::string& data);

  // Named shared memory blocks, deleted with their last handle.
  struct Block {
    std::uint32_t value = 0;
    int handles = 0;
  };
  std::map<std::string, std::unique_ptr<Block>> mappings;
  bool failOpenMapping = false, failCreateMapping = false, failMapView = false;

  // Windows.
  struct Window {
    bool alive = true, visible = true, enabled = true;
    WindowHandle lastActivePopup = 0;  // 0: the window itself
    WindowHandle owner = 0;
    std::string className;
    std::vector<Message> posted, sent;
    // What the window answers to data sent to it (none: 0).
    std::function<std::intptr_t(std::uintptr_t tag, const std::string& data)> onData;
  };
  std::map<WindowHandle, Window> windows;
  WindowHandle nextWindow = 0x10010;
  WindowHandle NewWindow(bool visible = true);
  std::map<std::string, std::uint32_t> registeredMessages;
};

class FakePlatform : public Platform {
 public:
  explicit FakePlatform(FakeSystem& system) : system_(system) {}

  // This process.
  std::string moduleFileName = "C:\\vantro\\vantro.exe";
  std::string commandLine = "\"C:\\vantro\\vantro.exe\"";
  int majorVersion = 6;
  std::vector<std::string> fixedDrives = {"C:", "D:"};
  // What the ANSI code page spells beyond ASCII and Latin-1: UTF-8 -> ANSI.
  std::map<std::string, std::string> ansiSpellings;
  // The version resource of every program file; none: no resource.
  bool hasVersion = true;
  std::uint32_t fileVersionMS = 0x00010000, fileVersionLS = 0x00020000;  // 1.0.2.0
  bool shellExecuteExFails = false;
  std::uint32_t shellExecuteExError = 0;
  std::map<std::uint32_t, std::string> errorTexts;

  // What it did: one line a call that changes or shows something, in order.
  std::vector<std::string> calls;
  struct Box {
    WindowHandle owner;
    std::string text, caption;
    std::uint32_t flags;
  };
  std::vector<Box> boxes;
  std::function<void(const Box&)> onMessageBox;
  std::vector<ShellExecuteRecord> shellExecuteExRuns;
  std::vector<std::vector<std::string>>
      shellExecuteRuns;  // owner, verb, file, parameters, directory, show
  std::map<WindowHandle, std::string> controlTexts;
  struct Navigation {
    WindowHandle browser;
    std::string url;
  };
  std::vector<Navigation> navigations;
  // The folder the user picks in the next folder picker; empty: cancelled.
  std::string pickFolder;
  // Runs while the picker is open (its modal loop serves messages then).
  std::function<void()> whilePicking;
  struct Picker {
    WindowHandle owner;
    std::string startFolder, title;
    std::uint32_t flags;
  };
  std::vector<Picker> pickers;
  // Calls whose name starts with prefix.
  std::vector<std::string> CallsOf(const std::string& prefix) const;

  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  std::vector<std::string> FindFolders(const std::string& pattern) override;
  std::vector<std::string> FixedDrives() override;
  std::string ModuleFileName() override { return moduleFileName; }
  std::string CommandLine() override { return commandLine; }
  std::string ProfileRead(const std::string& file, const std::string& section,
                          const std::string& key, std::uint32_t bufferSize) override;
  bool ProfileWrite(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value) override;
  void ProfileFlush(const std::string& file) override;
  long RegistryOpen(RegKey root, const std::string& subKey, std::uint32_t access,
                    RegKey& key) override;
  long RegistryCreate(RegKey root, const std::string& subKey, std::uint32_t access,
                      RegKey& key) override;
  long RegistryQuery(RegKey key, const std::string& name, std::uint32_t& type,
                     std::string& data) override;
  long RegistrySet(RegKey key, const std::string& name, std::uint32_t type,
                   const std::string& data) override;
  long RegistryClose(RegKey key) override;
  std::vector<std::string> RegistrySubKeys(RegKey key) override;
  bool StartShellExecuteEx(const ShellExecuteRecord& record) override;
  void StartShellExecute(WindowHandle owner, const std::string& verb, const std::string& file,
                         const std::string& parameters, const std::string& directory,
                         int show) override;
  std::uint32_t LastError() override { return lastError_; }
  std::string SystemErrorText(std::uint32_t code) override;
  int OsMajorVersion() override { return majorVersion; }
  bool FixedFileVersion(const std::string&, std::uint32_t& versionMS,
                        std::uint32_t& versionLS) override {
    versionMS = fileVersionMS;
    versionLS = fileVersionLS;
    return hasVersion;
  }
  int ShowMessageBox(WindowHandle owner, const std::string& textUtf8,
                     const std::string& captionUtf8, std::uint32_t flags) override;
  void SetControlText(WindowHandle control, const std::string& textUtf8) override;
  void NavigateBrowser(WindowHandle browser, const std::string& urlUtf8) override;
  bool BrowseFolder(WindowHandle owner, std::string& folder, const std::string& titleUtf8,
                    std::uint32_t flags) override;
  // Bytes above 0x7F are taken as Latin-1, so a test can see that a text was converted.
  std::string AnsiToUtf8(const std::string& ansi) override;
  bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) override;
  MappingHandle OpenMapping(std::uint32_t access, const std::string& name) override;
  MappingHandle CreateMapping(std::uint32_t size, const std::string& name) override;
  void* MapView(MappingHandle mapping, std::uint32_t access) override;
  void UnmapView(void* view) override;
  void CloseMapping(MappingHandle mapping) override;
  std::uint32_t RegisterMessage(const std::string& name) override;
  bool PostWindowMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam) override;
  std::intptr_t SendWindowMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t lParam) override;
  WindowHandle LastActivePopup(WindowHandle window) override;
  WindowHandle OwnedWindow(WindowHandle owner, const std::string& className) override;
  std::intptr_t SendWindowData(WindowHandle window, std::uintptr_t tag,
                               const std::string& data) override;
  bool WindowVisible(WindowHandle window) override;
  bool WindowEnabled(WindowHandle window) override;
  void BringToForeground(WindowHandle window) override;

 private:
  void Log(std::string line) { calls.push_back(std::move(line)); }
  // The key path of subKey under root (a root key or an open one); empty
  // when root is neither.
  std::string RegistryPath(RegKey root, const std::string& subKey, std::uint32_t access);
  FakeSystem& system_;
  std::uint32_t lastError_ = 0;
  std::map<RegKey, std::string> openKeys_;
  RegKey nextKey_ = 0x100;
  std::map<MappingHandle, std::string> openMappings_;
  MappingHandle nextMapping_ = 0x200;
};

// The window framework in memory: the main window is "shown" once FormCreate
// has run; the test then delivers messages through Deliver.
class FakeGui : public Gui {
 public:
  FakeGui(FakeSystem& system, FakePlatform& platform);
  WindowHandle ApplicationWindow() override { return applicationWindow; }
  void SetApplicationTitle(const std::string& titleUtf8) override { title = titleUtf8; }
  void RunMainWindow(TForm1& form) override;

  WindowHandle applicationWindow = 0, mainWindow = 0, edit1 = 0, web = 0;
  std::string title;
  bool ran = false;
  // Runs while the main window's message loop would: the form is alive then.
  std::function<void(TForm1&)> whileRunning;

 private:
  FakeSystem& system_;
  FakePlatform& platform_;
};

// Sends one message through the main window's procedure, as the window layer does.
void Deliver(TForm1& form, std::uint32_t message, std::uintptr_t wParam = 0);
// Delivers what was posted to the form's window, oldest first, including what
// the deliveries post; gives how many.
int DeliverPosted(FakeSystem& system, TForm1& form);

}  // namespace vantro::fake
