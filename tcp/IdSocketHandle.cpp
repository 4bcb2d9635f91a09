#include "tcp/IdSocketHandle.h"

#include "tcp/IdAntiFreezeBase.h"
#include "tcp/IdException.h"
#include "tcp/IdResourceStrings.h"
#include "tcp/IdStack.h"

namespace vantro {

TIdSocketHandle::~TIdSocketHandle() {
  ShutSocket();
}

void TIdSocketHandle::ResetState(bool resetLocal) {
  ShutSocket();  // a socket still open here would otherwise be lost
  socketId_ = Id_INVALID_SOCKET;
  if (resetLocal) {
    IP.clear();
    Port = 0;
  }
  RemoteIP.clear();
  RemotePort = 0;
}

void TIdSocketHandle::CreateSocket(int type, int protocol) {
  ShutSocket();
  socketId_ = GStack()->NewSocket(type, protocol);
  allocated_ = true;
}

void TIdSocketHandle::ShutSocket() {
  // The exchange makes a shut from a second thread close the socket once.
  if (!allocated_.exchange(false)) return;
  TIdStackSocketHandle id = socketId_.load();
  GStack()->ShutdownSocket(id, Id_SD_Send);  // no further sends; the peer may be gone already
  GStack()->CloseSocketId(id);
}

void TIdSocketHandle::BindLocal() {
  if (Port != 0 || ClientPortMin == 0 || ClientPortMax == 0) {
    if (!TryBindOnce()) throw EIdCouldNotBindSocket(RSCouldNotBindSocket);
    return;
  }
  if (ClientPortMax < ClientPortMin) {
    throw EIdInvalidPortRange(FormatText(RSInvalidPortRange, ClientPortMin, ClientPortMax));
  }
  if (!BindFromRange()) {
    throw EIdCanNotBindPortInRange(FormatText(RSCannotBindRange, ClientPortMin, ClientPortMax));
  }
}

bool TIdSocketHandle::TryBindOnce() {
  TIdStack& stack = *GStack();
  if (stack.CheckResult(stack.BindSocket(SocketId(), Id_PF_INET, IP, Port), {Id_WSAEADDRINUSE})) {
    return false;
  }
  RefreshLocal();
  return true;
}

bool TIdSocketHandle::BindFromRange() {
  for (int port = ClientPortMax; port >= ClientPortMin; --port) {
    Port = port;
    if (TryBindOnce()) return true;
  }
  return false;
}

void TIdSocketHandle::SetRemote(const std::string& ip, int port) {
  RemoteIP = ip;
  RemotePort = port;
}

int TIdSocketHandle::ConnectPeer(int family) {
  int result = GStack()->ConnectSocket(SocketId(), family, RemoteIP, RemotePort);
  if (result != Id_SOCKET_ERROR) {
    RefreshLocal();
    RefreshRemote();
  }
  return result;
}

bool TIdSocketHandle::WaitReadable(int timeout) {
  if (!Allocated()) throw EIdConnClosedGracefully(RSConnectionClosedGracefully);
  // Without a hook to run, waiting without limit is what the receive that
  // follows does anyway: spare the system call.
  if (timeout == IdTimeoutInfinite && !TIdAntiFreezeBase::HookInUse()) return true;
  if (TIdAntiFreezeBase::HookInUse()) {
    const int idle = TIdAntiFreezeBase::ActiveHook()->IdleTimeOut;
    if (timeout == IdTimeoutInfinite) {
      while (!WaitReadable(idle)) {
      }
      return true;
    }
    if (timeout > idle) return WaitOnce(timeout - idle) || WaitOnce(idle);
  }
  return WaitOnce(timeout);
}

bool TIdSocketHandle::WaitOnce(int timeout) {
  TIdSocketList read;
  read.Add(SocketId());
  const bool readable = GStack()->WaitSockets(&read, nullptr, timeout, nullptr) == 1;
  TIdAntiFreezeBase::RunHook(!readable);
  return readable;
}

int TIdSocketHandle::ReceiveInto(void* buffer, int length, int flags) {
  return GStack()->ReceiveOn(SocketId(), buffer, flags, length);
}

int TIdSocketHandle::SendFrom(const void* buffer, int length, int flags) {
  return GStack()->SendOn(SocketId(), buffer, flags, length);
}

int TIdSocketHandle::ReceiveFromPeer(void* buffer, int length, int& port, std::string& ip,
                                     int flags) {
  return GStack()->ReceiveFromOn(SocketId(), buffer, port, ip, flags, length);
}

void TIdSocketHandle::SetOption(int level, int name, int length, const void* value) {
  GStack()->CheckResult(GStack()->SetSocketOption(SocketId(), level, name, value, length));
}

void TIdSocketHandle::RefreshLocal() {
  int family = 0;
  GStack()->LocalNameOf(SocketId(), family, Port, IP);
}

void TIdSocketHandle::RefreshRemote() {
  int family = 0;
  GStack()->RemoteNameOf(SocketId(), family, RemotePort, RemoteIP);
}

bool TIdSocketHandle::Accept(TIdStackSocketHandle listening) {
  ShutSocket();
  TIdStackSocketHandle accepted = GStack()->AcceptOn(listening, RemoteIP, RemotePort);
  if (accepted == Id_INVALID_SOCKET) return false;
  socketId_ = accepted;
  allocated_ = true;
  RefreshLocal();
  return true;
}

void TIdSocketHandle::Assign(const TIdSocketHandle& source) {
  IP = source.IP;
  Port = source.Port;
  RemoteIP = source.RemoteIP;
  RemotePort = source.RemotePort;
}

}  // namespace vantro
