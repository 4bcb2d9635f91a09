// Servers that break the protocol on purpose. Every case must end within the
// client's time-outs with the error the behaviour gives (or the body it
// gives), and leave the client able to make its next call.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <thread>
#include <typeinfo>

#include "http/IdHTTP.h"
#include "tests/http/HTTPTestSupport.h"
#include "tests/support/http_ScriptedServer.h"
#include "tests/support/tls_PlainTLSHandler.h"

namespace vantro {
namespace {

using test::HttpAnswer;
using test::HttpScriptedServer;
using test::ScriptedReply;

constexpr int kReadTimeoutMs = 300;

// What one call gives: a body, or an exception of an exact class.
struct Outcome {
  const std::type_info* Raised = nullptr;
  std::string Message;
  int ReplyCode = 0;
  // The body of a success, the ErrorBody of a protocol exception.
  std::string Body;

  bool operator==(const Outcome& other) const {
    return (Raised == other.Raised || (Raised && other.Raised && *Raised == *other.Raised)) &&
           Message == other.Message && ReplyCode == other.ReplyCode && Body == other.Body;
  }
  friend std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    out << (o.Raised ? o.Raised->name() : "success");
    if (o.Raised) out << " \"" << testing::PrintToString(o.Message) << "\" code " << o.ReplyCode;
    return out << " body " << testing::PrintToString(o.Body);
  }
};

Outcome Gives(std::string body) {
  return {nullptr, {}, 0, std::move(body)};
}

// What arrived of a body stays in the caller's stream when a call fails.
template <class E>
Outcome Fails(std::string message, std::string arrived = {}) {
  return {&typeid(E), std::move(message), 0, std::move(arrived)};
}

Outcome Cut(std::string message, std::string arrived) {
  return Fails<EIdHTTPFramingError>(std::move(message), std::move(arrived));
}

Outcome TimedOut(std::string arrived) {
  return Fails<EIdReadTimeout>("Read Timeout", std::move(arrived));
}

Outcome Refused(int code, std::string statusLine, std::string errorBody = {}) {
  return {&typeid(EIdHTTPProtocolException), std::move(statusLine), code, std::move(errorBody)};
}

const Outcome kClosed = Fails<EIdConnClosedGracefully>("Connection Closed Gracefully.");
const Outcome kTimedOut = Fails<EIdReadTimeout>("Read Timeout");
const Outcome kTooLong = Fails<EIdReadLnMaxLineLengthExceeded>("Max line length exceeded.");
const Outcome kUndefined = Fails<EIdException>("Undefined situation");

Outcome Call(TIdHTTP& http, const std::string& url, bool withStream = true) {
  TMemoryStream body;
  try {
    http.ExecuteRequest(hmGet, url, nullptr, withStream ? &body : nullptr);
    return Gives(body.ToString());
  } catch (const EIdHTTPProtocolException& e) {
    return {&typeid(e), e.Message(), e.ReplyCode(), e.ErrorBody()};
  } catch (const Exception& e) {
    return {&typeid(e), e.Message(), 0, body.ToString()};
  }
}

struct HostileCase {
  const char* Name;
  std::vector<ScriptedReply> Replies;
  // One outcome per call; after them one more call must get a sound answer.
  std::vector<Outcome> Calls;
  // Settings beyond the launcher's; gives the URL to call.
  std::function<std::string(TIdHTTP&, const HttpScriptedServer&)> Setup = nullptr;
  // A pause before the last call, for bytes the server sends unasked.
  int PauseMs = 0;
  // The case's calls give the client no stream for the body.
  bool WithoutStream = false;
  // The server is a proxy and the calls go down its CONNECT tunnel.
  bool Tunnel = false;
  // Connections the server saw once the last call is done (0: not checked).
  int Connections = 0;
};

std::ostream& operator<<(std::ostream& out, const HostileCase& c) {
  return out << c.Name;
}

ScriptedReply Closing(std::string bytes) {
  return {std::move(bytes), true};
}

ScriptedReply Stalling(std::string bytes) {
  ScriptedReply reply{std::move(bytes)};
  reply.Stall = true;
  return reply;
}

std::vector<ScriptedReply> Times(int count, const ScriptedReply& reply) {
  return std::vector<ScriptedReply>(static_cast<std::size_t>(count), reply);
}

// A 200 answer whose Content-Length line holds the text given, then a close.
ScriptedReply ClosingWithLength(const std::string& length, const std::string& body) {
  return Closing("HTTP/1.1 200 OK\r\nContent-Length: " + length + "\r\n\r\n" + body);
}

std::string Chunked(const std::string& chunks) {
  return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunks;
}

std::string ManyHeaderLines(int count, const std::string& line) {
  std::string head = "HTTP/1.1 200 OK\r\n";
  for (int i = 0; i < count; ++i)
    head += line + "\r\n";
  return head + "Content-Length: 4\r\n\r\nbody";
}

const std::string kBasic401 =
    HttpAnswer("HTTP/1.1 401 Unauthorized", "", "WWW-Authenticate: Basic realm=\"x\"\r\n");
const std::string kBasic407 = HttpAnswer("HTTP/1.1 407 Proxy Authentication Required", "",
                                         "Proxy-Authenticate: Basic realm=\"p\"\r\n");

// A text with NUL bytes, all of it.
template <std::size_t N>
std::string Bin(const char (&text)[N]) {
  return std::string(text, N - 1);
}

std::string AnswerChallengesInProcess(TIdHTTP& http, const HttpScriptedServer& server) {
  http.Request().Username = "user";
  http.Request().Password = "secret";
  http.HTTPOptions |= hoInProcessAuth;
  http.OnAuthorization = [](TIdCustomHTTP&, TIdAuthentication&, bool& handled) { handled = true; };
  return server.Url("/");
}

std::string AnswerProxyChallenges(TIdHTTP& http, const HttpScriptedServer& proxy) {
  http.ProxyParams.SetProxyServer("127.0.0.1");
  http.ProxyParams.SetProxyPort(proxy.Port());
  http.ProxyParams.ProxyUsername = "me";
  http.HTTPOptions |= hoInProcessAuth;
  http.OnProxyAuthorization = [](TIdCustomHTTP&, TIdAuthentication&, bool& handled) {
    handled = true;
  };
  return "http://a.example/";
}

std::string FollowRedirects(TIdHTTP& http, const HttpScriptedServer& server) {
  http.HandleRedirects = true;
  return server.Url("/");
}

std::vector<ScriptedReply> PingPong(int count) {
  std::vector<ScriptedReply> replies;
  for (int i = 0; i < count; ++i) {
    replies.push_back(
        {HttpAnswer("HTTP/1.1 302 Found", "", i % 2 ? "Location: /a\r\n" : "Location: /b\r\n")});
  }
  return replies;
}

std::vector<ScriptedReply> Concat(std::vector<ScriptedReply> a,
                                  const std::vector<ScriptedReply>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::string kOk = HttpAnswer("HTTP/1.1 200 OK", "ok");
const std::string kTunnelOpen = "HTTP/1.1 200 Connection established\r\n\r\n";

Outcome BadLength(const std::string& value) {
  return Cut("Invalid Content-Length: \"" + value + "\"", "");
}

const Outcome kHeadTooLong = Cut("Answer head longer than 262144 bytes.", "");

std::vector<HostileCase> Cases() {
  const std::string mib(1 << 20, 'x');
  ScriptedReply early{HttpAnswer("HTTP/1.1 200 OK", "early")};
  early.Early = true;
  ScriptedReply earlyThenClose{HttpAnswer("HTTP/1.1 200 OK", "early", "Connection: close\r\n"),
                               true};
  earlyThenClose.Early = true;
  ScriptedReply drip{HttpAnswer("HTTP/1.1 200 OK", "drip"), false, 2};
  const std::string trickleHead = "HTTP/1.1 404 Not Found\r\nContent-Length: 26\r\n\r\n";
  // A byte every 0.9 s: six come within the bound, each well within the read time-out.
  ScriptedReply trickle{trickleHead + "abcdefghijklmnopqrstuvwxyz", false, 900};
  trickle.DripFrom = trickleHead.size();
  ScriptedReply reset{kOk};
  reset.Reset = true;

  return {
      // Status lines.
      {"SilentClose", {Closing("")}, {kClosed}},
      {"StatusCutInTheVersion", {Closing("HTT")}, {Refused(-1, "", "HTT")}},
      {"StatusWithoutLineEnd", {Closing("HTTP/1.1 200 OK")}, {Refused(-1, "", "HTTP/1.1 200 OK")}},
      {"StatusOnlyTheVersion", {Closing("HTTP/1.1\r\n\r\n")}, {Refused(-1, "HTTP/1.1")}},
      {"StatusCodeNotANumber",
       {{HttpAnswer("HTTP/1.1 2x0 OK", "no")}},
       {Refused(-1, "HTTP/1.1 2x0 OK", "no")}},
      {"StatusCodeOverflows",
       {{HttpAnswer("HTTP/1.1 99999999999 OK", "no")}},
       {Refused(-1, "HTTP/1.1 99999999999 OK", "no")}},
      {"StatusCodeNegative",
       {{HttpAnswer("HTTP/1.1 -200 OK", "no")}},
       {Refused(-200, "HTTP/1.1 -200 OK", "no")}},
      {"StatusLineOfBinary", {Closing("\x01\x02\xff\r\n\r\n")}, {Refused(-1, "\x01\x02\xff")}},
      {"StatusLineOf1MiB", {Closing("HTTP/1.1 200 " + mib + "\r\n\r\n")}, {kTooLong}},
      {"HeadCutBeforeItsEnd", {Closing("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n")}, {kUndefined}},
      {"HeadCutInsideALine", {Closing("HTTP/1.1 200 OK\r\nContent-Len")}, {kUndefined}},

      // Line ends and NUL bytes.
      {"NoCarriageReturns", {{"HTTP/1.1 200 OK\nContent-Length: 2\n\nok"}}, {Gives("ok")}},
      {"BareCarriageReturnsOnly",
       {Closing("HTTP/1.1 200 OK\rContent-Length: 2\r\rok")},
       {Refused(-1, "", "HTTP/1.1 200 OK\rContent-Length: 2\r\rok")}},
      {"BareCarriageReturnInsideAValue",
       {{"HTTP/1.1 200 OK\r\nX-A: a\rb\r\nContent-Length: 2\r\n\r\nok"}},
       {Gives("ok")}},
      {"TwoCarriageReturnsBeforeTheLineFeed",
       {{"HTTP/1.1 200 OK\r\r\nContent-Length: 2\r\n\r\nok"}},
       {Gives("ok")}},
      {"NulInTheStatusCode",
       {{HttpAnswer(Bin("HTTP/1.1 200\0 OK"), "no")}},
       {Refused(-1, Bin("HTTP/1.1 200\0 OK"), "no")}},
      {"NulInAHeaderValue",
       {{Bin("HTTP/1.1 200 OK\r\nX-A: a\0b\r\nContent-Length: 2\r\n\r\nok")}},
       {Gives("ok")}},
      {"NulAfterTheContentLength",
       {{Bin("HTTP/1.1 200 OK\r\nContent-Length: 2\0\r\n\r\nok")}},
       {Gives("ok")}},
      {"NulBytesInTheBody",
       {{HttpAnswer("HTTP/1.1 200 OK", Bin("a\0b\0\0c"))}},
       {Gives(Bin("a\0b\0\0c"))}},

      // Header blocks.
      {"HeaderLineOf1MiB", {Closing("HTTP/1.1 200 OK\r\nX-Big: " + mib + "\r\n\r\n")}, {kTooLong}},
      // The whole head is bounded; a head just within the bound is read.
      {"HeaderBlockOf1MiBInLines",
       {{ManyHeaderLines(64, "X-Part: " + std::string(16000, 'y'))}},
       {kHeadTooLong}},
      {"HeaderBlockJustWithinItsBound",
       {{ManyHeaderLines(16, "X-Part: " + std::string(16000, 'y'))}},
       {Gives("body")}},
      {"HundredThousandHeaderLines", {{ManyHeaderLines(100000, "X-N: v")}}, {kHeadTooLong}},
      {"HundredThousandContinuationLines", {{ManyHeaderLines(100000, " folded")}}, {kHeadTooLong}},
      {"HundredThousandCookies",
       {{ManyHeaderLines(100000, "Set-Cookie: c=v; path=/")}},
       {kHeadTooLong}},

      // Content-Length is digits only; anything else refuses the answer and
      // ends the connection, whose framing is lost.
      {"ContentLengthNegative", {{ClosingWithLength("-5", "until close")}}, {BadLength("-5")}},
      {"ContentLengthWithPlusSign",
       {{"HTTP/1.1 200 OK\r\nContent-Length: +7\r\n\r\nabc"}},
       {BadLength("+7")}},
      {"ContentLengthInHex",
       {{"HTTP/1.1 200 OK\r\nContent-Length: 0x10\r\n\r\nabc"}},
       {BadLength("0x10")}},
      {"ContentLengthInPascalHex",
       {{"HTTP/1.1 200 OK\r\nContent-Length: $10\r\n\r\nabc"}},
       {BadLength("$10")}},
      {"ContentLengthPast64Bits",
       {{"HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775808\r\n\r\nabc"}},
       {BadLength("9223372036854775808")}},
      {"ContentLengthEmpty", {{"HTTP/1.1 200 OK\r\nContent-Length:\r\n\r\nabc"}}, {BadLength("")}},
      {"ContentLengthListThatDiffers",
       {{"HTTP/1.1 200 OK\r\nContent-Length: 3, 5\r\n\r\nhello"}},
       {BadLength("3, 5")}},
      // A repeated line of the same value is one value (RFC 9110 section 8.6).
      {.Name = "ContentLengthTwiceTheSame",
       .Replies = {{"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 5\r\n\r\nhello"}},
       .Calls = {Gives("hello")},
       .Connections = 1},
      {"ContentLengthHuge",
       {ClosingWithLength("2147483647", "abc")},
       {Cut("Connection closed after 3 of 2147483647 body bytes.", "abc")}},
      {"ContentLengthBeyond32Bits",
       {ClosingWithLength("99999999999", "abc")},
       {Cut("Connection closed after 3 of 99999999999 body bytes.", "abc")}},
      {"ContentLengthOverflows",
       {ClosingWithLength("99999999999999999999", "abc")},
       {BadLength("99999999999999999999")}},
      {"ContentLengthNotANumber", {ClosingWithLength("five", "abc")}, {BadLength("five")}},
      {"ContentLengthTwice",
       {{"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 5\r\n\r\nhello"}},
       {BadLength("5")}},
      // Transfer-Encoding wins over Content-Length, and such an answer ends
      // the connection's use (RFC 9112 section 6.3).
      {.Name = "ContentLengthWithAChunkedBody",
       .Replies = {{"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n"
                    "5\r\nhello\r\n0\r\n\r\n"}},
       .Calls = {Gives("hello")},
       .Connections = 2},
      // Not chunked as the last coding: the body ends at the close.
      {"ChunkedNotTheLastCoding",
       {Closing(
           "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, gzip\r\n\r\n5\r\nhello\r\n0\r\n\r\n")},
       {Gives("5\r\nhello\r\n0\r\n\r\n")}},
      {"ChunkedAsAWordInsideACoding",
       {Closing("HTTP/1.1 200 OK\r\nTransfer-Encoding: x-chunked\r\n\r\n5\r\nhello\r\n")},
       {Gives("5\r\nhello\r\n")}},
      {.Name = "ChunkedLastOverTwoLines",
       .Replies =
           {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n"
             "5\r\nhello\r\n0\r\n\r\n"}},
       .Calls = {Gives("hello")},
       .Connections = 1},
      // A body nobody takes is read and dropped, never left for the next call.
      {.Name = "BodyWithoutAStreamThatLooksLikeAnAnswer",
       .Replies = {{HttpAnswer("HTTP/1.1 200 OK", HttpAnswer("HTTP/1.1 200 OK", "EVIL"))}},
       .Calls = {Gives("")},
       .WithoutStream = true,
       .Connections = 1},
      {.Name = "ChunkedBodyWithoutAStream",
       .Replies = {{Chunked("4\r\nEVIL\r\n0\r\n\r\n")}},
       .Calls = {Gives("")},
       .WithoutStream = true,
       .Connections = 1},
      {"UnaskedSecondAnswer",
       {{HttpAnswer("HTTP/1.1 200 OK", "ok") +
         "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nstray"}},
       {Gives("ok")}},

      // Chunked bodies.
      {"ChunkSizeHuge",
       {Closing(Chunked("7fffffff\r\nabc"))},
       {Cut("Connection closed after 3 of 2147483647 body bytes.", "abc")}},
      // Every byte after the size is the chunk's data, and the chunk never ends.
      {"ChunkSizeAllBitsSet",
       {Stalling(Chunked("ffffffff\r\nabc\r\n0\r\n\r\n"))},
       {TimedOut("abc\r\n0\r\n\r\n")}},
      {"ChunkSizeOf16Digits",
       {{Chunked("0000000000000005\r\nhello\r\n0\r\n\r\n")}},
       {Cut("Invalid chunk size: \"0000000000000005\"", "")}},
      {"ChunkSizeNegative",
       {{Chunked("-5\r\nhello\r\n0\r\n\r\n")}},
       {Cut("Invalid chunk size: \"-5\"", "")}},
      {"ChunkSizeGarbage",
       {{Chunked("zz\r\nhello\r\n0\r\n\r\n")}},
       {Cut("Invalid chunk size: \"zz\"", "")}},
      {"ChunkSizeWithTrailingGarbage",
       {{Chunked("5zz\r\nhello\r\n0\r\n\r\n")}},
       {Cut("Invalid chunk size: \"5zz\"", "")}},
      {"ChunkSizeEmpty",
       {{Chunked("\r\nhello\r\n0\r\n\r\n")}},
       {Cut("Invalid chunk size: \"\"", "")}},
      {"ChunkSizeLineOf1MiB", {Closing(Chunked(mib + "\r\n"))}, {kTooLong}},
      {"ChunkLongerThanItsSize",
       {{Chunked("3\r\nhello\r\n0\r\n\r\n")}},
       {Cut("Chunk data longer than its size.", "hel")}},
      {"MissingFinalChunk",
       {Closing(Chunked("5\r\nhello\r\n"))},
       {Cut("Connection closed inside a chunked body.", "hello")}},
      {"NoChunkAtAll",
       {Closing(Chunked(""))},
       {Cut("Connection closed inside a chunked body.", "")}},
      {"CloseInsideAChunk",
       {Closing(Chunked("5\r\nhel"))},
       {Cut("Connection closed after 3 of 5 body bytes.", "hel")}},
      // Only a close in place of the trailer's end loses nothing of the body.
      {"CloseAfterTheFinalChunk", {Closing(Chunked("5\r\nhello\r\n0\r\n"))}, {Gives("hello")}},
      {"ChunkTrailer",
       {{Chunked("5\r\nhello\r\n0\r\nX-Checksum: 1\r\nX-More: 2\r\n\r\n")}},
       {Gives("hello")}},

      // Stalls: the read time-out bounds every wait.
      {"StallBeforeTheStatus", {Stalling("")}, {kTimedOut}},
      {"StallInsideTheStatus", {Stalling("HTTP/1.1 2")}, {kTimedOut}},
      {"StallInsideTheHead", {Stalling("HTTP/1.1 200 OK\r\nContent-Le")}, {kTimedOut}},
      {"StallInASizedBody",
       {Stalling("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc")},
       {TimedOut("abc")}},
      {"StallInABodyUntilClose", {Stalling("HTTP/1.1 200 OK\r\n\r\nabc")}, {TimedOut("abc")}},
      {"StallInAChunk", {Stalling(Chunked("5\r\nhe"))}, {TimedOut("he")}},
      {"StallBeforeTheFinalChunk", {Stalling(Chunked("5\r\nhello\r\n"))}, {TimedOut("hello")}},
      // The error body has a time-out of its own; the status still comes through.
      {"StallInAnErrorBody",
       {Stalling("HTTP/1.1 404 Not Found\r\nContent-Length: 10\r\n\r\nabc")},
       {Refused(404, "HTTP/1.1 404 Not Found", "abc")}},
      // An error body that trickles ends at its own bound of 5 s in all; the
      // pause lets the server notice the close before the next call.
      {"ErrorBodyThatTrickles",
       {trickle},
       {Refused(404, "HTTP/1.1 404 Not Found", "abcdef")},
       nullptr,
       2000},
      {"ErrorBodyCutByAClose",
       {Closing("HTTP/1.1 500 Oops\r\nTransfer-Encoding: chunked\r\n\r\n9\r\nbro")},
       {Refused(500, "HTTP/1.1 500 Oops", "bro")}},
      {"SlowButSteadyAnswer", {drip}, {Gives("drip")}},

      // Redirect loops end at the limit with an empty body.
      {"RedirectToItself",
       Times(15, {HttpAnswer("HTTP/1.1 302 Found", "loop", "Location: /\r\n")}),
       {Gives("")},
       FollowRedirects},
      {"RedirectPingPong", PingPong(15), {Gives("")}, FollowRedirects},
      {"RedirectLoopClosingEachTime",
       Times(15, Closing(HttpAnswer("HTTP/1.1 301 Moved", "",
                                    "Location: /again\r\nConnection: close\r\n"))),
       {Gives("")},
       FollowRedirects},
      {"RedirectWithoutLocation",
       Times(15, {HttpAnswer("HTTP/1.1 302 Found", "")}),
       {Gives("")},
       FollowRedirects},
      {"RedirectLoopWithoutHandling",
       {{HttpAnswer("HTTP/1.1 302 Found", "moved", "Location: /\r\n")}},
       {Refused(302, "HTTP/1.1 302 Found", "moved")}},

      // Endless challenges end at the retry limit.
      {"Endless401", {{kBasic401}}, {Refused(401, "HTTP/1.1 401 Unauthorized")}},
      {"Endless401AnsweredInProcess",
       Times(4, {kBasic401}),
       {Refused(401, "HTTP/1.1 401 Unauthorized")},
       AnswerChallengesInProcess},
      {"Endless401ClosingEachTime",
       Times(4, Closing("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"x\"\r\n")),
       {Refused(401, "HTTP/1.1 401 Unauthorized")},
       AnswerChallengesInProcess},
      {"Endless407AnsweredInProcess",
       Times(4, {kBasic407}),
       {Refused(407, "HTTP/1.1 407 Proxy Authentication Required")},
       AnswerProxyChallenges},
      {"Endless407ClosingEachTime",
       Times(4, Closing("HTTP/1.1 407 Proxy Authentication Required\r\n"
                        "Proxy-Authenticate: Basic realm=\"p\"\r\n")),
       {Refused(407, "HTTP/1.1 407 Proxy Authentication Required")},
       AnswerProxyChallenges},
      {"EndlessInterimAnswers",
       {{[] {
         std::string many;
         for (int i = 0; i < 10000; ++i)
           many += "HTTP/1.1 100 Continue\r\n\r\n";
         return many + kOk;
       }()}},
       {Cut("More than 32 interim answers.", "")}},
      {.Name = "InterimAnswersWithinTheirBound",
       .Replies = {{[] {
         std::string many;
         for (int i = 0; i < 32; ++i)
           many += "HTTP/1.1 103 Early Hints\r\nLink: </a.css>\r\n\r\n";
         return many + kOk;
       }()}},
       .Calls = {Gives("ok")},
       .Connections = 1},

      // Only a 3xx points elsewhere: a Location on a 201 names what was made.
      {.Name = "CreatedWithALocation",
       .Replies = {{HttpAnswer("HTTP/1.1 201 Created", "made", "Location: /new\r\n")}},
       .Calls = {Gives("made")},
       .Setup = FollowRedirects,
       .Connections = 1},
      {"ChallengeWithALocation",
       {{HttpAnswer("HTTP/1.1 401 Unauthorized", "who?", "Location: /login\r\n")}},
       {Refused(401, "HTTP/1.1 401 Unauthorized", "who?")},
       FollowRedirects},
      // Fields the client only records never fail the answer.
      {"ContentRangePast32Bits",
       {{HttpAnswer("HTTP/1.1 206 Partial Content", "ab",
                    "Content-Range: bytes 3000000000-3000000001/4000000000\r\n")}},
       {Gives("ab")}},
      {"RangeNotSatisfiable",
       {{HttpAnswer("HTTP/1.1 416 Range Not Satisfiable", "no",
                    "Content-Range: bytes */1234\r\n")}},
       {Refused(416, "HTTP/1.1 416 Range Not Satisfiable", "no")}},
      {"ExpiresAsADayOfSeconds",
       {{HttpAnswer("HTTP/1.1 200 OK", "fresh", "Expires: 86400\r\n")}},
       {Gives("fresh")}},

      // Connection is a token list over all its lines; a close anywhere ends reuse.
      {.Name = "ConnectionUpgradeAndClose",
       .Replies = {{HttpAnswer("HTTP/1.1 200 OK", "one", "Connection: Upgrade, close\r\n")}},
       .Calls = {Gives("one")},
       .Connections = 2},
      {.Name = "ConnectionCloseOnASecondLine",
       .Replies = {{HttpAnswer("HTTP/1.1 200 OK", "one",
                               "Connection: keep-alive\r\nConnection: close\r\n")}},
       .Calls = {Gives("one")},
       .Connections = 2},
      // A kept connection the server reset is one it closed: a new one is made.
      {.Name = "KeptConnectionReset",
       .Replies = {reset},
       .Calls = {Gives("ok")},
       .PauseMs = 300,
       .Connections = 2},

      // Through a proxy's tunnel: a CONNECT answer that stalls or is cut ends
      // that proxy connection; the next call opens a new tunnel.
      {.Name = "TunnelAnswerStalls",
       .Replies = {Stalling("HTTP/1.1 200 Conn"), {kTunnelOpen}},
       .Calls = {kTimedOut},
       .Tunnel = true,
       .Connections = 2},
      {.Name = "TunnelAnswerNeverComes",
       .Replies = {Stalling(""), {kTunnelOpen}},
       .Calls = {kTimedOut},
       .Tunnel = true,
       .Connections = 2},
      {.Name = "TunnelAnswerHeadStalls",
       .Replies = {Stalling("HTTP/1.1 200 Connection established\r\n"), {kTunnelOpen}},
       .Calls = {kTimedOut},
       .Tunnel = true,
       .Connections = 2},
      {.Name = "TunnelRefusedWithACutBody",
       .Replies = {Closing("HTTP/1.1 403 Forbidden\r\nContent-Length: 9\r\n\r\nno"), {kTunnelOpen}},
       .Calls = {Refused(403, "HTTP/1.1 403 Forbidden", "no")},
       .Tunnel = true,
       .Connections = 2},

      // Answers that come before their request is read.
      {"AnswerBeforeTheRequest", {early}, {Gives("early")}},
      {"AnswerBeforeTheRequestThenClose", {earlyThenClose}, {Gives("early")}},
      // An answer on an idle kept connection answers nothing that was asked.
      {"UnaskedAnswerOnAnIdleConnection", {{kOk}, early}, {Gives("ok")}, nullptr, 200},
  };
}

class HostileServer : public testing::TestWithParam<HostileCase> {
 protected:
  HostileServer() { test::UseLauncherSettings(http); }
  std::unique_ptr<HttpScriptedServer> server;
  // Plain bytes stand in for the tunnel's TLS, so the script can answer them.
  test::PlainTLSHandler tls;
  TIdHTTP http;
};

TEST_P(HostileServer, EndsWithItsOutcomeAndLeavesTheClientUsable) {
  const HostileCase& c = GetParam();
  server = std::make_unique<HttpScriptedServer>(
      Concat(c.Replies, {{HttpAnswer("HTTP/1.1 200 OK", "next")}}));
  http.ReadTimeout = kReadTimeoutMs;
  std::string url = c.Setup ? c.Setup(http, *server) : server->Url("/");
  if (c.Tunnel) {
    http.ProxyParams.SetProxyServer("127.0.0.1");
    http.ProxyParams.SetProxyPort(server->Port());
    http.SetIOHandler(&tls);
    url = "https://origin.example/";
  }
  for (std::size_t i = 0; i < c.Calls.size(); ++i) {
    EXPECT_EQ(Call(http, url, !c.WithoutStream), c.Calls[i]) << "call " << i;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(c.PauseMs));
  // Getting the reply scripted after the case also shows that the case took
  // exactly its own replies.
  EXPECT_EQ(Call(http, url), Gives("next"));
  if (c.Connections != 0) {
    EXPECT_EQ(server->Connections(), c.Connections);
  }
}

TEST(HostileServerCloses, AtEveryBytePositionOfAValidAnswer) {
  const std::string status = "HTTP/1.1 200 OK\r\n";
  const std::string head = status + "Content-Length: 5\r\nX-A: b\r\n\r\n";
  const std::string answer = head + "hello";
  const std::string next = HttpAnswer("HTTP/1.1 200 OK", "next");
  std::vector<ScriptedReply> replies;
  for (std::size_t at = 0; at < answer.size(); ++at) {
    replies.push_back(Closing(answer.substr(0, at)));
    replies.push_back({next});
  }
  HttpScriptedServer server(replies);
  TIdHTTP http;
  test::UseLauncherSettings(http);
  http.ReadTimeout = kReadTimeoutMs;
  for (std::size_t at = 0; at < answer.size(); ++at) {
    const std::string sent = answer.substr(0, at);
    const Outcome outcome = Call(http, server.Url("/"));
    if (at == 0) {
      EXPECT_EQ(outcome, kClosed);
    } else if (at < status.size()) {
      // The cut line is no status line; what came is the error body.
      EXPECT_EQ(outcome, Refused(-1, "", sent)) << at;
    } else if (at < head.size()) {
      EXPECT_EQ(outcome, kUndefined) << at;
    } else {
      // A short body is an error, and every byte of it that came is kept.
      EXPECT_EQ(outcome, Cut("Connection closed after " + std::to_string(at - head.size()) +
                                 " of 5 body bytes.",
                             sent.substr(head.size())))
          << at;
    }
    EXPECT_EQ(Call(http, server.Url("/")), Gives("next")) << at;
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostileServer, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<HostileCase>& info) {
                           return std::string(info.param.Name);
                         });

// A request field a caller sets, given a value that tries to end its line:
// the setter puts the value in place (or, given "ok", a sound one) and gives
// the URL to call.
struct InjectionCase {
  const char* Name;
  std::function<std::string(TIdHTTP&, const std::string& value, const std::string& url)> Set;
};

std::ostream& operator<<(std::ostream& out, const InjectionCase& c) {
  return out << c.Name;
}

template <class Record>
InjectionCase FieldCase(const char* name, std::string Record::*field) {
  return {name, [field](TIdHTTP& http, const std::string& value, const std::string& url) {
            static_cast<Record&>(http.Request()).*field = value;
            return url;
          }};
}

std::vector<InjectionCase> InjectionCases() {
  using R = TIdRequestHeaderInfo;
  using E = TIdEntityHeaderInfo;
  return {
      FieldCase<R>("Accept", &R::Accept),
      FieldCase<R>("AcceptCharSet", &R::AcceptCharSet),
      FieldCase<R>("AcceptEncoding", &R::AcceptEncoding),
      FieldCase<R>("AcceptLanguage", &R::AcceptLanguage),
      FieldCase<R>("From", &R::From),
      FieldCase<R>("Referer", &R::Referer),
      FieldCase<R>("UserAgent", &R::UserAgent),
      FieldCase<R>("ProxyConnection", &R::ProxyConnection),
      FieldCase<E>("ContentType", &E::ContentType),
      FieldCase<E>("ContentEncoding", &E::ContentEncoding),
      FieldCase<E>("ContentLanguage", &E::ContentLanguage),
      FieldCase<E>("ContentVersion", &E::ContentVersion),
      FieldCase<E>("CacheControl", &E::CacheControl),
      FieldCase<E>("Pragma", &E::Pragma),
      FieldCase<E>("Connection", &E::Connection),
      {"CustomHeaderValue",
       [](TIdHTTP& http, const std::string& value, const std::string& url) {
         http.Request().CustomHeaders().Clear();
         http.Request().CustomHeaders().Add("X-Note: " + value);
         return url;
       }},
      {"UrlPath", [](TIdHTTP&, const std::string& value,
                     const std::string& url) { return url + "path/" + value; }},
      {"UrlHost",
       [](TIdHTTP&, const std::string& value, const std::string& url) {
         return value == "ok" ? url : "http://" + value + "/";
       }},
  };
}

class RequestInjection : public testing::TestWithParam<InjectionCase> {};

// CR, LF, CR LF, CR LF with a blank (which a folding list took for a
// continuation line) and NUL, inside a field's value: the call is refused
// before a byte goes out, and the next call on the same client is sound.
TEST_P(RequestInjection, NothingReachesTheServerAndTheNextCallWorks) {
  const InjectionCase& c = GetParam();
  HttpScriptedServer server({{HttpAnswer("HTTP/1.1 200 OK", "clean")}}, true);
  TIdHTTP http;
  test::UseLauncherSettings(http);
  const std::string url = server.Url("/");
  EXPECT_EQ(http.GetText(c.Set(http, "ok", url)), "clean");
  for (const std::string& breaker : {std::string("\r"), std::string("\n"), std::string("\r\n"),
                                     std::string("\r\n "), std::string(1, '\0')}) {
    const std::string target = c.Set(http, "a" + breaker + "X-Injected: 1", url);
    EXPECT_THROW(http.GetText(target), EIdHTTPInvalidRequest) << testing::PrintToString(breaker);
    EXPECT_EQ(http.GetText(c.Set(http, "ok", url)), "clean") << testing::PrintToString(breaker);
  }
  const auto requests = server.Requests();
  EXPECT_EQ(requests.size(), 6u);
  for (const std::string& request : requests)
    EXPECT_EQ(request.find("X-Injected"), std::string::npos) << request;
}

INSTANTIATE_TEST_SUITE_P(EveryField, RequestInjection, testing::ValuesIn(InjectionCases()),
                         [](const testing::TestParamInfo<InjectionCase>& info) {
                           return std::string(info.param.Name);
                         });

TEST(RequestInjectionBuiltLines, CredentialsAreEncodedAndACookieLineIsChecked) {
  HttpScriptedServer server(
      {{HttpAnswer("HTTP/1.1 200 OK", "set", "Set-Cookie: sid=abc\rX-Evil: 1; path=/\r\n")},
       {HttpAnswer("HTTP/1.1 200 OK", "clean")}},
      true);
  TIdHTTP http;
  test::UseLauncherSettings(http);
  // The user name goes out in Base64: its line break cannot end the line (a
  // colon would be refused, as Basic cannot carry it).
  http.Request().Username = "me\r\nX-Evil 1";
  http.Request().BasicAuthentication = true;
  EXPECT_EQ(http.GetText(server.Url("/")), "set");
  // The store refused the cookie with the bare CR, so the next call is sound
  // and no such line goes out.
  EXPECT_EQ(http.GetText(server.Url("/")), "clean");
  for (const std::string& request : server.Requests())
    EXPECT_EQ(request.find("\rX-Evil"), std::string::npos) << request;
  EXPECT_NE(server.Requests().at(0).find("\r\nAuthorization: Basic "), std::string::npos);
}

}  // namespace
}  // namespace vantro
