// The process-wide socket stack: the operating system's sockets behind one
// set of operations, so everything above runs the same on every platform.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "rtl/StringList.h"
#include "tcp/IdLimits.h"
#include "tcp/IdStackConsts.h"

namespace vantro {

// Up to 64 socket ids, as one system socket set holds.
class TIdSocketList {
 public:
  static constexpr int kMaxSockets = kMaxSocketsPerSet;
  TIdStackSocketHandle Items(int index) const;
  void Add(TIdStackSocketHandle id);
  // The last id takes the removed one's place.
  void Remove(TIdStackSocketHandle id);
  int Count() const { return static_cast<int>(ids_.size()); }
  void Clear() { ids_.clear(); }
  const std::vector<TIdStackSocketHandle>& Ids() const { return ids_; }

 private:
  std::vector<TIdStackSocketHandle> ids_;
};

struct TIdInAddr {
  std::uint8_t Bytes[4] = {0, 0, 0, 0};
};

class TIdStack {
 public:
  TIdStack() = default;
  TIdStack(const TIdStack&) = delete;
  TIdStack& operator=(const TIdStack&) = delete;
  virtual ~TIdStack() = default;

  virtual void FillLocalAddresses() = 0;
  std::string FirstLocalAddress();
  TStringList& LocalAddresses();

  virtual TIdStackSocketHandle AcceptOn(TIdStackSocketHandle socket, std::string& ip,
                                        int& port) = 0;
  virtual int BindSocket(TIdStackSocketHandle socket, int family, const std::string& ip,
                         int port) = 0;
  virtual int CloseSocketId(TIdStackSocketHandle socket) = 0;
  virtual int ConnectSocket(TIdStackSocketHandle socket, int family, const std::string& ip,
                            int port) = 0;
  virtual std::string LookupHost(const std::string& name) = 0;
  virtual std::string LocalHostName() = 0;
  virtual std::string LookupAddress(const std::string& ip) = 0;
  virtual int PortOfService(const std::string& name) = 0;
  virtual std::vector<std::string> ServicesOfPort(int port) = 0;
  virtual std::uint16_t HostToNet16(std::uint16_t value) = 0;
  virtual void ListenOn(TIdStackSocketHandle socket, int backlog) = 0;
  virtual std::uint16_t NetToHost16(std::uint16_t value) = 0;
  virtual std::uint32_t HostToNet32(std::uint32_t value) = 0;
  virtual std::uint32_t NetToHost32(std::uint32_t value) = 0;
  virtual int ReceiveOn(TIdStackSocketHandle socket, void* buffer, int flags, int length) = 0;
  virtual int ReceiveFromOn(TIdStackSocketHandle socket, void* buffer, int& port, std::string& ip,
                            int flags, int length) = 0;
  // Any list may be null; each given list keeps only the ids that became ready.
  virtual int WaitSockets(TIdSocketList* read, TIdSocketList* write, int timeout,
                          TIdSocketList* errors) = 0;
  virtual int SendOn(TIdStackSocketHandle socket, const void* buffer, int flags, int length) = 0;
  virtual int SendToOn(TIdStackSocketHandle socket, const void* buffer, const std::string& ip,
                       int port, int flags, int length) = 0;
  virtual int SetSocketOption(TIdStackSocketHandle socket, int level, int name, const void* value,
                              int length) = 0;
  virtual TIdStackSocketHandle OpenSocket(int family, int type, int protocol) = 0;
  virtual int ShutdownSocket(TIdStackSocketHandle socket, int how) = 0;
  // The whole message: "Socket Error # %d\r\n%s" with the code's text.
  virtual std::string ErrorText(int code);
  virtual int LastErrorCode() = 0;
  virtual void RemoteNameOf(TIdStackSocketHandle socket, int& family, int& port,
                            std::string& ip) = 0;
  virtual void LocalNameOf(TIdStackSocketHandle socket, int& family, int& port,
                           std::string& ip) = 0;
  virtual int GetSocketOption(TIdStackSocketHandle socket, int level, int name, void* value,
                              int& length) = 0;
  static std::string AddrToText(const TIdInAddr& addr);
  static TIdInAddr TextToAddr(const std::string& text);

  // False unless result is -1; a code in ignore makes it true, any other raises.
  bool CheckResult(int result, std::initializer_list<int> ignore = {});
  [[noreturn]] void RaiseForCode(int code);
  TIdStackSocketHandle NewSocket(int type, int protocol);
  std::string ResolveToIP(const std::string& host);
  static bool IsDottedQuad(const std::string& text);
  static TIdInAddr AddrOfText(const std::string& text) { return TextToAddr(text); }

  int LastSocketError() const { return lastSocketError_.load(); }

 protected:
  // The system's text for a code; the base table, empty for codes it lacks.
  virtual const char* CodeText(int code);
  // For failures that are no failing call's result (a resolver's answer).
  void RecordError(int code) { lastSocketError_ = code; }
  // A service the system lacks, as a decimal port; raises when it is no number.
  static int PortOfNumber(const std::string& name);
  // The list FillLocalAddresses fills, created on first use.
  TStringList& AddressList();

 private:
  // Every thread's failing check writes it, so it must be atomic.
  std::atomic<int> lastSocketError_{0};
  std::unique_ptr<TStringList> localAddresses_;
};

// The platform's stack (Windows or POSIX); made once per SharedStack life.
std::unique_ptr<TIdStack> NewPlatformStack();

// The shared stack while at least one TIdComponent lives; null otherwise.
TIdStack* GStack();
// Called by every TIdComponent's constructor and destructor.
void AcquireSharedStack();
void ReleaseSharedStack();

}  // namespace vantro
