#include "tcp/IdTCPClient.h"

#include "tcp/IdException.h"
#include "tcp/IdIOHandlerSocket.h"
#include "tcp/IdResourceStrings.h"

namespace vantro {

void TIdTCPClient::FireConnected() {
  if (OnConnected) OnConnected(*this);
}

void TIdTCPClient::OpenConnection(int timeout) {
  if (IOHandler() == nullptr) {
    auto handler = std::make_unique<TIdIOHandlerSocket>();
    handler->OnStatus = OnStatus;
    AdoptIOHandler(std::move(handler));
  } else if (IOHandler()->IsOpen()) {
    throw EIdAlreadyConnected(RSAlreadyConnected);
  }
  try {
    IOHandler()->Prepare();
    IOHandler()->ReadTimeout = ReadTimeout;
    ResetInput();
    IOHandler()->ConnectTo(Host, Port, BoundIP, BoundPort, BoundPortLow, BoundPortHigh, timeout);
    if (Intercept() != nullptr) Intercept()->Connect(*this);
    NotifyStatus(hsConnected, Host);
    FireConnected();
  } catch (...) {
    DropSocket();
    throw;
  }
}

std::string TIdTCPClient::FetchAll() {
  OpenConnection(-1);
  std::string result;
  try {
    result = ReadUntilClosed();
  } catch (...) {
    CloseConnection();
    throw;
  }
  CloseConnection();
  return result;
}

}  // namespace vantro
