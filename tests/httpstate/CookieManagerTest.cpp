#include <gtest/gtest.h>

#include <set>
#include <string>

#include "http/IdURI.h"
#include "httpstate/IdCookieManager.h"
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

TEST_F(CookieStore, AStoredCookieGoesToItsHostForAnyPath) {
  EXPECT_EQ(Header("http://web.shop.test/"), "");
  manager_.AcceptSetCookie("SID=1; path=/", "web.shop.test");
  EXPECT_EQ(Header("http://web.shop.test/deep/er/doc.html?q=1"), "SID=1");
  EXPECT_EQ(Header("http://other.test/"), "");
  ExpectConsistent();
}

TEST_F(CookieStore, ANewerCookieOfTheSameNameReplacesInPlace) {
  manager_.AcceptSetCookie("SID=1; path=/", "web.shop.test");
  manager_.AcceptSetCookie("other=x; path=/", "web.shop.test");
  manager_.AcceptSetCookie("SID=2; path=/", "web.shop.test");
  // The replaced cookie keeps its place: older than "other", so after it.
  EXPECT_EQ(Header("http://web.shop.test/"), "other=x; SID=2");
  manager_.AcceptSetCookie("sid=3; path=/", "web.shop.test");
  EXPECT_EQ(Header("http://web.shop.test/"), "other=x; sid=3");
  EXPECT_EQ(manager_.CookieCollection().Count(), 2);
  ExpectConsistent();
}

TEST_F(CookieStore, LongerPathsFirstThenNewestFirst) {
  manager_.AcceptSetCookie("a=1; path=/", "h.test");
  manager_.AcceptSetCookie("b=2; path=/a", "h.test");
  EXPECT_EQ(Header("http://h.test/a/"), "b=2; a=1");
  manager_.AcceptSetCookie("c=3; path=/", "h.test");
  manager_.AcceptSetCookie("d=4; path=/", "h.test");
  EXPECT_EQ(Header("http://h.test/a/"), "b=2; d=4; c=3; a=1");
}

TEST_F(CookieStore, PathPrefixesAreCaseSensitiveAndUseTheDirectory) {
  manager_.AcceptSetCookie("docs=1; path=/docs", "h.test");
  manager_.AcceptSetCookie("ab=1; path=/a/b", "h.test");
  EXPECT_EQ(Header("http://h.test/Docs/"), "");
  EXPECT_EQ(Header("http://h.test/docs/"), "docs=1");
  EXPECT_EQ(Header("http://h.test/a/b"), "");
  EXPECT_EQ(Header("http://h.test/a/b/"), "ab=1");
}

TEST_F(CookieStore, ACookieWithoutPathGoesToEveryPath) {
  manager_.AcceptSetCookie("SID=31d4", "web.shop.test");
  EXPECT_EQ(manager_.CookieCollection().Items(0)->DomainText, "web.shop.test");
  EXPECT_EQ(Header("http://web.shop.test/any/where/"), "SID=31d4");
}

TEST_F(CookieStore, EmptyValuesAndSecureCookiesAreNotSent) {
  manager_.AcceptSetCookie("empty=; path=/", "h.test");
  manager_.AcceptSetCookie("s=1; path=/; secure", "h.test");
  EXPECT_EQ(manager_.CookieCollection().Count(), 2);
  EXPECT_EQ(Header("http://h.test/"), "");
  EXPECT_EQ(Header("http://h.test/", true), "s=1");
}

TEST_F(CookieStore, AForeignDomainIsDroppedAndTheStoredOneStays) {
  manager_.AcceptSetCookie("n=old; path=/; domain=.other.test", "www.other.test");
  manager_.AcceptSetCookie("n=new; path=/; domain=.other.test", "web.shop.test");
  EXPECT_EQ(manager_.CookieCollection().Count(), 1);
  EXPECT_EQ(Header("http://x.other.test/"), "n=old");
  ExpectConsistent();
}

TEST_F(CookieStore, DomainKeysMatchOnlyAtALabelBoundary) {
  manager_.AcceptSetCookie("a=1; path=/", "shop.test");
  manager_.AcceptSetCookie("b=2; path=/; domain=.shop.test", "web.shop.test");
  EXPECT_EQ(Header("http://shop.test/"), "a=1");
  EXPECT_EQ(Header("http://SHOP.TEST/"), "a=1");
  EXPECT_EQ(Header("http://web.shop.test/"), "a=1; b=2");
  EXPECT_EQ(Header("http://myshop.test/"), "");
  EXPECT_EQ(Header("http://shop.test.evil.example/"), "");
  EXPECT_EQ(Header("http://webshop.test/"), "");
  EXPECT_TRUE(CookieDomainMatchesHost(".shop.test", "a.b.shop.test"));
  EXPECT_FALSE(CookieDomainMatchesHost("", "h."));
}

TEST_F(CookieStore, ExpiredCookiesArePurgedBeforeBuilding) {
  manager_.AcceptSetCookie("old=1; path=/; expires=Thu, 01 Jan 1970 00:00:00 GMT", "h.test");
  manager_.AcceptSetCookie("bad=1; path=/; expires=not a date", "h.test");
  manager_.AcceptSetCookie("keep=1; path=/; expires=Thu, 01 Jan 2099 00:00:00 GMT", "h.test");
  manager_.AcceptSetCookie("live=1; path=/; max-age=3600", "h.test");
  EXPECT_EQ(manager_.CookieCollection().Count(), 4);
  EXPECT_EQ(Header("http://h.test/"), "live=1; keep=1");
  EXPECT_EQ(manager_.CookieCollection().Count(), 2);
  ExpectConsistent();
}

TEST_F(CookieStore, AServerDeletesACookieWithAPastExpiry) {
  manager_.AcceptSetCookie("SID=1; path=/", "h.test");
  manager_.AcceptSetCookie("SID=gone; path=/; expires=Thu, 01 Jan 1970 00:00:00 GMT", "h.test");
  EXPECT_EQ(Header("http://h.test/"), "");
  EXPECT_EQ(manager_.CookieCollection().Count(), 0);
  ExpectConsistent();
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

TEST_F(CookieStore, ARaisingCookieLeavesTheStoreConsistent) {
  manager_.AcceptSetCookie2("before=1; path=/", "h.test");
  EXPECT_THROW(manager_.AcceptSetCookie2("before=2; path=/; Port=\"x\"", "h.test"), EConvertError);
  EXPECT_THROW(manager_.AcceptSetCookie2("bad=1; Port=\"80,\"", "h.test"), EConvertError);
  EXPECT_EQ(manager_.CookieCollection().Count(), 1);
  ExpectConsistent();
  EXPECT_EQ(Header("http://h.test/"), "before=1");
  manager_.AcceptSetCookie2("after=1; path=/; Port=\"80\"", "h.test");
  EXPECT_EQ(Header("http://h.test/"), "after=1; before=1");
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

TEST_F(CookieStore, ManyCookiesForOneHost) {
  std::string expected;
  for (int i = 0; i < 100; ++i) {
    manager_.AcceptSetCookie("c" + std::to_string(i) + "=v; path=/; max-age=600", "h.test");
    expected = "c" + std::to_string(i) + "=v" + (expected.empty() ? "" : "; ") + expected;
  }
  EXPECT_EQ(Header("http://h.test/"), expected);
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
