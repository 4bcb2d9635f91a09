// Our client against libcurl and a plain loop (the floor: recv, or SSL_read
// over TLS) on the same loopback server, the clients alternating, five rounds
// each; prints medians.
//   case ours_ms curl_ms raw_ms ours/curl ours/raw
#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "http/IdHTTP.h"
#include "tests/support/tcp_TestServer.h"
#include "tests/tls/TLSTestServer.h"

namespace {

using vantro::test::TcpPeer;
using vantro::test::TcpTestServer;

constexpr std::size_t kBulk = 64u << 20;
constexpr int kRounds = 5;
constexpr int kSmallGets = 2000;
constexpr std::size_t kRecvBlock = 32768;
constexpr int kCountedGets = 200;

std::string Head(const std::string& extra) {
  return "HTTP/1.1 200 OK\r\n" + extra + "\r\n";
}

std::string BulkBody() {
  std::string body(kBulk, '\0');
  for (std::size_t i = 0; i < body.size(); ++i)
    body[i] = static_cast<char>('a' + i % 26);
  return body;
}

std::string Chunked(const std::string& body, std::size_t chunk) {
  std::string out;
  char size[32];
  for (std::size_t at = 0; at < body.size(); at += chunk) {
    const std::size_t n = std::min(chunk, body.size() - at);
    std::snprintf(size, sizeof size, "%zx\r\n", n);
    out.append(size).append(body, at, n).append("\r\n");
  }
  return out + "0\r\n\r\n";
}

// Reads request heads and answers each with the same bytes; closes after
// each answer when asked to.
TcpTestServer::Handler Answer(const std::string& answer, bool closeAfter) {
  return [&answer, closeAfter](TcpPeer& peer) {
    for (;;) {
      std::string line = peer.ReceiveLine();
      if (line.empty()) return;
      while (line != "\r" && !line.empty())
        line = peer.ReceiveLine();
      if (!peer.Send(answer) || closeAfter) return;
    }
  };
}

// One run's wall time and the CPU time of the client's thread (the server's
// thread and the waits for it not counted), in ms.
struct Sample {
  double wall, cpu;
};

double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

Sample Ms(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  const double cpu = ThreadCpuMs();
  run();
  return {
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
      ThreadCpuMs() - cpu};
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The medians of a client's runs: wall and CPU.
Sample Median(const std::vector<Sample>& runs) {
  std::vector<double> wall, cpu;
  for (const Sample& run : runs) {
    wall.push_back(run.wall);
    cpu.push_back(run.cpu);
  }
  return {Median(wall), Median(cpu)};
}

std::size_t CurlWrite(char* data, std::size_t size, std::size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

int ConnectRaw(int port) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("raw connect failed");
  }
  return s;
}

// The plain loops' two sides: a socket, or TLS over one.
struct RawLink {
  std::function<void(const std::string&)> Send;
  std::function<long(char*, std::size_t)> Receive;
};

RawLink SocketLink(int s) {
  return {[s](const std::string& bytes) { send(s, bytes.data(), bytes.size(), 0); },
          [s](char* at, std::size_t n) { return static_cast<long>(recv(s, at, n, 0)); }};
}

RawLink TLSLink(SSL* ssl) {
  return {[ssl](const std::string& bytes) {
            SSL_write(ssl, bytes.data(), static_cast<int>(bytes.size()));
          },
          [ssl](char* at, std::size_t n) {
            return static_cast<long>(SSL_read(ssl, at, static_cast<int>(n)));
          }};
}

// Reads into buffer, in blocks of the client's receive buffer size, until
// the expected byte count (or the close) is reached.
std::size_t ReceiveRaw(const RawLink& link, std::size_t expected, char* buffer,
                       std::size_t capacity) {
  std::size_t got = 0;
  for (;;) {
    if (got == capacity) throw std::runtime_error("raw: buffer too small");
    const long n = link.Receive(buffer + got, std::min<std::size_t>(kRecvBlock, capacity - got));
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
    if (expected != 0 && got >= expected) break;
  }
  return got;
}

const std::string kRawRequest = "GET /bulk HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

// A TLS connection as the raw loops use it, verified as ours is.
class RawTLS {
 public:
  RawTLS(int port, const std::string& caFile) : socket_(ConnectRaw(port)) {
    context_ = SSL_CTX_new(TLS_client_method());
    SSL_CTX_load_verify_locations(context_, caFile.c_str(), nullptr);
    ssl_ = SSL_new(context_);
    SSL_set_verify(ssl_, SSL_VERIFY_PEER, nullptr);
    SSL_set_fd(ssl_, socket_);
    if (SSL_connect(ssl_) != 1) throw std::runtime_error("raw TLS: handshake failed");
  }
  ~RawTLS() {
    SSL_shutdown(ssl_);
    SSL_free(ssl_);
    SSL_CTX_free(context_);
    close(socket_);
  }
  RawLink Link() const { return TLSLink(ssl_); }

 private:
  int socket_;
  SSL_CTX* context_;
  SSL* ssl_;
};

// The link's own speed for one GET: send the request, then read into a block.
std::size_t RawGet(const RawLink& link, std::size_t expected, char* buffer, std::size_t capacity) {
  link.Send(kRawRequest);
  return ReceiveRaw(link, expected, buffer, capacity);
}

struct Row {
  std::string name;
  Sample ours, curl, raw;
};

// What a TLS case needs: its server's CA, for all three clients.
struct TLSSetup {
  vantro::test::TestCA ca;
  SSL_CTX* context = ca.ServerContext({});
};

// Answers over TLS as Answer does over TCP.
vantro::test::TlsTestServer::Script AnswerTLS(const std::string& answer) {
  return [&answer](vantro::test::TlsPeer& peer) {
    while (!peer.ReadHead().empty() && peer.Send(answer)) {
    }
  };
}

Row BulkCase(const std::string& name, const std::string& answer, bool closeAfter,
             std::size_t rawExpected, TLSSetup* tls = nullptr) {
  std::unique_ptr<TcpTestServer> plain;
  std::unique_ptr<vantro::test::TlsTestServer> secure;
  if (tls != nullptr) {
    secure = std::make_unique<vantro::test::TlsTestServer>(tls->context, AnswerTLS(answer));
  } else {
    plain = std::make_unique<TcpTestServer>(Answer(answer, closeAfter));
  }
  const int port = tls != nullptr ? secure->Port() : plain->Port();
  const std::string url = std::string(tls != nullptr ? "https" : "http") +
                          "://127.0.0.1:" + std::to_string(port) + "/bulk";
  std::vector<Sample> ours, curl, raw;
  CURL* easy = curl_easy_init();
  const std::size_t capacity = kBulk + (4u << 20);
  // Each client receives into memory it already holds, touched before any
  // clock runs (the stream and the string keep theirs when emptied): the
  // figures are the transport's, not the page faults of fresh memory.
  std::unique_ptr<char[]> block(new char[capacity]);
  std::memset(block.get(), 1, capacity);
  vantro::TMemoryStream oursBody;
  std::string curlBody;
  curlBody.reserve(capacity);
  for (int round = 0; round < kRounds; ++round) {
    ours.push_back(Ms([&] {
      vantro::TIdHTTP http;
      vantro::TIdSSLIOHandlerSocket handler;
      if (tls != nullptr) {
        handler.CAFile = tls->ca.RootFile();
        http.SetIOHandler(&handler);
      }
      oursBody.Clear();
      http.GetToStream(url, oursBody);
      if (static_cast<std::size_t>(oursBody.Size()) != kBulk) {
        throw std::runtime_error("ours: short");
      }
    }));
    curl.push_back(Ms([&] {
      std::string& body = curlBody;
      body.clear();
      curl_easy_reset(easy);
      if (tls != nullptr) curl_easy_setopt(easy, CURLOPT_CAINFO, tls->ca.RootFile().c_str());
      curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
      curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, CurlWrite);
      curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
      curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
      if (curl_easy_perform(easy) != CURLE_OK || body.size() != kBulk) {
        throw std::runtime_error("curl: failed");
      }
    }));
    raw.push_back(Ms([&] {
      std::size_t got;
      if (tls != nullptr) {
        RawTLS link(port, tls->ca.RootFile());
        got = RawGet(link.Link(), rawExpected, block.get(), capacity);
      } else {
        const int s = ConnectRaw(port);
        got = RawGet(SocketLink(s), rawExpected, block.get(), capacity);
        close(s);
      }
      if (got < kBulk) throw std::runtime_error("raw: short");
    }));
  }
  curl_easy_cleanup(easy);
  return {name, Median(ours), Median(curl), Median(raw)};
}

// Keep-alive GETs of a small body on one connection per client, over TCP or
// over TLS.
class SmallGets {
 public:
  explicit SmallGets(TLSSetup* tls = nullptr) : tls_(tls) {
    if (tls != nullptr) {
      secure_ = std::make_unique<vantro::test::TlsTestServer>(tls->context, AnswerTLS(answer_));
    } else {
      plain_ = std::make_unique<TcpTestServer>(Answer(answer_, false));
    }
    port_ = tls != nullptr ? secure_->Port() : plain_->Port();
    url_ = std::string(tls != nullptr ? "https" : "http") +
           "://127.0.0.1:" + std::to_string(port_) + "/small";
  }

  void Ours(vantro::TIdHTTP& http, int count) {
    if (tls_ != nullptr) {
      handler_.CAFile = tls_->ca.RootFile();
      http.SetIOHandler(&handler_);
    }
    for (int i = 0; i < count; ++i) {
      if (http.GetText(url_).size() != 100) throw std::runtime_error("ours: small");
    }
  }
  void Curl(CURL* easy, int count) {
    std::string body;
    if (tls_ != nullptr) curl_easy_setopt(easy, CURLOPT_CAINFO, tls_->ca.RootFile().c_str());
    curl_easy_setopt(easy, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, CurlWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    for (int i = 0; i < count; ++i) {
      body.clear();
      if (curl_easy_perform(easy) != CURLE_OK || body.size() != 100) {
        throw std::runtime_error("curl: small");
      }
    }
  }

  // The floor: the same request written and the same answer read, on one
  // kept connection, with nothing else around them.
  void Raw(int count) {
    OpenRaw();
    RawGets(count);
    CloseRaw();
  }
  void OpenRaw() {
    if (tls_ != nullptr) {
      rawTLS_ = std::make_unique<RawTLS>(port_, tls_->ca.RootFile());
      rawLink_ = rawTLS_->Link();
    } else {
      rawSocket_ = ConnectRaw(port_);
      rawLink_ = SocketLink(rawSocket_);
    }
  }
  void RawGets(int count) {
    const std::string request = "GET /small HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) +
                                "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0 "
                                "(compatible; Vantro)\r\n\r\n";
    char buffer[4096];
    for (int i = 0; i < count; ++i) {
      rawLink_.Send(request);
      if (ReceiveRaw(rawLink_, answer_.size(), buffer, sizeof buffer) != answer_.size())
        throw std::runtime_error("raw: small");
    }
  }
  void CloseRaw() {
    rawTLS_.reset();
    if (rawSocket_ >= 0) close(rawSocket_);
    rawSocket_ = -1;
  }

 private:
  const std::string answer_ = Head("Content-Length: 100\r\n") + std::string(100, 'x');
  TLSSetup* tls_;
  std::unique_ptr<TcpTestServer> plain_;
  std::unique_ptr<vantro::test::TlsTestServer> secure_;
  vantro::TIdSSLIOHandlerSocket handler_;
  int port_ = 0;
  std::string url_;
  std::unique_ptr<RawTLS> rawTLS_;
  int rawSocket_ = -1;
  RawLink rawLink_;
};

Row KeepAliveCase(const std::string& name, TLSSetup* tls = nullptr) {
  SmallGets gets(tls);
  std::vector<Sample> ours, curl, raw;
  for (int round = 0; round < kRounds; ++round) {
    ours.push_back(Ms([&] {
      vantro::TIdHTTP http;
      gets.Ours(http, kSmallGets);
    }));
    curl.push_back(Ms([&] {
      CURL* easy = curl_easy_init();
      gets.Curl(easy, kSmallGets);
      curl_easy_cleanup(easy);
    }));
    raw.push_back(Ms([&] { gets.Raw(kSmallGets); }));
  }
  return {name, Median(ours), Median(curl), Median(raw)};
}

// The GETs callgrind counts, after one that opens the connection; the
// server's thread is not counted, only this function and what it calls.
[[gnu::noinline]] void CountedGets(SmallGets& gets, vantro::TIdHTTP* http, CURL* easy, int count) {
  if (http != nullptr) gets.Ours(*http, count);
  if (easy != nullptr) gets.Curl(easy, count);
  if (http == nullptr && easy == nullptr) gets.RawGets(count);
}

// client: ours, curl or raw, with "-tls" for the GETs over TLS.
void RunCountedGets(std::string client) {
  std::unique_ptr<TLSSetup> tls;
  if (client.ends_with("-tls")) {
    tls = std::make_unique<TLSSetup>();
    client.resize(client.size() - 4);
  }
  SmallGets gets(tls.get());
  if (client == "raw") {
    gets.OpenRaw();
    CountedGets(gets, nullptr, nullptr, kCountedGets);
    gets.CloseRaw();
  } else if (client == "ours") {
    vantro::TIdHTTP http;
    gets.Ours(http, 1);
    CountedGets(gets, &http, nullptr, kCountedGets);
  } else {
    CURL* easy = curl_easy_init();
    gets.Curl(easy, 1);
    CountedGets(gets, nullptr, easy, kCountedGets);
    curl_easy_cleanup(easy);
  }
}

// Instructions per GET of one client, from this program run again under
// callgrind; 0 when valgrind cannot be run.
double InstructionsPerGet(const std::string& client) {
  char self[4096] = {};
  if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return 0;
  char out[] = "/tmp/http_vs_curl.callgrind.XXXXXX";
  const int fd = mkstemp(out);
  if (fd < 0) return 0;
  close(fd);
  const std::string command =
      std::string(
          "valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*CountedGets*'"
          " --callgrind-out-file=") +
      out + " '" + self + "' --count " + client + " >/dev/null 2>&1";
  double total = 0;
  if (std::system(command.c_str()) == 0) {
    if (FILE* file = std::fopen(out, "r")) {
      char line[512];
      while (std::fgets(line, sizeof line, file) != nullptr) {
        if (std::strncmp(line, "totals:", 7) == 0) total = std::strtod(line + 7, nullptr);
      }
      std::fclose(file);
    }
  }
  std::remove(out);
  return total / kCountedGets;
}

}  // namespace

int main(int argc, char** argv) {
  // "--count ours|curl": the GETs to count, when run under callgrind.
  if (argc > 2 && std::string(argv[1]) == "--count") {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    RunCountedGets(argv[2]);
    curl_global_cleanup();
    return 0;
  }
  // An optional argument keeps only the cases whose name holds it (for profiling).
  const std::string only = argc > 1 ? argv[1] : "";
  const auto wanted = [&](const std::string& name) { return name.find(only) != std::string::npos; };
  curl_global_init(CURL_GLOBAL_DEFAULT);
  const std::string body = BulkBody();
  const std::string withLength = Head("Content-Length: " + std::to_string(kBulk) + "\r\n") + body;
  const std::string chunked = Head("Transfer-Encoding: chunked\r\n") + Chunked(body, 16384);
  const std::string untilClose = Head("Connection: close\r\n") + body;

  std::vector<Row> rows;
  if (wanted("bulk_64MiB_content_length")) {
    rows.push_back(BulkCase("bulk_64MiB_content_length", withLength, false, withLength.size()));
  }
  if (wanted("bulk_64MiB_chunked_16KiB")) {
    rows.push_back(BulkCase("bulk_64MiB_chunked_16KiB", chunked, false, chunked.size()));
  }
  if (wanted("bulk_64MiB_until_close")) {
    rows.push_back(BulkCase("bulk_64MiB_until_close", untilClose, true, 0));
  }
  if (wanted("keepalive_2000x100B")) rows.push_back(KeepAliveCase("keepalive_2000x100B"));
  TLSSetup tls;
  if (wanted("tls_bulk_64MiB_content_length")) {
    rows.push_back(
        BulkCase("tls_bulk_64MiB_content_length", withLength, false, withLength.size(), &tls));
  }
  if (wanted("tls_keepalive_2000x100B")) {
    rows.push_back(KeepAliveCase("tls_keepalive_2000x100B", &tls));
  }

  double worst = 0;
  for (const bool cpu : {false, true}) {
    std::printf(cpu ? "client thread CPU:\ncase ours_ms curl_ms raw_ms ours/curl ours/raw\n"
                    : "wall:\ncase ours_ms curl_ms raw_ms ours/curl ours/raw\n");
    for (const Row& r : rows) {
      const double ours = cpu ? r.ours.cpu : r.ours.wall, curl = cpu ? r.curl.cpu : r.curl.wall,
                   raw = cpu ? r.raw.cpu : r.raw.wall;
      if (!cpu) worst = std::max(worst, ours / curl);
      std::printf("%s %.1f %.1f %.1f %.2f %.2f\n", r.name.c_str(), ours, curl, raw, ours / curl,
                  ours / raw);
    }
  }
  std::printf("worst ours/curl (wall) = %.2f\n", worst);
  for (const std::string over : {"", "-tls"}) {
    const std::string name = over.empty() ? "keepalive_2000x100B" : "tls_keepalive_2000x100B";
    if (!wanted(name) || (over.empty() && only.starts_with("tls"))) continue;
    const double ours = InstructionsPerGet("ours" + over), curl = InstructionsPerGet("curl" + over),
                 raw = InstructionsPerGet("raw" + over);
    if (ours > 0 && curl > 0 && raw > 0) {
      std::printf(
          "callgrind instructions per %s GET: ours %.0f curl %.0f floor %.0f ours/curl %.2f "
          "ours/floor %.2f\n",
          name.c_str(), ours, curl, raw, ours / curl, ours / raw);
    } else {
      std::printf("callgrind instructions per %s GET: valgrind could not be run\n", name.c_str());
    }
  }
  curl_global_cleanup();
  return 0;
}
