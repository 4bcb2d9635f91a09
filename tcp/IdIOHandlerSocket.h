// The plain TCP transport: one socket, resolved, bound and connected (on a
// second thread when a time-out is asked for), optionally through SOCKS.
#pragma once

#include <memory>
#include <string>

#include "tcp/IdIOHandler.h"
#include "tcp/IdSocketHandle.h"
#include "tcp/IdSocks.h"

namespace vantro {

class TIdIOHandlerSocket : public TIdIOHandler {
 public:
  ~TIdIOHandlerSocket() override;

  bool UseNagle = true;

  // Creates a private one on first use.
  TIdSocksInfo& SocksInfo();
  // Null forgets the reference; another component is referred to, not copied
  // (copy settings with SocksInfo().Assign(...)).
  void SetSocksInfo(TIdSocksInfo* socks);

  TIdSocketHandle* Endpoint() const { return endpoint_.get(); }

  void Shut() override;
  void ConnectTo(const std::string& host, int port, const std::string& boundIP, int boundPort,
                 int boundPortLow, int boundPortHigh, int timeout) override;
  bool IsOpen() override;
  void Prepare() override;
  bool WaitReadable(int timeout) override;
  int ReceiveInto(void* buffer, int length) override;
  int SendFrom(const void* buffer, int length) override;

 protected:
  void Notification(TIdBaseComponent* removed) override;

 private:
  void ConnectWithTimeout(int timeout);

  std::unique_ptr<TIdSocketHandle> endpoint_;
  std::unique_ptr<TIdSocksInfo> ownSocks_;
  TIdSocksInfo* socks_ = nullptr;
};

}  // namespace vantro
