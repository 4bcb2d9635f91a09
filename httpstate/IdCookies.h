// The cookie store: a collection that owns the cookie records, a domain index
// over them (domain -> name -> record, both in order of first arrival) and
// the lock that guards the index.
#pragma once

#include <memory>
#include <vector>

#include "httpstate/IdCookie.h"
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
  int Count() const { return static_cast<int>(items_.size()); }
  TIdNetscapeCookie* Items(int index) const { return items_.at(index).get(); }

  TIdCookieRFC2109* CreateRFC2109Item();
  TIdCookieRFC2965* CreateRFC2965Item();
  // Indexes a new record, or hands its content to the stored record of the
  // same domain and name and frees it.
  void StoreCookie(TIdNetscapeCookie* record);
  // Destroys a record of the collection; it leaves the index first.
  void FreeCookie(TIdNetscapeCookie* record);
  // Takes a record out of the collection without touching the index.
  std::unique_ptr<TIdNetscapeCookie> Extract(TIdNetscapeCookie* record);

  // Every use of the index and the per-domain lists goes through this pair.
  TIdDomainIndex& LockDomainIndex(TIdCookieAccess mode);
  void UnlockDomainIndex(TIdCookieAccess mode);

 private:
  template <class TCookie>
  TCookie* CreateItem();
  void RemoveIndexEntry(const TIdNetscapeCookie* record);

  TIdCookieManager* owner_;
  std::vector<std::unique_ptr<TIdNetscapeCookie>> items_;
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

}  // namespace vantro
