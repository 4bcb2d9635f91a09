// Micro-benchmarks of the client's hot paths.
#include <benchmark/benchmark.h>

#include <string>

#include "http/IdHTTPHeaderInfo.h"
#include "http/IdURI.h"
#include "httpstate/IdCoderMIME.h"
#include "httpstate/IdCookieManager.h"

namespace {

using namespace vantro;

const char* const kHead[] = {
    "Date: Wed, 09 Dec 2026 12:00:00 GMT",
    "Server: Apache/2.4.57 (Debian)",
    "Last-Modified: Tue, 08 Dec 2026 10:00:00 GMT",
    "ETag: \"5-5f0c0c0c0c0c0\"",
    "Accept-Ranges: bytes",
    "Content-Length: 7",
    "Cache-Control: max-age=60",
    "Expires: Wed, 09 Dec 2026 12:01:00 GMT",
    "Vary: Accept-Encoding",
    "Content-Type: text/plain; charset=utf-8",
    "Content-Language: zh-CN",
    "Connection: keep-alive",
    "Keep-Alive: timeout=5, max=100",
    "X-Frame-Options: SAMEORIGIN",
    "X-Content-Type-Options: nosniff",
    "Set-Cookie: session=abcdef; path=/",
    "Pragma: no-cache",
    "Via: 1.1 cache",
    "X-Request-Id: 0123456789abcdef",
    "Strict-Transport-Security: max-age=31536000",
};

void FillHead(TIdHeaderList& lines) {
  for (const char* line : kHead)
    lines.Add(line);
}

void BM_ReadResponseHead(benchmark::State& state) {
  TIdResponseHeaderInfo response;
  for (auto _ : state) {
    response.HeaderLines().Clear();
    FillHead(response.HeaderLines());
    response.LoadFromHeaderLines();
    benchmark::DoNotOptimize(response.ContentLength());
  }
}
BENCHMARK(BM_ReadResponseHead);

void BM_StoreRequestHead(benchmark::State& state) {
  TIdRequestHeaderInfo request;
  request.Host = "update.example.com:8080";
  request.Connection = "keep-alive";
  request.ContentType.clear();
  request.AcceptEncoding = "identity";
  request.AcceptLanguage = "zh-CN, en;q=0.8";
  request.Referer = "http://update.example.com/launcher/";
  request.CustomHeaders().Add("X-Client: vantro");
  for (auto _ : state) {
    request.StoreToHeaderLines();
    benchmark::DoNotOptimize(request.HeaderLines().Count());
  }
}
BENCHMARK(BM_StoreRequestHead);

void BM_ValueOf(benchmark::State& state) {
  TIdHeaderList lines;
  FillHead(lines);
  for (auto _ : state)
    benchmark::DoNotOptimize(lines.ValueOf("strict-transport-security"));
}
BENCHMARK(BM_ValueOf);

void BM_SplitURI(benchmark::State& state) {
  TIdURI uri;
  for (auto _ : state) {
    uri.SplitURI("http://user:pw@update.vantro.example:8080/kivra/dir/Version.txt?a=1&b=2#top");
    benchmark::DoNotOptimize(uri.DocName);
  }
}
BENCHMARK(BM_SplitURI);

void BM_BuildCookieHeader(benchmark::State& state) {
  TIdCookieManager manager;
  for (int i = 0; i < 100; ++i) {
    manager.AcceptSetCookie("c" + std::to_string(i) + "=value" + std::to_string(i) + "; path=/",
                            "www.vantro.example");
  }
  const TIdURI uri("http://www.vantro.example/client/index.html");
  for (auto _ : state)
    benchmark::DoNotOptimize(manager.BuildCookieHeader(uri, false));
}
BENCHMARK(BM_BuildCookieHeader);

// The cookie store filled with state.range(0) cookies spread over hosts of
// 50 each (the most a domain keeps), or all from one host.
void FillCookies(TIdCookieManager& manager, int count, bool oneHost) {
  for (int i = 0; i < count; ++i) {
    const std::string host =
        oneHost ? "www.vantro.example" : "h" + std::to_string(i / 50) + ".vantro.example";
    manager.AcceptSetCookie("c" + std::to_string(i) + "=value" + std::to_string(i) + "; path=/",
                            host);
  }
}

void BM_StoreCookies(benchmark::State& state) {
  for (auto _ : state) {
    TIdCookieManager manager;
    FillCookies(manager, static_cast<int>(state.range(0)), state.range(1) != 0);
    benchmark::DoNotOptimize(manager.CookieCollection().Count());
  }
}
BENCHMARK(BM_StoreCookies)
    ->Args({3000, 0})
    ->Args({3000, 1})
    ->Args({20000, 1})
    ->Unit(benchmark::kMillisecond);

void BM_SendCookies(benchmark::State& state) {
  TIdCookieManager manager;
  FillCookies(manager, static_cast<int>(state.range(0)), state.range(1) != 0);
  const TIdURI uri(state.range(1) != 0 ? "http://www.vantro.example/client/index.html"
                                       : "http://h7.vantro.example/client/index.html");
  std::size_t size = 0;
  for (auto _ : state) {
    const std::string header = manager.BuildCookieHeader(uri, false);
    size = header.size();
    benchmark::DoNotOptimize(size);
  }
  state.counters["header_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_SendCookies)
    ->Args({3000, 0})
    ->Args({3000, 1})
    ->Args({20000, 1})
    ->Unit(benchmark::kMicrosecond);

void BM_Base64_1MiB(benchmark::State& state) {
  const std::string input(1 << 20, '\x5a');
  for (auto _ : state)
    benchmark::DoNotOptimize(TIdEncoderMIME::EncodeTextOnce(input));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (1 << 20));
}
BENCHMARK(BM_Base64_1MiB);

}  // namespace

BENCHMARK_MAIN();
