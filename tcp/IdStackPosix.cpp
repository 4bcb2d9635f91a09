#include "tcp/IdStackPosix.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>

#include "rtl/AnsiText.h"
#include "tcp/IdException.h"
#include "tcp/IdResourceStrings.h"
#include "tcp/IdSockAddr.h"

namespace vantro {

namespace {

struct TErrnoCode {
  int Errno;
  int Winsock;
};

// errno -> the Winsock code of the same meaning. EPIPE is a send on a
// connection that can no longer send, Winsock's "after socket is closed".
constexpr TErrnoCode kErrnoCodes[] = {
    {EINTR, 10004},           {EBADF, 10009},        {EACCES, 10013},
    {EFAULT, 10014},          {EINVAL, 10022},       {EMFILE, 10024},
    {EWOULDBLOCK, 10035},     {EINPROGRESS, 10036},  {EALREADY, 10037},
    {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},        {ENETUNREACH, 10051},  {ENETRESET, 10052},
    {ECONNABORTED, 10053},    {ECONNRESET, 10054},   {ENOBUFS, 10055},
    {EISCONN, 10056},         {ENOTCONN, 10057},     {ESHUTDOWN, 10058},
    {EPIPE, 10058},           {ETOOMANYREFS, 10059}, {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061},    {ELOOP, 10062},        {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},       {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},
    {EAGAIN, 10035},
};

// Socket-level options named in Winsock numbering, as the layers above pass them.
struct TOptionCode {
  int Winsock;
  int Posix;
};
constexpr TOptionCode kSocketOptions[] = {
    {Id_SO_REUSEADDR, SO_REUSEADDR}, {Id_SO_KEEPALIVE, SO_KEEPALIVE}, {Id_SO_LINGER, SO_LINGER},
    {Id_SO_SNDBUF, SO_SNDBUF},       {Id_SO_RCVBUF, SO_RCVBUF},
};

void ToPosixOption(int& level, int& name) {
  if (level != Id_SOL_SOCKET) return;
  level = SOL_SOCKET;
  for (const TOptionCode& option : kSocketOptions) {
    if (option.Winsock == name) {
      name = option.Posix;
      return;
    }
  }
}

int ResolverCode(int result) {
  switch (result) {
    case EAI_NONAME:
      return Id_WSAHOST_NOT_FOUND;
    case EAI_AGAIN:
      return Id_WSATRY_AGAIN;
#ifdef EAI_NODATA
    case EAI_NODATA:
      return Id_WSANO_DATA;
#endif
    case EAI_SYSTEM:
      return WinsockCodeOfErrno(errno);
    default:
      return Id_WSANO_RECOVERY;
  }
}

// The service database functions share static storage.
std::mutex& ServicesLock() {
  static std::mutex lock;
  return lock;
}

int AsFd(TIdStackSocketHandle socket) {
  return static_cast<int>(socket);
}

template <class Call>
int Named(TIdStackSocketHandle socket, Call call, int& family, int& port, std::string& ip,
          TIdStackPosix& stack) {
  sockaddr_in addr{};
  socklen_t length = sizeof addr;
  int result = call(AsFd(socket), reinterpret_cast<sockaddr*>(&addr), &length);
  if (result == 0) SplitSockAddr(stack, addr, family, port, ip);
  return result;
}

}  // namespace

int WinsockCodeOfErrno(int error) {
  for (const TErrnoCode& entry : kErrnoCodes) {
    if (entry.Errno == error) return entry.Winsock;
  }
  return error;
}

std::unique_ptr<TIdStack> NewPlatformStack() {
  return std::make_unique<TIdStackPosix>();
}

void TIdStackPosix::RaiseResolverError(int code) {
  RecordError(code);
  RaiseForCode(code);
}

const char* TIdStackPosix::CodeText(int code) {
  return code == Id_WSAHOST_NOT_FOUND ? RSStackHostNotFound : TIdStack::CodeText(code);
}

void TIdStackPosix::FillLocalAddresses() {
  TStringList& list = AddressList();
  list.Clear();
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int result = getaddrinfo(LocalHostName().c_str(), nullptr, &hints, &found);
  if (result != 0) RaiseResolverError(ResolverCode(result));
  for (addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    int family = 0, port = 0;
    std::string ip;
    SplitSockAddr(*this, *reinterpret_cast<sockaddr_in*>(entry->ai_addr), family, port, ip);
    if (list.IndexOf(ip) < 0) list.Add(ip);
  }
  freeaddrinfo(found);
}

TIdStackSocketHandle TIdStackPosix::AcceptOn(TIdStackSocketHandle socket, std::string& ip,
                                             int& port) {
  sockaddr_in addr{};
  socklen_t length = sizeof addr;
  int result = ::accept(AsFd(socket), reinterpret_cast<sockaddr*>(&addr), &length);
  if (result >= 0) {
    int family = 0;
    SplitSockAddr(*this, addr, family, port, ip);
  }
  return result;
}

int TIdStackPosix::BindSocket(TIdStackSocketHandle socket, int family, const std::string& ip,
                              int port) {
  sockaddr_in addr = MakeSockAddr<sockaddr_in>(*this, family, ip, port);
  return ::bind(AsFd(socket), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
}

int TIdStackPosix::CloseSocketId(TIdStackSocketHandle socket) {
  return ::close(AsFd(socket));
}

int TIdStackPosix::ConnectSocket(TIdStackSocketHandle socket, int family, const std::string& ip,
                                 int port) {
  sockaddr_in addr = MakeSockAddr<sockaddr_in>(*this, family, ip, port);
  return ::connect(AsFd(socket), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
}

std::string TIdStackPosix::LookupHost(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int result = getaddrinfo(name.c_str(), nullptr, &hints, &found);
  if (result != 0) RaiseResolverError(ResolverCode(result));
  int family = 0, port = 0;
  std::string ip;
  SplitSockAddr(*this, *reinterpret_cast<sockaddr_in*>(found->ai_addr), family, port, ip);
  freeaddrinfo(found);
  return ip;
}

std::string TIdStackPosix::LocalHostName() {
  char name[250] = {};
  if (gethostname(name, sizeof name - 1) != 0) CheckResult(Id_SOCKET_ERROR);
  return name;
}

std::string TIdStackPosix::LookupAddress(const std::string& ip) {
  sockaddr_in addr = MakeSockAddr<sockaddr_in>(*this, Id_PF_INET, ip, 0);
  char host[NI_MAXHOST] = {};
  int result = getnameinfo(reinterpret_cast<sockaddr*>(&addr), sizeof addr, host, sizeof host,
                           nullptr, 0, NI_NAMEREQD);
  if (result != 0) RaiseResolverError(ResolverCode(result));
  return host;
}

int TIdStackPosix::PortOfService(const std::string& name) {
  {
    std::lock_guard<std::mutex> guard(ServicesLock());
    if (servent* service = getservbyname(name.c_str(), nullptr)) {
      return NetToHost16(static_cast<std::uint16_t>(service->s_port));
    }
  }
  return PortOfNumber(name);
}

std::vector<std::string> TIdStackPosix::ServicesOfPort(int port) {
  std::lock_guard<std::mutex> guard(ServicesLock());
  return ServentNames(getservbyport(HostToNet16(static_cast<std::uint16_t>(port)), nullptr));
}

std::uint16_t TIdStackPosix::HostToNet16(std::uint16_t value) {
  return htons(value);
}
std::uint16_t TIdStackPosix::NetToHost16(std::uint16_t value) {
  return ntohs(value);
}
std::uint32_t TIdStackPosix::HostToNet32(std::uint32_t value) {
  return htonl(value);
}
std::uint32_t TIdStackPosix::NetToHost32(std::uint32_t value) {
  return ntohl(value);
}

void TIdStackPosix::ListenOn(TIdStackSocketHandle socket, int backlog) {
  CheckResult(::listen(AsFd(socket), backlog));
}

int TIdStackPosix::ReceiveOn(TIdStackSocketHandle socket, void* buffer, int flags, int length) {
  return static_cast<int>(::recv(AsFd(socket), buffer, static_cast<std::size_t>(length), flags));
}

int TIdStackPosix::ReceiveFromOn(TIdStackSocketHandle socket, void* buffer, int& port,
                                 std::string& ip, int flags, int length) {
  return ReceiveFromSender<sockaddr_in, socklen_t>(
      *this, port, ip, [&](sockaddr_in* addr, socklen_t* size) {
        return static_cast<int>(::recvfrom(AsFd(socket), buffer, static_cast<std::size_t>(length),
                                           flags, reinterpret_cast<sockaddr*>(addr), size));
      });
}

int TIdStackPosix::WaitSockets(TIdSocketList* read, TIdSocketList* write, int timeout,
                               TIdSocketList* errors) {
  // poll, not select: descriptors above FD_SETSIZE must not overflow a set.
  struct TWanted {
    TIdSocketList* List;
    short Events;
  };
  const TWanted wanted[] = {{read, POLLIN}, {write, POLLOUT}, {errors, POLLPRI}};
  std::vector<pollfd> fds;
  for (const TWanted& w : wanted) {
    if (w.List == nullptr) continue;
    if (w.List->Count() > TIdSocketList::kMaxSockets) {
      throw EIdStackSetSizeExceeded(RSSetSizeExceeded);
    }
    for (TIdStackSocketHandle id : w.List->Ids())
      fds.push_back({AsFd(id), w.Events, 0});
  }
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout < 0 ? 0 : timeout);
  int result;
  for (;;) {
    int wait = -1;
    if (timeout != IdTimeoutInfinite) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }
    result = ::poll(fds.data(), fds.size(), wait);
    if (result >= 0 || errno != EINTR) break;
  }
  if (result < 0) return result;
  // Counted as select counts: once per set a socket is ready in.
  int ready = 0;
  std::size_t index = 0;
  for (const TWanted& w : wanted) {
    if (w.List == nullptr) continue;
    std::vector<TIdStackSocketHandle> kept;
    for (TIdStackSocketHandle id : w.List->Ids()) {
      short got = fds[index++].revents;
      short counts =
          w.Events == POLLPRI ? POLLPRI : static_cast<short>(w.Events | POLLHUP | POLLERR);
      if ((got & counts) != 0) kept.push_back(id);
    }
    w.List->Clear();
    for (TIdStackSocketHandle id : kept)
      w.List->Add(id);
    ready += static_cast<int>(kept.size());
  }
  return ready;
}

int TIdStackPosix::SendOn(TIdStackSocketHandle socket, const void* buffer, int flags, int length) {
  // A peer's close must come back as an error code, not as SIGPIPE.
  return static_cast<int>(
      ::send(AsFd(socket), buffer, static_cast<std::size_t>(length), flags | MSG_NOSIGNAL));
}

int TIdStackPosix::SendToOn(TIdStackSocketHandle socket, const void* buffer, const std::string& ip,
                            int port, int flags, int length) {
  sockaddr_in addr = MakeSockAddr<sockaddr_in>(*this, Id_PF_INET, ip, port);
  return static_cast<int>(::sendto(AsFd(socket), buffer, static_cast<std::size_t>(length),
                                   flags | MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&addr),
                                   sizeof addr));
}

int TIdStackPosix::SetSocketOption(TIdStackSocketHandle socket, int level, int name,
                                   const void* value, int length) {
  ToPosixOption(level, name);
  return ::setsockopt(AsFd(socket), level, name, value, static_cast<socklen_t>(length));
}

TIdStackSocketHandle TIdStackPosix::OpenSocket(int family, int type, int protocol) {
  int fd = ::socket(family, type, protocol);
  return fd < 0 ? Id_INVALID_SOCKET : fd;
}

int TIdStackPosix::ShutdownSocket(TIdStackSocketHandle socket, int how) {
  return ::shutdown(AsFd(socket), how);  // SHUT_RD/WR/RDWR are 0/1/2 as in Winsock
}

int TIdStackPosix::LastErrorCode() {
  return WinsockCodeOfErrno(errno);
}

void TIdStackPosix::RemoteNameOf(TIdStackSocketHandle socket, int& family, int& port,
                                 std::string& ip) {
  CheckResult(Named(socket, ::getpeername, family, port, ip, *this));
}

void TIdStackPosix::LocalNameOf(TIdStackSocketHandle socket, int& family, int& port,
                                std::string& ip) {
  CheckResult(Named(socket, ::getsockname, family, port, ip, *this));
}

int TIdStackPosix::GetSocketOption(TIdStackSocketHandle socket, int level, int name, void* value,
                                   int& length) {
  ToPosixOption(level, name);
  socklen_t size = static_cast<socklen_t>(length);
  int result = ::getsockopt(AsFd(socket), level, name, value, &size);
  length = static_cast<int>(size);
  return result;
}

}  // namespace vantro
