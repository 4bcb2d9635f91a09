#include "httpstate/IdCookies.h"

#include <algorithm>

namespace vantro {

TIdCookies::~TIdCookies() {
  // Records first, while the lists they are indexed in still exist.
  items_.clear();
  domainIndex_.Clear();
}

template <class TCookie>
TCookie* TIdCookies::CreateItem() {
  auto record = std::make_unique<TCookie>(this);
  TCookie* raw = record.get();
  items_.push_back(std::move(record));
  return raw;
}

TIdCookieRFC2109* TIdCookies::CreateRFC2109Item() {
  return CreateItem<TIdCookieRFC2109>();
}

TIdCookieRFC2965* TIdCookies::CreateRFC2965Item() {
  return CreateItem<TIdCookieRFC2965>();
}

void TIdCookies::StoreCookie(TIdNetscapeCookie* record) {
  TIdDomainIndexLock lock(*this, laWrite);
  TIdDomainIndex& index = lock.Index();
  int domain = index.IndexOf(record->DomainText);
  if (domain < 0) {
    domainLists_.push_back(std::make_unique<TIdCookieList>());
    domain = index.AddObject(record->DomainText, domainLists_.back().get());
  }
  TIdCookieList& names = *index.Objects(domain);
  const int name = names.IndexOf(record->NameText);
  if (name < 0) {
    names.AddObject(record->NameText, record);
    return;
  }
  names.Cookies(name)->TakeContentOf(record);
  Extract(record);
}

void TIdCookies::FreeCookie(TIdNetscapeCookie* record) {
  {
    TIdDomainIndexLock lock(*this, laWrite);
    RemoveIndexEntry(record);
  }
  Extract(record);
}

void TIdCookies::RemoveIndexEntry(const TIdNetscapeCookie* record) {
  TIdDomainIndex& index = domainIndex_;
  const int domain = index.IndexOf(record->DomainText);
  if (domain >= 0) {
    TIdCookieList& names = *index.Objects(domain);
    const int name = names.IndexOf(record->NameText);
    if (name >= 0 && names.Cookies(name) == record) return names.Delete(name);
  }
  // A re-parse may have changed the record's domain or name since it was
  // indexed: find it by identity.
  for (int d = 0; d < index.Count(); ++d) {
    TIdCookieList& names = *index.Objects(d);
    const int name = names.IndexOfObject(record);
    if (name >= 0) return names.Delete(name);
  }
}

std::unique_ptr<TIdNetscapeCookie> TIdCookies::Extract(TIdNetscapeCookie* record) {
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
