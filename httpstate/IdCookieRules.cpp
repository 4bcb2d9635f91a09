#include "httpstate/IdCookieRules.h"

#include <algorithm>

#include "http/IdGlobal.h"
#include "rtl/AnsiText.h"

namespace vantro {

bool CookieDomainMatchesHost(std::string_view domain, std::string_view host) {
  if (!domain.empty() && domain.front() == '.') domain.remove_prefix(1);
  if (domain.empty() || host.empty()) return false;
  if (SameText(domain, host)) return true;
  if (host.size() <= domain.size() || !EndsText(domain, host)) return false;
  return host[host.size() - domain.size() - 1] == '.' && !LooksLikeIPv4(host);
}

bool CookiePathMatches(std::string_view cookiePath, std::string_view requestPath) {
  if (requestPath.substr(0, cookiePath.size()) != cookiePath) return false;
  return cookiePath.size() == requestPath.size() || cookiePath.empty() ||
         cookiePath.back() == '/' || requestPath[cookiePath.size()] == '/';
}

std::string DefaultCookiePath(std::string_view requestPath) {
  const std::size_t last = requestPath.rfind('/');
  if (requestPath.empty() || requestPath.front() != '/' || last == 0) return "/";
  return std::string(requestPath.substr(0, last));
}

std::string CanonicalCookieDomain(std::string_view domain) {
  if (!domain.empty() && domain.front() == '.') domain.remove_prefix(1);
  return LowerCase(domain);
}

bool HasCookieControlByte(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && byte != '\t') || byte == 0x7f;
  });
}

bool HasControlByte(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
  });
}

bool ReadMaxAge(std::string_view text, std::int64_t& seconds) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  std::int64_t value = 0;
  for (char c : text) {
    value = value * 10 + (c - '0');
    if (value > kMostCookieLifetimeSeconds) break;
  }
  value = std::min(value, kMostCookieLifetimeSeconds);
  seconds = negative ? -value : value;
  return true;
}

}  // namespace vantro
