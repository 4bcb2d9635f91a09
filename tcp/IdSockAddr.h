// IPv4 socket addresses from and to the stack's (text, port) pairs; the BSD
// and Winsock headers share these field names.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "tcp/IdStack.h"

namespace vantro {

// An address of family 2; an empty text means any local address.
template <class SockAddrIn, class Stack>
SockAddrIn MakeSockAddr(Stack& stack, int family, const std::string& ip, int port) {
  SockAddrIn addr;
  std::memset(&addr, 0, sizeof addr);
  addr.sin_family = static_cast<decltype(addr.sin_family)>(family);
  addr.sin_port = stack.HostToNet16(static_cast<std::uint16_t>(port));
  if (!ip.empty()) {
    TIdInAddr bytes = TIdStack::TextToAddr(ip);
    std::memcpy(&addr.sin_addr, bytes.Bytes, 4);
  }
  return addr;
}

template <class SockAddrIn, class Stack>
void SplitSockAddr(Stack& stack, const SockAddrIn& addr, int& family, int& port, std::string& ip) {
  family = addr.sin_family;
  port = stack.NetToHost16(addr.sin_port);
  TIdInAddr bytes;
  std::memcpy(bytes.Bytes, &addr.sin_addr, 4);
  ip = TIdStack::AddrToText(bytes);
}

// A receive that tells its sender: receive(address, size) is the system's
// recvfrom with the socket and buffer bound; the sender's port and text are
// filled in when it worked.
template <class SockAddrIn, class SockLen, class Stack, class Receive>
int ReceiveFromSender(Stack& stack, int& port, std::string& ip, Receive receive) {
  SockAddrIn addr{};
  SockLen size = sizeof addr;
  const int result = receive(&addr, &size);
  if (result >= 0) {
    int family = 0;
    SplitSockAddr(stack, addr, family, port, ip);
  }
  return result;
}

// A service entry's official name, then its aliases.
template <class Servent>
std::vector<std::string> ServentNames(const Servent* service) {
  std::vector<std::string> names;
  if (service == nullptr) return names;
  names.emplace_back(service->s_name);
  for (char** alias = service->s_aliases; alias != nullptr && *alias != nullptr; ++alias) {
    names.emplace_back(*alias);
  }
  return names;
}

}  // namespace vantro
