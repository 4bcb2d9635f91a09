// A TLS handler whose session is plain bytes: the exchange's tests run their
// tunnels through it, so a scripted proxy reads and answers what goes down
// the tunnel as it would after a real handshake.
#pragma once

#include <memory>
#include <string>

#include "tls/IdSSLIOHandlerSocket.h"

namespace vantro::test {

class PlainTLSSession : public TIdTLSSession {
 public:
  explicit PlainTLSSession(TIdTLSTransport& transport) : transport_(transport) {}
  void Handshake() override {}
  int Read(void* buffer, int length) override { return transport_.Receive(buffer, length); }
  bool Pending() const override { return false; }
  void Write(const void* buffer, int length) override { transport_.SendAll(buffer, length); }
  void Close() noexcept override {}

 private:
  TIdTLSTransport& transport_;
};

class PlainTLSHandler : public TIdSSLIOHandlerSocket {
 public:
  // The host each session was begun for, the last one's.
  std::string SessionHost;

 protected:
  // Qualified: the handler's own base of that name is private to it.
  std::unique_ptr<TIdTLSSession> NewSession(vantro::TIdTLSTransport& transport,
                                            const TIdTLSSettings& settings) override {
    SessionHost = settings.HostName;
    return std::make_unique<PlainTLSSession>(transport);
  }
};

}  // namespace vantro::test
