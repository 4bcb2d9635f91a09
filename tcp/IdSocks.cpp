#include "tcp/IdSocks.h"

#include <algorithm>
#include <cstddef>

#include "tcp/IdException.h"
#include "tcp/IdIOHandler.h"
#include "tcp/IdResourceStrings.h"
#include "tcp/IdStack.h"

namespace vantro {

namespace {

std::string PortBytes(int port) {
  return {static_cast<char>((port >> 8) & 0xff), static_cast<char>(port & 0xff)};
}

// Names, passwords and SOCKS 5 host names carry a one-byte length (RFC 1928
// section 5, RFC 1929 section 2).
constexpr std::size_t kMostSocksFieldBytes = 255;

constexpr char kSocks5HostLength[] = "The SOCKS 5 host name must be 1 to 255 bytes long.";
constexpr char kSocks5UserLength[] = "The SOCKS 5 user name must be 1 to 255 bytes long.";
constexpr char kSocks5PasswordLength[] = "The SOCKS 5 password must be at most 255 bytes long.";
constexpr char kSocks4Nul[] = "The SOCKS 4 user name and host name cannot hold a NUL byte.";

// Reply versions: SOCKS 4 answers with 0 (its VN), SOCKS 5 with 5, its user
// and password check with 1 (RFC 1929 section 2).
constexpr char kSocks4ReplyVersion = 0;
constexpr char kSocks5Version = 5;
constexpr char kLoginVersion = 1;

char LengthByte(const std::string& text) {
  return static_cast<char>(text.size());
}

// A reply of another version is no answer to what was asked.
void ExpectVersion(const std::string& reply, char version) {
  if (reply[0] != version) throw EIdSocksUnknownError(RSSocksUnknownError);
}

// A reply code's error: its exception class with its text.
template <class Error, const char* kText>
[[noreturn]] void Raise() {
  throw Error(kText);
}
using Raiser = void (*)();

// SOCKS 4 refusals, codes 91 to 93.
constexpr Raiser kSocks4Refusals[] = {
    Raise<EIdSocksRequestFailed, RSSocksRequestFailed>,
    Raise<EIdSocksRequestServerFailed, RSSocksRequestServerFailed>,
    Raise<EIdSocksRequestIdentFailed, RSSocksRequestIdentFailed>,
};
constexpr unsigned kFirstSocks4Refusal = 91;

// SOCKS 5 failures, codes 1 to 8 (RFC 1928 section 6).
constexpr Raiser kSocks5Failures[] = {
    Raise<EIdSocksServerGeneralError, RSSocksServerGeneralError>,
    Raise<EIdSocksServerPermissionError, RSSocksServerPermissionError>,
    Raise<EIdSocksServerNetUnreachableError, RSSocksServerNetUnreachableError>,
    Raise<EIdSocksServerHostUnreachableError, RSSocksServerHostUnreachableError>,
    Raise<EIdSocksServerConnectionRefusedError, RSSocksServerConnectionRefusedError>,
    Raise<EIdSocksServerTTLExpiredError, RSSocksServerTTLExpiredError>,
    Raise<EIdSocksServerCommandError, RSSocksServerCommandError>,
    Raise<EIdSocksServerAddressError, RSSocksServerAddressError>,
};
constexpr unsigned kFirstSocks5Failure = 1;

// The error of a reply code from a table that starts at code first; any
// other code is an unknown error.
template <std::size_t N>
[[noreturn]] void RaiseReply(unsigned char code, unsigned first, const Raiser (&table)[N]) {
  if (code >= first && code - first < N) table[code - first]();
  throw EIdSocksUnknownError(RSSocksUnknownError);
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

void TIdSocksInfo::SocksHandshake(const std::string& host, int port, int timeout,
                                  TClock::time_point started) {
  if (Version == svNoSocks) return;
  CheckSettings(host);
  bounded_ = timeout >= 0;
  deadline_ = started + std::chrono::milliseconds(std::max(timeout, 0));
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

void TIdSocksInfo::CheckSettings(const std::string& host) const {
  auto fits = [](const std::string& text) { return text.size() <= kMostSocksFieldBytes; };
  if (Version == svSocks5) {
    if (host.empty() || !fits(host)) throw EIdSocksError(kSocks5HostLength);
    if (Authentication == saUsernamePassword) {
      if (Username.empty() || !fits(Username)) throw EIdSocksError(kSocks5UserLength);
      if (!fits(Password)) throw EIdSocksError(kSocks5PasswordLength);
    }
    return;
  }
  // SOCKS 4 ends its fields with a NUL: one inside would cut them there.
  if (Username.find('\0') != std::string::npos || host.find('\0') != std::string::npos)
    throw EIdSocksError(kSocks4Nul);
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
    if (bounded_) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - TClock::now()).count();
      if (left <= 0 || !ioHandler_->WaitReadable(static_cast<int>(left)))
        throw EIdSocksServerRespondError(RSSocksServerRespondError);
    }
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
  ExpectVersion(reply, kSocks4ReplyVersion);
  const auto code = static_cast<unsigned char>(reply[1]);
  if (code != 90) RaiseReply(code, kFirstSocks4Refusal, kSocks4Refusals);
}

void TIdSocksInfo::Socks5(const std::string& host, int port) {
  const char method = Authentication == saUsernamePassword ? 2 : 0;
  SendAll(std::string{kSocks5Version, 1, method});
  std::string reply = ReceiveExactly(2);
  ExpectVersion(reply, kSocks5Version);
  if (reply[1] != method) throw EIdSocksAuthMethodError(RSSocksAuthMethodError);
  if (method == 2) {
    std::string login{kLoginVersion, LengthByte(Username)};
    login += Username;
    login += LengthByte(Password);
    login += Password;
    SendAll(login);
    reply = ReceiveExactly(2);
    ExpectVersion(reply, kLoginVersion);
    if (reply[1] != 0) throw EIdSocksAuthError(RSSocksAuthError);
  }
  std::string request{kSocks5Version, 1, 0, 3, LengthByte(host)};
  request += host;
  request += PortBytes(port);
  SendAll(request);
  reply = ReceiveExactly(5);
  ExpectVersion(reply, kSocks5Version);
  const auto code = static_cast<unsigned char>(reply[1]);
  if (code != 0) RaiseReply(code, kFirstSocks5Failure, kSocks5Failures);
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
