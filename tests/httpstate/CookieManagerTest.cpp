#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "http/IdURI.h"
#include "httpstate/IdCookieManager.h"
#include "rtl/AnsiText.h"
#include "rtl/Convert.h"
#include "tests/support/FixedTimeZone.h"

namespace vantro {
namespace {

using test::FixedTimeZone;

class CookieStore : public testing::Test {
 protected:
  std::string Header(const std::string& url, bool secure = false) {
    return manager_.BuildCookieHeader(TIdURI(url), secure);
  }

  // Every indexed record is in the collection, and every record of the
  // collection is indexed once.
  void ExpectConsistent() {
    TIdCookies& cookies = manager_.CookieCollection();
    std::set<const TIdNetscapeCookie*> indexed;
    TIdDomainIndexLock lock(cookies, laRead);
    for (int d = 0; d < lock.Index().Count(); ++d) {
      const TIdCookieList& names = *lock.Index().Objects(d);
      for (int n = 0; n < names.Count(); ++n)
        EXPECT_TRUE(indexed.insert(names.Cookies(n)).second);
    }
    std::set<const TIdNetscapeCookie*> owned;
    for (int i = 0; i < cookies.Count(); ++i)
      owned.insert(cookies.Items(i));
    EXPECT_EQ(indexed, owned);
  }

  FixedTimeZone zone_{8 * 60};
  TIdCookieManager manager_;
};

// Set-Cookie values from requests to URLs, then the Cookie header each later
// request carries; every case starts with an empty store.
struct SetCookieCase {
  const char* What;
  std::vector<std::pair<std::string, std::string>> Sets;   // request URL, Set-Cookie
  std::vector<std::pair<std::string, std::string>> Sends;  // request URL, Cookie
};

const std::string kPast = "Thu, 01 Jan 1970 00:00:00 GMT";
const std::string kFuture = "Thu, 01 Jan 2099 00:00:00 GMT";

const SetCookieCase kSetCookieCases[] = {
    {"a cookie without Domain stays on its host",
     {{"http://shop.test/", "a=1"}},
     {{"http://shop.test/", "a=1"}, {"http://SHOP.Test/x", "a=1"}, {"http://web.shop.test/", ""}}},
    {"Domain without a dot from a subdomain reaches the domain and its subdomains",
     {{"http://www.example.com/", "d=1; Domain=example.com"}},
     {{"http://example.com/", "d=1"},
      {"http://a.b.example.com/", "d=1"},
      {"http://badexample.com/", ""},
      {"http://example.com.evil.test/", ""}}},
    {"a leading dot from a deeper host, names in any case",
     {{"http://a.b.EXAMPLE.com/", "d=2; Domain=.Example.COM"}},
     {{"http://example.com/", "d=2"}, {"http://WWW.example.com/", "d=2"}}},
    {"another host's domain is refused",
     {{"http://shop.test/", "f=1; Domain=other.test"},
      {"http://shop.test/", "g=1; Domain=web.shop.test"}},
     {{"http://other.test/", ""}, {"http://web.shop.test/", ""}, {"http://shop.test/", ""}}},
    {"a public suffix as Domain is refused",
     {{"http://example.com/", "s=1; Domain=.com"},
      {"http://foo.co.uk/", "s=2; Domain=co.uk"},
      {"http://me.github.io/", "s=3; Domain=github.io"},
      {"http://a.b.kawasaki.jp/", "s=4; Domain=b.kawasaki.jp"}},
     {{"http://other.com/", ""},
      {"http://example.com/", ""},
      {"http://bank.co.uk/", ""},
      {"http://foo.co.uk/", ""},
      {"http://you.github.io/", ""},
      {"http://c.b.kawasaki.jp/", ""}}},
    {"a host that is a public suffix keeps its own cookie to itself",
     {{"http://co.uk/", "h=1; Domain=co.uk"}},
     {{"http://co.uk/", "h=1"}, {"http://bank.co.uk/", ""}}},
    {"an exception rule is no public suffix",
     {{"http://www.city.kawasaki.jp/", "e=1; Domain=city.kawasaki.jp"}},
     {{"http://city.kawasaki.jp/", "e=1"}}},
    {"Secure goes with https only and cannot come from plain http",
     {{"http://h.test/", "p=1; Secure"}, {"https://h.test/", "s=1; Secure"}},
     {{"https://h.test/", "s=1"}, {"http://h.test/", ""}}},
    {"a plain answer cannot overwrite or shadow a Secure cookie",
     {{"https://h.test/", "s=1; Secure"},
      {"http://h.test/", "s=evil"},
      {"http://h.test/", "s=evil; Path=/deeper"},
      {"http://a.h.test/", "s=evil; Domain=h.test"}},
     {{"https://h.test/deeper/x", "s=1"}, {"http://h.test/deeper/x", ""}}},
    {"control bytes in the name or value are refused, the next cookie is kept",
     {{"http://h.test/", "x=a\rb"},
      {"http://h.test/", "x=a\r\nX-Evil: 1"},
      {"http://h.test/", "x=a\nb"},
      {"http://h.test/", std::string("x=a\0b", 5)},
      {"http://h.test/", "x=a\x7f"},
      {"http://h.test/", "x\x01=1"},
      {"http://h.test/", "x=a\tb"},
      {"http://h.test/", "x=1; Path=/\r\n"},
      {"http://h.test/", "ok=1;\tPath=/"}},
     {{"http://h.test/", "ok=1"}}},
    {"no name, or name and value past 4096 bytes, is refused",
     {{"http://h.test/", "=nameless"},
      {"http://h.test/", "nameonly"},
      {"http://h.test/", "big=" + std::string(4094, 'v')},
      {"http://h.test/", "fit=" + std::string(4093, 'v')}},
     {{"http://h.test/", "fit=" + std::string(4093, 'v')}}},
    {"an empty value is stored, and not sent",
     {{"http://h.test/", "e=1"}, {"http://h.test/", "e="}, {"http://h.test/", "f=1"}},
     {{"http://h.test/", "f=1"}}},
    {"Path matches at a boundary",
     {{"http://h.test/", "p=1; Path=/foo"}},
     {{"http://h.test/foo", "p=1"},
      {"http://h.test/foo/x?q=1", "p=1"},
      {"http://h.test/foobar", ""},
      {"http://h.test/fo", ""},
      {"http://h.test/", ""}}},
    {"the default path is the request's directory",
     {{"http://h.test/dir/page.html", "d=1"}, {"http://h.test/top", "t=1; Path=relative"}},
     {{"http://h.test/dir", "d=1; t=1"},
      {"http://h.test/dir/sub/", "d=1; t=1"},
      {"http://h.test/dirx", "t=1"},
      {"http://h.test/", "t=1"}}},
    {"a cookie is its name, domain and path",
     {{"http://h.test/", "n=root; Path=/"},
      {"http://h.test/", "n=admin; Path=/admin"},
      {"http://h.test/", "SID=1"},
      {"http://h.test/", "sid=2"},
      {"http://h.test/", "sid=3"},
      {"http://www.h.test/", "n=wide; Domain=h.test; Path=/"}},
     // The host-only flag is no part of it: n=wide took n=root's place.
     {{"http://h.test/admin/x", "n=admin; sid=3; SID=1; n=wide"},
      {"http://h.test/", "sid=3; SID=1; n=wide"},
      {"http://www.h.test/", "n=wide"}}},
    {"Max-Age 0 or less deletes, also with a later Expires",
     {{"http://h.test/", "a=1"},
      {"http://h.test/", "b=1"},
      {"http://h.test/", "c=1"},
      {"http://h.test/", "a=1; Max-Age=0"},
      {"http://h.test/", "b=1; Expires=" + kFuture + "; Max-Age=-1"},
      {"http://h.test/", "c=1; Max-Age=60; Max-Age=0"},
      {"http://h.test/", "d=1; Max-Age=0"}},
     {{"http://h.test/", ""}}},
    {"Max-Age wins over a past Expires; huge counts and bad dates keep the cookie",
     {{"http://h.test/", "a=1; Max-Age=60; Expires=" + kPast},
      {"http://h.test/", "b=1; Max-Age=99999999999999999999"},
      {"http://h.test/", "c=1; Expires=someday"},
      {"http://h.test/", "d=1; Expires=" + kPast + "; Expires=" + kFuture},
      {"http://h.test/", "e=1; Expires=" + kFuture + "; Expires=" + kPast}},
     {{"http://h.test/", "d=1; c=1; b=1; a=1"}}},
    {"an IP address host matches itself only",
     {{"http://10.0.0.1/", "i=1"}, {"http://10.0.0.1/", "j=1; Domain=0.0.1"}},
     {{"http://10.0.0.1/", "i=1"}, {"http://1.10.0.0.1/", ""}}},
};

TEST_F(CookieStore, SetCookieCases) {
  for (const SetCookieCase& c : kSetCookieCases) {
    TIdCookieManager manager;
    for (const auto& [url, value] : c.Sets)
      manager.AcceptSetCookie(value, TIdURI(url));
    for (const auto& [url, expected] : c.Sends) {
      const TIdURI uri(url);
      EXPECT_EQ(manager.BuildCookieHeader(uri, SameText(uri.Scheme, "https")), expected)
          << c.What << ": " << url;
    }
  }
}

TEST_F(CookieStore, ABadSetCookie2PortDropsThatCookieOnly) {
  manager_.AcceptSetCookie2("before=1; path=/", "h.test");
  manager_.AcceptSetCookie2("before=2; path=/; Port=\"x\"", "h.test");
  manager_.AcceptSetCookie2("bad=1; Port=\"80,\"", "h.test");
  manager_.AcceptSetCookie2("after=1; path=/; Port=\"80\"", "h.test");
  EXPECT_EQ(manager_.CookieCollection().Count(), 2);
  ExpectConsistent();
  EXPECT_EQ(Header("http://h.test/"), "after=1; before=1");
}

TEST_F(CookieStore, TheOldestCookiesGoPastTheLimits) {
  for (int i = 0; i < kMostCookiesPerDomain + 10; ++i)
    manager_.AcceptSetCookie("c" + std::to_string(i) + "=v", "one.test");
  EXPECT_EQ(manager_.CookieCollection().Count(), kMostCookiesPerDomain);
  const std::string oneHost = Header("http://one.test/");
  EXPECT_EQ(oneHost.find("c9="), std::string::npos);
  EXPECT_EQ(oneHost.substr(0, 4), "c59=");
  EXPECT_NE(oneHost.find("; c10=v"), std::string::npos);
  // A replaced cookie keeps its age: c10 is the oldest still.
  manager_.AcceptSetCookie("c10=new", "one.test");
  manager_.AcceptSetCookie("c60=v", "one.test");
  EXPECT_EQ(Header("http://one.test/").find("c10="), std::string::npos);

  // Across domains, the store as a whole: the first host loses its cookies first.
  const int hosts = kMostCookies / 40 + 2;
  for (int h = 0; h < hosts; ++h)
    for (int i = 0; i < 40; ++i)
      manager_.AcceptSetCookie("k" + std::to_string(i) + "=v", "h" + std::to_string(h) + ".test");
  EXPECT_EQ(manager_.CookieCollection().Count(), kMostCookies);
  ExpectConsistent();
  EXPECT_EQ(Header("http://one.test/"), "");
  // 50 + 40 * 77 - 3000 = 130 went: one.test's, h0's and h1's.
  EXPECT_EQ(Header("http://h1.test/"), "");
  EXPECT_EQ(Header("http://h2.test/").substr(0, 5), "k39=v");
  EXPECT_EQ(Header("http://h" + std::to_string(hosts - 1) + ".test/").substr(0, 5), "k39=v");
}

// One thread stores cookies (some deleting ones) while others build headers,
// and two write at once; the sanitizer builds watch the store's memory.
TEST(CookieStoreThreads, WritersAndReadersShareOneStore) {
  TIdCookieManager manager;
  constexpr int kRounds = 2000;
  std::atomic<bool> done{false};
  auto writer = [&](const std::string& prefix) {
    for (int i = 0; i < kRounds; ++i) {
      const std::string name = prefix + std::to_string(i % 60);
      manager.AcceptSetCookie(name + "=" + std::to_string(i) + (i % 7 == 0 ? "; Max-Age=0" : ""),
                              TIdURI("http://h" + std::to_string(i % 3) + ".test/"));
    }
  };
  std::vector<std::thread> readers;
  std::atomic<int> headers{0};
  for (int r = 0; r < 3; ++r) {
    readers.emplace_back([&, r] {
      const TIdURI uri("http://h" + std::to_string(r) + ".test/x");
      while (!done)
        if (!manager.BuildCookieHeader(uri, false).empty()) ++headers;
    });
  }
  std::thread first(writer, "a"), second(writer, "b");
  first.join();
  second.join();
  done = true;
  for (auto& reader : readers)
    reader.join();
  EXPECT_GT(headers.load(), 0);
  // Each writer's 60 names, less those whose last round deleted them.
  int alive = 0;
  for (int i = kRounds - 60; i < kRounds; ++i)
    alive += i % 7 == 0 ? 0 : 2;
  EXPECT_EQ(manager.CookieCollection().Count(), alive);
}

TEST_F(CookieStore, TheNewCookieEventMayRefuse) {
  std::string seen;
  manager_.OnNewCookie = [&](TIdCookieManager&, TIdCookieRFC2109& cookie, bool& accept) {
    seen += cookie.NameText;
    accept = cookie.NameText != "no";
  };
  manager_.AcceptSetCookie("yes=1; path=/", "h.test");
  manager_.AcceptSetCookie("no=1; path=/", "h.test");
  manager_.AcceptSetCookie("x=1; domain=.elsewhere.test", "h.test");  // never asked
  EXPECT_EQ(seen, "yesno");
  EXPECT_EQ(Header("http://h.test/"), "yes=1");
  EXPECT_EQ(manager_.CookieCollection().Count(), 1);
}

TEST_F(CookieStore, FreeingARecordFindsItsEntryAfterAChangedName) {
  manager_.AcceptSetCookie("a=1; path=/", "h.test");
  manager_.AcceptSetCookie("b=1; path=/", "h.test");
  TIdCookies& cookies = manager_.CookieCollection();
  TIdNetscapeCookie* a = cookies.Items(0);
  a->NameText = "renamed";
  a->DomainText = "elsewhere.test";
  cookies.FreeCookie(a);
  EXPECT_EQ(cookies.Count(), 1);
  ExpectConsistent();
  EXPECT_EQ(Header("http://h.test/"), "b=1");
}

TEST(CookieManagerLife, EventsAtCreationAndDestruction) {
  std::string calls;
  {
    TIdCookieManager manager(nullptr, [&](TIdCookieManager&, TIdCookies& cookies) {
      calls += "create" + std::to_string(cookies.Count());
    });
    manager.OnDestroy = [&](TIdCookieManager&, TIdCookies& cookies) {
      calls += ",destroy" + std::to_string(cookies.Count());
    };
    manager.AcceptSetCookie("a=1", "h.test");
  }
  EXPECT_EQ(calls, "create0,destroy1");
}

}  // namespace
}  // namespace vantro
