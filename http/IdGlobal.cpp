#include "http/IdGlobal.h"

#include <cstddef>

#include "rtl/AnsiText.h"

namespace vantro {

int TextPos(std::string_view sub, std::string_view text) {
  if (sub.empty() || sub.size() > text.size()) return 0;
  if (!HasLeadBytes()) {
    const std::size_t at = text.find(sub);
    return at == std::string_view::npos ? 0 : static_cast<int>(at + 1);
  }
  const std::size_t last = text.size() - sub.size();
  for (std::size_t i = 0; i <= last;) {
    if (text.compare(i, sub.size(), sub) == 0) return static_cast<int>(i + 1);
    i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return 0;
}

int LastPos(std::string_view sub, std::string_view text, int start) {
  const int textLength = static_cast<int>(text.size());
  const int subLength = static_cast<int>(sub.size());
  if (start == -1) start = textLength;
  if (start > textLength - subLength + 1) start = textLength - subLength + 1;
  for (int p = start; p >= 1; --p) {
    if (SameText(text.substr(static_cast<std::size_t>(p - 1), sub.size()), sub)) return p;
  }
  return 0;
}

std::string CutToken(std::string& input, std::string_view delim, bool remove, bool matchCase) {
  const int p = matchCase ? TextPos(delim, input) : TextPos(UpperCase(delim), UpperCase(input));
  std::string token;
  if (p > 0) {
    token = input.substr(0, static_cast<std::size_t>(p - 1));
    if (remove) input.erase(0, static_cast<std::size_t>(p - 1) + delim.size());
  } else {
    token = input;
    if (remove) input.clear();
  }
  return token;
}

void ForwardSlashes(std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(text[i]))) {
      ++i;
    } else if (text[i] == '\\') {
      text[i] = '/';
    }
  }
}

std::string MergePath(std::string_view base, std::string_view path, std::string_view delim) {
  if (delim.empty() || path.starts_with(delim)) return std::string(path);
  const bool openEnd = path.empty() || path.ends_with(delim);

  std::string work(base);
  if (!work.empty() && !work.ends_with(delim)) work += delim;
  work += path;

  std::string result;
  for (std::size_t i = 0; i < work.size();) {
    if (work.compare(i, delim.size(), delim) == 0) {
      if (i == 0) {
        result = delim;
      } else if (!result.ends_with(delim)) {
        result += delim;
      }
      i += delim.size();
    } else if (work[i] == '.' && result.ends_with(delim) && i + 1 < work.size() &&
               work[i + 1] == '.') {
      // ".." takes the last segment off the result.
      result.erase(result.size() - delim.size());
      while (!result.empty() && !result.ends_with(delim))
        result.pop_back();
      i += 2;
    } else {
      result += work[i];
      ++i;
    }
  }
  if (result != delim && result.ends_with(delim) && !openEnd) {
    result.erase(result.size() - delim.size());
  }
  return result;
}

bool LooksLikeIPv4(std::string_view text) {
  std::string rest = Trim(text);
  for (int i = 0; i < 4; ++i) {
    const std::int32_t part = StrToIntDef(CutToken(rest, "."), -1);
    if (part < 0 || part > 255) return false;
  }
  return true;
}

bool LooksLikeHostName(std::string_view text) {
  return !text.starts_with('.') && !LooksLikeIPv4(text);
}

std::string DomainPart(std::string_view host) {
  const std::size_t dot = host.find('.');
  return std::string(dot == std::string_view::npos ? host : host.substr(dot));
}

}  // namespace vantro
