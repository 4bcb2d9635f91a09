// One IPv4 socket with its local and remote address: what a client
// connection creates, binds, connects, waits on, reads and writes.
#pragma once

#include <atomic>
#include <string>

#include "tcp/IdStackConsts.h"

namespace vantro {

class TIdSocketHandle {
 public:
  TIdSocketHandle() = default;
  TIdSocketHandle(const TIdSocketHandle&) = delete;
  TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;
  // Never leaves a socket open behind it.
  virtual ~TIdSocketHandle();

  std::string IP;
  int Port = 0;
  int ClientPortMin = 0;
  int ClientPortMax = 0;
  std::string RemoteIP;
  int RemotePort = 0;

  // Read by a connect thread while another thread may shut the socket.
  TIdStackSocketHandle SocketId() const { return socketId_.load(); }
  bool Allocated() const { return allocated_.load(); }

  void CreateSocket(int type = Id_SOCK_STREAM, int protocol = 0);
  virtual void ShutSocket();
  void BindLocal();
  bool TryBindOnce();
  bool BindFromRange();
  void SetRemote(const std::string& ip, int port);
  virtual int ConnectPeer(int family);
  bool WaitReadable(int timeout);
  int ReceiveInto(void* buffer, int length, int flags = 0);
  int SendFrom(const void* buffer, int length, int flags = 0);
  virtual int ReceiveFromPeer(void* buffer, int length, int& port, std::string& ip, int flags = 0);
  void SetOption(int level, int name, int length, const void* value);
  void RefreshLocal();
  void RefreshRemote();
  void ResetState(bool resetLocal);
  // Server side: takes the next connection waiting on listening.
  bool Accept(TIdStackSocketHandle listening);
  // Copies the local and remote address and port.
  void Assign(const TIdSocketHandle& source);

 private:
  bool WaitOnce(int timeout);

  std::atomic<TIdStackSocketHandle> socketId_{Id_INVALID_SOCKET};
  std::atomic<bool> allocated_{false};
};

}  // namespace vantro
