// Response heads of any text loaded into a response record. Content-Range
// and Expires values may raise the runtime's conversion errors; nothing else
// may escape, and nothing may crash.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "http/IdDateTime.h"
#include "http/IdHTTPHeaderInfo.h"
#include "rtl/Convert.h"

namespace {

std::optional<int> FixedZone() {
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vantro::SetZoneQuery(&FixedZone);
  vantro::TIdResponseHeaderInfo response;
  response.HeaderLines().SetText(std::string(reinterpret_cast<const char*>(data), size));
  try {
    response.LoadFromHeaderLines();
  } catch (const vantro::EConvertError&) {
    // The head's Content-Range or Expires value is refused, as the client does.
  }
  response.StoreToHeaderLines();
  vantro::TIdRequestHeaderInfo request;
  request.Assign(response);
  request.StoreToHeaderLines();
  return 0;
}
