// MergePath over arbitrary base and relative paths: no crash, and the result
// of merging a relative path never holds a run of two slashes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/IdGlobal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\n');
  const std::string base = input.substr(0, cut);
  const std::string path = cut == std::string::npos ? std::string() : input.substr(cut + 1);
  const std::string merged = vantro::MergePath(base, path, "/");
  if (!path.starts_with('/') && merged.find("//") != std::string::npos) std::abort();
  return 0;
}
