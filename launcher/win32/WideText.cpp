#include "launcher/win32/WideText.h"

namespace vantro {

std::wstring ToWide(const std::string& text, UINT codePage) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string FromWide(const std::wstring& text, UINT codePage) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
  return bytes;
}

std::string WideToAnsi(const std::wstring& text, bool* exact) {
  if (exact != nullptr) *exact = true;
  // A UTF-8 ANSI code page spells everything and takes neither argument.
  if (text.empty() || GetACP() == CP_UTF8) return FromWide(text, CP_ACP);
  const int size = static_cast<int>(text.size());
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr,
                                         0, "?", &usedDefault);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, bytes.data(), length, "?",
                      &usedDefault);
  if (exact != nullptr) *exact = usedDefault == FALSE;
  return bytes;
}

}  // namespace vantro
