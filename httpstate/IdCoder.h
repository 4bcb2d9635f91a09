// Encoder and decoder bases: bytes from a stream to text, and text back to a stream.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "rtl/Streams.h"
#include "tcp/IdBaseComponent.h"

namespace vantro {

class TIdEncoder : public TIdBaseComponent {
 public:
  // A count of this value means: to the end of the stream.
  static constexpr std::int64_t kToEnd = 2147483647;

  // Encodes up to count bytes from the stream's current position.
  virtual std::string Encode(TStream& source, std::int64_t count) = 0;
  // Encodes all bytes of text, read through a view without copying.
  std::string EncodeText(std::string_view text);
};

class TIdDecoder : public TIdBaseComponent {
 public:
  virtual void DecodeToStream(std::string_view text, TStream& dest) = 0;
};

// Creates an encoder of the given class, encodes text and frees it again.
template <class TEncoderClass>
std::string EncodeTextOnce(std::string_view text) {
  TEncoderClass encoder;
  return encoder.EncodeText(text);
}

}  // namespace vantro
