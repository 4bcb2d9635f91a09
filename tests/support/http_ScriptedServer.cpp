#include "tests/support/http_ScriptedServer.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "http/IdHeaderList.h"

namespace vantro::test {

std::string HttpAnswer(const std::string& statusLine, const std::string& body,
                       const std::string& extraHeaders) {
  return statusLine + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extraHeaders +
         "\r\n" + body;
}

HttpScriptedServer::HttpScriptedServer(std::vector<ScriptedReply> replies, bool repeatLast)
    : replies_(std::move(replies)),
      repeatLast_(repeatLast),
      server_([this](TcpPeer& peer) { Serve(peer); }) {}

std::string HttpScriptedServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(Port()) + path;
}

std::vector<std::string> HttpScriptedServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

bool HttpScriptedServer::NextReply(ScriptedReply& reply, bool earlyOnly) {
  std::lock_guard<std::mutex> lock(mutex_);
  const bool past = next_ >= replies_.size();
  if (past && (!repeatLast_ || replies_.empty())) return false;
  const ScriptedReply& next = past ? replies_.back() : replies_[next_];
  if (earlyOnly && !next.Early) return false;
  reply = next;
  if (!past) ++next_;
  return true;
}

bool HttpScriptedServer::Send(TcpPeer& peer, const ScriptedReply& reply) {
  if (reply.BytePauseMs <= 0) return peer.Send(reply.Bytes);
  const std::string_view bytes(reply.Bytes);
  const std::size_t atOnce = std::min(reply.DripFrom, bytes.size());
  if (atOnce > 0 && !peer.Send(bytes.substr(0, atOnce))) return false;
  for (const char c : bytes.substr(atOnce)) {
    if (!peer.Send(std::string_view(&c, 1))) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(reply.BytePauseMs));
  }
  return true;
}

void HttpScriptedServer::Serve(TcpPeer& peer) {
  for (;;) {
    ScriptedReply reply;
    const bool early = NextReply(reply, true);
    if (early && !Send(peer, reply)) return;
    std::string request;
    TIdHeaderList head;
    for (std::string line = peer.ReceiveLine(); !line.empty() && line != "\r";
         line = peer.ReceiveLine()) {
      request += line + "\n";
      if (line.back() == '\r') line.pop_back();
      head.Add(line);
    }
    if (request.empty()) return;  // the client closed
    request += "\r\n";
    const int length = std::atoi(head.ValueOf("Content-Length").c_str());
    if (length > 0) request += peer.ReceiveExactly(static_cast<std::size_t>(length));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    if (!early && (!NextReply(reply) || !Send(peer, reply))) return;
    if (reply.Stall) {
      // Held until the client closes (or the peer's own receive limit ends it).
      while (!peer.Receive().empty()) {
      }
      return;
    }
    if (reply.Reset) {
      // Long enough for the client to have read the answer.
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      peer.Reset();
      return;
    }
    if (reply.Close) return;
  }
}

}  // namespace vantro::test
