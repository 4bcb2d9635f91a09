#include "httpstate/IdCoder3to4.h"

#include <algorithm>

#include "tcp/IdException.h"

namespace vantro {
namespace {

constexpr std::uint8_t kNotInAlphabet = 255;

std::uint8_t Byte(char c) {
  return static_cast<std::uint8_t>(c);
}

}  // namespace

void BuildDecodeTable(std::string_view alphabet, TIdDecodeTable& table) {
  table.fill(kNotInAlphabet);
  for (std::size_t p = 0; p < alphabet.size(); ++p) {
    const std::uint8_t code = Byte(alphabet[p]);
    if (code >= 1 && code <= table.size()) table[code - 1] = static_cast<std::uint8_t>(p);
  }
}

std::array<char, 4> TIdEncoder3to4::EncodeGroup(std::uint8_t b1, std::uint8_t b2,
                                                std::uint8_t b3) const {
  return {Alphabet[b1 >> 2], Alphabet[((b1 << 4) & 63) | (b2 >> 4)],
          Alphabet[((b2 << 2) & 63) | (b3 >> 6)], Alphabet[b3 & 63]};
}

std::string TIdEncoder3to4::Encode(TStream& source, std::int64_t count) {
  if (count != kToEnd && count % 3 != 0) throw EIdException("Uneven size in Encode.");
  if (Alphabet.size() != 64) throw EIdException("Encoder alphabet must have 64 characters.");
  const std::int64_t n = std::min(count, source.Size() - source.Position());
  if (n <= 0) return {};

  std::string bytes(static_cast<std::size_t>(n), '\0');
  source.ReadBuffer(bytes.data(), n);
  std::string result(static_cast<std::size_t>((n + 2) / 3 * 4), '\0');
  char* out = result.data();
  for (std::size_t i = 0; i < bytes.size(); i += 3, out += 4) {
    const std::size_t left = bytes.size() - i;
    const auto group = EncodeGroup(Byte(bytes[i]), left > 1 ? Byte(bytes[i + 1]) : 0,
                                   left > 2 ? Byte(bytes[i + 2]) : 0);
    std::copy(group.begin(), group.end(), out);
    if (left == 2) out[3] = PadChar;
    if (left == 1) out[2] = out[3] = PadChar;
  }
  return result;
}

std::uint32_t TIdDecoder4to3::DecodeGroup(std::string_view group) const {
  std::uint32_t value = 0;
  for (const char c : group.substr(0, 4)) {
    const std::uint8_t code = Byte(c);
    std::uint32_t sextet = 0;
    if (c != PadChar) {
      sextet = (code >= 1 && code <= DecodeTable.size()) ? DecodeTable[code - 1] : kNotInAlphabet;
      if (sextet == kNotInAlphabet) throw EIdException("Invalid character in Base64 text.");
    }
    value = (value << 6) | sextet;
  }
  return value;
}

void TIdDecoder4to3::DecodeToStream(std::string_view text, TStream& dest) {
  if (text.size() % 4 != 0) throw EIdException("Uneven size in DecodeToStream.");
  std::string output;
  output.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const std::string_view group = text.substr(i, 4);
    // A pad ends its own group only (RFC 2045 texts joined end to end still
    // decode); the first two characters always carry bits, so a pad there is
    // refused like any character outside the alphabet.
    const bool padThird = group[2] == PadChar, padFourth = group[3] == PadChar;
    if (group[0] == PadChar || group[1] == PadChar) {
      throw EIdException("Invalid character in Base64 text.");
    }
    const std::uint32_t value = DecodeGroup(group);
    output += static_cast<char>(value >> 16);
    if (!padThird) output += static_cast<char>(value >> 8);
    if (!padThird && !padFourth) output += static_cast<char>(value);
  }
  if (!output.empty()) dest.WriteBuffer(output.data(), static_cast<std::int64_t>(output.size()));
}

}  // namespace vantro
