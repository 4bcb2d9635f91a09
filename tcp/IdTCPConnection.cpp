// Connection state, the receive path and numbered replies.
#include "tcp/IdTCPConnection.h"

#include <algorithm>

#include "rtl/AnsiText.h"
#include "tcp/IdException.h"
#include "tcp/IdResourceStrings.h"
#include "tcp/IdStack.h"

namespace vantro {

TIdTCPConnection::TIdTCPConnection() {
  inputQueue_.OnConsumed = [this](TIdSimpleBuffer&, std::int64_t count) { AddWork(wmRead, count); };
}

TIdTCPConnection::~TIdTCPConnection() {
  DropSocket();
  SetIOHandler(nullptr);
  SetIntercept(nullptr);
}

void TIdTCPConnection::SetIOHandler(TIdIOHandler* handler) {
  ownedIOHandler_.reset();
  if (ioHandler_ != nullptr) ioHandler_->RemoveFreeNotification(this);
  ioHandler_ = handler;
  if (ioHandler_ != nullptr) ioHandler_->FreeNotification(this);
}

void TIdTCPConnection::AdoptIOHandler(std::unique_ptr<TIdIOHandler> handler) {
  SetIOHandler(handler.get());
  ownedIOHandler_ = std::move(handler);
}

void TIdTCPConnection::SetIntercept(TIdConnectionIntercept* intercept) {
  if (intercept_ != nullptr) intercept_->RemoveFreeNotification(this);
  intercept_ = intercept;
  if (intercept_ != nullptr) intercept_->FreeNotification(this);
}

void TIdTCPConnection::Notification(TIdBaseComponent* removed) {
  if (removed == ioHandler_) ioHandler_ = nullptr;
  if (removed == intercept_) intercept_ = nullptr;
}

void TIdTCPConnection::EnsureOpen(bool raiseIfClosed, bool ignoreQueued) {
  bool gone;
  if (peerClosed_ || ioHandler_ == nullptr) {
    if (ioHandler_ != nullptr && ioHandler_->IsOpen()) {
      DropSocket();
      NotifyStatus(hsDisconnected);
      FireDisconnected();
    }
    gone = ioHandler_ != nullptr;
  } else {
    gone = !ioHandler_->IsOpen();
  }
  if (gone && (Queued() == 0 || ignoreQueued) && raiseIfClosed) {
    throw EIdConnClosedGracefully(RSConnectionClosedGracefully);
  }
}

bool TIdTCPConnection::IsConnected() {
  EnsureOpen(false, false);
  return ioHandler_ != nullptr && ioHandler_->IsOpen();
}

void TIdTCPConnection::ProbePeerClose(bool raiseIfClosed) {
  FillInput(raiseIfClosed, 1, false);
}

int TIdTCPConnection::FillInput(bool raiseIfClosed, int timeout, bool raiseOnTimeout) {
  return Fill(nullptr, RecvBufferSize > 0 ? RecvBufferSize : 1, raiseIfClosed, timeout,
              raiseOnTimeout);
}

int TIdTCPConnection::Fill(char* inPlace, int size, bool raiseIfClosed, int timeout,
                           bool raiseOnTimeout) {
  if (timeout == IdTimeoutDefault) timeout = ReadTimeout == 0 ? IdTimeoutInfinite : ReadTimeout;
  if (ReadDeadline) {
    using namespace std::chrono;
    const auto left = ceil<milliseconds>(*ReadDeadline - steady_clock::now()).count();
    if (left <= 0) {
      if (raiseOnTimeout) throw EIdReadTimeout(RSReadTimeout);
      return -1;
    }
    if (timeout == IdTimeoutInfinite || timeout > left) timeout = static_cast<int>(left);
  }
  EnsureOpen(raiseIfClosed, false);
  if (!IsConnected()) {
    if (raiseIfClosed) throw EIdNotConnected(RSNotConnected);
    return 0;
  }
  int n;
  do {
    if (!ioHandler_->WaitReadable(timeout)) {
      if (raiseOnTimeout) throw EIdReadTimeout(RSReadTimeout);
      return -1;
    }
    n = ReceiveBlock(inPlace, size);
    peerClosed_ = n == 0;
    if (n == Id_SOCKET_ERROR) {
      TIdStack& stack = *GStack();
      stack.CheckResult(n, {Id_WSAESHUTDOWN, Id_WSAECONNABORTED});
      n = 0;
      if (ioHandler_ != nullptr) DropSocket();
      // With bytes still queued the failure counts as the close it is.
      if (Queued() == 0) stack.RaiseForCode(stack.LastSocketError());
    }
    EnsureOpen(raiseIfClosed, false);
  } while (n == 0 && IsConnected());
  return n;
}

// One socket read of up to size bytes, appended to the queue or, without an
// intercept to see it first, landing in place.
int TIdTCPConnection::ReceiveBlock(char* inPlace, int size) {
  if (ioHandler_ == nullptr) {
    throw EIdNotConnected(RSNotConnected);
  }
  if (intercept_ == nullptr) {
    // The common road lands straight in the queue: no scratch copy.
    char* at = inPlace != nullptr ? inPlace : inputQueue_.Reserve(static_cast<std::size_t>(size));
    int n = ioHandler_->ReceiveInto(at, size);
    if (inPlace == nullptr) inputQueue_.Commit(n > 0 ? static_cast<std::size_t>(n) : 0);
    if (n > 0 && ASCIIFilter) {
      for (int i = 0; i < n; ++i)
        at[i] = static_cast<char>(at[i] & 0x7f);
    }
    return n;
  }
  recvScratch_.Clear();
  int n = ioHandler_->ReceiveInto(recvScratch_.Reserve(static_cast<std::size_t>(size)), size);
  recvScratch_.Commit(n > 0 ? static_cast<std::size_t>(n) : 0);
  if (n <= 0) return n;
  recvScratch_.SetPosition(0);
  intercept_->Receive(recvScratch_);
  n = static_cast<int>(recvScratch_.Size());
  char* bytes = recvScratch_.UnreadData();
  if (ASCIIFilter) {
    for (int i = 0; i < n; ++i)
      bytes[i] = static_cast<char>(bytes[i] & 0x7f);
  }
  inputQueue_.Append(bytes, static_cast<std::size_t>(n));
  return n;
}

void TIdTCPConnection::CloseConnection() {
  NotifyStatus(hsDisconnecting);
  DropSocket();
  if (ownedIOHandler_ != nullptr) SetIOHandler(nullptr);
  FireDisconnected();
  NotifyStatus(hsDisconnected);
}

void TIdTCPConnection::DropSocket() {
  if (ioHandler_ == nullptr) return;
  peerClosed_ = true;
  if (intercept_ != nullptr) intercept_->Disconnect();
  ioHandler_->Shut();
}

void TIdTCPConnection::ResetInput() {
  inputQueue_.ClearQueue();
  peerClosed_ = false;
}

void TIdTCPConnection::FireDisconnected() {
  if (OnDisconnected) OnDisconnected(*this);
}

void TIdTCPConnection::ReadReplyLines() {
  std::vector<std::string> lines{ReadLineNonBlank(2147483647)};
  const std::string first = lines.front();
  if (first.size() > 3 && first[3] == '-') {
    const std::string last = first.substr(0, 3) + " ";
    for (;;) {
      lines.push_back(ReadLineNonBlank(2147483647));
      const std::string& line = lines.back();
      if (line.size() < 4 || SameText(line.substr(0, 4), last)) break;
    }
  }
  std::string code = Trim(first.substr(0, 4));
  if (first.size() > 3 && first[3] == '-') code = first.substr(0, 3);
  lastReply_.Clear();
  lastReply_.SetTextCode(code);
  lastReply_.SetNumericCode(StrToIntDef(code, 0));
  for (const std::string& line : lines)
    lastReply_.Text.Add(line.size() > 4 ? line.substr(4) : "");
}

int TIdTCPConnection::ReadReply(const std::vector<int>& allowed) {
  ReadReplyLines();
  return CheckReplyCode(lastReply_.NumericCode(), allowed);
}

int TIdTCPConnection::CheckReplyCode(int code, const std::vector<int>& allowed) {
  if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), code) == allowed.end()) {
    RaiseReplyError();
  }
  return code;
}

void TIdTCPConnection::RaiseReplyError() {
  std::string text;
  for (int i = 0; i < lastReply_.Text.Count(); ++i)
    text += lastReply_.Text[i] + "\r\n";
  throw EIdProtocolReplyError(lastReply_.NumericCode(), text);
}

int TIdTCPConnection::SendCommand(const std::string& line, const std::vector<int>& allowed) {
  SendLine(line);
  return ReadReply(allowed);
}

}  // namespace vantro
