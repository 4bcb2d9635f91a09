#include "launcher/Unit1.h"

#include <utility>

#include "launcher/FolderRules.h"
#include "launcher/GameCommand.h"
#include "launcher/LauncherErrors.h"
#include "launcher/LauncherTexts.h"
#include "launcher/Registry.h"
#include "launcher/StartupTrace.h"
#include "launcher/UpdateCheck.h"

namespace vantro {

std::string GameFolder;

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
  RegUrlProtocol(kScheme, platform_.ModuleFileName(), true);
  TraceStep("scheme-registered");
  // The check is advisory: when it fails (an https host's certificate
  // refused too), say why and go on with the set-up, so that a clicked link
  // is still launched.
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
    throw;
  }
  ShowClientPage();
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
  const bool installed = HasGameInstall(platform_, GameFolder);
  if (installed) ShowInEdit1(GameFolder);
  // Without a game folder the link waits for the user's pick, and Watching
  // asks for it; a refused link leaves the question to be asked here.
  if (params_.size() > 1) Watching(params_[1]);
  if (!installed && !pendingLink_) application_.MessageBox(handle_, kChooseFolderText);
}

bool TForm1::MainWindowProc(std::uint32_t message, std::uintptr_t, std::intptr_t) {
  if (handOffMessage_ == 0 || message != handOffMessage_) return false;
  TraceStep("hand-off-received");
  Watching(settings_.Read(kKeyWatch));
  return true;
}

void TForm1::LoadSetting() {
  GameFolder = settings_.Read(kKeyGameFolder);
}

void TForm1::Watching(std::string link) {
  const std::string arguments = GameArguments(DecodePercentEscapes(link));
  if (HasUnsafeArgumentBytes(arguments)) {
    application_.MessageBox(handle_, kRefusedLinkText);
    return;
  }
  const std::string deployFolder = DeployFolder(platform_, GameFolder);
  if (deployFolder.empty()) {
    // A cmd sent into no folder cannot start the game: keep the link (the
    // newest wins) until the user has picked a folder that holds it.
    pendingLink_ = std::move(link);
    application_.MessageBox(handle_, kChooseFolderText);
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

void TForm1::Button1Click() {
  constexpr std::uint32_t kFlags = kBifReturnOnlyFsDirs | kBifStatusText | kBifValidate;
  std::string picked = edit1Text_;
  if (!platform_.BrowseFolder(handle_, picked, kPickerTitle, kFlags)) return;
  const std::string accepted = AcceptedGameFolder(platform_, picked);
  if (accepted.empty()) {
    application_.MessageBox(handle_, kChooseFolderText);
    return;
  }
  ShowInEdit1(accepted);
  GameFolder = accepted;
  settings_.Write(kKeyGameFolder, accepted);
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
