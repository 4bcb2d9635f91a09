#include "launcher/win32/Win32Platform.h"

#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "launcher/win32/WebBrowserHost.h"
#include "launcher/win32/WideText.h"

namespace vantro {
namespace {

#if !defined(_WIN64)
static_assert(sizeof(SHELLEXECUTEINFOA) == kShellExecuteInfoSize);
#endif

// The launcher fills the record as the 32-bit program it ships as; a 64-bit
// build (the tests' build where 32-bit code cannot run) means the same whole
// record by it, which is larger there.
DWORD SystemRecordSize(std::uint32_t size) {
  return size == kShellExecuteInfoSize ? sizeof(SHELLEXECUTEINFOA) : size;
}

HWND Hwnd(WindowHandle window) {
  return reinterpret_cast<HWND>(window);
}
HKEY Hkey(RegKey key) {
  return reinterpret_cast<HKEY>(key);
}
HANDLE Handle(MappingHandle mapping) {
  return reinterpret_cast<HANDLE>(mapping);
}
const char* OrNull(const std::string& text) {
  return text.empty() ? nullptr : text.c_str();
}

DWORD Attributes(const std::string& path) {
  return GetFileAttributesA(path.c_str());
}

}  // namespace

void FillShellExecuteInfo(const ShellExecuteRecord& record, SHELLEXECUTEINFOA& info) {
  info = SHELLEXECUTEINFOA{};
  info.cbSize = SystemRecordSize(record.cbSize);
  info.fMask = record.fMask;
  info.hwnd = Hwnd(record.hwnd);
  info.lpVerb = OrNull(record.lpVerb);
  info.lpFile = OrNull(record.lpFile);
  info.lpParameters = OrNull(record.lpParameters);
  info.lpDirectory = OrNull(record.lpDirectory);
  info.nShow = record.nShow;
}

Win32Platform::Win32Platform() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (GetVersionExA(&version)) majorVersion_ = static_cast<int>(version.dwMajorVersion);
}

bool Win32Platform::FileExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Platform::DirectoryExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::vector<std::string> Win32Platform::FindFolders(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = entry.cFileName;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && name != "." && name != "..") {
      names.push_back(name);
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return names;
}

std::vector<std::string> Win32Platform::FixedDrives() {
  std::vector<std::string> drives;
  const DWORD present = GetLogicalDrives();
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string root = {letter, ':', '\\'};
    if ((present & (1u << (letter - 'A'))) != 0 && GetDriveTypeA(root.c_str()) == DRIVE_FIXED) {
      drives.push_back(root.substr(0, 2));
    }
  }
  return drives;
}

std::string Win32Platform::ModuleFileName() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::string Win32Platform::CommandLine() {
  return GetCommandLineA();
}

std::string Win32Platform::ProfileRead(const std::string& file, const std::string& section,
                                       const std::string& key, std::uint32_t bufferSize) {
  std::vector<char> buffer(bufferSize);
  const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                                bufferSize, file.c_str());
  return std::string(buffer.data(), length);
}

bool Win32Platform::ProfileWrite(const std::string& file, const std::string& section,
                                 const std::string& key, const std::string& value) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != 0;
}

void Win32Platform::ProfileFlush(const std::string& file) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
}

long Win32Platform::RegistryOpen(RegKey root, const std::string& subKey, std::uint32_t access,
                                 RegKey& key) {
  HKEY opened = nullptr;
  const LONG result = RegOpenKeyExA(Hkey(root), subKey.c_str(), 0, access, &opened);
  key = reinterpret_cast<RegKey>(opened);
  return result;
}

long Win32Platform::RegistryCreate(RegKey root, const std::string& subKey, std::uint32_t access,
                                   RegKey& key) {
  HKEY opened = nullptr;
  DWORD disposition = 0;
  const LONG result =
      RegCreateKeyExA(Hkey(root), subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                      nullptr, &opened, &disposition);
  key = reinterpret_cast<RegKey>(opened);
  return result;
}

long Win32Platform::RegistryQuery(RegKey key, const std::string& name, std::uint32_t& type,
                                  std::string& data) {
  DWORD valueType = 0;
  DWORD size = 0;
  LONG result = RegQueryValueExA(Hkey(key), name.c_str(), nullptr, &valueType, nullptr, &size);
  if (result != ERROR_SUCCESS) return result;
  data.assign(size, '\0');
  result = RegQueryValueExA(Hkey(key), name.c_str(), nullptr, &valueType,
                            reinterpret_cast<BYTE*>(data.data()), &size);
  data.resize(size);
  type = valueType;
  return result;
}

long Win32Platform::RegistrySet(RegKey key, const std::string& name, std::uint32_t type,
                                const std::string& data) {
  return RegSetValueExA(Hkey(key), name.c_str(), 0, type,
                        reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size()));
}

long Win32Platform::RegistryClose(RegKey key) {
  return RegCloseKey(Hkey(key));
}

std::vector<std::string> Win32Platform::RegistrySubKeys(RegKey key) {
  constexpr DWORD kMaxKeyName = 256;  // 255 characters and the zero
  std::vector<std::string> names;
  char name[kMaxKeyName];
  for (DWORD index = 0;; ++index) {
    DWORD length = kMaxKeyName;
    const LONG result =
        RegEnumKeyExA(Hkey(key), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) continue;  // not a name a key can have: passed over
    if (result != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

bool Win32Platform::StartShellExecuteEx(const ShellExecuteRecord& record) {
  SHELLEXECUTEINFOA info;
  FillShellExecuteInfo(record, info);
  return ShellExecuteExA(&info) != FALSE;
}

void Win32Platform::StartShellExecute(WindowHandle owner, const std::string& verb,
                                      const std::string& file, const std::string& parameters,
                                      const std::string& directory, int show) {
  ShellExecuteA(Hwnd(owner), OrNull(verb), OrNull(file), OrNull(parameters), OrNull(directory),
                show);
}

bool Win32Platform::FixedFileVersion(const std::string& path, std::uint32_t& versionMS,
                                     std::uint32_t& versionLS) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<char> info(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data())) return false;
  void* block = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), "\\", &block, &length) || block == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
  versionMS = fixed->dwFileVersionMS;
  versionLS = fixed->dwFileVersionLS;
  return true;
}

std::uint32_t Win32Platform::LastError() {
  return GetLastError();
}

std::string Win32Platform::SystemErrorText(std::uint32_t code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = length != 0 && text != nullptr ? std::string(text, length) : std::string();
  LocalFree(text);
  return result;
}

int Win32Platform::ShowMessageBox(WindowHandle owner, const std::string& textUtf8,
                                  const std::string& captionUtf8, std::uint32_t flags) {
  return MessageBoxW(Hwnd(owner), Utf8ToWide(textUtf8).c_str(), Utf8ToWide(captionUtf8).c_str(),
                     flags);
}

void Win32Platform::SetControlText(WindowHandle control, const std::string& textUtf8) {
  SetWindowTextW(Hwnd(control), Utf8ToWide(textUtf8).c_str());
}

void Win32Platform::NavigateBrowser(WindowHandle browser, const std::string& urlUtf8) {
  NavigateWebBrowser(Hwnd(browser), Utf8ToWide(urlUtf8));
}

namespace {

// Opens the picker at the start folder and keeps the selection's full path in
// its status line.
int CALLBACK BrowseFolderCallback(HWND dialog, UINT message, LPARAM param, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  } else if (message == BFFM_SELCHANGED) {
    wchar_t path[MAX_PATH] = {};
    SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(param), path);
    SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
  }
  return 0;
}

}  // namespace

bool Win32Platform::BrowseFolder(WindowHandle owner, std::string& folder,
                                 const std::string& titleUtf8, std::uint32_t flags) {
  IMalloc* allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) return false;
  auto* name = static_cast<wchar_t*>(allocator->Alloc(MAX_PATH * sizeof(wchar_t)));
  if (name == nullptr) {
    allocator->Release();
    return false;
  }
  const std::wstring start = ToWide(folder, CP_ACP);
  const std::wstring title = Utf8ToWide(titleUtf8);
  BROWSEINFOW info{};
  info.hwndOwner = Hwnd(owner);
  info.pszDisplayName = name;
  info.lpszTitle = title.c_str();
  info.ulFlags = flags;
  info.lpfn = BrowseFolderCallback;
  info.lParam = reinterpret_cast<LPARAM>(start.c_str());
  bool picked = false;
  if (PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info)) {
    // The buffer holds the item's display name until it becomes its path; an
    // item without a file-system path leaves Folder as it was.
    picked = SHGetPathFromIDListW(item, name) != FALSE;
    allocator->Free(item);
    if (picked) folder = WideToAnsi(name);
  }
  allocator->Free(name);
  allocator->Release();
  return picked;
}

std::string Win32Platform::AnsiToUtf8(const std::string& ansi) {
  return FromWide(ToWide(ansi, CP_ACP), CP_UTF8);
}

bool Win32Platform::Utf8ToAnsi(const std::string& utf8, std::string& ansi) {
  bool exact = false;
  ansi = WideToAnsi(ToWide(utf8, CP_UTF8), &exact);
  return exact;
}

MappingHandle Win32Platform::OpenMapping(std::uint32_t access, const std::string& name) {
  return reinterpret_cast<MappingHandle>(OpenFileMappingA(access, FALSE, name.c_str()));
}

MappingHandle Win32Platform::CreateMapping(std::uint32_t size, const std::string& name) {
  return reinterpret_cast<MappingHandle>(
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name.c_str()));
}

void* Win32Platform::MapView(MappingHandle mapping, std::uint32_t access) {
  return MapViewOfFile(Handle(mapping), access, 0, 0, 0);
}

void Win32Platform::UnmapView(void* view) {
  UnmapViewOfFile(view);
}

void Win32Platform::CloseMapping(MappingHandle mapping) {
  CloseHandle(Handle(mapping));
}

std::uint32_t Win32Platform::RegisterMessage(const std::string& name) {
  return RegisterWindowMessageA(name.c_str());
}

bool Win32Platform::PostWindowMessage(WindowHandle window, std::uint32_t message,
                                      std::uintptr_t wParam, std::intptr_t lParam) {
  return PostMessageA(Hwnd(window), message, wParam, lParam) != FALSE;
}

std::intptr_t Win32Platform::SendWindowMessage(WindowHandle window, std::uint32_t message,
                                               std::uintptr_t wParam, std::intptr_t lParam) {
  return SendMessageA(Hwnd(window), message, wParam, lParam);
}

WindowHandle Win32Platform::LastActivePopup(WindowHandle window) {
  // Windows gives 0 for a window that no longer exists; Wine gives some window.
  if (!IsWindow(Hwnd(window))) return 0;
  return reinterpret_cast<WindowHandle>(GetLastActivePopup(Hwnd(window)));
}

WindowHandle Win32Platform::OwnedWindow(WindowHandle owner, const std::string& className) {
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, className.c_str(), nullptr)) != nullptr) {
    if (GetWindow(window, GW_OWNER) == Hwnd(owner)) return reinterpret_cast<WindowHandle>(window);
  }
  return 0;
}

std::intptr_t Win32Platform::SendWindowData(WindowHandle window, std::uintptr_t tag,
                                            const std::string& data) {
  COPYDATASTRUCT copy{};
  copy.dwData = tag;
  copy.cbData = static_cast<DWORD>(data.size());
  copy.lpData = const_cast<char*>(data.data());
  return SendMessageA(Hwnd(window), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
}

bool Win32Platform::WindowVisible(WindowHandle window) {
  return IsWindowVisible(Hwnd(window));
}

bool Win32Platform::WindowEnabled(WindowHandle window) {
  return IsWindowEnabled(Hwnd(window));
}

void Win32Platform::BringToForeground(WindowHandle window) {
  SetForegroundWindow(Hwnd(window));
}

}  // namespace vantro
