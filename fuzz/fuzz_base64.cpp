// Encoding then decoding gives the input back; decoding arbitrary text either
// raises the decoder's own exception or succeeds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "httpstate/IdCoderMIME.h"
#include "tcp/IdException.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string encoded = vantro::TIdEncoderMIME::EncodeTextOnce(input);
  if (encoded.size() != (size + 2) / 3 * 4) std::abort();

  vantro::TIdDecoderMIME decoder;
  vantro::TMemoryStream out;
  decoder.DecodeToStream(encoded, out);
  if (out.ToString() != input) std::abort();

  vantro::TMemoryStream any;
  try {
    decoder.DecodeToStream(input, any);
  } catch (const vantro::EIdException&) {
    if (any.Size() != 0) std::abort();
  }
  return 0;
}
