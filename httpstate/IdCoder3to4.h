// Three bytes to four characters of a 64-character alphabet, and back.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "httpstate/IdCoder.h"

namespace vantro {

// Entry c (for character codes 1 to 127, at index c - 1) holds that
// character's 6-bit value, or 255 when the alphabet does not have it.
using TIdDecodeTable = std::array<std::uint8_t, 127>;
void BuildDecodeTable(std::string_view alphabet, TIdDecodeTable& table);

class TIdEncoder3to4 : public TIdEncoder {
 public:
  std::string Encode(TStream& source, std::int64_t count) override;
  // The four characters of one group.
  std::array<char, 4> EncodeGroup(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) const;

  std::string Alphabet;
  char PadChar = '=';
};

class TIdDecoder4to3 : public TIdDecoder {
 public:
  // Decodes group by group: a pad third leaves one byte of its group, a pad
  // fourth two. Raises "Uneven size in DecodeToStream." for a length that is
  // not a multiple of 4 and rejects characters outside the alphabet; nothing
  // is written then.
  void DecodeToStream(std::string_view text, TStream& dest) override;
  // The 24-bit value of one group of four characters (pad characters count as 0).
  std::uint32_t DecodeGroup(std::string_view group) const;

  TIdDecodeTable DecodeTable{};
  char PadChar = '=';
};

}  // namespace vantro
