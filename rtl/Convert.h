// Text-to-number conversions with the runtime's integer syntax, and the
// runtime's conversion error.
#pragma once

#include <cstdint>
#include <string_view>

#include "rtl/Exception.h"

namespace vantro {

class EConvertError : public Exception {
  using Exception::Exception;
};

// 0 to 15 for a hexadecimal digit of either case; -1 for any other byte.
int HexDigitValue(char c);

// Leading blanks, an optional sign, then decimal digits or hexadecimal digits
// after "$" or "0x"; nothing may follow. Values outside 32 bits are refused.
bool TryStrToInt32(std::string_view text, std::int32_t& value);
std::int32_t StrToInt32Def(std::string_view text, std::int32_t fallback);
// The same syntax for 64 bits.
bool TryStrToInt64(std::string_view text, std::int64_t& value);
std::int64_t StrToInt64Def(std::string_view text, std::int64_t fallback);
// Raises EConvertError "'%s' is not a valid integer value".
std::int32_t StrToInt32(std::string_view text);
[[noreturn]] void RaiseInvalidInteger(std::string_view text);

}  // namespace vantro
