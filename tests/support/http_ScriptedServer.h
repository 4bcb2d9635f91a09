// A loopback HTTP server that answers every request it reads with the next
// scripted reply, byte for byte, and records the requests as they came.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "tests/support/tcp_TestServer.h"

namespace vantro::test {

struct ScriptedReply {
  std::string Bytes;
  // Close the connection after sending (a body delimited by the close).
  bool Close = false;
  // Send the bytes one at a time with this pause in ms between them (0: at once).
  int BytePauseMs = 0;
  // The bytes before this position go at once, the rest one at a time.
  std::size_t DripFrom = 0;
  // A moment after sending, reset the connection (RST) instead of keeping it.
  bool Reset = false;
  // Send the bytes as soon as the previous exchange is over, before the
  // request they answer is read.
  bool Early = false;
  // Send nothing more on this connection and hold it until the client gives up.
  bool Stall = false;
};

// A complete answer with a Content-Length line.
std::string HttpAnswer(const std::string& statusLine, const std::string& body,
                       const std::string& extraHeaders = {});

class HttpScriptedServer {
 public:
  // With repeatLast, the last reply answers every request after the script.
  explicit HttpScriptedServer(std::vector<ScriptedReply> replies, bool repeatLast = false);
  int Port() const { return server_.Port(); }
  std::string Url(const std::string& path) const;
  int Connections() const { return server_.Accepted(); }
  // Every request head (and body) read so far, in order.
  std::vector<std::string> Requests() const;

 private:
  void Serve(TcpPeer& peer);
  // The next reply, taken only when it is to go out before its request.
  bool NextReply(ScriptedReply& reply, bool earlyOnly = false);
  static bool Send(TcpPeer& peer, const ScriptedReply& reply);

  mutable std::mutex mutex_;
  std::vector<ScriptedReply> replies_;
  std::size_t next_ = 0;
  bool repeatLast_;
  std::vector<std::string> requests_;
  TcpTestServer server_;
};

}  // namespace vantro::test
