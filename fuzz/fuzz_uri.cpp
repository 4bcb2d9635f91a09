// SplitURI never fails; ComposeURI either raises its own exception or, in a
// single-byte code page, gives a text that splits into the same scheme.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/IdURI.h"
#include "rtl/AnsiText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool doubleByte = (data[0] & 1) != 0;
  vantro::ScopedAnsiCodePage cp(doubleByte ? 936 : 1252);
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  vantro::TIdURI uri(text);
  try {
    const std::string composed = uri.ComposeURI(vantro::wantUserInfo | vantro::wantFragment);
    vantro::TIdURI again(composed);
    if (!doubleByte && again.Scheme != uri.Scheme) std::abort();
  } catch (const vantro::EIdURIException&) {
  }
  return 0;
}
