// Our client against libcurl and a plain recv loop (the ceiling) on the same
// loopback server, the clients alternating, five rounds each; prints medians.
//   case ours_ms curl_ms raw_ms ours/curl ours/raw
#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
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

double Ms(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::size_t CurlWrite(char* data, std::size_t size, std::size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

// The socket's own speed: send the request, then recv into one buffer, in
// blocks of the client's receive buffer size, until the expected byte count
// (or the close) is reached.
std::size_t RawGet(int port, std::size_t expected, char* buffer, std::size_t capacity) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("raw connect failed");
  }
  const std::string request = "GET /bulk HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  send(s, request.data(), request.size(), 0);
  std::size_t got = 0;
  for (;;) {
    if (got == capacity) throw std::runtime_error("raw: buffer too small");
    // The same block size as the client's receive buffer.
    const ssize_t n = recv(s, buffer + got, std::min<std::size_t>(kRecvBlock, capacity - got), 0);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
    if (expected != 0 && got >= expected) break;
  }
  close(s);
  return got;
}

struct Row {
  std::string name;
  double ours, curl, raw;
};

Row BulkCase(const std::string& name, const std::string& answer, bool closeAfter,
             std::size_t rawExpected) {
  TcpTestServer server(Answer(answer, closeAfter));
  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/bulk";
  std::vector<double> ours, curl, raw;
  CURL* easy = curl_easy_init();
  const std::size_t capacity = kBulk + (4u << 20);
  for (int round = 0; round < kRounds; ++round) {
    ours.push_back(Ms([&] {
      vantro::TIdHTTP http;
      vantro::TMemoryStream body;
      http.GetToStream(url, body);
      if (static_cast<std::size_t>(body.Size()) != kBulk) throw std::runtime_error("ours: short");
    }));
    curl.push_back(Ms([&] {
      std::string body;
      curl_easy_reset(easy);
      curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
      curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, CurlWrite);
      curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
      curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
      if (curl_easy_perform(easy) != CURLE_OK || body.size() != kBulk) {
        throw std::runtime_error("curl: failed");
      }
    }));
    raw.push_back(Ms([&] {
      // A fresh, untouched block, as a client receiving into new memory has.
      std::unique_ptr<char[]> buffer(new char[capacity]);
      if (RawGet(server.Port(), rawExpected, buffer.get(), capacity) < kBulk) {
        throw std::runtime_error("raw: short");
      }
    }));
  }
  curl_easy_cleanup(easy);
  return {name, Median(ours), Median(curl), Median(raw)};
}

// Keep-alive GETs of a small body on one connection per client.
class SmallGets {
 public:
  SmallGets() : server_(Answer(answer_, false)) {
    url_ = "http://127.0.0.1:" + std::to_string(server_.Port()) + "/small";
  }

  void Ours(vantro::TIdHTTP& http, int count) {
    for (int i = 0; i < count; ++i) {
      if (http.GetText(url_).size() != 100) throw std::runtime_error("ours: small");
    }
  }
  void Curl(CURL* easy, int count) {
    std::string body;
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

 private:
  const std::string answer_ = Head("Content-Length: 100\r\n") + std::string(100, 'x');
  TcpTestServer server_;
  std::string url_;
};

Row KeepAliveCase() {
  SmallGets gets;
  std::vector<double> ours, curl;
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
  }
  return {"keepalive_2000x100B", Median(ours), Median(curl), 0};
}

// The GETs callgrind counts, after one that opens the connection; the
// server's thread is not counted, only this function and what it calls.
[[gnu::noinline]] void CountedGets(SmallGets& gets, vantro::TIdHTTP* http, CURL* easy, int count) {
  if (http != nullptr) gets.Ours(*http, count);
  if (easy != nullptr) gets.Curl(easy, count);
}

void RunCountedGets(const std::string& client) {
  SmallGets gets;
  if (client == "ours") {
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
  if (wanted("keepalive_2000x100B")) rows.push_back(KeepAliveCase());

  std::printf("case ours_ms curl_ms raw_ms ours/curl ours/raw\n");
  double worst = 0;
  for (const Row& r : rows) {
    const double vsCurl = r.ours / r.curl;
    worst = std::max(worst, vsCurl);
    if (r.raw > 0) {
      std::printf("%s %.1f %.1f %.1f %.2f %.2f\n", r.name.c_str(), r.ours, r.curl, r.raw, vsCurl,
                  r.ours / r.raw);
    } else {
      std::printf("%s %.1f %.1f - %.2f -\n", r.name.c_str(), r.ours, r.curl, vsCurl);
    }
  }
  std::printf("worst ours/curl = %.2f\n", worst);
  if (wanted("keepalive_2000x100B")) {
    const double ours = InstructionsPerGet("ours"), curl = InstructionsPerGet("curl");
    if (ours > 0 && curl > 0) {
      std::printf("callgrind instructions per keep-alive GET: ours %.0f curl %.0f ours/curl %.2f\n",
                  ours, curl, ours / curl);
    } else {
      std::printf("callgrind instructions per keep-alive GET: valgrind could not be run\n");
    }
  }
  curl_global_cleanup();
  return 0;
}
