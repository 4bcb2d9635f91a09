// A loopback server for the transport's tests. Each accepted connection runs
// the handler on the server's thread; every receive and every send gives up
// after 5 s, so a test that goes wrong still ends.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/tcp_TestSocket.h"

namespace vantro::test {

class TcpPeer {
 public:
  explicit TcpPeer(RawSocket socket) : socket_(socket) {}
  ~TcpPeer() { Close(); }
  bool Send(std::string_view bytes) { return SendAllRaw(socket_, bytes); }
  // Up to max bytes; empty once the client closed.
  std::string Receive(int max = 65536) { return ReceiveRaw(socket_, max); }
  // Exactly count bytes, or fewer when the client closed first.
  std::string ReceiveExactly(std::size_t count);
  // One line without its LF (CR kept); fewer bytes when the client closed.
  std::string ReceiveLine();
  void Close();
  // For a layer over the connection (the TLS tests' server).
  RawSocket Socket() const { return socket_; }
  void Reset();

 private:
  RawSocket socket_;
  std::string pending_;
};

class TcpTestServer {
 public:
  using Handler = std::function<void(TcpPeer& peer)>;

  explicit TcpTestServer(Handler handler, int backlog = 8);
  ~TcpTestServer();
  int Port() const { return port_; }
  int Accepted() const { return accepted_.load(); }

 private:
  void Run();

  Handler handler_;
  RawSocket listening_ = kNoSocket;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  std::thread thread_;
};

// Handlers.
// Sends every line back as it came, until the client closes; "QUIT" closes.
TcpTestServer::Handler LineEcho();
// Sends the pieces one by one with a pause between them, then waits for the close.
TcpTestServer::Handler SendPieces(std::vector<std::string> pieces, int pauseMs = 20);
// Sends bytes and closes at once.
TcpTestServer::Handler SendAndClose(std::string bytes);
// Reads what the client sends and keeps it, then closes when the client does.
TcpTestServer::Handler Record(std::string& received, std::vector<std::size_t>* reads = nullptr);

// A loopback port whose accept queue is full: a connect to it stays unanswered.
class UnansweredPort {
 public:
  UnansweredPort();
  ~UnansweredPort();
  int Port() const { return port_; }
  bool Ready() const { return ready_; }

 private:
  RawSocket listening_ = kNoSocket;
  std::vector<RawSocket> fillers_;
  int port_ = 0;
  bool ready_ = false;
};

}  // namespace vantro::test
