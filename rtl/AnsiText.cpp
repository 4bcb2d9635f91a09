#include "rtl/AnsiText.h"

#include <array>
#include <atomic>
#include <charconv>
#include <memory>
#include <mutex>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vantro {
namespace {

unsigned SystemCodePage() {
#ifdef _WIN32
  return GetACP();
#else
  return 1252;
#endif
}

// Which bytes start a two-byte character, per code page, decided once.
struct LeadByteTable {
  unsigned codePage = 0;
  bool any = false;
  std::array<bool, 256> lead{};
};

bool TableLeadByte(unsigned codePage, unsigned c) {
  switch (codePage) {
    case 932:  // Shift JIS
      return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    case 936:  // GBK
    case 949:  // Unified Hangul
    case 950:  // Big5
      return c >= 0x81 && c <= 0xFE;
    case 1361:  // Johab
      return (c >= 0x84 && c <= 0xD3) || (c >= 0xD8 && c <= 0xDE) || (c >= 0xE0 && c <= 0xF9);
    default:
#ifdef _WIN32
      return IsDBCSLeadByteEx(codePage, static_cast<BYTE>(c)) != 0;
#else
      return false;
#endif
  }
}

const LeadByteTable* TableFor(unsigned codePage) {
  // Tables are never freed: readers on other threads may still hold one.
  static std::mutex mutex;
  static std::vector<std::unique_ptr<LeadByteTable>> tables;
  std::lock_guard<std::mutex> lock(mutex);
  for (const auto& table : tables)
    if (table->codePage == codePage) return table.get();
  auto table = std::make_unique<LeadByteTable>();
  table->codePage = codePage;
  for (unsigned c = 0; c < 256; ++c) {
    table->lead[c] = TableLeadByte(codePage, c);
    table->any = table->any || table->lead[c];
  }
  tables.push_back(std::move(table));
  return tables.back().get();
}

std::atomic<const LeadByteTable*>& CurrentTable() {
  static std::atomic<const LeadByteTable*> current{TableFor(SystemCodePage())};
  return current;
}

const LeadByteTable& Current() {
  return *CurrentTable().load(std::memory_order_acquire);
}

char UpperChar(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
char LowerChar(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

}  // namespace

unsigned AnsiCodePage() {
  return Current().codePage;
}

void SetAnsiCodePage(unsigned codePage) {
  CurrentTable().store(TableFor(codePage), std::memory_order_release);
}

bool IsLeadByte(unsigned char c) {
  return Current().lead[c];
}

bool HasLeadBytes() {
  return Current().any;
}

std::string UpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    c = UpperChar(c);
  return result;
}

std::string LowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    c = LowerChar(c);
  return result;
}

int CompareText(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(UpperChar(a[i]));
    const auto y = static_cast<unsigned char>(UpperChar(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

std::string TrimLeft(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i]))
    ++i;
  return std::string(text.substr(i));
}

std::string TrimRight(std::string_view text) {
  std::size_t n = text.size();
  while (n > 0 && IsBlank(text[n - 1]))
    --n;
  return std::string(text.substr(0, n));
}

std::string Trim(std::string_view text) {
  return TrimLeft(TrimRight(text));
}

bool StartsText(std::string_view prefix, std::string_view text) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

bool EndsText(std::string_view suffix, std::string_view text) {
  return text.size() >= suffix.size() && SameText(text.substr(text.size() - suffix.size()), suffix);
}

bool TryStrToInt(std::string_view text, std::int32_t& value) {
  std::size_t start = 0;
  if (!text.empty() && text[0] == '+') start = 1;
  if (start == text.size()) return false;
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  std::int32_t parsed = 0;
  const auto [end, error] = std::from_chars(first, last, parsed);
  if (error != std::errc() || end != last) return false;
  if (start == 1 && *first == '-') return false;
  value = parsed;
  return true;
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback) {
  std::int32_t value = 0;
  return TryStrToInt(text, value) ? value : fallback;
}

std::string IntToStr(std::int64_t value) {
  return std::to_string(value);
}

}  // namespace vantro
