// The launcher's seam to Windows: every system call its logic makes goes
// through Platform, and the application/main window framework through Gui.
// launcher/win32 implements both with the real API; the tests' fake keeps
// files, registry, shared memory and windows in memory.
//
// Texts: paths, profile values, registry data and the command line are 8-bit
// ANSI bytes, passed through unchanged. Texts shown to a person (message
// boxes, control texts) are UTF-8 and reach the screen through the W API.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantro {

using WindowHandle = std::uintptr_t;
using RegKey = std::uintptr_t;
using MappingHandle = std::uintptr_t;

// Registry roots, types, access and results as Windows numbers them.
inline constexpr RegKey kHkeyClassesRoot = 0x80000000u;
inline constexpr RegKey kHkeyCurrentUser = 0x80000001u;
inline constexpr RegKey kHkeyLocalMachine = 0x80000002u;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
inline constexpr std::uint32_t kKeyRead = 0x20019;
// Added to the access: which registry view a 32-bit or 64-bit program opens
// on 64-bit Windows (ignored on 32-bit Windows, which has one view).
inline constexpr std::uint32_t kKeyWow6464Key = 0x0100;
inline constexpr std::uint32_t kKeyWow6432Key = 0x0200;
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;

// Shared memory access.
inline constexpr std::uint32_t kFileMapAllAccess = 0xF001F;
inline constexpr std::uint32_t kFileMapReadWrite =
    0x0004 | 0x0002;  // FILE_MAP_READ | FILE_MAP_WRITE

// Message boxes.
inline constexpr std::uint32_t kMbOk = 0x0000;
inline constexpr std::uint32_t kMbIconError = 0x0010;
inline constexpr std::uint32_t kMbTaskModal = 0x2000;
inline constexpr int kIdOk = 1;

// Folder picker flags (BIF_*): only file-system folders can be confirmed, a
// status line under the title, and a typed name is validated.
inline constexpr std::uint32_t kBifReturnOnlyFsDirs = 0x0001;
inline constexpr std::uint32_t kBifStatusText = 0x0004;
inline constexpr std::uint32_t kBifValidate = 0x0020;

// Window messages.
inline constexpr std::uint32_t kWmSysCommand = 0x0112;
inline constexpr std::uintptr_t kScRestore = 0xF120;

// Show commands.
inline constexpr int kSwHide = 0;

// The fields of SHELLEXECUTEINFOA the launcher fills; the Win32 side copies
// them into the real 60-byte record (empty texts become null pointers).
struct ShellExecuteRecord {
  std::uint32_t cbSize = 0;
  std::uint32_t fMask = 0;
  WindowHandle hwnd = 0;
  std::string lpVerb;
  std::string lpFile;
  std::string lpParameters;
  std::string lpDirectory;
  int nShow = 0;
};
inline constexpr std::uint32_t kShellExecuteInfoSize = 60;
inline constexpr std::uint32_t kSeeMaskFlagDdeWait = 0x100;
inline constexpr std::uint32_t kSeeMaskFlagNoUi = 0x400;

class Platform {
 public:
  virtual ~Platform() = default;

  // Files: an entry of that name exists and is (not) a folder.
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  // The names of the folders matching a wildcard pattern ("*" and "?" in its
  // last component), in the order the system lists them.
  virtual std::vector<std::string> FindFolders(const std::string& pattern) = 0;
  // The fixed drives, as "C:" (no backslash), in drive-letter order.
  virtual std::vector<std::string> FixedDrives() = 0;
  // The running program file's full path, and the process's whole command line.
  virtual std::string ModuleFileName() = 0;
  virtual std::string CommandLine() = 0;

  // Private profile files. Reading copies at most bufferSize - 1 bytes.
  virtual std::string ProfileRead(const std::string& file, const std::string& section,
                                  const std::string& key, std::uint32_t bufferSize) = 0;
  virtual bool ProfileWrite(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& value) = 0;
  // Flushes the system's cached copy of the file (all arguments null).
  virtual void ProfileFlush(const std::string& file) = 0;

  // Registry; results are Windows error codes. Create opens or creates a
  // non-volatile key. Query gives the stored bytes as they are.
  virtual long RegistryOpen(RegKey root, const std::string& subKey, std::uint32_t access,
                            RegKey& key) = 0;
  virtual long RegistryCreate(RegKey root, const std::string& subKey, std::uint32_t access,
                              RegKey& key) = 0;
  virtual long RegistryQuery(RegKey key, const std::string& name, std::uint32_t& type,
                             std::string& data) = 0;
  virtual long RegistrySet(RegKey key, const std::string& name, std::uint32_t type,
                           const std::string& data) = 0;
  virtual long RegistryClose(RegKey key) = 0;
  // The names of an open key's subkeys, in the order the system lists them.
  virtual std::vector<std::string> RegistrySubKeys(RegKey key) = 0;

  // Shell starts. StartShellExecuteEx reports success; on failure LastError
  // holds the reason.
  virtual bool StartShellExecuteEx(const ShellExecuteRecord& record) = 0;
  virtual void StartShellExecute(WindowHandle owner, const std::string& verb,
                                 const std::string& file, const std::string& parameters,
                                 const std::string& directory, int show) = 0;
  virtual std::uint32_t LastError() = 0;
  // The system's text for an error code, as the system gives it (ANSI).
  virtual std::string SystemErrorText(std::uint32_t code) = 0;
  // The system's major version number, read once at program start.
  virtual int OsMajorVersion() = 0;
  // The fixed file version of a program file (dwFileVersionMS and LS of its
  // version resource); false when it has none or the block cannot be read.
  virtual bool FixedFileVersion(const std::string& path, std::uint32_t& versionMS,
                                std::uint32_t& versionLS) = 0;

  // Texts shown to a person.
  virtual int ShowMessageBox(WindowHandle owner, const std::string& textUtf8,
                             const std::string& captionUtf8, std::uint32_t flags) = 0;
  virtual void SetControlText(WindowHandle control, const std::string& textUtf8) = 0;
  // Points the embedded web browser at the address; a browser that could not
  // be created ignores it (its area stays blank).
  virtual void NavigateBrowser(WindowHandle browser, const std::string& urlUtf8) = 0;
  // The shell's folder picker, modal, opening at folder (ANSI) selected and
  // showing the selection's full path as its status text. True when the user
  // confirmed a folder, which is then in folder; false when cancelled or when
  // the shell's allocator is unavailable (folder unchanged). A character the
  // ANSI code page cannot spell comes back as "?", which no path can hold.
  virtual bool BrowseFolder(WindowHandle owner, std::string& folder, const std::string& titleUtf8,
                            std::uint32_t flags) = 0;
  virtual std::string AnsiToUtf8(const std::string& ansi) = 0;
  // The text in the ANSI code page; false when the code page cannot spell it.
  virtual bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) = 0;

  // Named shared memory (the instance slot). Handles and views are 0/null on failure.
  virtual MappingHandle OpenMapping(std::uint32_t access, const std::string& name) = 0;
  virtual MappingHandle CreateMapping(std::uint32_t size, const std::string& name) = 0;
  virtual void* MapView(MappingHandle mapping, std::uint32_t access) = 0;
  virtual void UnmapView(void* view) = 0;
  virtual void CloseMapping(MappingHandle mapping) = 0;

  // Window messages between the launcher's processes.
  virtual std::uint32_t RegisterMessage(const std::string& name) = 0;
  virtual bool PostWindowMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam) = 0;
  virtual std::intptr_t SendWindowMessage(WindowHandle window, std::uint32_t message,
                                          std::uintptr_t wParam, std::intptr_t lParam) = 0;
  virtual WindowHandle LastActivePopup(WindowHandle window) = 0;
  // The top-level window of that class owned by owner; 0 when there is none.
  virtual WindowHandle OwnedWindow(WindowHandle owner, const std::string& className) = 0;
  // Sends bytes to a window, of this or another process (WM_COPYDATA with
  // tag as its dwData), and gives the window's answer (0 from a window that
  // does not take them).
  virtual std::intptr_t SendWindowData(WindowHandle window, std::uintptr_t tag,
                                       const std::string& data) = 0;
  virtual bool WindowVisible(WindowHandle window) = 0;
  virtual bool WindowEnabled(WindowHandle window) = 0;
  virtual void BringToForeground(WindowHandle window) = 0;
};

class TForm1;

// The window framework under the launcher: a hidden application window that
// owns every top-level window, and the main window with its message loop.
class Gui {
 public:
  virtual ~Gui() = default;
  // Made on first use; raises the system's error when it cannot be had.
  virtual WindowHandle ApplicationWindow() = 0;
  virtual void SetApplicationTitle(const std::string& titleUtf8) = 0;
  // Creates the main window hidden, runs form.FormCreate through the central
  // error handler, then the message loop (showing the window) until it closes.
  virtual void RunMainWindow(TForm1& form) = 0;
};

}  // namespace vantro
