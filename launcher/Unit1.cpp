#include "launcher/Unit1.h"

#include <utility>

#include "launcher/FolderRules.h"
#include "launcher/GameCommand.h"
#include "launcher/GameFolderSearch.h"
#include "launcher/HandOff.h"
#include "launcher/LauncherErrors.h"
#include "launcher/LauncherTexts.h"
#include "launcher/Registry.h"
#include "launcher/StartupTrace.h"
#include "launcher/UpdateCheck.h"

namespace vantro {

std::string GameFolder;

namespace {

// Sets a flag for a scope and puts its old value back at its end.
class ScopedFlag {
 public:
  explicit ScopedFlag(bool& flag) : flag_(flag), saved_(flag) { flag_ = true; }
  ~ScopedFlag() { flag_ = saved_; }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

}  // namespace

TForm1::TForm1(Platform& platform, TApplication& application, std::vector<std::string> params)
    : platform_(platform),
      application_(application),
      params_(std::move(params)),
      settings_(platform) {
  ConfigureUpdateClient(IdHTTP1);
}

void TForm1::AttachWindow(WindowHandle handle, WindowHandle edit1, WindowHandle web) {
  handle_ = handle;
  edit1_ = edit1;
  web_ = web;
}

void TForm1::FormCreate() {
  TraceStep("form-create");
  {
    const ScopedFlag creating(creating_);
    RegUrlProtocol(kScheme, platform_.ModuleFileName(), true);
    TraceStep("scheme-registered");
    // The check is advisory: when it fails (an https host's certificate
    // refused too), say why and go on with the set-up, so that a clicked
    // link is still launched.
    application_.Protect(handle_, [this] {
      UseTLSForHttps(IdHTTP1, IdSSLIOHandlerSocket1, UpdateTarget);
      CheckForUpdate(platform_, application_, handle_, IdHTTP1, UpdateTarget);
    });
    // The client page is asked for after the launch, and so is the browser
    // control created: the window shows neither before the set-up ends, and
    // the game need not wait for them. A failed launch still gets the page.
    try {
      SetUpAndLaunch();
    } catch (...) {
      ShowClientPage();
      PostQueuedHandOff();
      throw;
    }
    ShowClientPage();
  }
  // Links handed over meanwhile were clicked after the one this start got.
  PostQueuedHandOff();
}

void TForm1::ShowClientPage() {
  if (!UpdateTarget.clientPageUrl.empty()) {
    platform_.NavigateBrowser(web_, UpdateTarget.clientPageUrl);
  }
  TraceStep("client-page");
}

void TForm1::SetUpAndLaunch() {
  handOffMessage_ = platform_.RegisterMessage(kHandOffMessageName);
  LoadSetting();
  TraceStep("settings-read");
  if (!HasGameInstall(platform_, GameFolder)) FindGameFolder();
  const bool installed = HasGameInstall(platform_, GameFolder);
  if (installed && edit1Text_ != GameFolder) ShowInEdit1(GameFolder);
  // Without a game folder the link waits for the user's pick, and Watching
  // asks for it; a refused link leaves the question to be asked here.
  if (params_.size() > 1) Watching(params_[1]);
  if (!installed && !pendingLink_) AskForFolder();
}

bool TForm1::MainWindowProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
  if (handOffMessage_ == 0 || message != handOffMessage_) return false;
  TraceStep("hand-off-received");
  if (wParam == kHandOffDataTag) {
    LaunchQueuedHandOff();
  } else {
    // A launcher of an older version: its link waits in "watch".
    Watching(settings_.Read(kKeyWatch));
  }
  return true;
}

std::intptr_t TForm1::CopyData(std::uintptr_t tag, const std::string& data) {
  // After a set-up that ended before registering the message, hand-offs are
  // not served; the sender then falls back to the message, which is ignored.
  if (tag != kHandOffDataTag || (!creating_ && handOffMessage_ == 0)) return 0;
  handOffs_.push_back(data);
  // Launched from the message loop: the sender waits for this answer only.
  if (!creating_ && handOffs_.size() == 1) PostQueuedHandOff();
  return kHandOffTaken;
}

void TForm1::PostQueuedHandOff() {
  if (handOffMessage_ != 0 && !handOffs_.empty()) {
    platform_.PostWindowMessage(handle_, handOffMessage_, kHandOffDataTag, 0);
  }
}

void TForm1::LaunchQueuedHandOff() {
  if (handOffs_.empty()) return;
  std::string link = std::move(handOffs_.front());
  handOffs_.pop_front();
  // The next one follows in a message of its own, so a launch that fails or
  // waits in a box neither loses nor reorders it.
  PostQueuedHandOff();
  Watching(std::move(link));
}

void TForm1::LoadSetting() {
  GameFolder = settings_.Read(kKeyGameFolder);
}

void TForm1::Watching(std::string link) {
  const std::string decoded = DecodePercentEscapes(link);
  const std::string arguments = GameArguments(decoded);
  // An empty text (a "watch" read while another launcher rewrote the file)
  // or another program's text is no link, and never replaces a waiting one.
  if (!IsSpectatorLink(decoded) || HasUnsafeArgumentBytes(arguments)) {
    application_.MessageBox(handle_, kRefusedLinkText);
    return;
  }
  std::string deployFolder = DeployFolder(platform_, GameFolder);
  if (deployFolder.empty()) {
    FindGameFolder();
    deployFolder = DeployFolder(platform_, GameFolder);
  }
  if (deployFolder.empty()) {
    // A cmd sent into no folder cannot start the game: keep the link (the
    // newest wins) until the user has picked a folder that holds it.
    pendingLink_ = std::move(link);
    AskForFolder();
    return;
  }
  pendingLink_.reset();  // this newer link is the one the user wants
  const std::string parameters = CommandParameters(deployFolder, arguments);
  settings_.Write(kKeyCommand, parameters);
  if (platform_.OsMajorVersion() >= 6) {
    ShellExecuteRecord record;
    record.cbSize = kShellExecuteInfoSize;
    record.fMask = kSeeMaskFlagDdeWait | kSeeMaskFlagNoUi;
    record.hwnd = handle_;
    record.lpVerb = "runas";
    record.lpFile = "cmd";
    record.lpParameters = parameters;
    record.nShow = kSwHide;
    TraceStep("shell-execute");
    if (!platform_.StartShellExecuteEx(record)) throw LastOSError(platform_);
    TraceStep("shell-execute-returned");
  } else {
    platform_.StartShellExecute(handle_, "", "cmd", parameters, "", kSwHide);
  }
}

void TForm1::ShowInEdit1(const std::string& folder) {
  edit1Text_ = folder;
  platform_.SetControlText(edit1_, platform_.AnsiToUtf8(folder));
}

void TForm1::UseGameFolder(const std::string& folder) {
  ShowInEdit1(folder);
  GameFolder = folder;
  settings_.Write(kKeyGameFolder, folder);
}

void TForm1::FindGameFolder() {
  if (searched_) return;
  searched_ = true;
  TraceStep("folder-search");
  const FoundGameFolders found = SearchGameFolders(platform_);
  TraceStep("folder-searched");
  if (found.accepted.size() == 1) {
    UseGameFolder(found.accepted.front());
  } else if (!found.accepted.empty()) {
    suggestedFolder_ = found.accepted.front();
  } else if (!found.refused.empty()) {
    application_.MessageBox(handle_, RefusalText(found.refused.front().refusal));
  }
}

void TForm1::AskForFolder() {
  if (asking_) return;
  const ScopedFlag asking(asking_);
  application_.MessageBox(handle_, kChooseFolderText);
}

void TForm1::Button1Click() {
  constexpr std::uint32_t kFlags = kBifReturnOnlyFsDirs | kBifStatusText | kBifValidate;
  std::string picked = edit1Text_.empty() ? suggestedFolder_ : edit1Text_;
  GameFolderVerdict verdict;
  {
    // A link handed over meanwhile waits for this pick without a box of its own.
    const ScopedFlag asking(asking_);
    if (!platform_.BrowseFolder(handle_, picked, kPickerTitle, kFlags)) return;
    verdict = CheckGameFolder(platform_, picked);
    if (verdict.refusal != FolderRefusal::kNone) {
      application_.MessageBox(handle_, RefusalText(verdict.refusal));
      return;
    }
    if (verdict.folder.empty()) {
      application_.MessageBox(handle_, kChooseFolderText);
      return;
    }
  }
  UseGameFolder(verdict.folder);
  if (pendingLink_) {
    std::string link = std::move(*pendingLink_);
    pendingLink_.reset();
    Watching(std::move(link));
  }
}

void TForm1::RegUrlProtocol(const std::string& scheme, const std::string& exe, bool passLink) {
  RegisterUrlProtocol(platform_, scheme, exe, passLink);
}

}  // namespace vantro
