#include "http/IdHTTP.h"

#include "http/IdGlobal.h"
#include "rtl/AnsiText.h"
#include "rtl/Convert.h"
#include "tcp/IdLimits.h"
#include "tcp/IdStackConsts.h"

namespace vantro {
namespace {

const char* MethodWord(TIdHTTPMethod verb) {
  switch (verb) {
    case hmHead:
      return "HEAD ";
    case hmGet:
      return "GET ";
    case hmPost:
      return "POST ";
    case hmOptions:
      return "OPTIONS ";
    case hmTrace:
      return "TRACE ";
    case hmPut:
      return "PUT ";
    case hmDelete:
      return "DELETE ";
    case hmConnect:
      return "CONNECT ";
  }
  return "";
}

bool SendsBody(TIdHTTPMethod verb) {
  return verb == hmPost || verb == hmPut;
}

bool IsIdempotent(TIdHTTPMethod verb) {
  return verb == hmGet || verb == hmHead || verb == hmOptions || verb == hmTrace;
}

// What a server's close of a kept connection looks like to the next request.
bool IsStaleConnectionFailure(const EIdException& e) {
  if (dynamic_cast<const EIdConnClosedGracefully*>(&e) != nullptr ||
      dynamic_cast<const EIdNotConnected*>(&e) != nullptr)
    return true;
  const auto* socket = dynamic_cast<const EIdSocketError*>(&e);
  return socket != nullptr &&
         (socket->LastError() == Id_WSAECONNRESET || socket->LastError() == Id_WSAECONNABORTED ||
          socket->LastError() == Id_WSAESHUTDOWN);
}

// A CR, LF or NUL would end the line early and let the rest be read as a
// header or a request of its own (RFC 9110 section 5.5).
void RefuseLineBreaks(std::string_view text, const char* what) {
  if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
    throw EIdHTTPInvalidRequest(std::string(what) + " holds a line break or NUL: refused.");
}

// A line that begins with a blank would continue the one before it, a fold
// no sender may write (RFC 9112 section 5.2).
void RefuseFold(std::string_view line) {
  if (!line.empty() && (line[0] == ' ' || line[0] == '\t'))
    throw EIdHTTPInvalidRequest("A header line begins with a blank: refused.");
}

// Lines of the request's credentials that go to the proxy only.
bool IsProxyCredentialsLine(std::string_view line) {
  constexpr std::string_view kName = "Proxy-Authorization:";
  return line.size() >= kName.size() && SameText(line.substr(0, kName.size()), kName);
}

}  // namespace

TIdCustomHTTP::TIdCustomHTTP() : protocol_(std::make_unique<TIdHTTPProtocol>(*this)) {
  TargetURI.PortText = "80";
  TIdTCPClient::SetPort(80);
}

TIdCustomHTTP::~TIdCustomHTTP() {
  if (cookieManager_ != nullptr) cookieManager_->RemoveFreeNotification(this);
}

std::string TIdCustomHTTP::GetText(const std::string& url) {
  TMemoryStream body;
  GetToStream(url, body);
  return body.Release();
}

void TIdCustomHTTP::GetToStream(const std::string& url, TStream& dest) {
  ExecuteRequest(hmGet, url, nullptr, &dest);
}

void TIdCustomHTTP::ExecuteRequest(TIdHTTPMethod verb, const std::string& url, TStream* source,
                                   TStream* dest) {
  const std::int64_t start = dest != nullptr ? dest->Position() : 0;
  AuthAttempts = 0;
  ProxyAuthAttempts = 0;
  // Each call counts its own redirects; a failed call must not shorten the next one's.
  RedirectsTaken = 0;
  TIdHTTPRequest& request = Request();
  TIdHTTPResponse& response = Reply();
  request.RequestTarget = url;
  request.Verb = verb;
  request.BodySource = source;
  response.BodyStream = dest;
  exchangeOpen_ = false;
  // The call's URL merged once: a retry must not resolve a relative path again.
  std::string callTarget;

  try {
    for (bool again = true; again;) {
      ++RedirectsTaken;
      PrepareTarget(request);
      credentials_.Select(request, TargetOrigin(), callTarget.empty());
      if (callTarget.empty()) callTarget = TargetURI.ComposePlainURI();
      SendAndReadStatus(*protocol_);
      ReadFinalHead(response);

      const TIdHTTPNextStep step = protocol_->DecideNextStep();
      exchangeOpen_ = false;
      switch (step) {
        case nsFollow:
          if (dest != nullptr) {
            dest->SetSize(start);
            dest->SetPosition(start);
          }
          // A challenge accepted after the server closed is sent again on a
          // new connection; its attempts keep counting, or a server that
          // closes after every challenge would be asked forever.
          if (!protocol_->ChallengeAccepted()) {
            AuthAttempts = 0;
            ProxyAuthAttempts = 0;
          }
          break;
        case nsRetryAuth:
          --RedirectsTaken;
          request.RequestTarget = callTarget;
          break;
        case nsDone:
          again = false;
          break;
        case nsUndecided:
          throw EIdException("Undefined situation");
      }
    }
  } catch (const EIdHTTPProtocolException&) {
    // The refused answer was read to its end: the connection is in step.
    if (!response.ConnectionReusable()) CloseConnection();
    throw;
  } catch (...) {
    // Anything else in the middle of an exchange may have left part of an
    // answer unread; a call refused before it sent anything leaves the
    // connection as it was.
    if (exchangeOpen_ || !response.ConnectionReusable()) CloseConnection();
    throw;
  }
  if (!response.ConnectionReusable()) CloseConnection();
  RedirectsTaken = 0;
}

void TIdCustomHTTP::ReadFinalHead(TIdHTTPResponse& response) {
  // Interim answers come with a head and no body (RFC 9110 section 15.2);
  // 101 ends HTTP on the connection and is final.
  for (int interim = 0;; ++interim) {
    protocol_->ReadResponseHead();
    HandOverCookies(response);
    const int code = response.StatusCode();
    if (code < 100 || code >= 200 || code == 101) return;
    if (interim == kMostInterimAnswers)
      throw EIdHTTPFramingError("More than " + IntToStr(kMostInterimAnswers) + " interim answers.");
    response.StatusLine = ReadLine("\n");
  }
}

void TIdCustomHTTP::SendAndReadStatus(TIdHTTPProtocol& protocol) {
  for (bool resent = false;; resent = true) {
    connectionReused_ = false;
    try {
      OpenAndSend(protocol);
      protocol.Response().StatusLine = ReadLine("\n");
      return;
    } catch (const EIdException& e) {
      // A kept connection the server closed as the request went out failed
      // no request: one without a body goes once more on a new connection
      // (RFC 9112 section 9.3.1), never after a byte of an answer came.
      if (resent || !connectionReused_ || !IsIdempotent(protocol.Request().Verb) ||
          InputQueue().Size() > 0 || !IsStaleConnectionFailure(e))
        throw;
    }
    exchangeOpen_ = false;
    CloseConnection();
  }
}

void TIdCustomHTTP::PrepareTarget(TIdHTTPRequest& request) {
  const TIdURI next(request.RequestTarget);
  if (!next.User.empty()) {
    request.Username = next.User;
    request.Password = next.UserPassword;
  }
  TargetURI.User = request.Username;
  TargetURI.UserPassword = request.Password;

  TargetURI.DirPath = MergePath(TargetURI.DirPath, next.DirPath, "/");
  TargetURI.DocName = next.DocName;
  TargetURI.Query = next.Query;
  if (!next.HostName.empty()) TargetURI.HostName = next.HostName;
  TargetURI.Scheme = next.Scheme.empty() ? std::string("http") : next.Scheme;

  if (!next.PortText.empty()) {
    TargetURI.PortText = next.PortText;
  } else {
    const std::int32_t oldPort = StrToIntDef(TargetURI.PortText, 0);
    if (oldPort == 0 || oldPort == 80 || oldPort == 443) {
      if (SameText(TargetURI.Scheme, "http")) {
        TargetURI.PortText = "80";
      } else if (SameText(TargetURI.Scheme, "https")) {
        TargetURI.PortText = "443";
      } else {
        throw EIdUnknownProtocol("");
      }
    }
  }

  if (request.Verb == hmOptions && next.DocName == "*") {
    request.RequestTarget = "*";
  } else {
    request.RequestTarget = TargetURI.DirPath + TargetURI.DocName + TargetURI.Query;
  }
  const TIdHTTPMethod verb = request.Verb;
  if ((verb == hmOptions || verb == hmTrace || verb == hmPut || verb == hmDelete) &&
      ProtocolVersion != pv1_1) {
    throw EIdException("This request method is supported in HTTP 1.1");
  }
  request.SetContentLength(
      SendsBody(verb) && request.BodySource != nullptr ? request.BodySource->Size() : -1);
  request.Host = TargetURI.PortText == "80" ? TargetURI.HostName
                                            : TargetURI.HostName + ":" + TargetURI.PortText;
  if (!next.User.empty()) credentials_.GivenFor(request, TargetOrigin());
}

std::string TIdCustomHTTP::TunnelTarget() const {
  return TargetURI.HostName + ":" + TargetURI.PortText;
}

std::string TIdCustomHTTP::TargetOrigin() const {
  return LowerCase(TargetURI.Scheme) + "://" + LowerCase(TargetURI.HostName) + ":" +
         TargetURI.PortText;
}

TIdSSLIOHandlerSocket* TIdCustomHTTP::SSLHandler() const {
  return dynamic_cast<TIdSSLIOHandlerSocket*>(IOHandler());
}

TIdHTTPRoute TIdCustomHTTP::ChooseRoute() {
  const bool secure = SameText(TargetURI.Scheme, "HTTPS");
  TIdSSLIOHandlerSocket* ssl = SSLHandler();
  if (ProxyParams.ProxyServer().empty()) {
    if (!SameText(Host, TargetURI.HostName) || Port != StrToInt32(TargetURI.PortText)) {
      if (IsConnected()) CloseConnection();
      SetHost(TargetURI.HostName);
      SetPort(StrToInt32(TargetURI.PortText));
    }
    // A kept connection carries one scheme: plain bytes must not go on a
    // TLS connection, nor TLS begin on one that carried plain HTTP.
    if (ssl != nullptr && ssl->Secured() != secure && IsConnected()) CloseConnection();
    if (secure) {
      if (ssl == nullptr) throw EIdIOHandlerPropInvalid("IOHandler value is not valid");
      ssl->PassThrough = false;
      return rtTLS;
    }
    if (ssl != nullptr) ssl->PassThrough = true;
    return rtDirect;
  }

  // Without a TLS handler the tunnel would carry the request in the clear:
  // refused as the direct route refuses it, before anything is sent.
  if (secure && ssl == nullptr) throw EIdIOHandlerPropInvalid("IOHandler value is not valid");
  if ((Host != ProxyParams.ProxyServer() || Port != ProxyParams.ProxyPort()) && IsConnected()) {
    CloseConnection();
  }
  // The proxy is the TCP peer; the target stays as it is.
  TIdTCPClient::SetHost(ProxyParams.ProxyServer());
  TIdTCPClient::SetPort(ProxyParams.ProxyPort());
  if (secure) {
    ssl->PassThrough = true;
    return rtTLSViaProxy;
  }
  if (ssl != nullptr) ssl->PassThrough = true;
  return rtProxy;
}

void TIdCustomHTTP::OpenAndSend(TIdHTTPProtocol& protocol) {
  TIdHTTPRequest& request = protocol.Request();
  request.Route = ChooseRoute();
  switch (request.Route) {
    case rtDirect:
      if (ProtocolVersion == pv1_0 && request.Connection.empty()) request.Connection = "keep-alive";
      break;
    case rtProxy:
      request.RequestTarget = TargetURI.ComposePlainURI();
      if (ProtocolVersion == pv1_0 && request.Connection.empty()) {
        request.ProxyConnection = "keep-alive";
      }
      break;
    case rtTLS:
    case rtTLSViaProxy:
      request.Connection.clear();
      break;
  }
  // Composed before connecting, so a request refused for its contents
  // leaves the connection as it was.
  const std::string head = ComposeRequestHead(request, &TargetURI);
  // A kept tunnel reaches its one origin only (RFC 9110 section 9.3.6): a
  // request for anything else, a CONNECT included, needs a new proxy connection.
  const std::string tunnel = request.Route == rtTLSViaProxy ? TunnelTarget() : std::string();
  if (!tunnelTarget_.empty() && tunnelTarget_ != tunnel) CloseConnection();
  if (request.Route != rtTLSViaProxy) {
    EnsureConnected(protocol.Response());
  } else {
    if (!tunnelTarget_.empty()) EnsureConnected(protocol.Response());
    if (tunnelTarget_.empty()) {
      OpenTunnel(request);
    } else if (TIdSSLIOHandlerSocket* ssl = SSLHandler()) {
      ssl->PassThrough = false;
    }
  }
  exchangeOpen_ = true;
  SendHead(head);
  if (SendsBody(request.Verb) && request.BodySource != nullptr) {
    SendStream(*request.BodySource, true, false);
  }
}

void TIdCustomHTTP::EnsureConnected(TIdHTTPResponse& previous) {
  if (!previous.ConnectionReusable()) CloseConnection();
  try {
    ProbePeerClose(false);
  } catch (const EIdException& e) {
    // A kept connection the peer reset is gone as one it closed: nothing
    // was sent on it yet, so a new one carries the request.
    if (!IsStaleConnectionFailure(e)) throw;
    CloseConnection();
  }
  // Bytes that came before this request was sent answer nothing it asks: the
  // server sent more than it framed, and the connection is out of step.
  if (IsConnected() && InputQueue().Size() > 0) CloseConnection();
  connectionReused_ = IsConnected();
  if (connectionReused_) return;
  try {
    OpenConnection(ReadTimeout);
  } catch (const EIdSSLProtocolReplyError&) {
    CloseConnection();
    throw;
  }
}

void TIdCustomHTTP::SendRequestHead(TIdHTTPRequest& request, const TIdURI* cookieTarget) {
  SendHead(ComposeRequestHead(request, cookieTarget));
}

std::string TIdCustomHTTP::ComposeRequestHead(TIdHTTPRequest& request, const TIdURI* cookieTarget) {
  request.StoreToHeaderLines();
  TIdHeaderList& lines = request.HeaderLines();
  // Proxy credentials are for the proxy that reads this head: never for an
  // origin, never inside a tunnel (RFC 9110 section 11.7.2).
  if (request.Route == rtProxy) {
    ProxyParams.AddProxyAuthorization(lines);
  } else {
    for (int i = lines.Count() - 1; i >= 0; --i)
      if (IsProxyCredentialsLine(lines[i])) lines.Delete(i);
  }
  if (cookieTarget != nullptr) {
    // Credentials go only where they were given (as curl and browsers do on
    // a redirect to another host, port or scheme).
    if (lines.IndexOfHeader("Authorization") >= 0 && !credentials_.Selected()) {
      while (lines.IndexOfHeader("Authorization") >= 0)
        lines.SetValueOf("Authorization", "");
    }
    if (cookieManager_ != nullptr) {
      // Secure cookies go with https requests only, whatever handler is attached.
      const std::string cookies =
          cookieManager_->BuildCookieHeader(*cookieTarget, SameText(cookieTarget->Scheme, "HTTPS"));
      if (!cookies.empty()) lines.SetValueOf("Cookie", cookies);
    }
  }

  RefuseLineBreaks(request.RequestTarget, "The URL");
  std::string head = MethodWord(request.Verb);
  // The head is built in one piece of memory, sized up front.
  std::size_t size = head.size() + request.RequestTarget.size() + 13;
  for (int i = 0; i < lines.Count(); ++i)
    size += lines[i].size() + 2;
  head.reserve(size);
  head += request.RequestTarget;
  head += ProtocolVersion == pv1_0 ? " HTTP/1.0\r\n" : " HTTP/1.1\r\n";
  for (int i = 0; i < lines.Count(); ++i) {
    if (lines[i].empty()) continue;
    RefuseLineBreaks(lines[i], "A header line");
    RefuseFold(lines[i]);
    head.append(lines[i]).append("\r\n");
  }
  head += "\r\n";
  return head;
}

void TIdCustomHTTP::SendHead(const std::string& head) {
  BeginWriteBatch(-1);
  try {
    SendText(head);
  } catch (...) {
    DropWriteBatch();
    throw;
  }
  EndWriteBatch();
}

void TIdCustomHTTP::HandOverCookies(TIdHTTPResponse& response) {
  if (cookieManager_ == nullptr && AllowCookies) {
    ownedCookieManager_ = std::make_unique<TIdCookieManager>(this);
    cookieManager_ = ownedCookieManager_.get();
  }
  if (cookieManager_ == nullptr) return;
  TStringList cookies, cookies2;
  response.HeaderLines().CollectValues("Set-cookie", &cookies);
  response.HeaderLines().CollectValues("Set-cookie2", &cookies2);
  for (int i = 0; i < cookies.Count(); ++i) {
    cookieManager_->AcceptSetCookie(cookies[i], TargetURI);
  }
  for (int i = 0; i < cookies2.Count(); ++i) {
    cookieManager_->AcceptSetCookie2(cookies2[i], TargetURI);
  }
}

void TIdCustomHTTP::SetCookieManager(TIdCookieManager* manager) {
  if (cookieManager_ != nullptr && !ownedCookieManager_)
    cookieManager_->RemoveFreeNotification(this);
  ownedCookieManager_.reset();
  cookieManager_ = manager;
  if (manager != nullptr) manager->FreeNotification(this);
}

void TIdCustomHTTP::Notification(TIdBaseComponent* removed) {
  TIdTCPClient::Notification(removed);
  if (removed == cookieManager_ && !ownedCookieManager_) cookieManager_ = nullptr;
}

void TIdCustomHTTP::SetHost(const std::string& host) {
  TIdTCPClient::SetHost(host);
  TargetURI.HostName = host;
}

void TIdCustomHTTP::SetPort(int port) {
  TIdTCPClient::SetPort(port);
  TargetURI.PortText = IntToStr(port);
}

void TIdCustomHTTP::FireDisconnected() {
  TIdTCPClient::FireDisconnected();
  tunnelTarget_.clear();
  auto& auth = Request().AuthObject;
  if (auth && auth->CurrentStep == auth->StepCount()) auth.reset();
  if (ProxyParams.AuthObject) ProxyParams.AuthObject->Restart();
}

void TIdCustomHTTP::OpenTunnel(TIdHTTPRequest& request) {
  TIdHTTPProtocol tunnel(*this);
  TMemoryStream tunnelBody;
  TIdHTTPRequest& connect = tunnel.Request();
  TIdHTTPResponse& answer = tunnel.Response();
  answer.BodyStream = &tunnelBody;
  connect.UserAgent = request.UserAgent;
  connect.Host = request.Host;
  // A CONNECT has no content (RFC 9110 section 9.3.6): a length would make
  // the proxy wait for it or take the start of the handshake as it.
  connect.ContentType.clear();
  connect.Pragma = "no-cache";
  connect.RequestTarget = TunnelTarget();
  connect.Verb = hmConnect;
  connect.ProxyConnection = "keep-alive";
  connect.Route = rtProxy;
  for (;;) {
    EnsureConnected(answer);
    SendRequestHead(connect, nullptr);
    try {
      ReadTunnelAnswer(tunnel);
    } catch (const EIdHTTPProtocolException&) {
      // The refusal was read to its end.
      if (!answer.ConnectionReusable()) CloseConnection();
      throw;
    } catch (...) {
      // The rest of the proxy's answer would be read as the next one's.
      CloseConnection();
      throw;
    }
    if (answer.StatusCode() == 200) {
      if (TIdSSLIOHandlerSocket* ssl = SSLHandler()) {
        // The certificate is the target's, not the proxy's.
        ssl->PeerHost = TargetURI.HostName;
        ssl->PassThrough = false;
      }
      tunnelTarget_ = connect.RequestTarget;
      return;
    }
  }
}

void TIdCustomHTTP::ReadTunnelAnswer(TIdHTTPProtocol& tunnel) {
  TIdHTTPResponse& answer = tunnel.Response();
  answer.StatusLine = ReadLine("\n");
  if (answer.StatusLine.empty()) {
    answer.StatusLine = "HTTP/1.0 200 OK";
    answer.Connection = "close";
    answer.EndsConnection = true;
  } else {
    // The proxy's own answer: its Set-Cookie lines are not the origin's.
    tunnel.ReadResponseHead();
  }
  if (answer.StatusCode() != 200) tunnel.DecideNextStep();
}

}  // namespace vantro
