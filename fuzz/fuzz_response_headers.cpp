// Response heads of any text loaded into a response record: nothing may
// escape (values the record cannot hold are kept as unknown), and nothing may
// crash.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "http/IdDateTime.h"
#include "http/IdHTTPHeaderInfo.h"

namespace {

std::optional<int> FixedZone() {
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vantro::SetZoneQuery(&FixedZone);
  vantro::TIdResponseHeaderInfo response;
  response.HeaderLines().SetText(std::string(reinterpret_cast<const char*>(data), size));
  response.LoadFromHeaderLines();
  response.StoreToHeaderLines();
  vantro::TIdRequestHeaderInfo request;
  request.Assign(response);
  request.StoreToHeaderLines();
  return 0;
}
