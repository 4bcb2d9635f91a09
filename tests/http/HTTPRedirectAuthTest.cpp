#include <gtest/gtest.h>

#include "http/IdHTTP.h"
#include "httpstate/IdCoderMIME.h"
#include "tests/http/HTTPTestSupport.h"
#include "tests/support/http_ScriptedServer.h"

namespace vantro {
namespace {

using test::HttpAnswer;
using test::HttpScriptedServer;
using test::Raised;
using test::ScriptedReply;

std::string RequestLine(const std::string& request) {
  return request.substr(0, request.find("\r\n"));
}

class HTTPRedirects : public test::HTTPClientTest {};

TEST_F(HTTPRedirects, WithoutHandlingEveryRedirectRaises) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 302 Found", "moved", "Location: /elsewhere\r\n")},
      {HttpAnswer("HTTP/1.1 200 OK", "body", "Location: /elsewhere\r\n")},
  });
  auto e = Raised<EIdHTTPProtocolException>([&] { http.GetText(server.Url("/")); });
  EXPECT_EQ(e.ReplyCode(), 302);
  EXPECT_EQ(e.ErrorBody(), "moved");
  EXPECT_EQ(Raised<EIdHTTPProtocolException>([&] { http.GetText("/"); }).ReplyCode(), 200);
}

TEST_F(HTTPRedirects, FollowsRelativeLocationsUpToTheLimit) {
  std::vector<ScriptedReply> replies;
  for (int i = 1; i <= 20; ++i) {
    replies.push_back({HttpAnswer("HTTP/1.1 302 Found", "r" + std::to_string(i),
                                  "Location: next" + std::to_string(i) + "\r\n")});
  }
  auto& server = Serve(replies);
  http.HandleRedirects = true;
  TMemoryStream body;
  http.GetToStream(server.Url("/dir/start"), body);
  EXPECT_EQ(body.Size(), 0);
  EXPECT_EQ(server.Requests().size(), 15u);
  EXPECT_EQ(RequestLine(server.Requests()[1]), "GET /dir/next1 HTTP/1.1");
  EXPECT_EQ(http.Reply().Location, "next15");
  EXPECT_EQ(http.RedirectsTaken, 0);
}

TEST_F(HTTPRedirects, TheHandlerDecidesAndMayChangeTheTarget) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 301 Moved", "", "Location: http://elsewhere.example/x\r\n")},
      {HttpAnswer("HTTP/1.1 200 OK", "landed")},
      {HttpAnswer("HTTP/1.1 303 See Other", "", "Location: /y\r\n")},
  });
  http.HandleRedirects = true;
  http.OnRedirect = [](TIdCustomHTTP&, std::string& dest, int&, bool&, TIdHTTPMethod&) {
    dest = "/changed";
  };
  EXPECT_EQ(http.GetText(server.Url("/")), "landed");
  EXPECT_EQ(RequestLine(server.Requests()[1]), "GET /changed HTTP/1.1");

  http.OnRedirect = [](TIdCustomHTTP&, std::string&, int&, bool& handled, TIdHTTPMethod&) {
    handled = false;
  };
  EXPECT_EQ(Raised<EIdHTTPProtocolException>([&] { http.GetText("/"); }).ReplyCode(), 303);
}

class HTTPAuthorization : public HTTPRedirects {};

TEST_F(HTTPAuthorization, ChallengeWithoutHandlerRaisesButKeepsTheScheme) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 401 Unauthorized", "who?", "WWW-Authenticate: Basic realm=\"x\"\r\n")},
      {HttpAnswer("HTTP/1.1 200 OK", "")},
  });
  auto e = Raised<EIdHTTPProtocolException>([&] { http.GetText(server.Url("/private")); });
  EXPECT_EQ(e.ReplyCode(), 401);
  ASSERT_NE(http.Request().AuthObject, nullptr);
  http.GetText("/private");
  // An empty user name and password: ":" in Base64.
  EXPECT_NE(server.Requests()[1].find("\r\nAuthorization: Basic Og==\r\n"), std::string::npos);
}

TEST_F(HTTPAuthorization, InProcessRetriesStopAtTheLimit) {
  const std::string challenge =
      HttpAnswer("HTTP/1.1 401 Unauthorized", "", "WWW-Authenticate: Basic realm=\"x\"\r\n");
  auto& server = Serve({{challenge}, {challenge}, {challenge}, {challenge}, {challenge}});
  http.Request().Username = "user";
  http.Request().Password = "secret";
  http.HTTPOptions |= hoInProcessAuth;
  int asked = 0;
  http.OnAuthorization = [&](TIdCustomHTTP&, TIdAuthentication&, bool& handled) {
    ++asked;
    handled = true;
  };
  EXPECT_EQ(Raised<EIdHTTPProtocolException>([&] { http.GetText(server.Url("/p")); }).ReplyCode(),
            401);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 4u);
  const std::string credentials =
      "\r\nAuthorization: Basic " + TIdEncoderMIME::EncodeTextOnce("user:secret") + "\r\n";
  EXPECT_EQ(requests[0].find("Authorization:"), std::string::npos);
  for (std::size_t i = 1; i < requests.size(); ++i) {
    EXPECT_NE(requests[i].find(credentials), std::string::npos) << i;
  }
  EXPECT_EQ(asked, 0);  // Basic is ready as soon as a user name is there
}

TEST_F(HTTPAuthorization, UnknownSchemesAreRefusedAtOnce) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 401 Unauthorized", "", "WWW-Authenticate: Exotic x=1\r\n")},
  });
  http.HTTPOptions |= hoInProcessAuth;
  http.OnAuthorization = [](TIdCustomHTTP&, TIdAuthentication&, bool& handled) { handled = true; };
  EXPECT_EQ(Raised<EIdHTTPProtocolException>([&] { http.GetText(server.Url("/")); }).ReplyCode(),
            401);
  EXPECT_EQ(http.Request().AuthObject, nullptr);
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(HTTPAuthorization, ProxyChallengeDropsTheStoredProxyPassword) {
  auto& proxy = Serve({
      {HttpAnswer("HTTP/1.1 407 Proxy Authentication Required", "",
                  "Proxy-Authenticate: Basic realm=\"p\"\r\n")},
      {HttpAnswer("HTTP/1.1 407 Proxy Authentication Required", "",
                  "Proxy-Authenticate: Other realm=\"p\"\r\n")},
  });
  http.ProxyParams.SetProxyServer("127.0.0.1");
  http.ProxyParams.SetProxyPort(proxy.Port());
  http.ProxyParams.ProxyUsername = "me";
  http.ProxyParams.ProxyPassword = "old";
  EXPECT_EQ(
      Raised<EIdHTTPProtocolException>([&] { http.GetText("http://a.example/"); }).ReplyCode(),
      407);
  EXPECT_EQ(http.ProxyParams.ProxyPassword, "");
  ASSERT_NE(http.ProxyParams.AuthObject, nullptr);
}

}  // namespace
}  // namespace vantro
