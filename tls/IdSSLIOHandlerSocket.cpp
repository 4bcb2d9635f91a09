#include "tls/IdSSLIOHandlerSocket.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "tcp/IdException.h"
#include "tcp/IdResourceStrings.h"
#include "tcp/IdStack.h"

namespace vantro {

TIdSSLIOHandlerSocket::~TIdSSLIOHandlerSocket() {
  EndTLS();  // while the socket the close_notify goes out on still exists
}

void TIdSSLIOHandlerSocket::SendAll(const void* buffer, int length) {
  const char* bytes = static_cast<const char*>(buffer);
  while (length > 0) {
    const int n = TIdIOHandlerSocket::SendFrom(bytes, length);
    GStack()->CheckResult(n);
    bytes += n;
    length -= n;
  }
}

int TIdSSLIOHandlerSocket::Receive(void* buffer, int length) {
  int wait = ReadTimeout == 0 ? IdTimeoutInfinite : ReadTimeout;
  if (deadline_) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline_ - Clock::now());
    wait = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
  }
  if (!TIdIOHandlerSocket::WaitReadable(wait)) throw EIdReadTimeout(RSReadTimeout);
  const int n = TIdIOHandlerSocket::ReceiveInto(buffer, length);
  // A connection shut or aborted under the read ends as a close does, as
  // the plain connection treats it.
  if (GStack()->CheckResult(n, {Id_WSAESHUTDOWN, Id_WSAECONNABORTED})) return 0;
  return n;
}

TIdTLSSession* TIdSSLIOHandlerSocket::Session() {
  if (session_ == nullptr && !PassThrough && !connecting_ && IsOpen()) BeginTLS();
  return session_.get();
}

void TIdSSLIOHandlerSocket::BeginTLS() {
  try {
    session_ = NewSession(*this, TIdTLSSettings{PeerHost, CAFile, VerifyPeer});
    session_->Handshake();
  } catch (const EIdSSLProtocolReplyError&) {
    Abandon();
  } catch (const EIdException& e) {
    // A stalled or closed handshake is a failed one, said for its host.
    session_.reset();
    TIdIOHandlerSocket::Shut();
    throw EIdSSLProtocolReplyError(PeerHost + ": TLS handshake failed: " + e.Message());
  } catch (...) {
    Abandon();
  }
}

void TIdSSLIOHandlerSocket::EndTLS() noexcept {
  if (session_ != nullptr) session_->Close();
  session_.reset();
  peeked_ = kNothingPeeked;
}

void TIdSSLIOHandlerSocket::Abandon() {
  session_.reset();
  peeked_ = kNothingPeeked;
  TIdIOHandlerSocket::Shut();
  throw;
}

void TIdSSLIOHandlerSocket::Shut() {
  EndTLS();
  TIdIOHandlerSocket::Shut();
}

void TIdSSLIOHandlerSocket::Prepare() {
  EndTLS();
  TIdIOHandlerSocket::Prepare();
}

void TIdSSLIOHandlerSocket::ConnectTo(const std::string& host, int port, const std::string& boundIP,
                                      int boundPort, int boundPortLow, int boundPortHigh,
                                      int timeout) {
  EndTLS();
  PeerHost = host;
  connecting_ = true;
  try {
    TIdIOHandlerSocket::ConnectTo(host, port, boundIP, boundPort, boundPortLow, boundPortHigh,
                                  timeout);
  } catch (...) {
    connecting_ = false;
    throw;
  }
  connecting_ = false;
  Session();
}

bool TIdSSLIOHandlerSocket::WaitReadable(int timeout) {
  TIdTLSSession* session = Session();
  if (session == nullptr) return TIdIOHandlerSocket::WaitReadable(timeout);
  if (peeked_ != kNothingPeeked || session->Pending()) return true;
  const auto start = Clock::now();
  if (!TIdIOHandlerSocket::WaitReadable(timeout)) return false;
  // Without a limit the read that follows waits as long as it must anyway.
  if (timeout == IdTimeoutInfinite) return true;
  deadline_ = start + std::chrono::milliseconds(timeout);
  char byte = 0;
  try {
    peeked_ = session->Read(&byte, 1) == 1 ? static_cast<unsigned char>(byte) : kPeekedClose;
  } catch (const EIdReadTimeout&) {
    deadline_.reset();
    return false;
  } catch (...) {
    deadline_.reset();
    Abandon();
  }
  deadline_.reset();
  return true;
}

int TIdSSLIOHandlerSocket::ReceiveInto(void* buffer, int length) {
  TIdTLSSession* session = Session();
  if (session == nullptr) return TIdIOHandlerSocket::ReceiveInto(buffer, length);
  if (length <= 0) return 0;
  char* bytes = static_cast<char*>(buffer);
  int n = 0;
  if (peeked_ != kNothingPeeked) {
    const int peeked = std::exchange(peeked_, kNothingPeeked);
    if (peeked == kPeekedClose) return 0;
    bytes[0] = static_cast<char>(peeked);
    ++n;
    // Only what already waits: the byte alone answers this read.
    if (n == length || !session->Pending()) return n;
  }
  try {
    return n + session->Read(bytes + n, length - n);
  } catch (const EIdReadTimeout&) {
    throw;  // the session stays as it was: a later read goes on
  } catch (...) {
    Abandon();
  }
}

int TIdSSLIOHandlerSocket::SendFrom(const void* buffer, int length) {
  TIdTLSSession* session = Session();
  if (session == nullptr) return TIdIOHandlerSocket::SendFrom(buffer, length);
  try {
    session->Write(buffer, length);
  } catch (...) {
    Abandon();
  }
  return length;
}

}  // namespace vantro
