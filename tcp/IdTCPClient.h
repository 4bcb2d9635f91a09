// A connection that opens itself: host and port, an optional local address,
// port or port range, and a connect with or without a time-out.
#pragma once

#include <string>

#include "tcp/IdTCPConnection.h"

namespace vantro {

class TIdTCPClient : public TIdTCPConnection {
 public:
  std::string Host;
  int Port = 0;
  std::string BoundIP;
  int BoundPort = 0;
  // Tried from the top down when BoundPort is 0 and both are set.
  int BoundPortLow = 0;
  int BoundPortHigh = 0;
  TIdNotifyEvent OnConnected;

  virtual void SetHost(const std::string& host) { Host = host; }
  virtual void SetPort(int port) { Port = port; }
  virtual void FireConnected();
  // -1 and 0 connect on the calling thread; -2 waits without limit.
  virtual void OpenConnection(int timeout = -1);
  // Connects, reads until the peer closes, and always disconnects.
  virtual std::string FetchAll();
};

}  // namespace vantro
