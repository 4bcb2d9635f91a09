#include <gtest/gtest.h>

#include "http/IdHTTP.h"
#include "httpstate/IdCoderMIME.h"
#include "tests/http/HTTPTestSupport.h"
#include "tests/support/http_ScriptedServer.h"
#include "tests/support/tls_PlainTLSHandler.h"

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
  // Only a 3xx redirects: a Location on a 200 is information.
  EXPECT_EQ(http.GetText("/"), "body");
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

// Where credentials go, and what a request may not carry.
class HTTPCredentials : public HTTPRedirects {
 protected:
  void GiveBasicCredentials() {
    http.Request().Username = "user";
    http.Request().Password = "secret";
    http.Request().BasicAuthentication = true;
  }
  static bool CarriesCredentials(const std::string& request) {
    return request.find("\r\nAuthorization:") != std::string::npos;
  }
};

TEST_F(HTTPCredentials, GoOnlyToTheSchemeHostAndPortTheyWereGivenFor) {
  auto& other = Serve({{HttpAnswer("HTTP/1.1 200 OK", "elsewhere")}});
  auto& origin = Serve({
      {HttpAnswer("HTTP/1.1 302 Found", "", "Location: /same-host\r\n")},
      {HttpAnswer("HTTP/1.1 302 Found", "", "Location: " + other.Url("/x") + "\r\n")},
  });
  GiveBasicCredentials();
  http.HandleRedirects = true;
  EXPECT_EQ(http.GetText(origin.Url("/start")), "elsewhere");
  EXPECT_TRUE(CarriesCredentials(origin.Requests().at(0)));
  EXPECT_TRUE(CarriesCredentials(origin.Requests().at(1)));
  EXPECT_FALSE(CarriesCredentials(other.Requests().at(0)));
  // Nothing is lost: the next call to the origin carries them again.
  EXPECT_EQ(http.Request().Username, "user");
}

TEST_F(HTTPCredentials, AnotherHostsChallengeIsNotAnsweredWithThem) {
  auto& other = Serve({{HttpAnswer("HTTP/1.1 401 Unauthorized", "",
                                   "WWW-Authenticate: Basic realm=\"other\"\r\n")}});
  auto& origin = Serve({
      {HttpAnswer("HTTP/1.1 302 Found", "", "Location: " + other.Url("/x") + "\r\n")},
  });
  GiveBasicCredentials();
  http.HandleRedirects = true;
  http.HTTPOptions |= hoInProcessAuth;
  int asked = 0;
  http.OnAuthorization = [&](TIdCustomHTTP&, TIdAuthentication&, bool& handled) {
    ++asked;
    handled = false;
  };
  EXPECT_EQ(Raised<EIdHTTPProtocolException>([&] { http.GetText(origin.Url("/")); }).ReplyCode(),
            401);
  EXPECT_EQ(asked, 1);  // the owner is asked for the other host's credentials
  EXPECT_EQ(other.Requests().size(), 1u);
  EXPECT_FALSE(CarriesCredentials(other.Requests().at(0)));
  EXPECT_EQ(http.Request().Password, "secret");
}

TEST_F(HTTPCredentials, LineBreaksAreRefusedBeforeAnythingIsSent) {
  auto& server = Serve({{HttpAnswer("HTTP/1.1 200 OK", "clean")}});
  const std::string url = server.Url("/");
  http.Request().CustomHeaders().Add("X-Note: a\r\nX-Evil: 1");
  EXPECT_THROW(http.GetText(url), EIdHTTPInvalidRequest);
  http.Request().CustomHeaders().Clear();
  http.Request().UserAgent = "agent\nGET /second HTTP/1.1";
  EXPECT_THROW(http.GetText(url), EIdHTTPInvalidRequest);
  http.Request().UserAgent = "agent";
  auto e = Raised<EIdHTTPInvalidRequest>([&] { http.GetText(url + "x\r\nHost: evil"); });
  EXPECT_STREQ(e.what(), "The URL holds a line break or NUL: refused.");
  EXPECT_THROW(http.GetText(url + std::string("a\0b", 3)), EIdHTTPInvalidRequest);
  EXPECT_EQ(server.Connections(), 0);
  EXPECT_EQ(http.GetText(url), "clean");
}

TEST_F(HTTPCredentials, AnInProcessRetryGoesToTheSamePath) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 200 OK", "b")},
      {HttpAnswer("HTTP/1.1 401 Unauthorized", "", "WWW-Authenticate: Basic realm=\"x\"\r\n")},
      {HttpAnswer("HTTP/1.1 200 OK", "x")},
  });
  http.GetText(server.Url("/a/b.txt"));
  GiveBasicCredentials();
  http.HTTPOptions |= hoInProcessAuth;
  http.OnAuthorization = [](TIdCustomHTTP&, TIdAuthentication&, bool& handled) { handled = true; };
  EXPECT_EQ(http.GetText("sub/x"), "x");
  EXPECT_EQ(RequestLine(server.Requests().at(1)), "GET /a/sub/x HTTP/1.1");
  EXPECT_EQ(RequestLine(server.Requests().at(2)), "GET /a/sub/x HTTP/1.1");
}

TEST_F(HTTPRedirects, EachCallCountsItsOwnRedirects) {
  std::vector<ScriptedReply> replies;
  for (int i = 0; i < 5; ++i)
    replies.push_back({HttpAnswer("HTTP/1.1 302 Found", "", "Location: /loop\r\n")});
  replies.push_back({HttpAnswer("HTTP/1.1 404 Not Found", "")});
  for (int i = 0; i < 20; ++i)
    replies.push_back({HttpAnswer("HTTP/1.1 302 Found", "", "Location: /again\r\n")});
  auto& server = Serve(replies);
  http.HandleRedirects = true;
  EXPECT_THROW(http.GetText(server.Url("/")), EIdHTTPProtocolException);
  // A failed call does not shorten the next one's chain: 14 are followed.
  http.GetText("/");
  EXPECT_EQ(server.Requests().size(), 6u + 15u);
}

TEST_F(HTTPRedirects, A303FetchesTheResultWithGetAndOthersKeepTheMethod) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 303 See Other", "", "Location: /result\r\n")},
      {HttpAnswer("HTTP/1.1 200 OK", "result")},
      {HttpAnswer("HTTP/1.1 307 Temporary Redirect", "", "Location: /again\r\n")},
      {HttpAnswer("HTTP/1.1 200 OK", "posted")},
      {HttpAnswer("HTTP/1.1 308 Permanent Redirect", "", "Location: /moved\r\n")},
      {HttpAnswer("HTTP/1.1 200 OK", "posted")},
      {HttpAnswer("HTTP/1.1 201 Created", "made", "Location: /things/1\r\n")},
  });
  http.HandleRedirects = true;
  TStringStream form("a=1");
  TMemoryStream answer;
  http.ExecuteRequest(hmPost, server.Url("/form"), &form, &answer);
  EXPECT_EQ(answer.ToString(), "result");
  const auto requests = server.Requests();
  EXPECT_EQ(RequestLine(requests.at(1)), "GET /result HTTP/1.1");
  EXPECT_EQ(requests.at(1).find("Content-Length"), std::string::npos);
  TMemoryStream second;
  http.ExecuteRequest(hmPost, "/form", &form, &second);
  TMemoryStream third;
  http.ExecuteRequest(hmPost, "/old", &form, &third);
  for (const std::size_t resent : {3u, 5u}) {
    const std::string request = server.Requests().at(resent);
    EXPECT_EQ(RequestLine(request), resent == 3 ? "POST /again HTTP/1.1" : "POST /moved HTTP/1.1");
    EXPECT_EQ(request.substr(request.size() - 3), "a=1");
  }
  // Only a 3xx redirects: a 201 names what it made, and the body went once.
  TMemoryStream made;
  http.ExecuteRequest(hmPost, "/things", &form, &made);
  EXPECT_EQ(made.ToString(), "made");
  EXPECT_EQ(http.Reply().Location, "/things/1");
  EXPECT_EQ(server.Requests().size(), 7u);
}

// Credentials an authorization handler gives are for the origin it gave
// them for: not for the next host called, and back for that origin later.
TEST_F(HTTPCredentials, AHandlersCredentialsStayWithTheirOriginAcrossCalls) {
  const ScriptedReply challenge{
      HttpAnswer("HTTP/1.1 401 Unauthorized", "", "WWW-Authenticate: Basic realm=\"x\"\r\n")};
  auto& b = Serve({challenge,
                   {HttpAnswer("HTTP/1.1 200 OK", "b")},
                   {HttpAnswer("HTTP/1.1 200 OK", "b again")}});
  auto& c = Serve({{HttpAnswer("HTTP/1.1 200 OK", "c")}});
  auto& a = Serve({
      {HttpAnswer("HTTP/1.1 302 Found", "", "Location: " + b.Url("/b") + "\r\n")},
      {HttpAnswer("HTTP/1.1 200 OK", "a")},
  });
  http.HandleRedirects = true;
  http.OnAuthorization = [](TIdCustomHTTP&, TIdAuthentication& auth, bool& handled) {
    auth.SetUserNameValue("b-user");
    auth.SetPasswordValue("b-secret");
    handled = true;
  };
  GiveBasicCredentials();
  // The 401 of b is the answer; the handler's credentials are ready for b.
  EXPECT_EQ(http.GetText(a.Url("/a")), "");
  EXPECT_EQ(http.GetText(b.Url("/b")), "b");
  EXPECT_EQ(http.GetText(c.Url("/c")), "c");
  EXPECT_EQ(http.GetText(a.Url("/a")), "a");
  EXPECT_EQ(http.GetText(b.Url("/b")), "b again");
  const std::string aCredentials =
      "\r\nAuthorization: Basic " + TIdEncoderMIME::EncodeTextOnce("user:secret") + "\r\n";
  const std::string bCredentials =
      "\r\nAuthorization: Basic " + TIdEncoderMIME::EncodeTextOnce("b-user:b-secret") + "\r\n";
  EXPECT_NE(b.Requests().at(1).find(bCredentials), std::string::npos);
  // The caller's own credentials go where each call goes; b's do not.
  EXPECT_EQ(c.Requests().at(0).find(bCredentials), std::string::npos);
  EXPECT_NE(c.Requests().at(0).find(aCredentials), std::string::npos);
  EXPECT_NE(a.Requests().at(1).find(aCredentials), std::string::npos);
  EXPECT_NE(b.Requests().at(2).find(bCredentials), std::string::npos);
}

// Proxy credentials are for the proxy: on its CONNECT and on plain requests
// it forwards, never inside the tunnel.
class HTTPProxyCredentials : public HTTPCredentials {
 protected:
  void UseProxy(const HttpScriptedServer& proxy) {
    http.ProxyParams.SetProxyServer("127.0.0.1");
    http.ProxyParams.SetProxyPort(proxy.Port());
    http.ProxyParams.ProxyUsername = "proxy-user";
    http.ProxyParams.ProxyPassword = "proxy-secret";
    http.ProxyParams.BasicAuthentication = true;
  }
  static bool CarriesProxyCredentials(const std::string& request) {
    return request.find("\r\nProxy-Authorization:") != std::string::npos;
  }
};

TEST_F(HTTPProxyCredentials, GoToTheProxyOnlyAndTheConnectCarriesNoContent) {
  auto& proxy = Serve({
      {"HTTP/1.1 200 Connection established\r\n\r\n"},
      {HttpAnswer("HTTP/1.1 200 OK", "welcome")},
      {HttpAnswer("HTTP/1.1 200 OK", "plain")},
  });
  UseProxy(proxy);
  GiveBasicCredentials();
  test::PlainTLSHandler tls;  // plain bytes down the tunnel: the script reads them
  http.SetIOHandler(&tls);
  TStringStream form("name=secret");
  TMemoryStream answer;
  http.ExecuteRequest(hmPost, "https://origin.example/login", &form, &answer);
  EXPECT_EQ(answer.ToString(), "welcome");
  // The certificate to check inside the tunnel is the origin's.
  EXPECT_EQ(tls.SessionHost, "origin.example");
  EXPECT_EQ(http.GetText("http://other.example/"), "plain");
  const auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(RequestLine(requests[0]), "CONNECT origin.example:443 HTTP/1.1");
  EXPECT_TRUE(CarriesProxyCredentials(requests[0]));
  EXPECT_FALSE(CarriesCredentials(requests[0]));
  EXPECT_EQ(requests[0].find("\r\nContent-"), std::string::npos);
  EXPECT_EQ(RequestLine(requests[1]), "POST /login HTTP/1.1");
  EXPECT_FALSE(CarriesProxyCredentials(requests[1]));
  EXPECT_TRUE(CarriesCredentials(requests[1]));
  EXPECT_NE(requests[1].find("\r\nContent-Length: 11\r\n"), std::string::npos);
  EXPECT_TRUE(CarriesProxyCredentials(requests[2]));
}

TEST_F(HTTPProxyCredentials, HttpsThroughAProxyWithoutATLSHandlerIsRefusedBeforeSending) {
  auto& proxy = Serve({{HttpAnswer("HTTP/1.1 200 OK", "plain")}});
  UseProxy(proxy);
  TStringStream form("name=secret");
  auto e = Raised<EIdIOHandlerPropInvalid>(
      [&] { http.ExecuteRequest(hmPost, "https://origin.example/login", &form, nullptr); });
  EXPECT_STREQ(e.what(), "IOHandler value is not valid");
  EXPECT_EQ(proxy.Connections(), 0);
  EXPECT_EQ(http.GetText("http://origin.example/"), "plain");
  EXPECT_EQ(proxy.Requests().size(), 1u);
}

}  // namespace
}  // namespace vantro
