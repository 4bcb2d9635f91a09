#include "httpstate/IdCookieManager.h"

#include <algorithm>
#include <vector>

#include "http/IdGlobal.h"
#include "httpstate/IdPublicSuffix.h"
#include "rtl/AnsiText.h"
#include "rtl/Exception.h"

namespace vantro {

namespace {

bool CookieGoesTo(const TIdNetscapeCookie& cookie, std::string_view host, std::string_view path,
                  bool secureChannel) {
  const bool hostMatches = !cookie.HostOnly || SameText(cookie.DomainText, host);
  return hostMatches && CookiePathMatches(cookie.PathText, path) &&
         (!cookie.SecureOnly || secureChannel) && !cookie.ValueText.empty();
}

// What RFC 6265 and today's browsers refuse outright: a control byte
// anywhere, no name, or a name and value past the size a cookie may have.
bool StorableText(const TIdNetscapeCookie& record, std::string_view text) {
  return !HasCookieControlByte(text) && !record.NameText.empty() &&
         !HasControlByte(record.NameText) && !HasControlByte(record.ValueText) &&
         record.NameText.size() + record.ValueText.size() <= kMostCookieBytes;
}

// The domain a cookie is stored under (RFC 6265 section 5.3 steps 4-6): the
// host itself without a Domain attribute, else the attribute, which must not
// be a public suffix other than the host itself.
bool SettleDomain(TIdNetscapeCookie& record, std::string_view host) {
  const std::string lowerHost = LowerCase(host);
  if (record.DomainText.empty()) {
    record.HostOnly = true;
    record.DomainText = lowerHost;
    return true;
  }
  record.DomainText = CanonicalCookieDomain(record.DomainText);
  if (!LooksLikeIPv4(record.DomainText) && IsPublicSuffix(record.DomainText)) {
    if (record.DomainText != lowerHost) return false;
    record.HostOnly = true;
  }
  return true;
}

std::string RequestPath(const TIdURI& uri) {
  return uri.DirPath + uri.DocName;
}

}  // namespace

TIdCookieManager::TIdCookieManager(TIdBaseComponent* owner, TOnManagerEvent onCreate)
    : OnCreate(std::move(onCreate)), owner_(owner), cookies_(this) {
  NotifyCreate();
}

TIdCookieManager::~TIdCookieManager() {
  try {
    PurgeExpired();
    NotifyDestroy();
  } catch (...) {
    // A destructor cannot pass an error on; the store is freed all the same.
  }
}

void TIdCookieManager::NotifyCreate() {
  if (OnCreate) OnCreate(*this, cookies_);
}

void TIdCookieManager::NotifyDestroy() {
  if (OnDestroy) OnDestroy(*this, cookies_);
}

bool TIdCookieManager::ApproveCookie(TIdCookieRFC2109& record) {
  bool accept = true;
  if (OnNewCookie) OnNewCookie(*this, record, accept);
  return accept;
}

void TIdCookieManager::AcceptSetCookie(std::string_view text, const TIdURI& requestURI) {
  const std::string path = RequestPath(requestURI);
  AdmitCookie(cookies_.CreateRFC2109Item(), text,
              {requestURI.HostName, path, SameText(requestURI.Scheme, "https")});
}

void TIdCookieManager::AcceptSetCookie2(std::string_view text, const TIdURI& requestURI) {
  const std::string path = RequestPath(requestURI);
  AdmitCookie(cookies_.CreateRFC2965Item(), text,
              {requestURI.HostName, path, SameText(requestURI.Scheme, "https")});
}

void TIdCookieManager::AcceptSetCookie(std::string_view text, std::string_view host) {
  AdmitCookie(cookies_.CreateRFC2109Item(), text, {host});
}

void TIdCookieManager::AcceptSetCookie2(std::string_view text, std::string_view host) {
  AdmitCookie(cookies_.CreateRFC2965Item(), text, {host});
}

void TIdCookieManager::AdmitCookie(TIdCookieRFC2109* record, std::string_view text,
                                   const TIdCookieSource& source) {
  try {
    record->ParseCookieText(text);
  } catch (const Exception&) {
    // A bad Set-Cookie2 port list costs that cookie only, not the answer.
    cookies_.Extract(record);
    return;
  }
  if (!StorableText(*record, text) || !SettleDomain(*record, source.Host) ||
      !record->AcceptsHost(source.Host) || (record->SecureOnly && !source.Secure)) {
    cookies_.Extract(record);
    return;
  }
  if (record->PathText.empty() || record->PathText.front() != '/')
    record->PathText = DefaultCookiePath(source.Path);
  if (!ApproveCookie(*record)) {
    cookies_.Extract(record);
    return;
  }
  cookies_.StoreCookie(record, source.Secure);
}

void TIdCookieManager::PurgeExpired() {
  TIdCookieClock clock;
  cookies_.FreeCookies([&clock](const TIdNetscapeCookie& cookie) { return clock.Expired(cookie); });
}

std::string TIdCookieManager::BuildCookieHeader(const TIdURI& uri, bool secureChannel) {
  PurgeExpired();
  const std::string path = RequestPath(uri);
  TIdDomainIndexLock lock(cookies_, laRead);
  const TIdDomainIndex& index = lock.Index();
  std::vector<const TIdNetscapeCookie*> chosen;
  for (int d = 0; d < index.Count(); ++d) {
    if (!CookieDomainMatchesHost(index.Strings(d), uri.HostName)) continue;
    const TIdCookieList& names = *index.Objects(d);
    for (int n = names.Count() - 1; n >= 0; --n) {
      const TIdNetscapeCookie* cookie = names.Cookies(n);
      if (CookieGoesTo(*cookie, uri.HostName, path, secureChannel)) chosen.push_back(cookie);
    }
  }
  // Longer paths first (RFC 6265 section 5.4 step 2); within one path in the
  // order collected: domains as first stored, each domain's newest first.
  std::stable_sort(chosen.begin(), chosen.end(), [](const auto* a, const auto* b) {
    return a->PathText.size() > b->PathText.size();
  });
  std::string header;
  for (const TIdNetscapeCookie* cookie : chosen) {
    if (!header.empty()) header += "; ";
    header.append(cookie->NameText).append("=").append(cookie->ValueText);
  }
  return header;
}

}  // namespace vantro
