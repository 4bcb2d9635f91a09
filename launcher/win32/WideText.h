// Conversions between the launcher's 8-bit texts and the W API's UTF-16.
#pragma once

#include <windows.h>

#include <string>

namespace vantro {

std::wstring ToWide(const std::string& text, UINT codePage);
std::string FromWide(const std::wstring& text, UINT codePage);
// The text in the ANSI code page, with "?" for each character the code page
// cannot spell (never a look-alike: a best fit would name another file);
// exact, when given, tells whether every character was spelled.
std::string WideToAnsi(const std::wstring& text, bool* exact = nullptr);
inline std::wstring Utf8ToWide(const std::string& text) {
  return ToWide(text, CP_UTF8);
}

}  // namespace vantro
