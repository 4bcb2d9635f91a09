// tls_get: GETs through the TLS session of this build straight over a socket,
// for the Windows TLS suite (run.sh) and the handshake benchmark.
//
//   tls_get HOST PORT [--path P] [--cafile FILE] [--no-verify] [--plain]
//           [--timeout MS] [--out FILE] [--repeat N]
//
// Each GET is "Connection: close" and reads to the end. Prints "ok" and the
// status line and body size of the last GET (and with --repeat the
// milliseconds of the first GET, which loads the system's TLS, and the mean
// of the others), or "error" and the exception's message. --plain leaves TLS
// out, for the benchmark's baseline.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "tcp/IdException.h"
#include "tcp/IdIOHandlerSocket.h"
#include "tcp/IdResourceStrings.h"
#include "tcp/IdStack.h"
#include "tls/IdTLSSession.h"

namespace {

using namespace vantro;

class TSocketTransport final : public TIdTLSTransport {
 public:
  TSocketTransport(TIdIOHandlerSocket& socket, int timeout) : socket_(socket), timeout_(timeout) {}
  void SendAll(const void* buffer, int length) override {
    const char* at = static_cast<const char*>(buffer);
    while (length > 0) {
      const int sent = socket_.SendFrom(at, length);
      if (sent <= 0) GStack()->RaiseForCode(GStack()->LastSocketError());
      at += sent;
      length -= sent;
    }
  }
  int Receive(void* buffer, int length) override {
    if (!socket_.WaitReadable(timeout_)) throw EIdReadTimeout(RSReadTimeout);
    const int received = socket_.ReceiveInto(buffer, length);
    if (received < 0) GStack()->RaiseForCode(GStack()->LastSocketError());
    return received;
  }

 private:
  TIdIOHandlerSocket& socket_;
  int timeout_;
};

struct TOptions {
  std::string host, path = "/", caFile, out;
  int port = 0, timeout = 10000, repeat = 1;
  bool verify = true, plain = false;
};

// One GET; the whole answer, head and body.
std::string Get(const TOptions& options) {
  TIdIOHandlerSocket socket;
  socket.ConnectTo(options.host, options.port, "", 0, 0, 0, options.timeout);
  TSocketTransport transport(socket, options.timeout);
  std::unique_ptr<TIdTLSSession> session;
  if (!options.plain) {
    TIdTLSSettings settings;
    settings.HostName = options.host;
    settings.CAFile = options.caFile;
    settings.VerifyPeer = options.verify;
    session = NewTLSSession(transport, settings);
    session->Handshake();
  }
  const std::string request = "GET " + options.path + " HTTP/1.1\r\nHost: " + options.host + ":" +
                              std::to_string(options.port) + "\r\nConnection: close\r\n\r\n";
  std::string answer;
  char block[16384];
  if (session) {
    session->Write(request.data(), static_cast<int>(request.size()));
    for (int n; (n = session->Read(block, sizeof block)) > 0;)
      answer.append(block, n);
    session->Close();
  } else {
    transport.SendAll(request.data(), static_cast<int>(request.size()));
    for (int n; (n = transport.Receive(block, sizeof block)) > 0;)
      answer.append(block, n);
  }
  return answer;
}

bool ParseOptions(int argc, char** argv, TOptions& options) {
  if (argc < 3) return false;
  options.host = argv[1];
  options.port = std::atoi(argv[2]);
  for (int i = 3; i < argc; ++i) {
    const std::string name = argv[i];
    const bool hasValue = i + 1 < argc;
    if (name == "--no-verify") {
      options.verify = false;
    } else if (name == "--plain") {
      options.plain = true;
    } else if (name == "--path" && hasValue) {
      options.path = argv[++i];
    } else if (name == "--cafile" && hasValue) {
      options.caFile = argv[++i];
    } else if (name == "--out" && hasValue) {
      options.out = argv[++i];
    } else if (name == "--timeout" && hasValue) {
      options.timeout = std::atoi(argv[++i]);
    } else if (name == "--repeat" && hasValue) {
      options.repeat = std::atoi(argv[++i]);
    } else {
      return false;
    }
  }
  return options.port > 0 && options.repeat > 0;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: tls_get HOST PORT [--path P] [--cafile FILE] [--no-verify] "
                 "[--plain] [--timeout MS] [--out FILE] [--repeat N]\n");
    return 2;
  }
  try {
    using Ms = std::chrono::duration<double, std::milli>;
    const auto started = std::chrono::steady_clock::now();
    std::string answer = Get(options);
    const auto firstDone = std::chrono::steady_clock::now();
    for (int i = 1; i < options.repeat; ++i)
      answer = Get(options);
    const Ms first = firstDone - started;
    const Ms others = std::chrono::steady_clock::now() - firstDone;
    const std::size_t headEnd = answer.find("\r\n\r\n");
    const std::size_t bodyStart = headEnd == std::string::npos ? answer.size() : headEnd + 4;
    if (!options.out.empty()) {
      std::ofstream(options.out, std::ios::binary) << answer.substr(bodyStart);
    }
    std::printf("ok %s, %zu body bytes", answer.substr(0, answer.find("\r\n")).c_str(),
                answer.size() - bodyStart);
    if (options.repeat > 1) {
      std::printf(", first GET %.2f ms, then %.2f ms a GET", first.count(),
                  others.count() / (options.repeat - 1));
    }
    std::printf("\n");
    return 0;
  } catch (const std::exception& e) {
    std::printf("error %s\n", e.what());
    return 1;
  }
}
