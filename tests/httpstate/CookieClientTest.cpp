// The client's side of cookies: the Secure flag follows the request's scheme,
// not the handler attached, and a proxy's own answer plants nothing.
#include <gtest/gtest.h>

#include <string>

#include "http/IdHTTP.h"
#include "tests/http/HTTPTestSupport.h"
#include "tests/support/http_ScriptedServer.h"
#include "tests/support/tls_PlainTLSHandler.h"

namespace vantro {
namespace {

using test::HttpAnswer;

class CookieClient : public test::HTTPClientTest {};

std::string CookieLine(const std::string& request) {
  const std::size_t at = request.find("\r\nCookie: ");
  if (at == std::string::npos) return "(none)";
  return request.substr(at + 10, request.find("\r\n", at + 2) - at - 10);
}

TEST_F(CookieClient, SecureFollowsTheSchemeAndAProxyPlantsNothing) {
  const std::string established =
      "HTTP/1.1 200 Connection established\r\nSet-Cookie: sid=planted; Path=/\r\n"
      "Set-Cookie: s=proxy; Secure; Path=/\r\n\r\n";
  auto& proxy = Serve({
      {established},
      {HttpAnswer("HTTP/1.1 200 OK", "one",
                  "Set-Cookie: s=1; Secure; Path=/\r\n"
                  "Set-Cookie: p=1; Path=/\r\n")},
      {HttpAnswer("HTTP/1.1 200 OK", "two")},
      {HttpAnswer("HTTP/1.1 200 OK", "plain", "Set-Cookie: s=evil; Path=/\r\n")},
      {established},
      {HttpAnswer("HTTP/1.1 200 OK", "four")},
  });
  http.ProxyParams.SetProxyServer("127.0.0.1");
  http.ProxyParams.SetProxyPort(proxy.Port());
  // A session of plain bytes stands in for TLS, so the scripted proxy reads
  // what goes down the tunnel.
  test::PlainTLSHandler tls;
  http.SetIOHandler(&tls);
  EXPECT_EQ(http.GetText("https://a.example/1"), "one");
  EXPECT_EQ(http.GetText("https://a.example/2"), "two");
  // Plain http with the TLS handler still attached: no Secure cookie goes,
  // and its answer cannot overwrite one.
  EXPECT_EQ(http.GetText("http://a.example/3"), "plain");
  EXPECT_EQ(http.GetText("https://a.example/4"), "four");

  const auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_EQ(requests[4].substr(0, 8), "CONNECT ");
  EXPECT_EQ(CookieLine(requests[1]), "(none)");
  EXPECT_EQ(CookieLine(requests[2]), "p=1; s=1");
  EXPECT_EQ(CookieLine(requests[3]), "p=1");
  EXPECT_EQ(CookieLine(requests[5]), "p=1; s=1");
}

}  // namespace
}  // namespace vantro
