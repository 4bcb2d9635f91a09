// A byte-stream endpoint over an I/O handler: an input queue of received but
// unconsumed bytes, time-limited reads of lines, counts and everything until
// close, and writes that can be batched into one send. It notices the peer's
// orderly close and raises it only once every byte received before it is read.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "rtl/Streams.h"
#include "tcp/IdBuffer.h"
#include "tcp/IdComponent.h"
#include "tcp/IdIOHandler.h"
#include "tcp/IdIntercept.h"
#include "tcp/IdLimits.h"
#include "tcp/IdRFCReply.h"

namespace vantro {

enum TIdMaxLineAction { maException, maSplit };

class TIdTCPConnection : public TIdComponent {
 public:
  TIdTCPConnection();
  ~TIdTCPConnection() override;

  bool ASCIIFilter = false;
  int MaxLineLength = kDefaultMaxLineLength;  // 0: no limit
  TIdMaxLineAction MaxLineAction = maException;
  int ReadTimeout = 0;  // ms; 0: wait without limit
  int RecvBufferSize = 32768;
  int SendBufferSize = 32768;
  // Reads raise EIdReadTimeout once this moment has passed, whatever their
  // own time-out: a bound on a whole read, not on one wait.
  std::optional<std::chrono::steady_clock::time_point> ReadDeadline;
  TIdNotifyEvent OnDisconnected;

  TIdIOHandler* IOHandler() const { return ioHandler_; }
  // Frees a handler this connection created first.
  void SetIOHandler(TIdIOHandler* handler);
  TIdConnectionIntercept* Intercept() const { return intercept_; }
  void SetIntercept(TIdConnectionIntercept* intercept);
  TIdManagedBuffer& InputQueue() { return inputQueue_; }
  bool LineWasSplit() const { return lineWasSplit_; }
  bool LineGaveUp() const { return lineGaveUp_; }
  TIdRFCReply& Greeting() { return greeting_; }
  TIdRFCReply& LastReply() { return lastReply_; }

  // Reads. A time-out of -1 is ReadTimeout; a max length of -1 is MaxLineLength.
  virtual std::string ReadLine(const std::string& terminator = {}, int timeout = -1,
                               int maxLength = -1);
  std::string ReadLineNonBlank(int tries);
  void ReadExact(void* buffer, int count);
  void ReadToStream(TStream& stream, std::int64_t count = -1, bool untilClose = false);
  std::int32_t ReadInt32(bool networkOrder = true);
  std::string TakeInput();
  virtual std::string ReadUntilClosed();
  // The only place that receives: bytes appended, 0 after a close, -1 on a quiet time-out.
  virtual int FillInput(bool raiseIfClosed, int timeout, bool raiseOnTimeout);

  // Writes.
  void SendBytes(const void* buffer, int count, bool now = false);
  virtual void SendText(const std::string& text);
  virtual void SendLine(const std::string& text);
  void SendInt32(std::int32_t value, bool networkOrder = true);
  virtual void SendStream(TStream& stream, bool fromStart = true, bool withLength = false,
                          std::int64_t size = 0);
  virtual std::int64_t SendFile(const std::string& fileName, bool allowSystemTransmit);
  // -1 and 0: nothing is sent before EndWriteBatch.
  void BeginWriteBatch(int threshold);
  void EndWriteBatch();
  void FlushWriteBatch(int count);
  void DropWriteBatch();
  bool WriteBatchOpen() const { return writeBatch_ != nullptr; }

  // State.
  virtual void EnsureOpen(bool raiseIfClosed = true, bool ignoreQueued = false);
  virtual void ProbePeerClose(bool raiseIfClosed);
  virtual bool IsConnected();
  virtual void CloseConnection();
  virtual void DropSocket();
  virtual void ResetInput();
  virtual void FireDisconnected();

  // Numbered replies ("250 ok"); an empty list allows every code.
  virtual int ReadReply(const std::vector<int>& allowed);
  virtual int CheckReplyCode(int code, const std::vector<int>& allowed);
  void ReadReplyLines();
  virtual int SendCommand(const std::string& line, const std::vector<int>& allowed);
  virtual void RaiseReplyError();

 protected:
  void Notification(TIdBaseComponent* removed) override;
  // Attaches a handler this connection frees at disconnect and destruction.
  void AdoptIOHandler(std::unique_ptr<TIdIOHandler> handler);
  bool OwnsIOHandler() const { return ownedIOHandler_ != nullptr; }

 private:
  [[noreturn]] void LineTooLong();
  std::string SplitOrRaise(int maxLength);
  // FillInput's steps; inPlace, when given, takes the bytes instead of the queue.
  int Fill(char* inPlace, int size, bool raiseIfClosed, int timeout, bool raiseOnTimeout);
  int ReceiveBlock(char* inPlace, int size);
  // Received bytes not yet consumed: the queue and a block received in place.
  std::int64_t Queued() const { return inputQueue_.Size() + inPlacePending_; }
  void CloseWriteBatch();
  void WriteQueued(TStream& stream, std::int64_t count);
  void WaitQueued(std::int64_t count);
  std::int64_t ReceiveInPlace(TStream& stream, char* room, int count, bool untilClose);

  TIdIOHandler* ioHandler_ = nullptr;
  std::unique_ptr<TIdIOHandler> ownedIOHandler_;
  TIdConnectionIntercept* intercept_ = nullptr;
  TIdManagedBuffer inputQueue_;
  TIdSimpleBuffer recvScratch_;
  TIdSimpleBuffer writeBatchStore_;
  TIdSimpleBuffer* writeBatch_ = nullptr;  // the store while a batch is open
  int writeBatchThreshold_ = 0;
  std::int64_t inPlacePending_ = 0;
  bool peerClosed_ = false;
  bool lineWasSplit_ = false;
  bool lineGaveUp_ = false;
  TIdRFCReply greeting_;
  TIdRFCReply lastReply_;
};

}  // namespace vantro
