// The main window's logic: the set-up sequence, the hand-off message, the
// settings and the spectate launch.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "http/IdHTTP.h"
#include "launcher/Application.h"
#include "launcher/Platform.h"
#include "launcher/Settings.h"
#include "tls/IdSSLIOHandlerSocket.h"

namespace vantro {

// The game's install folder: full path, no trailing backslash (a drive root
// keeps it). Written by LoadSetting and the folder picker; read by the folder
// test of FormCreate and by Watching.
extern std::string GameFolder;

class TForm1 {
 public:
  // params: the program's arguments as split from its command line, item 0
  // the program itself.
  TForm1(Platform& platform, TApplication& application, std::vector<std::string> params);

  // The window layer hands over the main window, its folder field and its
  // web browser.
  void AttachWindow(WindowHandle handle, WindowHandle edit1, WindowHandle web);
  WindowHandle Handle() const { return handle_; }
  TApplication& Application() { return application_; }
  std::uint32_t HandOffMessage() const { return handOffMessage_; }
  const std::optional<std::string>& PendingLink() const { return pendingLink_; }

  void FormCreate();
  // True when the message was the hand-off and has been handled (result 0);
  // false sends it on to the default handling.
  bool MainWindowProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
  // Bytes another launcher sent (WM_COPYDATA): a link tagged kHandOffDataTag
  // is queued, to be launched from the message loop; the answer tells the
  // sender it was taken (kHandOffTaken) or not (0).
  std::intptr_t CopyData(std::uintptr_t tag, const std::string& data);
  void LoadSetting();
  void Watching(std::string link);
  void RegUrlProtocol(const std::string& scheme, const std::string& exe, bool passLink);
  void Button1Click();

  // The TLS transport of an https update host (before the client, which
  // refers to it, so that it goes after it).
  TIdSSLIOHandlerSocket IdSSLIOHandlerSocket1;
  // The HTTP client of the update check.
  TIdHTTP IdHTTP1;

 private:
  Platform& platform_;
  TApplication& application_;
  std::vector<std::string> params_;
  TSettingsFile settings_;
  WindowHandle handle_ = 0;
  WindowHandle edit1_ = 0;
  WindowHandle web_ = 0;
  std::string edit1Text_;  // what Edit1 shows, in ANSI
  void ShowInEdit1(const std::string& folder);
  // A folder accepted by the rules: shown, held and saved, in this order.
  void UseGameFolder(const std::string& folder);
  // Looks for the game once a run, when the game folder holds none.
  void FindGameFolder();
  // The folder box, unless the box or the picker is already asking.
  void AskForFolder();
  // Launches the oldest queued hand-off, and has the next one follow.
  void LaunchQueuedHandOff();
  void PostQueuedHandOff();
  // FormCreate's steps from the hand-off message to the launch.
  void SetUpAndLaunch();
  void ShowClientPage();
  std::uint32_t handOffMessage_ = 0;
  // The link that came while no game folder was known, launched once the
  // user picks one.
  std::optional<std::string> pendingLink_;
  // Links other launchers handed over, oldest first.
  std::deque<std::string> handOffs_;
  bool creating_ = false;  // FormCreate runs: hand-offs wait for its end
  bool asking_ = false;    // the folder box or the picker is open
  bool searched_ = false;
  // The first of several game folders the search found: the picker opens there.
  std::string suggestedFolder_;
};

}  // namespace vantro
