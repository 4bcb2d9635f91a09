// The launcher's Platform over the real Windows API: thin and direct.
#pragma once

#include <windows.h>
// windows.h must come first.
#include <shellapi.h>

#include "launcher/Platform.h"

namespace vantro {

// Copies the launcher's record into the system's 60-byte one; empty texts
// become null pointers, so the record's texts must outlive info.
void FillShellExecuteInfo(const ShellExecuteRecord& record, SHELLEXECUTEINFOA& info);

class Win32Platform : public Platform {
 public:
  Win32Platform();

  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  std::vector<std::string> FindFolders(const std::string& pattern) override;
  std::vector<std::string> FixedDrives() override;
  std::string ModuleFileName() override;
  std::string CommandLine() override;

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
  std::uint32_t LastError() override;
  std::string SystemErrorText(std::uint32_t code) override;
  int OsMajorVersion() override { return majorVersion_; }
  bool FixedFileVersion(const std::string& path, std::uint32_t& versionMS,
                        std::uint32_t& versionLS) override;

  int ShowMessageBox(WindowHandle owner, const std::string& textUtf8,
                     const std::string& captionUtf8, std::uint32_t flags) override;
  void SetControlText(WindowHandle control, const std::string& textUtf8) override;
  void NavigateBrowser(WindowHandle browser, const std::string& urlUtf8) override;
  bool BrowseFolder(WindowHandle owner, std::string& folder, const std::string& titleUtf8,
                    std::uint32_t flags) override;
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
  int majorVersion_ = 0;
};

}  // namespace vantro
