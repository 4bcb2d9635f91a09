// The cookie rules browsers and curl apply today (RFC 6265 with the Public
// Suffix List): which host and path a cookie belongs to, what may be stored
// and how much.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantro {

// RFC 6265 section 6.1 minimums, kept as browsers keep them: a cookie's name
// and value together, the cookies under one domain and in the whole store.
// Past the last two the oldest cookie goes.
inline constexpr std::size_t kMostCookieBytes = 4096;
inline constexpr int kMostCookiesPerDomain = 50;
inline constexpr int kMostCookies = 3000;
// The longest life a Max-Age gives (RFC 6265bis section 5.6.2, as Chrome
// and Firefox cap it): a larger count is cut to it, never read as none.
inline constexpr std::int64_t kMostCookieLifetimeSeconds = std::int64_t{400} * 24 * 60 * 60;

// The expiry a deleting Max-Age (0 or less) gives: long past.
inline constexpr const char kExpiredCookieDate[] = "Thu, 01 Jan 1970 00:00:00 GMT";

// Where a Set-Cookie came from: the request's host, its path (without the
// query) and whether it went over https.
struct TIdCookieSource {
  std::string_view Host;
  std::string_view Path = "/";
  bool Secure = false;
};

// RFC 6265 section 5.1.3: host is the domain (a leading dot ignored), or ends
// with it after a dot and is no IPv4 address. Letter case is ignored.
bool CookieDomainMatchesHost(std::string_view domain, std::string_view host);
// RFC 6265 section 5.1.4: the paths are equal, or cookiePath is a prefix of
// requestPath ending at a "/" of either. An empty cookie path matches all.
bool CookiePathMatches(std::string_view cookiePath, std::string_view requestPath);
// RFC 6265 section 5.1.4: the request path's directory, "/" when it has none.
std::string DefaultCookiePath(std::string_view requestPath);
// A Domain attribute as stored: one leading dot dropped, lower case.
std::string CanonicalCookieDomain(std::string_view domain);
// RFC 6265bis section 5.6 step 1: a Set-Cookie text holding a control byte
// other than a tab is refused whole (a CR in a value broke every later request).
bool HasCookieControlByte(std::string_view text);
// A name or value byte below 0x20 or DEL.
bool HasControlByte(std::string_view text);
// RFC 6265 section 5.2.2: digits with an optional leading "-"; anything else
// is no Max-Age. Counts past the cap are cut to it.
bool ReadMaxAge(std::string_view text, std::int64_t& seconds);

}  // namespace vantro
