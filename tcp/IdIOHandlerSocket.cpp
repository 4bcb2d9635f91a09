#include "tcp/IdIOHandlerSocket.h"

#include "tcp/IdAntiFreezeBase.h"
#include "tcp/IdConnectThread.h"
#include "tcp/IdException.h"
#include "tcp/IdLimits.h"
#include "tcp/IdResourceStrings.h"
#include "tcp/IdStack.h"

namespace vantro {

TIdIOHandlerSocket::~TIdIOHandlerSocket() {
  SetSocksInfo(nullptr);
  endpoint_.reset();  // closes the socket while the shared stack still lives
}

TIdSocksInfo& TIdIOHandlerSocket::SocksInfo() {
  if (socks_ == nullptr) {
    ownSocks_ = std::make_unique<TIdSocksInfo>();
    socks_ = ownSocks_.get();
    socks_->SetIOHandler(this);
  }
  return *socks_;
}

void TIdIOHandlerSocket::SetSocksInfo(TIdSocksInfo* socks) {
  if (socks_ != nullptr && socks_ != ownSocks_.get()) socks_->RemoveFreeNotification(this);
  if (socks_ != nullptr && socks_->IOHandler() == this) socks_->SetIOHandler(nullptr);
  socks_ = socks;
  if (socks_ != ownSocks_.get()) ownSocks_.reset();
  if (socks_ == nullptr) return;
  if (socks_ != ownSocks_.get()) socks_->FreeNotification(this);
  socks_->SetIOHandler(this);
}

void TIdIOHandlerSocket::Notification(TIdBaseComponent* removed) {
  if (removed == socks_) socks_ = nullptr;
}

void TIdIOHandlerSocket::Prepare() {
  if (endpoint_ == nullptr) {
    endpoint_ = std::make_unique<TIdSocketHandle>();
  } else {
    endpoint_->ResetState(true);
  }
}

void TIdIOHandlerSocket::ConnectTo(const std::string& host, int port, const std::string& boundIP,
                                   int boundPort, int boundPortLow, int boundPortHigh,
                                   int timeout) {
  TIdSocksInfo& socks = SocksInfo();
  const bool viaSocks = socks.Version != svNoSocks;
  const std::string target = viaSocks ? socks.Host : host;
  const auto started = TIdSocksInfo::TClock::now();
  const int targetPort = viaSocks ? socks.Port : port;
  if (endpoint_ == nullptr) Prepare();
  endpoint_->CreateSocket(Id_SOCK_STREAM, 0);
  endpoint_->IP = boundIP;
  endpoint_->Port = boundPort;
  endpoint_->ClientPortMin = boundPortLow;
  endpoint_->ClientPortMax = boundPortHigh;
  endpoint_->BindLocal();
  TIdStack& stack = *GStack();
  if (!TIdStack::IsDottedQuad(target)) NotifyStatus(hsResolving, target);
  const std::string address = stack.ResolveToIP(target);
  endpoint_->SetRemote(address, targetPort);
  if (!UseNagle) {
    const std::int32_t on = 1;
    endpoint_->SetOption(Id_IPPROTO_TCP, Id_TCP_NODELAY, sizeof on, &on);
  }
  NotifyStatus(hsConnecting, address);
  int limit = IdTimeoutInfinite;
  if (timeout != IdTimeoutDefault && timeout != 0) {
    limit = timeout;
    ConnectWithTimeout(limit);
  } else if (TIdAntiFreezeBase::HookInUse()) {
    limit = kHookConnectTimeoutMs;
    ConnectWithTimeout(limit);
  } else {
    stack.CheckResult(endpoint_->ConnectPeer(Id_PF_INET));
  }
  // The handshake is part of the connect: it shares its time-out.
  socks.SocksHandshake(host, port, limit, started);
}

void TIdIOHandlerSocket::ConnectWithTimeout(int timeout) {
  TIdConnectThread thread(*endpoint_);
  if (!thread.WaitFor(timeout)) {
    thread.Terminate();
    Shut();  // makes the blocked connect fail
    thread.Join();
    throw EIdConnectTimeout(RSConnectTimeout);
  }
  thread.Join();
  if (!thread.FailureText().empty()) throw EIdConnectException(thread.FailureText());
}

bool TIdIOHandlerSocket::IsOpen() {
  return endpoint_ != nullptr && endpoint_->Allocated();
}

void TIdIOHandlerSocket::Shut() {
  if (endpoint_ != nullptr) endpoint_->ShutSocket();
}

bool TIdIOHandlerSocket::WaitReadable(int timeout) {
  return endpoint_->WaitReadable(timeout);
}

int TIdIOHandlerSocket::ReceiveInto(void* buffer, int length) {
  if (!IsOpen()) throw EIdClosedSocket(RSClosedSocket);
  return endpoint_->ReceiveInto(buffer, length, 0);
}

int TIdIOHandlerSocket::SendFrom(const void* buffer, int length) {
  if (!IsOpen()) throw EIdClosedSocket(RSClosedSocket);
  return endpoint_->SendFrom(buffer, length, 0);
}

}  // namespace vantro
