// Set-Cookie and Set-Cookie2 values of any text taken into one store, then a
// Cookie header built: errors are allowed, crashes and an index that points
// outside the collection are not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>

#include "http/IdDateTime.h"
#include "http/IdURI.h"
#include "httpstate/IdCookieManager.h"
#include "rtl/Exception.h"

namespace {

std::optional<int> FixedZone() {
  return -5 * 60;
}

const char* const kHosts[] = {"web.shop.test", "shop.test", "10.0.0.1", ".shop.test", "h", ""};

void CheckIndex(vantro::TIdCookies& cookies) {
  std::set<const vantro::TIdNetscapeCookie*> owned;
  for (int i = 0; i < cookies.Count(); ++i)
    owned.insert(cookies.Items(i));
  vantro::TIdDomainIndexLock lock(cookies, vantro::laRead);
  std::size_t indexed = 0;
  for (int d = 0; d < lock.Index().Count(); ++d) {
    const vantro::TIdCookieList& names = *lock.Index().Objects(d);
    for (int n = 0; n < names.Count(); ++n, ++indexed)
      if (owned.count(names.Cookies(n)) == 0) std::abort();
  }
  if (indexed != owned.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vantro::SetZoneQuery(&FixedZone);
  vantro::TIdCookieManager manager;
  std::string rest(reinterpret_cast<const char*>(data), size);
  // One value per line; its first byte picks the header and the host.
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::string line = rest.substr(0, end);
    rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    if (line.empty()) continue;
    const unsigned char pick = static_cast<unsigned char>(line[0]);
    const std::string host = kHosts[pick % std::size(kHosts)];
    line.erase(0, 1);
    try {
      if (pick & 0x80)
        manager.AcceptSetCookie2(line, host);
      else
        manager.AcceptSetCookie(line, host);
    } catch (const vantro::Exception&) {
      // A bad port list ends the exchange that brought it; the store stays.
    }
    CheckIndex(manager.CookieCollection());
  }
  for (const char* url : {"http://web.shop.test/", "http://shop.test/a/b/", "http://10.0.0.1/x"})
    manager.BuildCookieHeader(vantro::TIdURI(url), (size & 1) != 0);
  CheckIndex(manager.CookieCollection());
  return 0;
}
