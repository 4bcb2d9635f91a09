// The connection's writes: bytes, lines, streams, files and write batches.
#include <algorithm>
#include <vector>

#include "rtl/FileStream.h"
#include "tcp/IdAntiFreezeBase.h"
#include "tcp/IdException.h"
#include "tcp/IdResourceStrings.h"
#include "tcp/IdStack.h"
#include "tcp/IdTCPConnection.h"

namespace vantro {

void TIdTCPConnection::SendBytes(const void* buffer, int count, bool now) {
  if (count <= 0 || buffer == nullptr) return;
  EnsureOpen(true, true);
  if (!IsConnected()) throw EIdNotConnected(RSNotConnected);
  if (writeBatch_ != nullptr && !now) {
    writeBatch_->Append(buffer, static_cast<std::size_t>(count));
    if (writeBatchThreshold_ > 0 && writeBatch_->Size() >= writeBatchThreshold_) {
      FlushWriteBatch(writeBatchThreshold_);
    }
    return;
  }
  const char* bytes = static_cast<const char*>(buffer);
  TIdSimpleBuffer rewritten;
  if (intercept_ != nullptr) {
    rewritten.Append(buffer, static_cast<std::size_t>(count));
    rewritten.SetPosition(0);
    intercept_->Send(rewritten);
    bytes = rewritten.UnreadData();
    count = static_cast<int>(rewritten.Size());
  }
  int sent = 0;
  while (sent < count) {
    const int n = ioHandler_->SendFrom(bytes + sent, count - sent);
    TIdAntiFreezeBase::RunHook(false);
    peerClosed_ = n == 0;
    EnsureOpen(true, false);
    if (n == Id_SOCKET_ERROR) {
      TIdStack& stack = *GStack();
      if (stack.CheckResult(n, {Id_WSAESHUTDOWN, Id_WSAECONNABORTED, Id_WSAECONNRESET})) {
        DropSocket();
        stack.RaiseForCode(stack.LastSocketError());
      }
    }
    AddWork(wmWrite, n);
    sent += n;
    if (ioHandler_ == nullptr) throw EIdNotConnected(RSNotConnected);
  }
}

void TIdTCPConnection::SendText(const std::string& text) {
  if (!text.empty()) SendBytes(text.data(), static_cast<int>(text.size()));
}

void TIdTCPConnection::SendLine(const std::string& text) {
  SendText(text + "\r\n");
}

void TIdTCPConnection::SendInt32(std::int32_t value, bool networkOrder) {
  std::uint32_t bytes = static_cast<std::uint32_t>(value);
  if (networkOrder) bytes = GStack()->HostToNet32(bytes);
  SendBytes(&bytes, 4);
}

void TIdTCPConnection::SendStream(TStream& stream, bool fromStart, bool withLength,
                                  std::int64_t size) {
  if (fromStart) stream.SetPosition(0);
  const std::int64_t end = size == 0 ? stream.Size() : stream.Position() + size;
  const std::int64_t count = end - stream.Position();
  if (withLength) SendInt32(static_cast<std::int32_t>(count), true);
  OpenWork(wmWrite, count);
  try {
    const int blockSize = SendBufferSize > 0 ? SendBufferSize : 1;
    std::vector<char> block(static_cast<std::size_t>(blockSize));
    for (;;) {
      const std::int64_t n = std::min<std::int64_t>(end - stream.Position(), blockSize);
      if (n <= 0) break;
      const std::int64_t got = stream.Read(block.data(), n);
      if (got == 0) throw EIdNoDataToRead(RSNoDataToRead);
      SendBytes(block.data(), static_cast<int>(got));
    }
  } catch (...) {
    CloseWork(wmWrite);
    throw;
  }
  CloseWork(wmWrite);
}

// The system's whole-file transmit is an optimisation only; the stream road
// sends the same bytes on every platform.
std::int64_t TIdTCPConnection::SendFile(const std::string& fileName, bool allowSystemTransmit) {
  (void)allowSystemTransmit;
  TFileReadStream file(fileName);
  if (!file.IsOpen()) throw EIdFileNotFound(FormatText(RSFileNotFound, fileName.c_str()));
  SendStream(file, true, false);
  return file.Size();
}

void TIdTCPConnection::BeginWriteBatch(int threshold) {
  // One store serves every batch: a request head costs no allocation.
  writeBatchStore_.Clear();
  writeBatch_ = &writeBatchStore_;
  writeBatchThreshold_ = threshold;
}

void TIdTCPConnection::FlushWriteBatch(int count) {
  if (writeBatch_ == nullptr || writeBatch_->Size() == 0) return;
  if (count != -1 && writeBatch_->Size() >= count) {
    SendBytes(writeBatch_->UnreadData(), count, true);
    writeBatch_->Consume(count);
  } else {
    SendBytes(writeBatch_->UnreadData(), static_cast<int>(writeBatch_->Size()), true);
    writeBatch_->Clear();
  }
}

void TIdTCPConnection::EndWriteBatch() {
  try {
    FlushWriteBatch(-1);
  } catch (...) {
    CloseWriteBatch();
    throw;
  }
  CloseWriteBatch();
}

void TIdTCPConnection::CloseWriteBatch() {
  writeBatchStore_.Clear();
  writeBatch_ = nullptr;
}

void TIdTCPConnection::DropWriteBatch() {
  if (writeBatch_ != nullptr) writeBatch_->Clear();
}

}  // namespace vantro
