// A TLS server for the handler's native tests, on OpenSSL: a throwaway CA and
// certificates made in memory when a test starts, and scripted connections.
#pragma once

#include <openssl/ssl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/tcp_TestServer.h"

namespace vantro::test {

struct CertificateRecipe {
  std::vector<std::string> Names{"DNS:localhost", "IP:127.0.0.1"};
  int ValidFromDays = -1;  // relative to now
  int ValidToDays = 30;
  // Bytes of comment carried in the certificate, to make a large chain.
  std::size_t Padding = 0;
};

// A CA whose root file the client can be given, and server contexts with
// certificates it signed.
class TestCA {
 public:
  TestCA();
  ~TestCA();
  // The root as PEM, in a file of its own.
  const std::string& RootFile() const { return rootFile_; }
  // A server context with a leaf certificate for the recipe; maxVersion 0: any.
  SSL_CTX* ServerContext(const CertificateRecipe& recipe, int maxVersion = 0);

 private:
  EVP_PKEY* key_;
  X509* root_;
  std::string rootFile_;
  std::vector<SSL_CTX*> contexts_;
};

// One accepted connection with TLS over it, already through the handshake
// when the script sees it.
class TlsPeer {
 public:
  explicit TlsPeer(SSL* ssl) : ssl_(ssl) {}
  // A request head (through its empty line); empty once the client closed.
  std::string ReadHead();
  bool Send(const std::string& bytes);
  // Waits for the client's next move: true when it was close_notify.
  bool ClientSentCloseNotify();
  void SendCloseNotify() { SSL_shutdown(ssl_); }

 private:
  SSL* ssl_;
  std::string pending_;
};

class TlsTestServer {
 public:
  using Script = std::function<void(TlsPeer& peer)>;
  TlsTestServer(SSL_CTX* context, Script script);
  int Port() const { return server_.Port(); }
  int Connections() const { return server_.Accepted(); }
  int Handshakes() const { return handshakes_.load(); }

 private:
  SSL_CTX* context_;
  Script script_;
  std::atomic<int> handshakes_{0};
  TcpTestServer server_;
};

// A proxy that answers one CONNECT per connection with 200 and then relays
// bytes both ways to 127.0.0.1:targetPort.
class ConnectProxy {
 public:
  explicit ConnectProxy(int targetPort);
  int Port() const { return server_.Port(); }
  int Connections() const { return server_.Accepted(); }
  // The CONNECT request lines, in order.
  std::vector<std::string> Lines() const;

 private:
  void Serve(TcpPeer& peer);

  int targetPort_;
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  TcpTestServer server_;
};

}  // namespace vantro::test
