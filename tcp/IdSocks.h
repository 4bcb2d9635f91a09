// SOCKS proxy settings and the client side of the SOCKS 4, 4A and 5 handshakes.
#pragma once

#include <chrono>
#include <string>

#include "tcp/IdComponent.h"
#include "tcp/IdStackConsts.h"

namespace vantro {

enum TSocksVersion { svNoSocks, svSocks4, svSocks4A, svSocks5 };
enum TSocksAuthentication { saNoAuthentication, saUsernamePassword };

class TIdIOHandler;

class TIdSocksInfo : public TIdComponent {
 public:
  TSocksVersion Version = svNoSocks;
  std::string Host;
  int Port = 1080;
  TSocksAuthentication Authentication = saNoAuthentication;
  std::string Username;
  std::string Password;

  TIdIOHandler* IOHandler() const { return ioHandler_; }
  void SetIOHandler(TIdIOHandler* handler) { ioHandler_ = handler; }
  // Copies the six settings.
  void Assign(const TIdSocksInfo& source);

  using TClock = std::chrono::steady_clock;

  // On the already connected handler; nothing under svNoSocks. Settings the
  // protocol cannot carry raise before anything is sent; the whole handshake
  // must end within timeout ms of started (IdTimeoutInfinite: no limit), as
  // it belongs to the connect.
  void SocksHandshake(const std::string& host, int port, int timeout = IdTimeoutInfinite,
                      TClock::time_point started = TClock::now());

 private:
  void CheckSettings(const std::string& host) const;
  void Socks4(const std::string& host, int port);
  void Socks5(const std::string& host, int port);
  void SendAll(const std::string& bytes);
  std::string ReceiveExactly(int count);

  TIdIOHandler* ioHandler_ = nullptr;
  bool bounded_ = false;
  TClock::time_point deadline_;
};

}  // namespace vantro
