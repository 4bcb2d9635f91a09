// Resident memory while a server announces a large body and sends only a few
// bytes of it: memory should follow the bytes that come, not the announced
// count. Prints the figures (Linux: VmRSS of /proc/self/status).
#include <cstdio>
#include <fstream>
#include <string>

#include "http/IdHTTP.h"
#include "tests/support/http_ScriptedServer.h"

namespace {

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

}  // namespace

int main() {
  using namespace vantro;
  constexpr long kAnnouncedMiB = 64;
  test::ScriptedReply reply{
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kAnnouncedMiB << 20) + "\r\n\r\nabc"};
  reply.Stall = true;
  test::HttpScriptedServer server({reply});
  const long before = ResidentKiB();
  long peak = before;
  TIdHTTP http;
  http.ReadTimeout = 500;
  http.OnWork = [&peak](TIdComponent&, TWorkMode, std::int64_t) {
    peak = std::max(peak, ResidentKiB());
  };
  TMemoryStream body;
  try {
    http.GetToStream(server.Url("/"), body);
  } catch (const std::exception& e) {
    std::printf("call ended: %s, %lld bytes came\n", e.what(), static_cast<long long>(body.Size()));
  }
  peak = std::max(peak, ResidentKiB());
  std::printf("announced %ld MiB: resident %ld KiB before the call, %ld KiB at most during it\n",
              kAnnouncedMiB, before, peak);
}
