// Kept connections against servers that close them: HTTP/1.0 answers, a
// close that races the next request, and calls refused before they send.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "http/IdHTTP.h"
#include "tests/http/HTTPTestSupport.h"
#include "tests/support/http_ScriptedServer.h"

namespace vantro {
namespace {

using test::HttpAnswer;
using test::Raised;

class ConnectionReuse : public test::HTTPClientTest {};

TEST_F(ConnectionReuse, AnHTTP10AnswerEndsReuseUnlessItKeepsTheConnection) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.0 200 OK", "a")},
      {HttpAnswer("HTTP/1.0 200 OK", "b", "Connection: Keep-Alive\r\n")},
      {HttpAnswer("HTTP/1.1 200 OK", "c")},
  });
  EXPECT_EQ(http.GetText(server.Url("/a")), "a");
  EXPECT_FALSE(http.IsConnected());
  EXPECT_EQ(http.GetText("/b"), "b");
  EXPECT_TRUE(http.IsConnected());
  EXPECT_EQ(http.GetText("/c"), "c");
  EXPECT_EQ(server.Connections(), 2);
}

TEST_F(ConnectionReuse, AGetOnAConnectionClosedUnderItGoesOnceMoreOnANewOne) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 200 OK", "first")},
      {"", true},  // reads the next request, then closes without a word
      {HttpAnswer("HTTP/1.1 200 OK", "again")},
  });
  EXPECT_EQ(http.GetText(server.Url("/one")), "first");
  EXPECT_EQ(http.GetText("/two"), "again");
  EXPECT_EQ(server.Connections(), 2);
  ASSERT_EQ(server.Requests().size(), 3u);
  EXPECT_EQ(server.Requests()[1], server.Requests()[2]);
}

TEST_F(ConnectionReuse, APostIsNeverSentTwice) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 200 OK", "first")},
      {"", true},
      {HttpAnswer("HTTP/1.1 200 OK", "next")},
  });
  EXPECT_EQ(http.GetText(server.Url("/")), "first");
  TStringStream form("a=1");
  TMemoryStream answer;
  EXPECT_THROW(http.ExecuteRequest(hmPost, "/form", &form, &answer), EIdConnClosedGracefully);
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(http.GetText("/"), "next");
}

TEST_F(ConnectionReuse, AResendThatFailsAgainIsNotTriedAThirdTime) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 200 OK", "first")},
      {"", true},
      {"", true},
      {HttpAnswer("HTTP/1.1 200 OK", "next")},
  });
  EXPECT_EQ(http.GetText(server.Url("/")), "first");
  EXPECT_THROW(http.GetText("/"), EIdConnClosedGracefully);
  EXPECT_EQ(server.Requests().size(), 3u);
  EXPECT_EQ(http.GetText("/"), "next");
}

TEST_F(ConnectionReuse, NoResendOnceAnswerBytesCame) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 200 OK", "first")},
      {"HTTP/1.1 200 O", true},
      {HttpAnswer("HTTP/1.1 200 OK", "next")},
  });
  EXPECT_EQ(http.GetText(server.Url("/")), "first");
  EXPECT_ANY_THROW(http.GetText("/"));
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(http.GetText("/"), "next");
}

TEST_F(ConnectionReuse, AConnectionTheServerClosedWhileIdleIsNotUsed) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 200 OK", "first"), true},
      {HttpAnswer("HTTP/1.1 200 OK", "second")},
  });
  EXPECT_EQ(http.GetText(server.Url("/")), "first");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(http.GetText("/"), "second");
  EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(ConnectionReuse, ACallRefusedBeforeItSendsKeepsAHealthyConnection) {
  auto& server = Serve({
      {HttpAnswer("HTTP/1.1 200 OK", "a")},
      {HttpAnswer("HTTP/1.1 200 OK", "b")},
  });
  EXPECT_EQ(http.GetText(server.Url("/")), "a");
  EXPECT_THROW(http.GetText("https://127.0.0.1:" + std::to_string(server.Port()) + "/"),
               EIdIOHandlerPropInvalid);
  EXPECT_THROW(http.GetText("/bad\r\nX-Evil: 1"), EIdHTTPInvalidRequest);
  EXPECT_TRUE(http.IsConnected());
  EXPECT_EQ(http.GetText("/"), "b");
  EXPECT_EQ(server.Connections(), 1);
}

}  // namespace
}  // namespace vantro
