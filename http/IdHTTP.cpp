#include "http/IdHTTP.h"

#include "http/IdGlobal.h"
#include "rtl/AnsiText.h"
#include "rtl/Convert.h"

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
  TIdHTTPRequest& request = Request();
  TIdHTTPResponse& response = Reply();
  request.RequestTarget = url;
  request.Verb = verb;
  request.BodySource = source;
  response.BodyStream = dest;

  try {
    for (bool again = true; again;) {
      ++RedirectsTaken;
      PrepareTarget(request);
      OpenAndSend(*protocol_);
      do {
        response.StatusLine = ReadLine("\n");
        protocol_->ReadResponseHead();
        HandOverCookies(response);
      } while (response.StatusCode() == 100);

      switch (protocol_->DecideNextStep()) {
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
          request.RequestTarget = url;
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
    // Anything else may have left part of an answer unread; a later request
    // on this connection would read it as its own.
    CloseConnection();
    throw;
  }
  if (!response.ConnectionReusable()) CloseConnection();
  RedirectsTaken = 0;
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
  request.SetContentLength(SendsBody(verb) && request.BodySource != nullptr
                               ? static_cast<std::int32_t>(request.BodySource->Size())
                               : -1);
  request.Host = TargetURI.PortText == "80" ? TargetURI.HostName
                                            : TargetURI.HostName + ":" + TargetURI.PortText;
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
    if (secure) {
      if (ssl == nullptr) throw EIdIOHandlerPropInvalid("IOHandler value is not valid");
      ssl->PassThrough = false;
      return rtTLS;
    }
    if (ssl != nullptr) ssl->PassThrough = true;
    return rtDirect;
  }

  if ((Host != ProxyParams.ProxyServer() || Port != ProxyParams.ProxyPort()) && IsConnected()) {
    CloseConnection();
  }
  // The proxy is the TCP peer; the target stays as it is.
  TIdTCPClient::SetHost(ProxyParams.ProxyServer());
  TIdTCPClient::SetPort(ProxyParams.ProxyPort());
  if (secure) {
    if (IOHandler() != nullptr && ssl == nullptr) {
      throw EIdIOHandlerPropInvalid("IOHandler value is not valid");
    }
    if (ssl != nullptr) ssl->PassThrough = true;
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
  if (request.Route == rtTLSViaProxy) {
    OpenTunnel(request);
  } else {
    EnsureConnected(protocol.Response());
  }
  SendRequestHead(request, &TargetURI);
  if (SendsBody(request.Verb) && request.BodySource != nullptr) {
    SendStream(*request.BodySource, true, false);
  }
}

void TIdCustomHTTP::EnsureConnected(TIdHTTPResponse& previous) {
  if (!previous.ConnectionReusable()) CloseConnection();
  ProbePeerClose(false);
  // Bytes that came before this request was sent answer nothing it asks: the
  // server sent more than it framed, and the connection is out of step.
  if (IsConnected() && InputQueue().Size() > 0) CloseConnection();
  if (!IsConnected()) OpenConnection(ReadTimeout);
}

void TIdCustomHTTP::SendRequestHead(TIdHTTPRequest& request, const TIdURI* cookieTarget) {
  request.StoreToHeaderLines();
  TIdHeaderList& lines = request.HeaderLines();
  ProxyParams.AddProxyAuthorization(lines);
  if (cookieTarget != nullptr && cookieManager_ != nullptr) {
    const std::string cookies =
        cookieManager_->BuildCookieHeader(*cookieTarget, SSLHandler() != nullptr);
    if (!cookies.empty()) lines.SetValueOf("Cookie", cookies);
  }

  std::string head = MethodWord(request.Verb);
  head += request.RequestTarget;
  head += ProtocolVersion == pv1_0 ? " HTTP/1.0\r\n" : " HTTP/1.1\r\n";
  for (int i = 0; i < lines.Count(); ++i) {
    if (!lines[i].empty()) head.append(lines[i]).append("\r\n");
  }
  head += "\r\n";
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
    cookieManager_->AcceptSetCookie(cookies[i], TargetURI.HostName);
  }
  for (int i = 0; i < cookies2.Count(); ++i) {
    cookieManager_->AcceptSetCookie2(cookies2[i], TargetURI.HostName);
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
  connect.SetContentLength(request.ContentLength());
  connect.Pragma = "no-cache";
  connect.RequestTarget = TargetURI.HostName + ":" + TargetURI.PortText;
  connect.Verb = hmConnect;
  connect.ProxyConnection = "keep-alive";
  for (;;) {
    EnsureConnected(answer);
    SendRequestHead(connect, nullptr);
    answer.StatusLine = ReadLine("\n");
    if (answer.StatusLine.empty()) {
      answer.StatusLine = "HTTP/1.0 200 OK";
      answer.Connection = "close";
    } else {
      tunnel.ReadResponseHead();
      HandOverCookies(answer);
    }
    if (answer.StatusCode() == 200) {
      if (TIdSSLIOHandlerSocket* ssl = SSLHandler()) ssl->PassThrough = false;
      return;
    }
    tunnel.DecideNextStep();
  }
}

}  // namespace vantro
