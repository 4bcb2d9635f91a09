// Bodies as real servers frame them: answers that have none by rule, lengths
// past 32 bits, chunk extensions and trailers, coding names in any case.
#include <gtest/gtest.h>

#include "http/IdHTTP.h"
#include "tests/http/HTTPTestSupport.h"
#include "tests/support/http_ScriptedServer.h"

namespace vantro {
namespace {

using test::HttpAnswer;
using test::Raised;

class BodyFraming : public test::HTTPClientTest {};

// nginx and Apache send a 304 with the headers of the full answer, its
// length included, and no body.
TEST_F(BodyFraming, AnswersWithoutABodyByRuleReadNone) {
  auto& server = Serve({
      {"HTTP/1.1 304 Not Modified\r\nContent-Length: 612\r\nETag: \"x\"\r\n\r\n"},
      {"HTTP/1.1 204 No Content\r\nTransfer-Encoding: chunked\r\n\r\n"},
      {"HTTP/1.1 200 OK\r\nContent-Length: 4096\r\n\r\n"},
      {"HTTP/1.1 103 Early Hints\r\nLink: </s.css>\r\nContent-Length: 9\r\n\r\n" +
       HttpAnswer("HTTP/1.1 200 OK", "final")},
  });
  auto e = Raised<EIdHTTPProtocolException>([&] { http.GetText(server.Url("/page")); });
  EXPECT_EQ(e.ReplyCode(), 304);
  EXPECT_EQ(e.ErrorBody(), "");
  EXPECT_EQ(http.GetText("/none"), "");
  TMemoryStream head;
  http.ExecuteRequest(hmHead, "/big", nullptr, &head);
  EXPECT_EQ(head.Size(), 0);
  EXPECT_EQ(http.Reply().ContentLength(), 4096);
  EXPECT_EQ(http.GetText("/hinted"), "final");
  EXPECT_EQ(server.Connections(), 1);
}

TEST_F(BodyFraming, LengthsBeyond32BitsAreKept) {
  auto& server = Serve({{"HTTP/1.1 200 OK\r\nContent-Length: 4294967301\r\n\r\nabc", true}});
  TMemoryStream body;
  auto e = Raised<EIdHTTPFramingError>([&] { http.GetToStream(server.Url("/iso"), body); });
  EXPECT_STREQ(e.what(), "Connection closed after 3 of 4294967301 body bytes.");
  EXPECT_EQ(http.Reply().ContentLength(), 4294967301LL);
  EXPECT_EQ(body.ToString(), "abc");
}

TEST_F(BodyFraming, ChunksWithExtensionsTrailersAndAnyCase) {
  auto& server = Serve({
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n"
       "5;name=value\r\nhello\r\n6 ; q=\"a;b\"\r\n world\r\n0;last\r\n"
       "X-Checksum: 1\r\n\r\n"},
      {HttpAnswer("HTTP/1.1 200 OK", "next")},
  });
  EXPECT_EQ(http.GetText(server.Url("/")), "hello world");
  // The trailer was read to its end: the connection stays in step.
  EXPECT_EQ(http.GetText("/"), "next");
  EXPECT_EQ(server.Connections(), 1);
}

TEST_F(BodyFraming, AReusedStreamKeepsWhatCameBeforeACut) {
  auto& server =
      Serve({{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nfull\r\n9\r\ncut", true}});
  TMemoryStream body;
  body.WriteBuffer("prefix:", 7);
  EXPECT_THROW(http.GetToStream(server.Url("/"), body), EIdHTTPFramingError);
  EXPECT_EQ(body.ToString(), "prefix:fullcut");
}

}  // namespace
}  // namespace vantro
