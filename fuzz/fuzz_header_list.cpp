// Header blocks read, looked up and rewritten: a value written with
// SetValueOf always reads back as its trimmed, blank-joined self.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/IdHeaderList.h"
#include "rtl/AnsiText.h"

namespace {

// What reading back a folded value gives: trimmed, every run of blanks,
// commas and line breaks where a fold happened joined by one blank.
bool SameWords(const std::string& a, const std::string& b) {
  auto squeeze = [](const std::string& s) {
    std::string out;
    for (const char c : s) {
      const bool blank = static_cast<unsigned char>(c) <= 0x20;
      if (blank && (out.empty() || out.back() == ' ')) continue;
      out += blank ? ' ' : c;
    }
    while (!out.empty() && out.back() == ' ')
      out.pop_back();
    return out;
  };
  return squeeze(a) == squeeze(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  vantro::ScopedAnsiCodePage cp((data[0] & 1) ? 936 : 1252);
  const int width = 1 + data[1] % 100;
  const std::string rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::size_t cut = rest.find('\0');
  const std::string block = rest.substr(0, cut);
  const std::string value = cut == std::string::npos ? "v" : rest.substr(cut + 1);

  vantro::TIdHeaderList headers;
  headers.FoldWidth = width;
  headers.SetText(block);
  for (int i = 0; i < headers.Count(); ++i) {
    (void)headers.ValueOf(headers.NameAt(i));
  }
  (void)vantro::WrapHeaderText(block, "\r\n ", "\t ,", width);

  // Only a value without line breaks and with a plain name survives intact.
  if (value.find_first_of("\r\n") == std::string::npos && !value.empty()) {
    headers.SetValueOf("X-Fuzz", value);
    const std::string back = headers.ValueOf("X-FUZZ");
    if (!SameWords(back, vantro::Trim(value)) && value.find('"') == std::string::npos &&
        value.find(',') == std::string::npos) {
      std::abort();
    }
    headers.SetValueOf("X-Fuzz", "");
    if (headers.IndexOfHeader("X-Fuzz") != -1 && block.find("X-Fuzz") == std::string::npos &&
        block.find("x-fuzz") == std::string::npos) {
      std::abort();
    }
  }
  return 0;
}
