#include <gtest/gtest.h>

#include "http/IdHTTP.h"
#include "tests/http/HTTPTestSupport.h"
#include "tests/support/http_ScriptedServer.h"

namespace vantro {
namespace {

using test::HttpAnswer;
using test::HttpScriptedServer;
using test::Raised;
using test::ScriptedReply;

class HTTPExchange : public test::HTTPClientTest {};

TEST_F(HTTPExchange, LauncherGetSendsExactlyTheseBytes) {
  auto& server = Serve({{HttpAnswer("HTTP/1.1 200 OK", "1.0.2.0")}});
  EXPECT_EQ(http.GetText(server.Url("/kivra/Version.txt")), "1.0.2.0");
  const std::string port = std::to_string(server.Port());
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0],
            "GET /kivra/Version.txt HTTP/1.1\r\n"
            "Content-Type: text/html\r\n"
            "Host: 127.0.0.1:" +
                port +
                "\r\n"
                "Accept: text/html, */*\r\n"
                "User-Agent: Mozilla/3.0 (compatible; Vantro)\r\n"
                "\r\n");
  EXPECT_EQ(http.ResponseCode(), 200);
}

TEST_F(HTTPExchange, BodiesOfEveryFraming) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 200 OK", "")},
      {"HTTP/1.1 204 No Content\r\n\r\n"},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n3 "
       "ext=1\r\nabc\r\n0\r\n\r\n"},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;ext=1\r\nhello\r\n0\r\n\r\n"},
      {"HTTP/1.1 200 OK\r\n\r\nuntil the close", true},
  });
  EXPECT_EQ(http.GetText(server.Url("/empty")), "");
  EXPECT_EQ(http.GetText(server.Url("/none")), "");
  EXPECT_EQ(http.GetText(server.Url("/chunks")), "helloabc");
  // Chunk extensions carry nothing the client uses.
  EXPECT_EQ(http.GetText(server.Url("/semicolon")), "hello");
  EXPECT_EQ(server.Connections(), 1);
  EXPECT_EQ(http.GetText(server.Url("/close")), "until the close");
  EXPECT_FALSE(http.IsConnected());
}

TEST_F(HTTPExchange, HugeAnnouncedSizesDoNotAllocateAhead) {
  auto& server = Serve({
      {"HTTP/1.1 200 OK\r\nContent-Length: 2147483647\r\n\r\nabc", true},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n7fffffff\r\nabc", true},
  });
  TMemoryStream body;
  EXPECT_THROW(http.GetToStream(server.Url("/length"), body), EIdHTTPFramingError);
  EXPECT_EQ(body.ToString(), "abc");
  EXPECT_THROW(http.GetText("/chunk"), EIdHTTPFramingError);
}

TEST_F(HTTPExchange, InterimContinueIsSkippedWithItsHead) {
  auto& server = Serve(
      {{"HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\n" + HttpAnswer("HTTP/1.1 200 OK", "done")}});
  EXPECT_EQ(http.GetText(server.Url("/")), "done");
  EXPECT_EQ(http.ResponseCode(), 200);
}

TEST_F(HTTPExchange, KeepAliveRulesFollowTheClientsVersion) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 200 OK", "a")},
      {HttpAnswer("HTTP/1.1 200 OK", "b", "Connection:  Close \r\n")},
      {HttpAnswer("HTTP/1.1 200 OK", "c", "Proxy-Connection: keep-alive\r\n")},
      {HttpAnswer("HTTP/1.0 200 OK", "d")},
      {HttpAnswer("HTTP/1.0 200 OK", "e")},
  });
  EXPECT_EQ(http.GetText(server.Url("/a")), "a");
  EXPECT_EQ(http.GetText(server.Url("/b")), "b");
  EXPECT_FALSE(http.IsConnected());
  EXPECT_EQ(server.Connections(), 1);

  http.ProtocolVersion = pv1_0;
  EXPECT_EQ(http.GetText(server.Url("/c")), "c");
  EXPECT_TRUE(http.IsConnected());
  EXPECT_EQ(http.GetText(server.Url("/d")), "d");
  EXPECT_FALSE(http.IsConnected());
  EXPECT_EQ(server.Connections(), 2);
  const auto requests = server.Requests();
  EXPECT_NE(requests[2].find("\r\nConnection: keep-alive\r\n"), std::string::npos);
  EXPECT_NE(requests[2].find("GET /c HTTP/1.0\r\n"), std::string::npos);
}

TEST_F(HTTPExchange, LaterCallsResolveAgainstTheTarget) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 200 OK", "1")},
      {HttpAnswer("HTTP/1.1 200 OK", "2")},
      {HttpAnswer("HTTP/1.1 200 OK", "3")},
  });
  http.GetText(server.Url("/a/b.txt"));
  http.GetText("sub/x.txt");
  http.GetText("/root.txt?q=1#frag");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1].substr(0, requests[1].find("\r\n")), "GET /a/sub/x.txt HTTP/1.1");
  EXPECT_EQ(requests[2].substr(0, requests[2].find("\r\n")), "GET /root.txt?q=1 HTTP/1.1");
}

TEST_F(HTTPExchange, UserInformationBecomesTheRequestsCredentials) {
  auto& server = Serve({{HttpAnswer("HTTP/1.1 200 OK", "")}});
  http.GetText("http://user:pw@127.0.0.1:" + std::to_string(server.Port()) + "/");
  EXPECT_EQ(http.Request().Username, "user");
  EXPECT_EQ(http.Request().Password, "pw");
}

TEST_F(HTTPExchange, CookiesTravelToLaterRequests) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 200 OK", "", "Set-Cookie: session=abc; path=/\r\n")},
      {HttpAnswer("HTTP/1.1 200 OK", "")},
  });
  EXPECT_EQ(http.CookieManager(), nullptr);
  http.GetText(server.Url("/login"));
  ASSERT_NE(http.CookieManager(), nullptr);
  EXPECT_TRUE(http.OwnsCookieManager());
  http.GetText(server.Url("/next"));
  EXPECT_EQ(server.Requests()[0].find("Cookie:"), std::string::npos);
  EXPECT_NE(server.Requests()[1].find("\r\nCookie: session=abc\r\n"), std::string::npos);
}

TEST_F(HTTPExchange, ProxyRouteSendsTheFullAddress) {
  auto& proxy = Serve({{HttpAnswer("HTTP/1.1 200 OK", "via proxy")}});
  http.ProxyParams.SetProxyServer("127.0.0.1");
  http.ProxyParams.SetProxyPort(proxy.Port());
  EXPECT_EQ(http.GetText("http://update.vantro.example/kivra/Version.txt"), "via proxy");
  const std::string request = proxy.Requests().at(0);
  EXPECT_EQ(request.substr(0, request.find("\r\n")),
            "GET http://update.vantro.example:80/kivra/Version.txt HTTP/1.1");
  EXPECT_NE(request.find("\r\nHost: update.vantro.example\r\n"), std::string::npos);
}

TEST_F(HTTPExchange, AnswersThatAreNotAcceptedRaiseWithCodeAndBody) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 404 Not Found", "no such page")},
      {HttpAnswer("HTTP/1.1 304 Not Modified", "")},
      {HttpAnswer("HTTP/1.1 101 Switching", "")},
      {HttpAnswer("HTTP/1.1", "")},
      {HttpAnswer("HTTP/1.1 200 OK", "fine")},
  });
  auto e = Raised<EIdHTTPProtocolException>([&] { http.GetText(server.Url("/missing")); });
  EXPECT_EQ(e.ReplyCode(), 404);
  EXPECT_STREQ(e.what(), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(e.ErrorBody(), "no such page");
  EXPECT_EQ(Raised<EIdHTTPProtocolException>([&] { http.GetText("/"); }).ReplyCode(), 304);
  EXPECT_EQ(Raised<EIdHTTPProtocolException>([&] { http.GetText("/"); }).ReplyCode(), 101);
  EXPECT_EQ(Raised<EIdHTTPProtocolException>([&] { http.GetText("/"); }).ReplyCode(), -1);
  // The client stays usable; only the 101 ended the connection, which
  // speaks another protocol after it.
  EXPECT_EQ(http.GetText("/"), "fine");
  EXPECT_EQ(server.Connections(), 2);
}

TEST_F(HTTPExchange, BrokenAnswersRaiseTheirTransportErrors) {
  auto& server = Serve({
      {"", true},
      {"HTTP/1.1 200 OK\r\nX-Long: " + std::string(20000, 'x') + "\r\n\r\n", true},
      {HttpAnswer("HTTP/1.1 200 OK", "ok")},
  });
  EXPECT_THROW(http.GetText(server.Url("/")), EIdConnClosedGracefully);
  auto e = Raised<EIdReadLnMaxLineLengthExceeded>([&] { http.GetText("/"); });
  EXPECT_STREQ(e.what(), "Max line length exceeded.");
  // The rest of the long line must not be taken for the next answer.
  EXPECT_FALSE(http.IsConnected());
  EXPECT_EQ(http.GetText("/"), "ok");
}

TEST_F(HTTPExchange, ClosedBeforeTheBodyOfA2xxIsUndefined) {
  auto& server = Serve({{"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n", true}});
  auto e = Raised<EIdException>([&] { http.GetText(server.Url("/")); });
  EXPECT_STREQ(e.what(), "Undefined situation");
}

TEST_F(HTTPExchange, UnsupportedTargetsFailBeforeConnecting) {
  auto tls = Raised<EIdIOHandlerPropInvalid>([&] { http.GetText("https://127.0.0.1/"); });
  EXPECT_STREQ(tls.what(), "IOHandler value is not valid");
  EXPECT_THROW(http.GetText("ftp://127.0.0.1/file"), EIdUnknownProtocol);
  http.ProtocolVersion = pv1_0;
  auto put = Raised<EIdException>(
      [&] { http.ExecuteRequest(hmPut, "http://127.0.0.1:1/", nullptr, nullptr); });
  EXPECT_STREQ(put.what(), "This request method is supported in HTTP 1.1");
  EXPECT_FALSE(http.IsConnected());
}

TEST_F(HTTPExchange, ForeignSchemeWithAPortIsSentAsPlainHTTP) {
  auto& server = Serve({{HttpAnswer("HTTP/1.1 200 OK", "ftp?")}});
  EXPECT_EQ(http.GetText("ftp://127.0.0.1:" + std::to_string(server.Port()) + "/f"), "ftp?");
}

TEST_F(HTTPExchange, PostSendsTheBodyAfterTheHead) {
  auto& server = Serve({{HttpAnswer("HTTP/1.1 200 OK", "got it")}});
  TStringStream body("name=value");
  TMemoryStream answer;
  http.ExecuteRequest(hmPost, server.Url("/form"), &body, &answer);
  EXPECT_EQ(answer.ToString(), "got it");
  const std::string request = server.Requests().at(0);
  EXPECT_EQ(request.substr(0, request.find("\r\n")), "POST /form HTTP/1.1");
  EXPECT_NE(request.find("\r\nContent-Length: 10\r\n"), std::string::npos);
  EXPECT_EQ(request.substr(request.size() - 14), "\r\n\r\nname=value");
}

// A sender never folds (RFC 9112 section 5.2): long values, a folded custom
// line included, go out on one line each.
TEST_F(HTTPExchange, LongHeaderValuesGoOutOnOneLine) {
  auto& server = Serve({{HttpAnswer("HTTP/1.1 200 OK", "ok")}});
  std::string words;
  for (int i = 0; i < 300; ++i)
    words += "word" + std::to_string(i) + (i % 2 ? ", " : " ");
  http.Request().Referer = words;
  http.Request().CustomHeaders().SetValueOf("X-Long", words);
  ASSERT_GT(http.Request().CustomHeaders().Count(), 1);  // folded at 78 in its own list
  EXPECT_EQ(http.GetText(server.Url("/")), "ok");
  const std::string request = server.Requests().at(0);
  EXPECT_EQ(request.find("\r\n "), std::string::npos);
  EXPECT_EQ(request.find("\r\n\t"), std::string::npos);
  EXPECT_NE(request.find("\r\nReferer: " + words + "\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nX-Long: word0 word1, "), std::string::npos);
}

}  // namespace
}  // namespace vantro
