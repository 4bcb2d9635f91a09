// Arbitrary server bytes, in fragments of arbitrary sizes, as the answer to
// a GET: the client either returns a body or raises one of its own
// exceptions, and never reads out of bounds, leaks or hangs.
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/IdHTTP.h"
#include "tests/support/tcp_FakeIOHandler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  vantro::test::FakeIOHandler handler;
  // The first byte sets the options, the second the fragment sizes.
  const std::uint8_t options = data[0];
  const std::size_t fragment = 1 + data[1] % 64;
  for (std::size_t at = 2; at < size; at += fragment) {
    handler.Chunks.emplace_back(reinterpret_cast<const char*>(data) + at,
                                std::min(fragment, size - at));
  }
  vantro::TIdHTTP http;
  http.SetIOHandler(&handler);
  http.MaxLineLength = 1024;
  http.ReadTimeout = 10;
  http.HandleRedirects = (options & 1) != 0;
  http.ProtocolVersion = (options & 2) != 0 ? vantro::pv1_0 : vantro::pv1_1;
  if ((options & 4) != 0) http.HTTPOptions |= vantro::hoInProcessAuth;
  if ((options & 8) != 0) {
    http.OnAuthorization = [](vantro::TIdCustomHTTP&, vantro::TIdAuthentication&, bool& handled) {
      handled = true;
    };
    http.Request().Username = "user";
  }
  http.SetHost("127.0.0.1");
  try {
    (void)http.GetText("http://127.0.0.1/fuzz");
  } catch (const vantro::Exception&) {
  }
  http.SetIOHandler(nullptr);
  return 0;
}
