#include "tcp/IdStackWindows.h"

#include <atomic>
#include <mutex>

#include "tcp/IdException.h"
#include "tcp/IdResourceStrings.h"
#include "tcp/IdSockAddr.h"
#include "tcp/IdWinSock2.h"

namespace vantro {

namespace {

std::atomic<bool> socketLibStarted{false};

// At process end: WSACleanup, then the library is freed.
struct TLibraryShutdown {
  ~TLibraryShutdown() {
    if (socketLibStarted.exchange(false)) {
      try {
        Ws2Entry<decltype(&::WSACleanup)>(wsWSACleanup)();
      } catch (const EIdWS2StubError&) {
        // Nothing is left to report to at process end.
      }
    }
    UnloadLibrary();
  }
} libraryShutdown;

SOCKET AsSocket(TIdStackSocketHandle socket) {
  return static_cast<SOCKET>(socket);
}

template <class F>
F Api(int row) {
  return Ws2Entry<F>(row);
}
#define WS2(name, row) Api<decltype(&::name)>(row)

// A socket list as a system socket set; absent lists stay absent.
struct TSocketSet {
  fd_set Set;
  fd_set* Pointer = nullptr;
  explicit TSocketSet(TIdSocketList* list) {
    Set.fd_count = 0;
    if (list == nullptr) return;
    if (list->Count() > TIdSocketList::kMaxSockets) {
      throw EIdStackSetSizeExceeded(RSSetSizeExceeded);
    }
    for (TIdStackSocketHandle id : list->Ids())
      Set.fd_array[Set.fd_count++] = AsSocket(id);
    Pointer = &Set;
  }
  void CopyBack(TIdSocketList* list) const {
    if (list == nullptr) return;
    list->Clear();
    for (u_int i = 0; i < Set.fd_count; ++i) {
      list->Add(static_cast<TIdStackSocketHandle>(Set.fd_array[i]));
    }
  }
};

std::mutex& DatabaseLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

std::unique_ptr<TIdStack> NewPlatformStack() {
  return std::make_unique<TIdStackWindows>();
}

TIdStackWindows::TIdStackWindows() {
  if (socketLibStarted.load()) return;
  WSADATA data{};
  if (LibraryStartup(0x0202, data) != 0) {
    throw EIdStackInitializationFailed(RSWinsockInitializationError);
  }
  socketLibStarted = true;
}

template <class Call>
void TIdStackWindows::NameOf(Call call, TIdStackSocketHandle socket, int& family, int& port,
                             std::string& ip) {
  sockaddr_in addr{};
  int length = sizeof addr;
  CheckResult(call(AsSocket(socket), reinterpret_cast<sockaddr*>(&addr), &length));
  SplitSockAddr(*this, addr, family, port, ip);
}

bool TIdStackWindows::SocketLibStarted() {
  return socketLibStarted.load();
}

const char* TIdStackWindows::CodeText(int code) {
  return code == Id_WSAHOST_NOT_FOUND ? RSStackHostNotFound : TIdStack::CodeText(code);
}

void TIdStackWindows::FillLocalAddresses() {
  TStringList& list = AddressList();
  list.Clear();
  std::string name = LocalHostName();
  std::lock_guard<std::mutex> guard(DatabaseLock());
  hostent* host = WS2(gethostbyname, wsGetHostByName)(name.c_str());
  if (host == nullptr) CheckResult(Id_SOCKET_ERROR);
  for (char** addr = host->h_addr_list; *addr != nullptr; ++addr) {
    TIdInAddr bytes;
    std::memcpy(bytes.Bytes, *addr, 4);
    list.Add(AddrToText(bytes));
  }
}

TIdStackSocketHandle TIdStackWindows::AcceptOn(TIdStackSocketHandle socket, std::string& ip,
                                               int& port) {
  sockaddr_in addr{};
  int length = sizeof addr;
  SOCKET result =
      WS2(accept, wsAccept)(AsSocket(socket), reinterpret_cast<sockaddr*>(&addr), &length);
  if (result != INVALID_SOCKET) {
    int family = 0;
    SplitSockAddr(*this, addr, family, port, ip);
  }
  return static_cast<TIdStackSocketHandle>(result);
}

int TIdStackWindows::BindSocket(TIdStackSocketHandle socket, int family, const std::string& ip,
                                int port) {
  sockaddr_in addr = MakeSockAddr<sockaddr_in>(*this, family, ip, port);
  return WS2(bind, wsBind)(AsSocket(socket), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
}

int TIdStackWindows::CloseSocketId(TIdStackSocketHandle socket) {
  return WS2(closesocket, wsCloseSocket)(AsSocket(socket));
}

int TIdStackWindows::ConnectSocket(TIdStackSocketHandle socket, int family, const std::string& ip,
                                   int port) {
  sockaddr_in addr = MakeSockAddr<sockaddr_in>(*this, family, ip, port);
  return WS2(connect, wsConnect)(AsSocket(socket), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
}

std::string TIdStackWindows::LookupHost(const std::string& name) {
  std::lock_guard<std::mutex> guard(DatabaseLock());
  hostent* host = WS2(gethostbyname, wsGetHostByName)(name.c_str());
  if (host == nullptr || host->h_addr_list[0] == nullptr) CheckResult(Id_SOCKET_ERROR);
  TIdInAddr bytes;
  std::memcpy(bytes.Bytes, host->h_addr_list[0], 4);
  return AddrToText(bytes);
}

std::string TIdStackWindows::LocalHostName() {
  char name[250] = {};
  CheckResult(WS2(gethostname, wsGetHostName)(name, sizeof name - 1));
  return name;
}

std::string TIdStackWindows::LookupAddress(const std::string& ip) {
  unsigned long addr = WS2(inet_addr, wsInetAddr)(ip.c_str());
  std::lock_guard<std::mutex> guard(DatabaseLock());
  hostent* host =
      WS2(gethostbyaddr, wsGetHostByAddr)(reinterpret_cast<const char*>(&addr), 4, AF_INET);
  if (host == nullptr) CheckResult(Id_SOCKET_ERROR);
  return host->h_name;
}

int TIdStackWindows::PortOfService(const std::string& name) {
  {
    std::lock_guard<std::mutex> guard(DatabaseLock());
    if (servent* service = WS2(getservbyname, wsGetServByName)(name.c_str(), nullptr)) {
      return NetToHost16(static_cast<std::uint16_t>(service->s_port));
    }
  }
  return PortOfNumber(name);
}

std::vector<std::string> TIdStackWindows::ServicesOfPort(int port) {
  std::lock_guard<std::mutex> guard(DatabaseLock());
  return ServentNames(
      WS2(getservbyport, wsGetServByPort)(HostToNet16(static_cast<std::uint16_t>(port)), nullptr));
}

std::uint16_t TIdStackWindows::HostToNet16(std::uint16_t value) {
  return WS2(htons, wsHtons)(value);
}
std::uint16_t TIdStackWindows::NetToHost16(std::uint16_t value) {
  return WS2(ntohs, wsNtohs)(value);
}
std::uint32_t TIdStackWindows::HostToNet32(std::uint32_t value) {
  return WS2(htonl, wsHtonl)(value);
}
std::uint32_t TIdStackWindows::NetToHost32(std::uint32_t value) {
  return WS2(ntohl, wsNtohl)(value);
}

void TIdStackWindows::ListenOn(TIdStackSocketHandle socket, int backlog) {
  CheckResult(WS2(listen, wsListen)(AsSocket(socket), backlog));
}

int TIdStackWindows::ReceiveOn(TIdStackSocketHandle socket, void* buffer, int flags, int length) {
  return WS2(recv, wsRecv)(AsSocket(socket), static_cast<char*>(buffer), length, flags);
}

int TIdStackWindows::ReceiveFromOn(TIdStackSocketHandle socket, void* buffer, int& port,
                                   std::string& ip, int flags, int length) {
  return ReceiveFromSender<sockaddr_in, int>(*this, port, ip, [&](sockaddr_in* addr, int* size) {
    return WS2(recvfrom, wsRecvFrom)(AsSocket(socket), static_cast<char*>(buffer), length, flags,
                                     reinterpret_cast<sockaddr*>(addr), size);
  });
}

int TIdStackWindows::WaitSockets(TIdSocketList* read, TIdSocketList* write, int timeout,
                                 TIdSocketList* errors) {
  TSocketSet readSet(read), writeSet(write), errorSet(errors);
  timeval limit{};
  timeval* limitPointer = nullptr;
  if (timeout != IdTimeoutInfinite) {
    limit.tv_sec = timeout / 1000;
    limit.tv_usec = (timeout % 1000) * 1000;
    limitPointer = &limit;
  }
  int result =
      WS2(select, wsSelect)(0, readSet.Pointer, writeSet.Pointer, errorSet.Pointer, limitPointer);
  readSet.CopyBack(read);
  writeSet.CopyBack(write);
  errorSet.CopyBack(errors);
  return result;
}

int TIdStackWindows::SendOn(TIdStackSocketHandle socket, const void* buffer, int flags,
                            int length) {
  return WS2(send, wsSend)(AsSocket(socket), static_cast<const char*>(buffer), length, flags);
}

int TIdStackWindows::SendToOn(TIdStackSocketHandle socket, const void* buffer,
                              const std::string& ip, int port, int flags, int length) {
  sockaddr_in addr = MakeSockAddr<sockaddr_in>(*this, Id_PF_INET, ip, port);
  return WS2(sendto, wsSendTo)(AsSocket(socket), static_cast<const char*>(buffer), length, flags,
                               reinterpret_cast<sockaddr*>(&addr), sizeof addr);
}

int TIdStackWindows::SetSocketOption(TIdStackSocketHandle socket, int level, int name,
                                     const void* value, int length) {
  return WS2(setsockopt, wsSetSockOpt)(AsSocket(socket), level, name,
                                       static_cast<const char*>(value), length);
}

TIdStackSocketHandle TIdStackWindows::OpenSocket(int family, int type, int protocol) {
  SOCKET result = WS2(socket, wsSocket)(family, type, protocol);
  return result == INVALID_SOCKET ? Id_INVALID_SOCKET : static_cast<TIdStackSocketHandle>(result);
}

int TIdStackWindows::ShutdownSocket(TIdStackSocketHandle socket, int how) {
  return WS2(shutdown, wsShutdown)(AsSocket(socket), how);
}

int TIdStackWindows::LastErrorCode() {
  return WS2(WSAGetLastError, wsWSAGetLastError)();
}

void TIdStackWindows::RemoteNameOf(TIdStackSocketHandle socket, int& family, int& port,
                                   std::string& ip) {
  NameOf(WS2(getpeername, wsGetPeerName), socket, family, port, ip);
}

void TIdStackWindows::LocalNameOf(TIdStackSocketHandle socket, int& family, int& port,
                                  std::string& ip) {
  NameOf(WS2(getsockname, wsGetSockName), socket, family, port, ip);
}

int TIdStackWindows::GetSocketOption(TIdStackSocketHandle socket, int level, int name, void* value,
                                     int& length) {
  return WS2(getsockopt, wsGetSockOpt)(AsSocket(socket), level, name, static_cast<char*>(value),
                                       &length);
}

}  // namespace vantro
