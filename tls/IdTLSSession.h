// What a TLS backend provides to the handler: one session over the raw bytes
// of one connection. Each build links one backend: the system's Schannel on
// Windows (no library beside the exe, the system's updates and roots),
// OpenSSL elsewhere.
#pragma once

#include <memory>
#include <string>

namespace vantro {

// The raw bytes under a session: the handler's socket.
class TIdTLSTransport {
 public:
  virtual ~TIdTLSTransport() = default;
  // Sends every byte or raises the socket layer's exception.
  virtual void SendAll(const void* buffer, int length) = 0;
  // Up to length bytes; 0 when the peer closed the TCP connection. Waits at
  // most the handler's read time-out (EIdReadTimeout past it) and raises the
  // socket layer's exception on an error.
  virtual int Receive(void* buffer, int length) = 0;
};

struct TIdTLSSettings {
  // Sent as SNI and checked against the certificate's DNS names; an IP
  // literal is checked against its IP addresses and sent as no SNI.
  std::string HostName;
  // A PEM file of roots trusted besides the system's; empty: none.
  std::string CAFile;
  // False accepts any certificate.
  bool VerifyPeer = true;
};

class TIdTLSSession {
 public:
  virtual ~TIdTLSSession() = default;
  // Handshake (TLS 1.2 or 1.3, ALPN http/1.1) and the certificate's checks;
  // raises EIdSSLProtocolReplyError saying which check failed for which host.
  virtual void Handshake() = 0;
  // Decrypted bytes, up to length; 0 after the peer's close_notify or a TCP
  // close.
  virtual int Read(void* buffer, int length) = 0;
  // Decrypted bytes wait, so Read returns without touching the socket.
  virtual bool Pending() const = 0;
  // Encrypts and sends every byte.
  virtual void Write(const void* buffer, int length) = 0;
  // Sends close_notify when the session is up; never raises.
  virtual void Close() noexcept = 0;
};

// The backend of this build.
std::unique_ptr<TIdTLSSession> NewTLSSession(TIdTLSTransport& transport,
                                             const TIdTLSSettings& settings);

}  // namespace vantro
