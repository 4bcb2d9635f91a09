#include "rtl/Convert.h"

#include <string>

namespace vantro {

namespace {

int DigitValue(char c, int base) {
  int digit = 99;
  if (c >= '0' && c <= '9') digit = c - '0';
  if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
  return digit < base ? digit : -1;
}

}  // namespace

bool TryStrToInt32(std::string_view text, std::int32_t& value) {
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
  // Hexadecimal texts may spell the full 32-bit pattern, as the runtime allows.
  const std::int64_t limit = base == 16 ? 0xFFFFFFFFLL : (negative ? 2147483648LL : 2147483647LL);
  std::int64_t magnitude = 0;
  for (; at < text.size(); ++at) {
    const int digit = DigitValue(text[at], base);
    if (digit < 0) return false;
    magnitude = magnitude * base + digit;
    if (magnitude > limit) return false;
  }
  const std::int64_t signedValue = negative ? -magnitude : magnitude;
  value = static_cast<std::int32_t>(static_cast<std::uint32_t>(signedValue));
  return true;
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
