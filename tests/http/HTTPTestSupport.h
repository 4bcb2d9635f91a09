// Shared by the HTTP client tests: a client set up as the launcher sets its
// own, and a check that a call raises a given exception with a given text.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "http/IdHTTP.h"
#include "tests/support/http_ScriptedServer.h"

namespace vantro::test {

// The launcher's design settings, with a read time-out so that a broken
// test cannot hang.
inline void UseLauncherSettings(TIdHTTP& http) {
  http.MaxLineAction = maException;
  http.ReadTimeout = 5000;
  http.AllowCookies = true;
  http.Request().SetContentLength(-1);
  http.Request().ContentType = "text/html";
  http.Request().Accept = "text/html, */*";
  http.Request().UserAgent = "Mozilla/3.0 (compatible; Vantro)";
}

// A client with the launcher's settings and the servers a test starts for it.
class HTTPClientTest : public testing::Test {
 protected:
  HTTPClientTest() { UseLauncherSettings(http); }
  HttpScriptedServer& Serve(std::vector<ScriptedReply> replies) {
    servers.push_back(std::make_unique<HttpScriptedServer>(std::move(replies)));
    return *servers.back();
  }
  // Declared first so the client closes its connection before they stop.
  std::vector<std::unique_ptr<HttpScriptedServer>> servers;
  TIdHTTP http;
};

template <class E>
E Raised(const std::function<void()>& call) {
  try {
    call();
  } catch (const E& e) {
    return e;
  }
  ADD_FAILURE() << "the expected exception was not raised";
  throw std::logic_error("no exception");
}

}  // namespace vantro::test
