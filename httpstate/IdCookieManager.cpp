#include "httpstate/IdCookieManager.h"

#include <optional>

#include "http/IdDateTime.h"
#include "rtl/AnsiText.h"
#include "rtl/DateTime.h"

namespace vantro {

namespace {

bool CookieGoesTo(const TIdNetscapeCookie& cookie, std::string_view path, bool secureChannel) {
  // A cookie stored without a path applies to every path.
  const bool pathMatches = path.substr(0, cookie.PathText.size()) == cookie.PathText;
  return pathMatches && (!cookie.SecureOnly || secureChannel) && !cookie.ValueText.empty();
}

}  // namespace

bool CookieDomainMatchesHost(std::string_view domain, std::string_view host) {
  if (domain.empty() || !EndsText(domain, host)) return false;
  const std::size_t before = host.size() - domain.size();
  return domain.front() == '.' || before == 0 || host[before - 1] == '.';
}

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

void TIdCookieManager::AcceptSetCookie(std::string_view text, std::string_view host) {
  AdmitCookie(cookies_.CreateRFC2109Item(), text, host);
}

void TIdCookieManager::AcceptSetCookie2(std::string_view text, std::string_view host) {
  AdmitCookie(cookies_.CreateRFC2965Item(), text, host);
}

void TIdCookieManager::AdmitCookie(TIdCookieRFC2109* record, std::string_view text,
                                   std::string_view host) {
  try {
    record->ParseCookieText(text);
  } catch (...) {
    // A half-parsed record would stay in the collection for the store's life.
    cookies_.Extract(record);
    throw;
  }
  if (record->DomainText.empty()) record->DomainText.assign(host);
  if (!record->AcceptsHost(host) || !ApproveCookie(*record)) {
    cookies_.Extract(record);
    return;
  }
  cookies_.StoreCookie(record);
}

void TIdCookieManager::PurgeExpired() {
  TIdDomainIndexLock lock(cookies_, laWrite);
  const TIdDomainIndex& index = lock.Index();
  const TDateTime now = Now();
  std::optional<TDateTime> localOffset;  // asked for once, and only when needed
  for (int d = 0; d < index.Count(); ++d) {
    const TIdCookieList& names = *index.Objects(d);
    for (int n = names.Count() - 1; n >= 0; --n) {
      TIdNetscapeCookie* cookie = names.Cookies(n);
      if (cookie->ExpiryText.empty()) continue;
      if (!localOffset) localOffset = LocalOffsetFromUTC();
      if (now > AddTimeSpan(cookie->ExpiryUTC(), *localOffset)) cookies_.FreeCookie(cookie);
    }
  }
}

std::string TIdCookieManager::BuildCookieHeader(const TIdURI& uri, bool secureChannel) {
  PurgeExpired();
  TIdDomainIndexLock lock(cookies_, laRead);
  const TIdDomainIndex& index = lock.Index();
  if (index.Empty()) return {};

  // Sorted by path; an equal path goes before those already there, so that
  // walking backwards keeps the order of collection.
  TIdCookieList byPath;
  byPath.SetSorted(true);
  byPath.SetDuplicates(TIdCookieList::TDuplicates::dupAccept);
  for (int d = 0; d < index.Count(); ++d) {
    if (!CookieDomainMatchesHost(index.Strings(d), uri.HostName)) continue;
    const TIdCookieList& names = *index.Objects(d);
    for (int n = names.Count() - 1; n >= 0; --n) {
      TIdNetscapeCookie* cookie = names.Cookies(n);
      if (CookieGoesTo(*cookie, uri.DirPath, secureChannel))
        byPath.AddObject(cookie->PathText, cookie);
    }
  }

  std::string header;
  for (int i = byPath.Count() - 1; i >= 0; --i) {
    const TIdNetscapeCookie& cookie = *byPath.Cookies(i);
    if (!header.empty()) header += "; ";
    header.append(cookie.NameText).append("=").append(cookie.ValueText);
  }
  return header;
}

}  // namespace vantro
