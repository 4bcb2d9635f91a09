// The HTTP/1.0 and HTTP/1.1 client. One call becomes one or more exchanges on
// the client's own connection: the URL is merged into the current target, the
// route chosen, the head sent in one piece, the answer classified and its
// body read (by Content-Length, chunks or until close) or the request sent
// again (redirects, authorization retries).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "http/IdHTTPCredentials.h"
#include "http/IdHTTPHeaderInfo.h"
#include "http/IdURI.h"
#include "httpstate/IdAuthentication.h"
#include "httpstate/IdCookieManager.h"
#include "rtl/Streams.h"
#include "tcp/IdException.h"
#include "tcp/IdIOHandlerSocket.h"
#include "tcp/IdTCPClient.h"
#include "tls/IdSSLIOHandlerSocket.h"

namespace vantro {

enum TIdHTTPMethod { hmHead, hmGet, hmPost, hmOptions, hmTrace, hmPut, hmDelete, hmConnect };
enum TIdHTTPProtocolVersion { pv1_0, pv1_1 };
enum TIdHTTPOption : unsigned {
  hoInProcessAuth = 1u << 0,
  hoKeepOrigProtocol = 1u << 1,
  hoForceEncodeParams = 1u << 2
};
using TIdHTTPOptions = unsigned;
enum TIdHTTPRoute { rtDirect, rtTLS, rtProxy, rtTLSViaProxy };
enum TIdHTTPNextStep { nsFollow, nsDone, nsUndecided, nsRetryAuth };
// How an answer's body ends (RFC 9112 section 6.3).
enum class TIdBodyFraming { Length, Chunked, UntilClose };

// An answer the client does not accept: the status line as message, the
// status code and the body that came with it.
class EIdHTTPProtocolException : public EIdProtocolReplyError {
 public:
  EIdHTTPProtocolException(int replyCode, std::string statusLine, std::string errorBody)
      : EIdProtocolReplyError(replyCode, std::move(statusLine)), errorBody_(std::move(errorBody)) {}
  const std::string& ErrorBody() const { return errorBody_; }

 private:
  std::string errorBody_;
};

VANTRO_EXCEPTION(EIdUnknownProtocol, EIdException);
// An answer whose framing cannot be trusted (a body cut short, a chunk size
// or Content-Length that is no number, a head past its bound): the bytes that
// came of a body are in the caller's stream, and the connection is closed.
VANTRO_EXCEPTION(EIdHTTPFramingError, EIdException);
// A request that cannot be sent as asked (a line break or NUL in its URL or a
// header field, a header line that would continue the one before it).
VANTRO_EXCEPTION(EIdHTTPInvalidRequest, EIdException);

class TIdCustomHTTP;

class TIdHTTPRequest : public TIdRequestHeaderInfo {
 public:
  explicit TIdHTTPRequest(TIdCustomHTTP* http) : HTTP(http) {}
  std::string ClassName() const override { return "TIdHTTPRequest"; }

  TIdCustomHTTP* HTTP;
  std::string RequestTarget;
  TIdHTTPMethod Verb = hmGet;
  TStream* BodySource = nullptr;
  TIdHTTPRoute Route = rtDirect;
};

class TIdHTTPResponse : public TIdResponseHeaderInfo {
 public:
  explicit TIdHTTPResponse(TIdCustomHTTP* http) : HTTP(http) {}
  std::string ClassName() const override { return "TIdHTTPResponse"; }

  // The code in StatusLine; -1 when there is none.
  int StatusCode();
  // Whether the connection may carry the next request: HTTP/1.1 keeps it
  // unless told to close; an HTTP/1.0 client or answer only when told to keep it.
  bool ConnectionReusable();

  TIdCustomHTTP* HTTP;
  std::string StatusLine;
  TStream* BodyStream = nullptr;
  TIdHTTPProtocolVersion StatusVersion = pv1_1;

  // Decided from the head when it is read.
  TIdBodyFraming Framing = TIdBodyFraming::UntilClose;
  // The head's Connection and Proxy-Connection tokens, over all their lines.
  bool AsksClose = false;
  bool AsksKeepAlive = false;
  // The head leaves the connection unfit for another request whatever it
  // asks (a 101, a framing that may be read apart from the sender's).
  bool EndsConnection = false;

 private:
  int statusCode_ = -1;
};

// One request record with the response record that answers it, and the
// steps that act on the pair.
class TIdHTTPProtocol {
 public:
  explicit TIdHTTPProtocol(TIdCustomHTTP& http);

  TIdHTTPRequest& Request() { return *request_; }
  TIdHTTPResponse& Response() { return *response_; }

  // Reads the header block and decides the body's framing; raises
  // EIdHTTPFramingError for a head past its bound or a Content-Length that
  // is no single number.
  void ReadResponseHead();
  TIdHTTPNextStep DecideNextStep();
  void ReadBody();
  [[noreturn]] void RaiseProtocolError();
  void DiscardBody();
  // Whether the step taken for the last answer was a challenge the client
  // answers rather than a redirect.
  bool ChallengeAccepted();

 private:
  TIdHTTPNextStep FollowRedirect();
  bool AnswerHasBody();
  void DecideFraming();
  void ReadConnectionTokens();
  void ReadBodyBytes(TStream& dest, std::int64_t count, bool untilClose);
  std::int64_t ReadChunkSize();
  void ReadChunkedBody(TStream& dest);
  // Reads the body into a stream of its own with a shorter read time-out.
  std::string ReadBodyAside(int readTimeout);

  TIdCustomHTTP& http_;
  std::unique_ptr<TIdHTTPRequest> request_;
  std::unique_ptr<TIdHTTPResponse> response_;
};

class TIdCustomHTTP : public TIdTCPClient {
 public:
  using TIdHTTPOnRedirectEvent =
      std::function<void(TIdCustomHTTP& sender, std::string& dest, int& numRedirect, bool& handled,
                         TIdHTTPMethod& method)>;
  using TIdOnSelectAuthorization =
      std::function<void(TIdCustomHTTP& sender, const TIdAuthenticationClass*& authenticationClass,
                         const TIdHeaderList& authInfo)>;
  using TIdOnAuthorization =
      std::function<void(TIdCustomHTTP& sender, TIdAuthentication& authentication, bool& handled)>;

  TIdCustomHTTP();
  ~TIdCustomHTTP() override;

  // The body of a GET as 8-bit text, unchanged.
  std::string GetText(const std::string& url);
  void GetToStream(const std::string& url, TStream& dest);
  virtual void ExecuteRequest(TIdHTTPMethod verb, const std::string& url, TStream* source,
                              TStream* dest);

  TIdHTTPRequest& Request() { return protocol_->Request(); }
  // Copies the request-level fields of another record.
  void SetRequest(const TIdRequestHeaderInfo& source) { Request().Assign(source); }
  TIdHTTPResponse& Reply() { return protocol_->Response(); }
  const std::string& ResponseText() { return Reply().StatusLine; }
  int ResponseCode() { return Reply().StatusCode(); }

  TIdCookieManager* CookieManager() const { return cookieManager_; }
  // Frees a manager the client made itself first; a manager that is later
  // destroyed elsewhere is let go.
  void SetCookieManager(TIdCookieManager* manager);
  bool OwnsCookieManager() const { return ownedCookieManager_ != nullptr; }

  void SetHost(const std::string& host) override;
  void SetPort(int port) override;
  void FireDisconnected() override;

  int AuthRetries = 3;
  bool AllowCookies = true;
  bool HandleRedirects = false;
  TIdHTTPProtocolVersion ProtocolVersion = pv1_1;
  int RedirectMaximum = 15;
  TIdProxyConnectionInfo ProxyParams;
  TIdHTTPOptions HTTPOptions = hoForceEncodeParams;
  TIdHTTPOnRedirectEvent OnRedirect;
  TIdOnSelectAuthorization OnSelectAuthorization;
  TIdOnSelectAuthorization OnSelectProxyAuthorization;
  TIdOnAuthorization OnAuthorization;
  TIdOnAuthorization OnProxyAuthorization;

  TIdURI TargetURI;
  int RedirectsTaken = 0;
  int AuthAttempts = 0;
  int ProxyAuthAttempts = 0;

  virtual bool AnswerServerChallenge(TIdHTTPRequest& request, TIdHTTPResponse& response);
  virtual bool AnswerProxyChallenge(TIdHTTPRequest& request, TIdHTTPResponse& response);
  virtual bool NotifyRedirect(std::string& dest, TIdHTTPMethod& verb, int count);

  // The steps of one pass, in the order a call runs them.
  void PrepareTarget(TIdHTTPRequest& request);
  TIdHTTPRoute ChooseRoute();
  void OpenAndSend(TIdHTTPProtocol& protocol);
  void EnsureConnected(TIdHTTPResponse& previous);
  void SendRequestHead(TIdHTTPRequest& request, const TIdURI* cookieTarget);
  // The request line and header lines; raises before anything is sent when
  // a line would break.
  std::string ComposeRequestHead(TIdHTTPRequest& request, const TIdURI* cookieTarget);
  void HandOverCookies(TIdHTTPResponse& response);

 protected:
  void Notification(TIdBaseComponent* removed) override;

 private:
  void OpenTunnel(TIdHTTPRequest& request);
  // The proxy's answer to a CONNECT, acted on unless it opens the tunnel.
  void ReadTunnelAnswer(TIdHTTPProtocol& tunnel);
  // host:port, as a CONNECT asks for the target.
  std::string TunnelTarget() const;
  // Scheme, host and port of the target: where credentials given for it may go.
  std::string TargetOrigin() const;
  TIdSSLIOHandlerSocket* SSLHandler() const;
  void SendAndReadStatus(TIdHTTPProtocol& protocol);
  void ReadFinalHead(TIdHTTPResponse& response);
  void SendHead(const std::string& head);

  std::unique_ptr<TIdHTTPProtocol> protocol_;
  TIdCredentialsByOrigin credentials_;
  // A request went out and its answer is not yet read to its end.
  bool exchangeOpen_ = false;
  // The last request went out on a connection kept from before.
  bool connectionReused_ = false;
  // host:port the open proxy connection tunnels to; empty when it is none.
  std::string tunnelTarget_;
  TIdCookieManager* cookieManager_ = nullptr;
  std::unique_ptr<TIdCookieManager> ownedCookieManager_;
};

class TIdHTTP : public TIdCustomHTTP {};

}  // namespace vantro
