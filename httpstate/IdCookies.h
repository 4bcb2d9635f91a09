// The cookie store: a collection that owns the cookie records, a domain index
// over them (domain -> cookies, both in order of first arrival) and the lock
// that guards both. The store holds at most kMostCookiesPerDomain cookies a
// domain and kMostCookies in all, dropping the oldest past either.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "httpstate/IdCookie.h"
#include "rtl/DateTime.h"
#include "rtl/MultiReadExclusiveWrite.h"
#include "rtl/StringList.h"

namespace vantro {

class TIdCookieManager;

// Keys are domain texts or cookie names (letter case ignored); objects point
// to records owned elsewhere.
class TIdCookieList : public TObjectStringList<TIdNetscapeCookie> {
 public:
  TIdNetscapeCookie* Cookies(int index) const { return Objects(index); }
};

using TIdDomainIndex = TObjectStringList<TIdCookieList>;

enum TIdCookieAccess { laRead, laWrite };

class TIdCookies {
 public:
  explicit TIdCookies(TIdCookieManager* owner = nullptr) : owner_(owner) {}
  TIdCookies(const TIdCookies&) = delete;
  TIdCookies& operator=(const TIdCookies&) = delete;
  ~TIdCookies();

  TIdCookieManager* Owner() const { return owner_; }
  // Read while no other thread changes the store.
  int Count() const { return static_cast<int>(items_.size()); }
  TIdNetscapeCookie* Items(int index) const { return items_.at(index).get(); }

  TIdCookieRFC2109* CreateRFC2109Item();
  TIdCookieRFC2965* CreateRFC2965Item();
  // Indexes a new record, or hands its content to the stored record of the
  // same name, domain and path and frees it. A record whose expiry has passed
  // deletes its stored namesake and is not kept. From a plain (not https)
  // answer, a cookie that would shadow a Secure one is dropped instead
  // (RFC 6265bis section 5.7 step 16).
  void StoreCookie(TIdNetscapeCookie* record, bool secureSource = true);
  // Destroys a record of the collection; it leaves the index first.
  void FreeCookie(TIdNetscapeCookie* record);
  // Destroys every indexed record for which doomed is true, in one pass.
  void FreeCookies(const std::function<bool(const TIdNetscapeCookie&)>& doomed);
  // Takes a record out of the collection without touching the index.
  std::unique_ptr<TIdNetscapeCookie> Extract(TIdNetscapeCookie* record);

  // Every use of the index and the per-domain lists goes through this pair.
  TIdDomainIndex& LockDomainIndex(TIdCookieAccess mode);
  void UnlockDomainIndex(TIdCookieAccess mode);

 private:
  template <class TCookie>
  TCookie* CreateItem();
  bool ShadowsSecureCookie(const TIdNetscapeCookie& record) const;
  void IndexCookie(TIdNetscapeCookie* record);
  void KeepWithinLimits(TIdCookieList& domain);
  void RemoveIndexEntry(TIdNetscapeCookie* record);

  TIdCookieManager* owner_;
  std::vector<std::unique_ptr<TIdNetscapeCookie>> items_;  // in order of creation
  int indexed_ = 0;
  bool holdsSecure_ = false;  // a Secure cookie was ever stored: plain ones are checked
  TIdDomainIndex domainIndex_;
  std::vector<std::unique_ptr<TIdCookieList>> domainLists_;  // owned, indexed by domainIndex_
  TMultiReadExclusiveWriteSynchronizer lock_;
};

// Holds the domain index locked for one scope, also when an error passes.
class TIdDomainIndexLock {
 public:
  TIdDomainIndexLock(TIdCookies& cookies, TIdCookieAccess mode)
      : cookies_(cookies), mode_(mode), index_(cookies.LockDomainIndex(mode)) {}
  ~TIdDomainIndexLock() { cookies_.UnlockDomainIndex(mode_); }
  TIdDomainIndexLock(const TIdDomainIndexLock&) = delete;
  TIdDomainIndexLock& operator=(const TIdDomainIndexLock&) = delete;

  TIdDomainIndex& Index() const { return index_; }

 private:
  TIdCookies& cookies_;
  TIdCookieAccess mode_;
  TIdDomainIndex& index_;
};

// Tells whether a cookie's expiry has passed. The time and the zone's offset
// are asked for once, and only when a cookie has an expiry. Used under the
// store's write lock (it fills the records' expiry cache).
class TIdCookieClock {
 public:
  bool Expired(const TIdNetscapeCookie& cookie);

 private:
  std::optional<TDateTime> now_, offset_;
};

}  // namespace vantro
