#include "tcp/IdSocks.h"

#include "tcp/IdException.h"
#include "tcp/IdIOHandler.h"
#include "tcp/IdResourceStrings.h"
#include "tcp/IdStack.h"

namespace vantro {

namespace {

std::string PortBytes(int port) {
  return {static_cast<char>((port >> 8) & 0xff), static_cast<char>(port & 0xff)};
}

// Names and passwords carry a one-byte length; longer ones cannot be sent.
char LengthByte(const std::string& text) {
  if (text.size() > 255) throw EIdSocksServerRespondError(RSSocksServerRespondError);
  return static_cast<char>(text.size());
}

[[noreturn]] void RaiseSocks4Reply(unsigned char code) {
  switch (code) {
    case 91:
      throw EIdSocksRequestFailed(RSSocksRequestFailed);
    case 92:
      throw EIdSocksRequestServerFailed(RSSocksRequestServerFailed);
    case 93:
      throw EIdSocksRequestIdentFailed(RSSocksRequestIdentFailed);
    default:
      throw EIdSocksUnknownError(RSSocksUnknownError);
  }
}

[[noreturn]] void RaiseSocks5Reply(unsigned char code) {
  switch (code) {
    case 1:
      throw EIdSocksServerGeneralError(RSSocksServerGeneralError);
    case 2:
      throw EIdSocksServerPermissionError(RSSocksServerPermissionError);
    case 3:
      throw EIdSocksServerNetUnreachableError(RSSocksServerNetUnreachableError);
    case 4:
      throw EIdSocksServerHostUnreachableError(RSSocksServerHostUnreachableError);
    case 5:
      throw EIdSocksServerConnectionRefusedError(RSSocksServerConnectionRefusedError);
    case 6:
      throw EIdSocksServerTTLExpiredError(RSSocksServerTTLExpiredError);
    case 7:
      throw EIdSocksServerCommandError(RSSocksServerCommandError);
    case 8:
      throw EIdSocksServerAddressError(RSSocksServerAddressError);
    default:
      throw EIdSocksUnknownError(RSSocksUnknownError);
  }
}

}  // namespace

void TIdSocksInfo::Assign(const TIdSocksInfo& source) {
  Version = source.Version;
  Host = source.Host;
  Port = source.Port;
  Authentication = source.Authentication;
  Username = source.Username;
  Password = source.Password;
}

void TIdSocksInfo::SocksHandshake(const std::string& host, int port) {
  switch (Version) {
    case svSocks4:
    case svSocks4A:
      Socks4(host, port);
      break;
    case svSocks5:
      Socks5(host, port);
      break;
    default:
      break;
  }
}

void TIdSocksInfo::SendAll(const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    int n = ioHandler_->SendFrom(bytes.data() + sent, static_cast<int>(bytes.size() - sent));
    if (n <= 0) throw EIdSocksServerRespondError(RSSocksServerRespondError);
    sent += static_cast<std::size_t>(n);
  }
}

// A reply may arrive in pieces; a close or error before its end is no answer.
std::string TIdSocksInfo::ReceiveExactly(int count) {
  std::string bytes(static_cast<std::size_t>(count), '\0');
  int got = 0;
  while (got < count) {
    int n = ioHandler_->ReceiveInto(bytes.data() + got, count - got);
    if (n <= 0) throw EIdSocksServerRespondError(RSSocksServerRespondError);
    got += n;
  }
  return bytes;
}

void TIdSocksInfo::Socks4(const std::string& host, int port) {
  std::string request = {4, 1};
  request += PortBytes(port);
  TIdInAddr addr;
  if (Version == svSocks4A) {
    addr.Bytes[3] = 1;
  } else {
    addr = TIdStack::TextToAddr(GStack()->ResolveToIP(host));
  }
  request.append(reinterpret_cast<const char*>(addr.Bytes), 4);
  request += Username;
  request += '\0';
  if (Version == svSocks4A) {
    request += host;
    request += '\0';
  }
  SendAll(request);
  const std::string reply = ReceiveExactly(8);
  const auto code = static_cast<unsigned char>(reply[1]);
  if (code != 90) RaiseSocks4Reply(code);
}

void TIdSocksInfo::Socks5(const std::string& host, int port) {
  const char method = Authentication == saUsernamePassword ? 2 : 0;
  SendAll(std::string{5, 1, method});
  std::string reply = ReceiveExactly(2);
  if (reply[1] != method) throw EIdSocksAuthMethodError(RSSocksAuthMethodError);
  if (method == 2) {
    std::string login{1, LengthByte(Username)};
    login += Username;
    login += LengthByte(Password);
    login += Password;
    SendAll(login);
    reply = ReceiveExactly(2);
    if (reply[1] != 0) throw EIdSocksAuthError(RSSocksAuthError);
  }
  std::string request{5, 1, 0, 3, LengthByte(host)};
  request += host;
  request += PortBytes(port);
  SendAll(request);
  reply = ReceiveExactly(5);
  const auto code = static_cast<unsigned char>(reply[1]);
  if (code != 0) RaiseSocks5Reply(code);
  // The bound address and port follow; the client has no use for them.
  int rest;
  switch (reply[3]) {
    case 1:
      rest = 5;
      break;
    case 3:
      rest = static_cast<unsigned char>(reply[4]) + 2;
      break;
    case 4:
      rest = 17;
      break;
    default:
      // The length of the rest is unknown: the stream cannot be trusted.
      throw EIdSocksUnknownError(RSSocksUnknownError);
  }
  ReceiveExactly(rest);
}

}  // namespace vantro
