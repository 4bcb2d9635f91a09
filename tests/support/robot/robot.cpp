// The window robot of the end-to-end tests: finds the launcher's windows,
// reads captions and texts (printed as UTF-8), presses buttons, closes
// windows and starts many programs at one moment.
//   robot list                         every top-level window, one line each
//   robot dump HWND                    a window and its controls
//   robot wait CLASS [MS]              first visible top-level window of CLASS
//   robot count CLASS                  visible top-level windows of CLASS
//   robot box [MS] [--keep]            waits for a message box, prints its caption
//                                      and text, presses OK (unless --keep)
//   robot press HWND ID                clicks the button with control id ID
//   robot close HWND                   asks the window to close
//   robot key HWND VK                  presses and releases virtual key VK there
//   robot resources EXE                its version information, manifest and the
//                                      images of icon group MAINICON
//   robot spawn N MS EXE [ARGS...]     starts N copies suspended, resumes all at
//                                      once, prints each one's exit code,
//                                      "running" when it shows a window, or
//                                      "unsettled" when neither came in MS
// Exit code 0 on success, 2 when what was waited for did not come.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length,
                      nullptr, nullptr);
  return bytes;
}

// Text of a window of any process: WM_GETTEXT is marshalled by the system.
std::string Text(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
    return "<no answer>";
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, 5000, &copied);
  text.resize(copied);
  // One line per window in the output: line breaks are shown as \r and \n.
  std::string bytes = Utf8(text), shown;
  for (char c : bytes) {
    if (c == '\r')
      shown += "\\r";
    else if (c == '\n')
      shown += "\\n";
    else
      shown += c;
  }
  return shown;
}

std::string ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return Utf8(name);
}

void Print(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string Hex(HWND window) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%lx",
                static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
  return text;
}

HWND ParseHwnd(const char* text) {
  return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoul(text, nullptr, 0)));
}

// A window line: handle, class, id, place (screen for top-level windows,
// parent's client coordinates for controls), client size, state, text.
std::string Describe(HWND window) {
  RECT rect{}, client{};
  GetWindowRect(window, &rect);
  GetClientRect(window, &client);
  const HWND parent = GetParent(window);
  const bool child = (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0;
  if (child && parent != nullptr)
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char head[320];
  std::snprintf(head, sizeof head,
                " id=%ld pid=%lu rect=%ld,%ld,%ld,%ld client=%ldx%ld visible=%d enabled=%d "
                "style=%#lx exstyle=%#lx",
                static_cast<long>(GetDlgCtrlID(window)), static_cast<unsigned long>(pid), rect.left,
                rect.top, rect.right - rect.left, rect.bottom - rect.top, client.right,
                client.bottom, IsWindowVisible(window) ? 1 : 0, IsWindowEnabled(window) ? 1 : 0,
                static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)));
  return "hwnd=" + Hex(window) + " class=" + ClassOf(window) + head + " text=" + Text(window);
}

BOOL CALLBACK Collect(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevel() {
  std::vector<HWND> windows;
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::vector<HWND> Visible(const std::string& className) {
  std::vector<HWND> found;
  for (HWND window : TopLevel()) {
    if (IsWindowVisible(window) && ClassOf(window) == className) found.push_back(window);
  }
  return found;
}

// The processes that show a top-level window now.
std::set<DWORD> ProcessesWithVisibleWindows() {
  std::set<DWORD> found;
  for (HWND window : TopLevel()) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (IsWindowVisible(window)) found.insert(owner);
  }
  return found;
}

HWND WaitFor(const std::string& className, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    const auto found = Visible(className);
    if (!found.empty()) return found.front();
    if (GetTickCount() - start > milliseconds) return nullptr;
    Sleep(100);
  }
}

int Box(DWORD milliseconds, bool keep) {
  const HWND box = WaitFor("#32770", milliseconds);
  if (box == nullptr) {
    Print("no message box");
    return 2;
  }
  Sleep(200);  // let the box finish laying itself out
  Print("caption: " + Text(box));
  // A message box's text is the static control with id 0xFFFF.
  Print("text: " + Text(GetDlgItem(box, 0xFFFF)));
  if (!keep) {
    const HWND ok = GetDlgItem(box, IDOK);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    for (int i = 0; i < 50 && IsWindow(box); ++i)
      Sleep(100);
    if (IsWindow(box)) {
      Print("box did not close");
      return 2;
    }
  }
  return 0;
}

std::wstring Quoted(const char* arg) {
  const std::wstring wide = [&] {
    const int length = MultiByteToWideChar(CP_UTF8, 0, arg, -1, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, arg, -1, text.data(), length);
    text.resize(static_cast<std::size_t>(length > 0 ? length - 1 : 0));
    return text;
  }();
  return L"\"" + wide + L"\"";
}

int Spawn(int count, DWORD milliseconds, int argc, char** argv) {
  std::wstring commandLine;
  for (int i = 0; i < argc; ++i)
    commandLine += (i ? L" " : L"") + Quoted(argv[i]);
  std::vector<PROCESS_INFORMATION> processes;
  for (int i = 0; i < count; ++i) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // "{i}" in the arguments becomes this program's number, so each can differ.
    std::wstring line = commandLine;
    for (std::size_t at; (at = line.find(L"{i}")) != std::wstring::npos;)
      line.replace(at, 3, std::to_wstring(i));
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &process)) {
      Print("could not start: error " + std::to_string(GetLastError()));
      return 2;
    }
    processes.push_back(process);
  }
  for (auto& process : processes)
    ResumeThread(process.hThread);
  // Each one settles by ending, or by showing a window (it then waits for its
  // user); whatever is busy at the deadline is unsettled. Being idle is no
  // sign: a program that hands over its work pumps messages while it waits.
  std::vector<std::string> results(processes.size());
  const DWORD start = GetTickCount();
  for (bool busy = true; busy && GetTickCount() - start < milliseconds;) {
    busy = false;
    const std::set<DWORD> showing = ProcessesWithVisibleWindows();
    for (std::size_t i = 0; i < processes.size(); ++i) {
      if (!results[i].empty()) continue;
      DWORD code = 0;
      if (GetExitCodeProcess(processes[i].hProcess, &code) && code != STILL_ACTIVE)
        results[i] = "exit=" + std::to_string(code);
      else if (showing.count(processes[i].dwProcessId) != 0)
        results[i] = "running pid=" + std::to_string(processes[i].dwProcessId);
      else
        busy = true;
    }
    if (busy) Sleep(50);
  }
  for (std::size_t i = 0; i < processes.size(); ++i)
    Print(results[i].empty() ? "unsettled pid=" + std::to_string(processes[i].dwProcessId)
                             : results[i]);
  return 0;
}

std::string Fixed(DWORD ms, DWORD ls) {
  return std::to_string(HIWORD(ms)) + "." + std::to_string(LOWORD(ms)) + "." +
         std::to_string(HIWORD(ls)) + "." + std::to_string(LOWORD(ls));
}

int Resources(const char* file) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(file, &ignored);
  std::vector<char> info(size);
  if (size == 0 || !GetFileVersionInfoA(file, 0, size, info.data())) {
    Print("no version information");
    return 2;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length)) {
    Print("file version: " + Fixed(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
    Print("product version: " + Fixed(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
  }
  for (const char* name : {"CompanyName", "ProductName", "FileVersion", "ProductVersion",
                           "FileDescription", "InternalName", "OriginalFilename"}) {
    char* value = nullptr;
    const std::string path = std::string("\\StringFileInfo\\080404B0\\") + name;
    if (VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) {
      Print(std::string(name) + ": " + value);
    }
  }
  const HMODULE module = LoadLibraryExA(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (HRSRC manifest = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
    const char* text = static_cast<const char*>(LockResource(LoadResource(module, manifest)));
    std::string flat(text, SizeofResource(module, manifest));
    for (char& c : flat)
      if (c == '\r' || c == '\n') c = ' ';
    Print("manifest: " + flat);
  }
  if (HRSRC group = FindResourceA(module, "MAINICON", MAKEINTRESOURCEA(14))) {
    // GRPICONDIR: three words, then a 14-byte entry per image.
    const auto* bytes =
        static_cast<const unsigned char*>(LockResource(LoadResource(module, group)));
    const int count = bytes[4] | (bytes[5] << 8);
    std::string images = "icon MAINICON:";
    for (int i = 0; i < count; ++i) {
      const unsigned char* entry = bytes + 6 + 14 * i;
      const int width = entry[0] == 0 ? 256 : entry[0];
      images +=
          " " + std::to_string(width) + "x" + std::to_string(entry[6] | (entry[7] << 8)) + "bit";
    }
    Print(images);
  }
  FreeLibrary(module);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "list") {
    for (HWND window : TopLevel())
      Print(Describe(window));
    return 0;
  }
  if (command == "dump" && argc > 2) {
    const HWND window = ParseHwnd(argv[2]);
    if (!IsWindow(window)) return 2;
    Print(Describe(window));
    std::vector<HWND> children;
    EnumChildWindows(window, Collect, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children)
      Print("  " + Describe(child));
    return 0;
  }
  if (command == "wait" && argc > 2) {
    const HWND window = WaitFor(argv[2], argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 20000);
    if (window == nullptr) return 2;
    Print(Hex(window));
    return 0;
  }
  if (command == "count" && argc > 2) {
    Print(std::to_string(Visible(argv[2]).size()));
    return 0;
  }
  if (command == "box") {
    const DWORD milliseconds =
        argc > 2 && argv[2][0] != '-' ? std::strtoul(argv[2], nullptr, 10) : 20000;
    const bool keep = std::string(argv[argc - 1]) == "--keep";
    return Box(milliseconds, keep);
  }
  if (command == "press" && argc > 3) {
    const HWND window = ParseHwnd(argv[2]);
    const int id = std::atoi(argv[3]);
    const HWND button = GetDlgItem(window, id);
    if (button == nullptr) return 2;
    PostMessageW(button, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == "key" && argc > 3) {
    const HWND window = ParseHwnd(argv[2]);
    const auto key = static_cast<WPARAM>(std::strtoul(argv[3], nullptr, 0));
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
    return 0;
  }
  if (command == "close" && argc > 2) {
    return PostMessageW(ParseHwnd(argv[2]), WM_CLOSE, 0, 0) ? 0 : 2;
  }
  if (command == "resources" && argc > 2) return Resources(argv[2]);
  if (command == "spawn" && argc > 4) {
    return Spawn(std::atoi(argv[2]), std::strtoul(argv[3], nullptr, 10), argc - 4, argv + 4);
  }
  std::fputs("usage: robot list|dump|wait|count|box|press|close|spawn ...\n", stderr);
  return 1;
}
