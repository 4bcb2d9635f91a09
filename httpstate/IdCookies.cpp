#include "httpstate/IdCookies.h"

#include <algorithm>

#include "http/IdDateTime.h"
#include "httpstate/IdCookieRules.h"
#include "rtl/AnsiText.h"

namespace vantro {

namespace {

// A cookie is its name (letter case counts), domain and path (RFC 6265
// section 5.3 step 11).
bool SameCookie(const TIdNetscapeCookie& a, const TIdNetscapeCookie& b) {
  return a.NameText == b.NameText && SameText(a.DomainText, b.DomainText) &&
         a.PathText == b.PathText;
}

}  // namespace

bool TIdCookieClock::Expired(const TIdNetscapeCookie& cookie) {
  if (cookie.ExpiryText.empty()) return false;
  if (!now_) {
    now_ = Now();
    offset_ = LocalOffsetFromUTC();
  }
  return *now_ > AddTimeSpan(cookie.ExpiryUTC(), *offset_);
}

TIdCookies::~TIdCookies() {
  // Records first, while the lists they are indexed in still exist.
  items_.clear();
  domainIndex_.Clear();
}

template <class TCookie>
TCookie* TIdCookies::CreateItem() {
  auto record = std::make_unique<TCookie>(this);
  TCookie* raw = record.get();
  TIdDomainIndexLock lock(*this, laWrite);
  items_.push_back(std::move(record));
  return raw;
}

TIdCookieRFC2109* TIdCookies::CreateRFC2109Item() {
  return CreateItem<TIdCookieRFC2109>();
}

TIdCookieRFC2965* TIdCookies::CreateRFC2965Item() {
  return CreateItem<TIdCookieRFC2965>();
}

void TIdCookies::StoreCookie(TIdNetscapeCookie* record, bool secureSource) {
  TIdDomainIndexLock lock(*this, laWrite);
  if (!secureSource && !record->SecureOnly && holdsSecure_ && ShadowsSecureCookie(*record)) {
    Extract(record);
    return;
  }
  TIdCookieClock clock;
  const int domain = domainIndex_.IndexOf(record->DomainText);
  if (domain >= 0) {
    TIdCookieList& names = *domainIndex_.Objects(domain);
    for (int n = 0; n < names.Count(); ++n) {
      TIdNetscapeCookie* stored = names.Cookies(n);
      if (!SameCookie(*stored, *record)) continue;
      stored->TakeContentOf(record);
      holdsSecure_ = holdsSecure_ || stored->SecureOnly;
      Extract(record);
      if (clock.Expired(*stored)) FreeCookie(stored);
      return;
    }
  }
  if (clock.Expired(*record)) {
    Extract(record);
    return;
  }
  IndexCookie(record);
}

bool TIdCookies::ShadowsSecureCookie(const TIdNetscapeCookie& record) const {
  for (int d = 0; d < domainIndex_.Count(); ++d) {
    const std::string& domain = domainIndex_.Strings(d);
    if (!CookieDomainMatchesHost(domain, record.DomainText) &&
        !CookieDomainMatchesHost(record.DomainText, domain))
      continue;
    const TIdCookieList& names = *domainIndex_.Objects(d);
    for (int n = 0; n < names.Count(); ++n) {
      const TIdNetscapeCookie& stored = *names.Cookies(n);
      if (stored.SecureOnly && stored.NameText == record.NameText &&
          CookiePathMatches(stored.PathText, record.PathText))
        return true;
    }
  }
  return false;
}

void TIdCookies::IndexCookie(TIdNetscapeCookie* record) {
  int domain = domainIndex_.IndexOf(record->DomainText);
  if (domain < 0) {
    domainLists_.push_back(std::make_unique<TIdCookieList>());
    domain = domainIndex_.AddObject(record->DomainText, domainLists_.back().get());
  }
  TIdCookieList& names = *domainIndex_.Objects(domain);
  names.AddObject(record->NameText, record);
  record->indexed_ = true;
  ++indexed_;
  holdsSecure_ = holdsSecure_ || record->SecureOnly;
  KeepWithinLimits(names);
}

void TIdCookies::KeepWithinLimits(TIdCookieList& domain) {
  // A domain's list and the collection are both in order of arrival: the
  // first entry is the oldest.
  if (domain.Count() > kMostCookiesPerDomain) FreeCookie(domain.Cookies(0));
  if (indexed_ <= kMostCookies) return;
  TIdCookieClock clock;
  FreeCookies([&clock](const TIdNetscapeCookie& cookie) { return clock.Expired(cookie); });
  if (indexed_ <= kMostCookies) return;
  for (const auto& item : items_) {
    if (item->indexed_) return FreeCookie(item.get());
  }
}

void TIdCookies::FreeCookie(TIdNetscapeCookie* record) {
  TIdDomainIndexLock lock(*this, laWrite);
  RemoveIndexEntry(record);
  Extract(record);
}

void TIdCookies::FreeCookies(const std::function<bool(const TIdNetscapeCookie&)>& doomed) {
  TIdDomainIndexLock lock(*this, laWrite);
  bool any = false;
  for (int d = 0; d < domainIndex_.Count(); ++d) {
    TIdCookieList& names = *domainIndex_.Objects(d);
    for (int n = names.Count() - 1; n >= 0; --n) {
      TIdNetscapeCookie* cookie = names.Cookies(n);
      if (!doomed(*cookie)) continue;
      names.Delete(n);
      cookie->indexed_ = false;
      --indexed_;
      cookie->SetCollection(nullptr);  // marks it for the one sweep below
      any = true;
    }
  }
  if (any) std::erase_if(items_, [](const auto& item) { return item->Collection() == nullptr; });
}

void TIdCookies::RemoveIndexEntry(TIdNetscapeCookie* record) {
  if (!record->indexed_) return;
  record->indexed_ = false;
  --indexed_;
  const int domain = domainIndex_.IndexOf(record->DomainText);
  if (domain >= 0) {
    TIdCookieList& names = *domainIndex_.Objects(domain);
    const int name = names.IndexOfObject(record);
    if (name >= 0) return names.Delete(name);
  }
  // A re-parse may have changed the record's domain since it was indexed:
  // find it by identity.
  for (int d = 0; d < domainIndex_.Count(); ++d) {
    TIdCookieList& names = *domainIndex_.Objects(d);
    const int name = names.IndexOfObject(record);
    if (name >= 0) return names.Delete(name);
  }
}

std::unique_ptr<TIdNetscapeCookie> TIdCookies::Extract(TIdNetscapeCookie* record) {
  TIdDomainIndexLock lock(*this, laWrite);
  auto found = std::find_if(items_.begin(), items_.end(),
                            [record](const auto& item) { return item.get() == record; });
  if (found == items_.end()) return nullptr;
  std::unique_ptr<TIdNetscapeCookie> taken = std::move(*found);
  items_.erase(found);
  taken->SetCollection(nullptr);
  return taken;
}

TIdDomainIndex& TIdCookies::LockDomainIndex(TIdCookieAccess mode) {
  if (mode == laRead)
    lock_.BeginRead();
  else
    lock_.BeginWrite();
  return domainIndex_;
}

void TIdCookies::UnlockDomainIndex(TIdCookieAccess mode) {
  if (mode == laRead)
    lock_.EndRead();
  else
    lock_.EndWrite();
}

}  // namespace vantro
