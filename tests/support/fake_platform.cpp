#include "tests/support/fake_platform.h"

#include <cstring>
#include <string_view>

#include "launcher/LauncherTexts.h"
#include "launcher/Unit1.h"
#include "rtl/AnsiText.h"

namespace vantro::fake {
namespace {

using Lock = std::lock_guard<std::recursive_mutex>;
constexpr const char kAbsent[] = "<absent>";

template <class List>
auto FindNamed(List& list, const std::string& name) {
  auto it = list.begin();
  while (it != list.end() && !SameText(it->first, name))
    ++it;
  return it;
}

std::string Hex(std::uintptr_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%#lx", static_cast<unsigned long>(value));
  return text;
}

}  // namespace

std::string FakeSystem::ProfileValue(const std::string& file, const std::string& section,
                                     const std::string& key) {
  Lock lock(mutex);
  auto& sections = profiles[file];
  auto s = FindNamed(sections, section);
  if (s == sections.end()) return kAbsent;
  auto k = FindNamed(s->second, key);
  return k == s->second.end() ? kAbsent : k->second;
}

void FakeSystem::SetRegistryText(const std::string& key, const std::string& name,
                                 const std::string& text) {
  Lock lock(mutex);
  registry[LowerCase(key)][LowerCase(name)] = {kRegSz, text + '\0'};
}

std::string FakeSystem::RegistryText(const std::string& key, const std::string& name) {
  Lock lock(mutex);
  auto k = registry.find(LowerCase(key));
  if (k == registry.end()) return kAbsent;
  auto v = k->second.find(LowerCase(name));
  if (v == k->second.end()) return kAbsent;
  return v->second.data.substr(0, std::strlen(v->second.data.c_str()));
}

void FakeSystem::SetRegistryKey(const std::string& key) {
  Lock lock(mutex);
  const std::string path = LowerCase(key);
  for (std::size_t at = 0; (at = path.find('\\', at)) != std::string::npos; ++at) {
    registry[path.substr(0, at)];
  }
  registry[path];
}

void FakeSystem::SetRegistryValue(const std::string& key, const std::string& name,
                                  std::uint32_t type, const std::string& data) {
  Lock lock(mutex);
  SetRegistryKey(key);
  registry[LowerCase(key)][LowerCase(name)] = {type, data};
}

WindowHandle FakeSystem::NewWindow(bool visible) {
  Lock lock(mutex);
  const WindowHandle handle = nextWindow;
  nextWindow += 0x10;
  windows[handle].visible = visible;
  return handle;
}

std::vector<std::string> FakePlatform::CallsOf(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const auto& call : calls)
    if (call.rfind(prefix, 0) == 0) found.push_back(call);
  return found;
}

bool FakePlatform::FileExists(const std::string& path) {
  Lock lock(system_.mutex);
  return system_.files.count(path) != 0;
}

bool FakePlatform::DirectoryExists(const std::string& path) {
  Lock lock(system_.mutex);
  return system_.folders.count(path) != 0;
}

namespace {

// The system's wildcard test: "*" any run of characters, "?" any one.
bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) return name.empty();
  if (pattern[0] == '*') {
    for (std::size_t skip = 0; skip <= name.size(); ++skip) {
      if (WildcardMatch(pattern.substr(1), name.substr(skip))) return true;
    }
    return false;
  }
  return !name.empty() && (pattern[0] == '?' || pattern[0] == name[0]) &&
         WildcardMatch(pattern.substr(1), name.substr(1));
}

}  // namespace

std::vector<std::string> FakePlatform::FixedDrives() {
  Log("FixedDrives");
  return fixedDrives;
}

std::vector<std::string> FakePlatform::FindFolders(const std::string& pattern) {
  Lock lock(system_.mutex);
  const std::size_t slash = pattern.rfind('\\');
  const std::string parent = pattern.substr(0, slash + 1);
  const std::string wildcard = pattern.substr(slash + 1);
  std::vector<std::string> names;
  for (const std::string& folder : system_.folders) {
    if (folder.rfind(parent, 0) != 0) continue;
    const std::string name = folder.substr(parent.size());
    if (name.find('\\') == std::string::npos && WildcardMatch(wildcard, name)) {
      names.push_back(name);
    }
  }
  return names;
}

std::string FakePlatform::ProfileRead(const std::string& file, const std::string& section,
                                      const std::string& key, std::uint32_t bufferSize) {
  Log("ProfileRead " + key);
  std::string value = system_.ProfileValue(file, section, key);
  if (value == kAbsent) return {};
  // The system's reader drops one pair of enclosing quotes and copies what fits.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  if (value.size() > bufferSize - 1) value.resize(bufferSize - 1);
  return value;
}

bool FakePlatform::ProfileWrite(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& value) {
  Log("ProfileWrite " + key + "=" + value);
  Lock lock(system_.mutex);
  if (system_.readOnlyFiles.count(file) != 0) {
    lastError_ = kErrorAccessDenied;
    return false;
  }
  auto& sections = system_.profiles[file];
  auto s = FindNamed(sections, section);
  if (s == sections.end()) s = sections.insert(sections.end(), {section, {}});
  auto k = FindNamed(s->second, key);
  if (k == s->second.end()) {
    s->second.emplace_back(key, value);
  } else {
    k->second = value;
  }
  return true;
}

void FakePlatform::ProfileFlush(const std::string& file) {
  Log("ProfileFlush " + file);
}

std::string FakePlatform::RegistryPath(RegKey root, const std::string& subKey,
                                       std::uint32_t access) {
  std::string prefix;
  if (root == kHkeyCurrentUser) {
    prefix = "hkcu\\";
  } else if (root == kHkeyLocalMachine) {
    prefix = (access & kKeyWow6464Key) != 0 ? "hklm64\\" : "hklm32\\";
  } else if (root != kHkeyClassesRoot) {
    auto parent = openKeys_.find(root);
    if (parent == openKeys_.end()) return {};
    prefix = parent->second + "\\";
  }
  return prefix + LowerCase(subKey);
}

long FakePlatform::RegistryOpen(RegKey root, const std::string& subKey, std::uint32_t access,
                                RegKey& key) {
  Lock lock(system_.mutex);
  const std::string path = RegistryPath(root, subKey, access);
  if (path.empty() || system_.denyKeys.count(path) != 0 || system_.registry.count(path) == 0) {
    return kErrorFileNotFound;
  }
  key = nextKey_++;
  openKeys_[key] = path;
  return kErrorSuccess;
}

long FakePlatform::RegistryCreate(RegKey root, const std::string& subKey, std::uint32_t access,
                                  RegKey& key) {
  Log("RegistryCreate " + subKey);
  Lock lock(system_.mutex);
  const std::string path = LowerCase(subKey);
  if (root != kHkeyClassesRoot || system_.denyKeys.count(path) != 0) return kErrorAccessDenied;
  system_.SetRegistryKey(path);
  return RegistryOpen(root, subKey, access, key);
}

long FakePlatform::RegistryQuery(RegKey key, const std::string& name, std::uint32_t& type,
                                 std::string& data) {
  Lock lock(system_.mutex);
  auto& values = system_.registry[openKeys_.at(key)];
  auto v = values.find(LowerCase(name));
  if (v == values.end()) return kErrorFileNotFound;
  type = v->second.type;
  data = v->second.data;
  return kErrorSuccess;
}

long FakePlatform::RegistrySet(RegKey key, const std::string& name, std::uint32_t type,
                               const std::string& data) {
  Lock lock(system_.mutex);
  const std::string& path = openKeys_.at(key);
  Log("RegistrySet " + path + "[" + name + "]");
  if (system_.denyWrites.count(path) != 0) return kErrorAccessDenied;
  system_.registry[path][LowerCase(name)] = {type, data};
  return kErrorSuccess;
}

long FakePlatform::RegistryClose(RegKey key) {
  openKeys_.erase(key);
  return kErrorSuccess;
}

std::vector<std::string> FakePlatform::RegistrySubKeys(RegKey key) {
  Log("RegistrySubKeys " + openKeys_.at(key));
  Lock lock(system_.mutex);
  const std::string parent = openKeys_.at(key) + "\\";
  std::vector<std::string> names;
  for (const auto& entry : system_.registry) {
    const std::string& path = entry.first;
    if (path.rfind(parent, 0) == 0 && path.find('\\', parent.size()) == std::string::npos) {
      names.push_back(path.substr(parent.size()));
    }
  }
  return names;
}

bool FakePlatform::StartShellExecuteEx(const ShellExecuteRecord& record) {
  Log("ShellExecuteEx " + record.lpFile + " " + record.lpParameters);
  shellExecuteExRuns.push_back(record);
  if (shellExecuteExFails) lastError_ = shellExecuteExError;
  return !shellExecuteExFails;
}

void FakePlatform::StartShellExecute(WindowHandle owner, const std::string& verb,
                                     const std::string& file, const std::string& parameters,
                                     const std::string& directory, int show) {
  Log("ShellExecute " + file + " " + parameters);
  shellExecuteRuns.push_back({Hex(owner), verb, file, parameters, directory, std::to_string(show)});
}

std::string FakePlatform::SystemErrorText(std::uint32_t code) {
  auto it = errorTexts.find(code);
  return it != errorTexts.end() ? it->second : "Unknown error\r\n";
}

int FakePlatform::ShowMessageBox(WindowHandle owner, const std::string& textUtf8,
                                 const std::string& captionUtf8, std::uint32_t flags) {
  Log("MessageBox " + textUtf8);
  boxes.push_back({owner, textUtf8, captionUtf8, flags});
  if (onMessageBox) onMessageBox(boxes.back());
  return kIdOk;
}

void FakePlatform::SetControlText(WindowHandle control, const std::string& textUtf8) {
  Log("SetControlText " + textUtf8);
  controlTexts[control] = textUtf8;
}

void FakePlatform::NavigateBrowser(WindowHandle browser, const std::string& urlUtf8) {
  Log("Navigate " + urlUtf8);
  navigations.push_back({browser, urlUtf8});
}

bool FakePlatform::BrowseFolder(WindowHandle owner, std::string& folder,
                                const std::string& titleUtf8, std::uint32_t flags) {
  Log("BrowseFolder " + folder);
  pickers.push_back({owner, folder, titleUtf8, flags});
  if (whilePicking) whilePicking();
  if (pickFolder.empty()) return false;
  folder = pickFolder;
  return true;
}

std::string FakePlatform::AnsiToUtf8(const std::string& ansi) {
  std::string utf8;
  for (unsigned char c : ansi) {
    if (c < 0x80) {
      utf8.push_back(static_cast<char>(c));
    } else {
      utf8.push_back(static_cast<char>(0xC0 | (c >> 6)));
      utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return utf8;
}

bool FakePlatform::Utf8ToAnsi(const std::string& utf8, std::string& ansi) {
  if (auto spelled = ansiSpellings.find(utf8); spelled != ansiSpellings.end()) {
    ansi = spelled->second;
    return true;
  }
  // ASCII and Latin-1 (two-byte sequences up to U+00FF) as AnsiToUtf8 takes them.
  ansi.clear();
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      ansi.push_back(static_cast<char>(c));
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
      ansi.push_back(static_cast<char>(((c & 0x03) << 6) | (utf8[++i] & 0x3F)));
    } else {
      return false;
    }
  }
  return true;
}

MappingHandle FakePlatform::OpenMapping(std::uint32_t, const std::string& name) {
  Lock lock(system_.mutex);
  auto it = system_.mappings.find(name);
  if (system_.failOpenMapping || it == system_.mappings.end()) return 0;
  ++it->second->handles;
  openMappings_[nextMapping_] = name;
  return nextMapping_++;
}

MappingHandle FakePlatform::CreateMapping(std::uint32_t, const std::string& name) {
  Lock lock(system_.mutex);
  if (system_.failCreateMapping) return 0;
  auto& block = system_.mappings[name];
  // Creating an existing object opens it, as the system does.
  if (!block) block = std::make_unique<FakeSystem::Block>();
  ++block->handles;
  openMappings_[nextMapping_] = name;
  return nextMapping_++;
}

void* FakePlatform::MapView(MappingHandle mapping, std::uint32_t) {
  Lock lock(system_.mutex);
  if (system_.failMapView) return nullptr;
  return &system_.mappings.at(openMappings_.at(mapping))->value;
}

void FakePlatform::UnmapView(void*) {
  Log("UnmapView");
}

void FakePlatform::CloseMapping(MappingHandle mapping) {
  Log("CloseMapping");
  Lock lock(system_.mutex);
  const std::string name = openMappings_.at(mapping);
  openMappings_.erase(mapping);
  if (--system_.mappings.at(name)->handles == 0) system_.mappings.erase(name);
}

std::uint32_t FakePlatform::RegisterMessage(const std::string& name) {
  Log("RegisterMessage " + name);
  Lock lock(system_.mutex);
  auto& id = system_.registeredMessages[name];
  if (id == 0) id = 0xC000 + static_cast<std::uint32_t>(system_.registeredMessages.size());
  return id;
}

bool FakePlatform::PostWindowMessage(WindowHandle window, std::uint32_t message,
                                     std::uintptr_t wParam, std::intptr_t lParam) {
  Log("PostMessage " + Hex(window));
  Lock lock(system_.mutex);
  auto it = system_.windows.find(window);
  if (it == system_.windows.end() || !it->second.alive) return false;
  it->second.posted.push_back({message, wParam, lParam});
  return true;
}

std::intptr_t FakePlatform::SendWindowMessage(WindowHandle window, std::uint32_t message,
                                              std::uintptr_t wParam, std::intptr_t lParam) {
  Log("SendMessage " + Hex(window));
  Lock lock(system_.mutex);
  auto it = system_.windows.find(window);
  if (it != system_.windows.end() && it->second.alive)
    it->second.sent.push_back({message, wParam, lParam});
  return 0;
}

WindowHandle FakePlatform::LastActivePopup(WindowHandle window) {
  Lock lock(system_.mutex);
  auto it = system_.windows.find(window);
  if (it == system_.windows.end() || !it->second.alive) return 0;
  return it->second.lastActivePopup != 0 ? it->second.lastActivePopup : window;
}

WindowHandle FakePlatform::OwnedWindow(WindowHandle owner, const std::string& className) {
  Lock lock(system_.mutex);
  for (const auto& [handle, window] : system_.windows) {
    if (window.alive && window.owner == owner && window.className == className) return handle;
  }
  return 0;
}

std::intptr_t FakePlatform::SendWindowData(WindowHandle window, std::uintptr_t tag,
                                           const std::string& data) {
  Log("SendWindowData " + Hex(window) + " " + data);
  std::function<std::intptr_t(std::uintptr_t, const std::string&)> answer;
  {
    Lock lock(system_.mutex);
    auto it = system_.windows.find(window);
    if (it == system_.windows.end() || !it->second.alive) return 0;
    answer = it->second.onData;
  }
  return answer ? answer(tag, data) : 0;
}

bool FakePlatform::WindowVisible(WindowHandle window) {
  Lock lock(system_.mutex);
  return system_.windows[window].visible;
}

bool FakePlatform::WindowEnabled(WindowHandle window) {
  Lock lock(system_.mutex);
  return system_.windows[window].enabled;
}

void FakePlatform::BringToForeground(WindowHandle window) {
  Log("SetForeground " + Hex(window));
}

FakeGui::FakeGui(FakeSystem& system, FakePlatform& platform)
    : applicationWindow(system.NewWindow(false)), system_(system), platform_(platform) {}

void FakeGui::RunMainWindow(TForm1& form) {
  mainWindow = system_.NewWindow(false);
  edit1 = system_.NewWindow();
  web = system_.NewWindow();
  {
    std::lock_guard<std::recursive_mutex> lock(system_.mutex);
    FakeSystem::Window& main = system_.windows[mainWindow];
    main.owner = applicationWindow;
    main.className = kMainWindowClass;
    main.onData = [&form](std::uintptr_t tag, const std::string& data) {
      return form.CopyData(tag, data);
    };
  }
  form.AttachWindow(mainWindow, edit1, web);
  form.Application().Protect(mainWindow, [&] { form.FormCreate(); });
  platform_.calls.push_back("ShowMainWindow");
  ran = true;
  if (whileRunning) whileRunning(form);
  std::lock_guard<std::recursive_mutex> lock(system_.mutex);
  system_.windows[mainWindow].alive = false;  // the window closed with the loop's end
  system_.windows[mainWindow].onData = nullptr;
}

void Deliver(TForm1& form, std::uint32_t message, std::uintptr_t wParam) {
  form.Application().Protect(form.Handle(), [&] { form.MainWindowProc(message, wParam, 1); });
}

int DeliverPosted(FakeSystem& system, TForm1& form) {
  int delivered = 0;
  for (;;) {
    Message message{};
    {
      std::lock_guard<std::recursive_mutex> lock(system.mutex);
      auto& posted = system.windows[form.Handle()].posted;
      if (posted.empty()) return delivered;
      message = posted.front();
      posted.erase(posted.begin());
    }
    Deliver(form, message.id, message.wParam);
    ++delivered;
  }
}

}  // namespace vantro::fake
