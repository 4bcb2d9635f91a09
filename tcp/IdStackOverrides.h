// The declarations every concrete stack repeats: all of TIdStack's abstract
// operations, overridden. Used inside a class body derived from TIdStack.
#pragma once

#define VANTRO_STACK_OVERRIDES                                                                     \
  void FillLocalAddresses() override;                                                              \
  TIdStackSocketHandle AcceptOn(TIdStackSocketHandle socket, std::string& ip, int& port) override; \
  int BindSocket(TIdStackSocketHandle socket, int family, const std::string& ip, int port)         \
      override;                                                                                    \
  int CloseSocketId(TIdStackSocketHandle socket) override;                                         \
  int ConnectSocket(TIdStackSocketHandle socket, int family, const std::string& ip, int port)      \
      override;                                                                                    \
  std::string LookupHost(const std::string& name) override;                                        \
  std::string LocalHostName() override;                                                            \
  std::string LookupAddress(const std::string& ip) override;                                       \
  int PortOfService(const std::string& name) override;                                             \
  std::vector<std::string> ServicesOfPort(int port) override;                                      \
  std::uint16_t HostToNet16(std::uint16_t value) override;                                         \
  void ListenOn(TIdStackSocketHandle socket, int backlog) override;                                \
  std::uint16_t NetToHost16(std::uint16_t value) override;                                         \
  std::uint32_t HostToNet32(std::uint32_t value) override;                                         \
  std::uint32_t NetToHost32(std::uint32_t value) override;                                         \
  int ReceiveOn(TIdStackSocketHandle socket, void* buffer, int flags, int length) override;        \
  int ReceiveFromOn(TIdStackSocketHandle socket, void* buffer, int& port, std::string& ip,         \
                    int flags, int length) override;                                               \
  int WaitSockets(TIdSocketList* read, TIdSocketList* write, int timeout, TIdSocketList* errors)   \
      override;                                                                                    \
  int SendOn(TIdStackSocketHandle socket, const void* buffer, int flags, int length) override;     \
  int SendToOn(TIdStackSocketHandle socket, const void* buffer, const std::string& ip, int port,   \
               int flags, int length) override;                                                    \
  int SetSocketOption(TIdStackSocketHandle socket, int level, int name, const void* value,         \
                      int length) override;                                                        \
  TIdStackSocketHandle OpenSocket(int family, int type, int protocol) override;                    \
  int ShutdownSocket(TIdStackSocketHandle socket, int how) override;                               \
  int LastErrorCode() override;                                                                    \
  void RemoteNameOf(TIdStackSocketHandle socket, int& family, int& port, std::string& ip)          \
      override;                                                                                    \
  void LocalNameOf(TIdStackSocketHandle socket, int& family, int& port, std::string& ip) override; \
  int GetSocketOption(TIdStackSocketHandle socket, int level, int name, void* value, int& length)  \
      override;                                                                                    \
                                                                                                   \
 protected:                                                                                        \
  const char* CodeText(int code) override;
