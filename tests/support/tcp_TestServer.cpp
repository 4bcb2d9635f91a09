#include "tests/support/tcp_TestServer.h"

#include <chrono>

namespace vantro::test {

std::string TcpPeer::ReceiveExactly(std::size_t count) {
  while (pending_.size() < count) {
    std::string more = Receive();
    if (more.empty()) break;
    pending_ += more;
  }
  std::string bytes = pending_.substr(0, count);
  pending_.erase(0, bytes.size());
  return bytes;
}

std::string TcpPeer::ReceiveLine() {
  std::size_t end;
  while ((end = pending_.find('\n')) == std::string::npos) {
    std::string more = Receive();
    if (more.empty()) {
      std::string rest = std::move(pending_);
      pending_.clear();
      return rest;
    }
    pending_ += more;
  }
  std::string line = pending_.substr(0, end);
  pending_.erase(0, end + 1);
  return line;
}

void TcpPeer::Close() {
  CloseRaw(socket_);
  socket_ = kNoSocket;
}

void TcpPeer::Reset() {
  ResetRaw(socket_);
  socket_ = kNoSocket;
}

TcpTestServer::TcpTestServer(Handler handler, int backlog) : handler_(std::move(handler)) {
  listening_ = ListenLoopback(backlog, port_);
  thread_ = std::thread([this] { Run(); });
}

TcpTestServer::~TcpTestServer() {
  stop_ = true;
  thread_.join();
  CloseRaw(listening_);
}

void TcpTestServer::Run() {
  // Connections already waiting are still served after the stop.
  for (;;) {
    RawSocket s = AcceptWithin(listening_, 20);
    if (s == kNoSocket) {
      if (stop_) return;
      continue;
    }
    ++accepted_;
    SetSocketTimeouts(s, 5000);
    TcpPeer peer(s);
    handler_(peer);
  }
}

TcpTestServer::Handler LineEcho() {
  return [](TcpPeer& peer) {
    for (;;) {
      std::string line = peer.ReceiveLine();
      if (line.empty() || line == "QUIT" || line == "QUIT\r") return;
      if (!peer.Send(line + "\n")) return;
    }
  };
}

TcpTestServer::Handler SendPieces(std::vector<std::string> pieces, int pauseMs) {
  return [pieces, pauseMs](TcpPeer& peer) {
    for (const std::string& piece : pieces) {
      peer.Send(piece);
      std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
    while (!peer.Receive().empty()) {
    }
  };
}

TcpTestServer::Handler SendAndClose(std::string bytes) {
  return [bytes](TcpPeer& peer) {
    peer.Send(bytes);
    peer.Close();
  };
}

TcpTestServer::Handler Record(std::string& received, std::vector<std::size_t>* reads) {
  return [&received, reads](TcpPeer& peer) {
    for (std::string more; !(more = peer.Receive()).empty();) {
      received += more;
      if (reads != nullptr) reads->push_back(more.size());
    }
  };
}

UnansweredPort::UnansweredPort() {
  listening_ = ListenLoopback(0, port_);
  // Connects complete into the queue until it is full; the first one that
  // hangs shows that further connects go unanswered.
  for (int i = 0; i < 16 && !ready_; ++i) {
    RawSocket filler;
    ready_ = !ConnectLoopbackWithin(filler, port_, 300);
    fillers_.push_back(filler);
  }
}

UnansweredPort::~UnansweredPort() {
  for (RawSocket s : fillers_)
    CloseRaw(s);
  CloseRaw(listening_);
}

}  // namespace vantro::test
