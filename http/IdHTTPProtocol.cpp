#include "http/IdHTTP.h"

#include <chrono>

#include "http/IdGlobal.h"
#include "rtl/AnsiText.h"
#include "rtl/Convert.h"
#include "tcp/IdLimits.h"

namespace vantro {
namespace {

// Puts a client's read time-out and a response's body stream back when a
// side read ends, however it ends.
class SideRead {
 public:
  SideRead(TIdCustomHTTP& http, TIdHTTPResponse& response, TStream& aside, int readTimeout)
      : http_(http),
        response_(response),
        savedTimeout_(http.ReadTimeout),
        savedStream_(response.BodyStream) {
    http.ReadTimeout = readTimeout;
    http.ReadDeadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kMostSideBodyTimeMs);
    response.BodyStream = &aside;
  }
  ~SideRead() {
    response_.BodyStream = savedStream_;
    http_.ReadDeadline.reset();
    http_.ReadTimeout = savedTimeout_;
  }
  SideRead(const SideRead&) = delete;
  SideRead& operator=(const SideRead&) = delete;

 private:
  TIdCustomHTTP& http_;
  TIdHTTPResponse& response_;
  int savedTimeout_;
  TStream* savedStream_;
};

// A side read that failed, with what it had read.
struct ErrorBodyCut {
  std::string arrived;
};

}  // namespace

int TIdHTTPResponse::StatusCode() {
  std::string text = StatusLine;
  const std::size_t space = text.find(' ');
  text = Trim(space == std::string::npos ? std::string_view()
                                         : std::string_view(text).substr(space + 1));
  statusCode_ = StrToIntDef(text.substr(0, text.find(' ')), -1);
  return statusCode_;
}

bool TIdHTTPResponse::ConnectionReusable() {
  const std::string_view version =
      StatusLine.size() >= 8 ? std::string_view(StatusLine).substr(5, 3) : std::string_view();
  const bool answeredIn1_0 = SameText(version, "1.0");
  if (answeredIn1_0) StatusVersion = pv1_0;
  if (SameText(version, "1.1")) StatusVersion = pv1_1;
  if (EndsConnection || !HTTP->IsConnected()) return false;
  // An HTTP/1.0 server closes after its answer unless it says otherwise
  // (RFC 9112 section 9.3), whatever version was asked in.
  if (HTTP->ProtocolVersion == pv1_0 || answeredIn1_0) return AsksKeepAlive;
  return !AsksClose;
}

TIdHTTPProtocol::TIdHTTPProtocol(TIdCustomHTTP& http)
    : http_(http),
      request_(std::make_unique<TIdHTTPRequest>(&http)),
      response_(std::make_unique<TIdHTTPResponse>(&http)) {}

void TIdHTTPProtocol::ReadResponseHead() {
  TIdHeaderList& lines = response_->HeaderLines();
  lines.Clear();
  std::size_t headBytes = response_->StatusLine.size();
  try {
    for (std::string line = http_.ReadLine("\n"); !line.empty(); line = http_.ReadLine("\n")) {
      headBytes += line.size();
      if (headBytes > kMostResponseHeadBytes)
        throw EIdHTTPFramingError("Answer head longer than " + IntToStr(kMostResponseHeadBytes) +
                                  " bytes.");
      lines.Add(std::move(line));
    }
  } catch (const EIdConnClosedGracefully&) {
    // What arrived before the close is the whole head.
    http_.CloseConnection();
  }
  response_->LoadFromHeaderLines();
  ReadConnectionTokens();
  DecideFraming();
}

void TIdHTTPProtocol::ReadConnectionTokens() {
  TIdHTTPResponse& response = *response_;
  response.AsksClose = response.AsksKeepAlive = false;
  // Connection is a list of tokens over all its lines (RFC 9110 section 7.6.1);
  // Proxy-Connection is read the same way, as proxies still send it.
  for (const char* name : {"Connection", "Proxy-Connection"}) {
    TStringList values;
    response.HeaderLines().CollectValues(name, &values);
    for (int i = 0; i < values.Count(); ++i) {
      std::string list = values[i];
      while (!list.empty()) {
        const std::string token = Trim(CutToken(list, ","));
        response.AsksClose = response.AsksClose || SameText(token, "close");
        response.AsksKeepAlive = response.AsksKeepAlive || SameText(token, "keep-alive");
      }
    }
  }
  // After a 101 the connection speaks another protocol (RFC 9110 section 15.2.2).
  response.EndsConnection = response.StatusCode() == 101;
}

TIdHTTPNextStep TIdHTTPProtocol::DecideNextStep() {
  const int code = response_->StatusCode();
  const int kind = code / 100;
  // Only a 3xx points elsewhere (RFC 9110 section 15.4): a Location on any
  // other answer (201 Created names what it made) is information.
  if (kind == 3 && code != 304) {
    const TIdHTTPNextStep step = FollowRedirect();
    if (http_.IsConnected()) DiscardBody();
    return step;
  }

  TIdHTTPNextStep step = nsUndecided;
  bool discard = false;
  if (kind != 2) {
    step = nsFollow;
    if (code == 401) {
      if (http_.AuthAttempts >= http_.AuthRetries ||
          !http_.AnswerServerChallenge(*request_, *response_)) {
        if (request_->AuthObject) request_->AuthObject->Restart();
        RaiseProtocolError();
      }
      discard = (http_.HTTPOptions & hoInProcessAuth) != 0;
    } else if (code == 407) {
      if (http_.ProxyAuthAttempts >= http_.AuthRetries ||
          !http_.AnswerProxyChallenge(*request_, *response_)) {
        if (http_.ProxyParams.AuthObject) http_.ProxyParams.AuthObject->Restart();
        RaiseProtocolError();
      }
      discard = (http_.HTTPOptions & hoInProcessAuth) != 0;
    } else {
      RaiseProtocolError();
    }
  }
  if (http_.IsConnected()) {
    if (discard) {
      DiscardBody();
      return nsRetryAuth;
    }
    ReadBody();
    return nsDone;
  }
  return step;
}

bool TIdHTTPProtocol::ChallengeAccepted() {
  const int code = response_->StatusCode();
  return code == 401 || code == 407;
}

TIdHTTPNextStep TIdHTTPProtocol::FollowRedirect() {
  std::string location = response_->Location;
  TIdHTTPMethod verb = request_->Verb;
  // A 303 points at the result to fetch, never at a place to send the body
  // again (RFC 9110 section 15.4.4); the handler still has the last word.
  if (response_->StatusCode() == 303 && verb != hmHead) verb = hmGet;
  if (http_.HandleRedirects && http_.RedirectsTaken < http_.RedirectMaximum) {
    if (!http_.NotifyRedirect(location, verb, http_.RedirectsTaken)) RaiseProtocolError();
    request_->RequestTarget = location;
    request_->Verb = verb;
    return nsFollow;
  }
  if (!http_.NotifyRedirect(location, verb, http_.RedirectsTaken)) RaiseProtocolError();
  response_->Location = location;
  return nsDone;
}

std::string TIdHTTPProtocol::ReadBodyAside(int readTimeout) {
  TStringStream aside;
  SideRead guard(http_, *response_, aside, readTimeout);
  try {
    ReadBody();
  } catch (const Exception&) {
    throw ErrorBodyCut{aside.DataString()};
  }
  return aside.DataString();
}

void TIdHTTPProtocol::RaiseProtocolError() {
  std::string body;
  try {
    body = ReadBodyAside(kErrorBodyReadTimeoutMs);
  } catch (const ErrorBodyCut& cut) {
    // The status is what the caller needs; a slow or broken error body must
    // not hide it. The connection is out of step now.
    body = cut.arrived;
    http_.CloseConnection();
  }
  throw EIdHTTPProtocolException(response_->StatusCode(), response_->StatusLine, std::move(body));
}

void TIdHTTPProtocol::DiscardBody() {
  try {
    ReadBodyAside(kSkippedBodyReadTimeoutMs);
  } catch (const ErrorBodyCut&) {
    // The body is thrown away, but what is left of it must not be read as
    // the next answer.
    http_.CloseConnection();
  }
}

}  // namespace vantro
