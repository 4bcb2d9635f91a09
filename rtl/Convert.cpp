#include "rtl/Convert.h"

#include <string>

namespace vantro {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

namespace {

int DigitValue(char c, int base) {
  const int digit = HexDigitValue(c);
  return digit < base ? digit : -1;
}

// The runtime's integer syntax up to a magnitude; hexadecimal texts may spell
// the full bit pattern of the width, as the runtime allows.
bool ParseInteger(std::string_view text, std::uint64_t hexLimit, std::uint64_t positiveLimit,
                  std::int64_t& value) {
  std::size_t at = 0;
  while (at < text.size() && text[at] == ' ')
    ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  int base = 10;
  if (at < text.size() && text[at] == '$') {
    base = 16;
    ++at;
  } else if (text.size() - at > 1 && text[at] == '0' &&
             (text[at + 1] == 'x' || text[at + 1] == 'X')) {
    base = 16;
    at += 2;
  }
  if (at == text.size()) return false;
  const std::uint64_t limit = base == 16 ? hexLimit : positiveLimit + (negative ? 1 : 0);
  std::uint64_t magnitude = 0;
  for (; at < text.size(); ++at) {
    const int digit = DigitValue(text[at], base);
    if (digit < 0) return false;
    if (magnitude > (limit - static_cast<std::uint64_t>(digit)) / static_cast<std::uint64_t>(base))
      return false;
    magnitude = magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
  }
  const std::uint64_t bits = negative ? 0 - magnitude : magnitude;
  value = static_cast<std::int64_t>(bits);
  return true;
}

}  // namespace

bool TryStrToInt32(std::string_view text, std::int32_t& value) {
  std::int64_t wide = 0;
  if (!ParseInteger(text, 0xFFFFFFFFULL, 0x7FFFFFFFULL, wide)) return false;
  value = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(wide)));
  return true;
}

bool TryStrToInt64(std::string_view text, std::int64_t& value) {
  return ParseInteger(text, ~0ULL, 0x7FFFFFFFFFFFFFFFULL, value);
}

std::int64_t StrToInt64Def(std::string_view text, std::int64_t fallback) {
  std::int64_t value = 0;
  return TryStrToInt64(text, value) ? value : fallback;
}

std::int32_t StrToInt32Def(std::string_view text, std::int32_t fallback) {
  std::int32_t value = 0;
  return TryStrToInt32(text, value) ? value : fallback;
}

std::int32_t StrToInt32(std::string_view text) {
  std::int32_t value = 0;
  if (!TryStrToInt32(text, value)) RaiseInvalidInteger(text);
  return value;
}

void RaiseInvalidInteger(std::string_view text) {
  throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

}  // namespace vantro
