// The TLS transport: the plain socket (and its SOCKS handshake) with a TLS
// session over it once the handler is out of pass-through. In pass-through it
// is the plain handler, which a proxy's CONNECT needs before its tunnel.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "tcp/IdIOHandlerSocket.h"
#include "tls/IdTLSSession.h"

namespace vantro {

class TIdSSLIOHandlerSocket : public TIdIOHandlerSocket, private TIdTLSTransport {
 public:
  TIdSSLIOHandlerSocket() = default;
  ~TIdSSLIOHandlerSocket() override;

  // On: plain bytes. Off: TLS, begun by the connect or, on a connection
  // already open (a tunnel), before the next byte goes either way. A
  // connection that began TLS keeps it until it is shut.
  bool PassThrough = true;
  // A PEM file of roots trusted besides the system's; empty: none.
  std::string CAFile;
  // False accepts any certificate.
  bool VerifyPeer = true;
  // The host the certificate must be for: the connect sets it to the host it
  // is asked for; whoever opens a tunnel names the tunnel's target.
  std::string PeerHost;

  // Whether TLS carries the open connection.
  bool Secured() const { return session_ != nullptr; }

  void Shut() override;
  void ConnectTo(const std::string& host, int port, const std::string& boundIP, int boundPort,
                 int boundPortLow, int boundPortHigh, int timeout) override;
  void Prepare() override;
  // Yes as well when decrypted bytes wait; a record without data (a session
  // ticket) is not a reason to say yes.
  bool WaitReadable(int timeout) override;
  int ReceiveInto(void* buffer, int length) override;
  int SendFrom(const void* buffer, int length) override;

 protected:
  // The session over a connection: the build's backend. The exchange's tests
  // put a plain stand-in here, so that a scripted proxy can read its tunnel.
  virtual std::unique_ptr<TIdTLSSession> NewSession(TIdTLSTransport& transport,
                                                    const TIdTLSSettings& settings) {
    return NewTLSSession(transport, settings);
  }

 private:
  using Clock = std::chrono::steady_clock;
  // What the session reads and writes: the socket itself.
  void SendAll(const void* buffer, int length) override;
  int Receive(void* buffer, int length) override;

  // The session, begun first when the handler is out of pass-through on an
  // open connection; null in pass-through.
  TIdTLSSession* Session();
  void BeginTLS();
  // Sends close_notify when the session is up and forgets it.
  void EndTLS() noexcept;
  // A session that failed is over, and so is its connection.
  [[noreturn]] void Abandon();

  std::unique_ptr<TIdTLSSession> session_;
  // The socket is being connected: SOCKS talks plain through this handler.
  bool connecting_ = false;
  // Where the socket's waits end while WaitReadable looks for data; unset:
  // each wait is the read time-out.
  std::optional<Clock::time_point> deadline_;
  // What WaitReadable read to see that data came: a byte, the close, nothing.
  static constexpr int kNothingPeeked = -1;
  static constexpr int kPeekedClose = 256;
  int peeked_ = kNothingPeeked;
};

}  // namespace vantro
