// 8-bit text helpers over std::string. Text holds bytes in the ANSI code page;
// only the lead-byte test depends on which code page that is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantro {

// The ANSI code page the double-byte aware functions follow. It starts as the
// system's (GetACP on Windows; 1252, single-byte, elsewhere) and tests may set it.
unsigned AnsiCodePage();
void SetAnsiCodePage(unsigned codePage);

// True when C starts a two-byte character in the current ANSI code page.
bool IsLeadByte(unsigned char c);
// True when the current ANSI code page has two-byte characters at all.
bool HasLeadBytes();

// Sets the ANSI code page for a scope and puts the old one back at its end.
class ScopedAnsiCodePage {
 public:
  explicit ScopedAnsiCodePage(unsigned codePage) : saved_(AnsiCodePage()) {
    SetAnsiCodePage(codePage);
  }
  ~ScopedAnsiCodePage() { SetAnsiCodePage(saved_); }
  ScopedAnsiCodePage(const ScopedAnsiCodePage&) = delete;
  ScopedAnsiCodePage& operator=(const ScopedAnsiCodePage&) = delete;

 private:
  unsigned saved_;
};

// Letter case of ASCII letters only; every other byte stays as it is.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);
// <0, 0 or >0 like strcmp, comparing ASCII letters without regard to case.
int CompareText(std::string_view a, std::string_view b);

// Trimming removes spaces and control characters (bytes up to 0x20).
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

bool StartsText(std::string_view prefix, std::string_view text);
bool EndsText(std::string_view suffix, std::string_view text);

// Decimal integers: an optional sign and digits, nothing else (no blanks).
// Values outside the 32-bit range are not numbers.
bool TryStrToInt(std::string_view text, std::int32_t& value);
std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback);
std::string IntToStr(std::int64_t value);

}  // namespace vantro
