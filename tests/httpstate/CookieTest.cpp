#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/IdDateTime.h"
#include "httpstate/IdCookie.h"
#include "rtl/Convert.h"
#include "tcp/IdException.h"
#include "tests/support/FixedTimeZone.h"

namespace vantro {
namespace {

using test::FixedTimeZone;

class CookieRecords : public testing::Test {
 protected:
  TIdCookieRFC2109& Parse(const std::string& text) {
    cookie_.ParseCookieText(text);
    return cookie_;
  }
  TIdCookieRFC2965& Parse2(const std::string& text) {
    cookie2_.ParseCookieText(text);
    return cookie2_;
  }

  FixedTimeZone zone_{8 * 60};
  TIdCookieRFC2109 cookie_{nullptr};
  TIdCookieRFC2965 cookie2_{nullptr};
};

TEST_F(CookieRecords, PairPathAndDomain) {
  const auto& c = Parse("SID=31d4; Path=/; Domain=.shop.test");
  EXPECT_EQ(c.NameText, "SID");
  EXPECT_EQ(c.ValueText, "31d4");
  EXPECT_EQ(c.PathText, "/");
  EXPECT_EQ(c.DomainText, ".shop.test");
  // Any host inside the domain may set it (RFC 6265 section 5.1.3).
  EXPECT_TRUE(c.AcceptsHost("web.shop.test"));
  EXPECT_TRUE(c.AcceptsHost("shop.test"));
  EXPECT_TRUE(c.AcceptsHost("a.web.shop.test"));
  EXPECT_FALSE(c.AcceptsHost("myshop.test"));
  EXPECT_FALSE(c.AcceptsHost("10.0.0.1"));
}

TEST_F(CookieRecords, ValuesKeepTheirEqualsSigns) {
  EXPECT_EQ(Parse("a=b=c; path=/x").ValueText, "b=c");
  EXPECT_EQ(cookie_.PathText, "/x");
}

TEST_F(CookieRecords, PathQuotesAndRepeatedAttributes) {
  EXPECT_EQ(Parse("a=1; path=\"/x\"").PathText, "/x");
  EXPECT_EQ(Parse("a=1; path=\"").PathText, "");
  // The last of a repeated attribute wins, blanks around "=" do not count
  // (RFC 6265 section 5.2).
  EXPECT_EQ(Parse("a=1; path=/p; PATH=/q").PathText, "/q");
  // Blanks around "=" make another name: this is no path.
  EXPECT_EQ(Parse("a=1; path = /p").PathText, "/p");
}

TEST_F(CookieRecords, SecureIsAWholeFlag) {
  EXPECT_TRUE(Parse("a=1; secure").SecureOnly);
  EXPECT_TRUE(Parse("a=1; SECURE").SecureOnly);
  EXPECT_FALSE(Parse("a=1; secure=1").SecureOnly);
}

TEST_F(CookieRecords, MaxAgeBecomesAnExpiryDate) {
  const TDateTime before = Now();
  const auto& c = Parse("a=1; max-age=60");
  EXPECT_EQ(c.Kind, ckNetscape);
  EXPECT_GE(c.MaxAgeSeconds, 59);
  EXPECT_LE(c.MaxAgeSeconds, 60);
  EXPECT_NEAR(InternetDateToLocal(c.ExpiryText), before + 60 / SecsPerDay, 2 / SecsPerDay);
  EXPECT_EQ(c.ExpiryText.substr(c.ExpiryText.size() - 4), " GMT");
  EXPECT_EQ(c.RenderCookieText(), "a=1; expires=" + c.ExpiryText);
}

TEST_F(CookieRecords, MaxAgeThatIsNoIntegerCountsAsAbsent) {
  for (const char* text :
       {"a=1; max-age=x", "a=1; max-age=0x3C", "a=1; max-age=", "a=1; max-age=+5"}) {
    TIdCookieRFC2109 c(nullptr);
    c.ParseCookieText(text);
    EXPECT_EQ(c.MaxAgeSeconds, -1) << text;
    EXPECT_EQ(c.ExpiryText, "") << text;
    EXPECT_EQ(c.RenderCookieText(), "a=1") << text;
  }
  // A huge count is cut to 400 days, not read as none.
  for (const char* text : {"b=1; max-age=2147483647", "b=2; max-age=99999999999999999999999"}) {
    const auto& huge = Parse(text);
    EXPECT_GE(huge.MaxAgeSeconds, 400 * 86400 - 2) << text;
    EXPECT_LE(huge.MaxAgeSeconds, 400 * 86400) << text;
  }
  EXPECT_EQ(Parse("c=1; max-age=0").ExpiryText, "Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_EQ(Parse("c=1; max-age=-1").ExpiryText, "Thu, 01 Jan 1970 00:00:00 GMT");
}

TEST_F(CookieRecords, ExpiresIsKeptVerbatimAndNotRendered) {
  const auto& c = Parse("a=1; expires=Thu, 01 Jan 2099 00:00:00 GMT; version=1");
  EXPECT_EQ(c.Kind, ckRFC2109);
  EXPECT_EQ(c.ExpiryText, "Thu, 01 Jan 2099 00:00:00 GMT");
  EXPECT_EQ(c.RenderCookieText(), "a=1; version=1");
  // Max-Age wins over Expires, in either order.
  for (const char* text : {"a=2; expires=Thu, 01 Jan 2099 00:00:00 GMT; max-age=5",
                           "a=3; max-age=5; expires=Thu, 01 Jan 2099 00:00:00 GMT"}) {
    EXPECT_GE(Parse(text).MaxAgeSeconds, 4) << text;
    EXPECT_LE(cookie_.MaxAgeSeconds, 5) << text;
  }

  // An Expires no one can read is no expiry: the cookie lives on.
  const auto& bad = Parse2("z=1; expires=someday");
  EXPECT_EQ(bad.Kind, ckNetscape);
  EXPECT_EQ(bad.ExpiryText, "");
}

TEST_F(CookieRecords, RenderingLeavesOutEmptyParts) {
  const auto& c = Parse("a=");
  EXPECT_EQ(c.RenderCookieText(), "");
  EXPECT_EQ(c.RenderRequestPair(), "a=");
  EXPECT_EQ(Parse("a=1; path=/; domain=h; secure; comment=hi").RenderServerText(),
            "a=1; path=/; domain=h; secure; comment=hi");
}

TEST_F(CookieRecords, ParsingTheSameTextAgainChangesNothing) {
  Parse("a=1; path=/");
  cookie_.PathText = "/changed";
  Parse("a=1; path=/");
  EXPECT_EQ(cookie_.PathText, "/changed");
  TIdCookieRFC2109 fresh(nullptr);
  fresh.ParseCookieText("");
  EXPECT_EQ(fresh.Kind, ckRFC2109);
  EXPECT_EQ(fresh.NameText, "");
}

TEST_F(CookieRecords, TextWithoutSemicolonsSplitsIntoLines) {
  const auto& c = Parse("a=1 \r\nPATH=/p");
  EXPECT_EQ(c.ValueText, "1");
  EXPECT_EQ(c.PathText, "/p");
}

TEST_F(CookieRecords, PortLists) {
  EXPECT_EQ(Parse2("a=1; Port=\"80,8080\"").Ports, (std::vector<std::int32_t>{80, 8080}));
  EXPECT_EQ(Parse2("a=2; Port=\"80 8080\"").Ports, (std::vector<std::int32_t>{80, 8080}));
  EXPECT_EQ(Parse2("a=3; Port=\" 81 , \"82\" \"").Ports, (std::vector<std::int32_t>{81, 82}));
  for (const char* text : {"a=1", "a=1; Port", "a=1; Port=\"\"", "a=1; Port=\""}) {
    TIdCookieRFC2965 c(nullptr);
    c.ParseCookieText(text);
    EXPECT_EQ(c.Ports, (std::vector<std::int32_t>{80})) << text;
  }
  // Parsed again, the record holds the new list only.
  cookie2_.TakeContentOf(&Parse("a=4"));
  EXPECT_EQ(cookie2_.Ports, (std::vector<std::int32_t>{80}));
  TIdCookieRFC2965 unquoted(nullptr);
  unquoted.ParseCookieText("a=1; Port=80");
  EXPECT_TRUE(unquoted.Ports.empty());
}

TEST_F(CookieRecords, BadPortListsRaise) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"a=1; Port=\"x\"", "'x' is not a valid integer value"},
      {"a=1; Port=\"80,\"", "'' is not a valid integer value"},
      {"a=1; Port=\"80,,81\"", "'' is not a valid integer value"}};
  for (const auto& [text, message] : cases) {
    TIdCookieRFC2965 c(nullptr);
    try {
      c.ParseCookieText(text);
      ADD_FAILURE() << text;
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), message);
    }
  }
}

TEST_F(CookieRecords, StorePortGrowsByOneOnly) {
  TIdCookieRFC2965 c(nullptr);
  c.StorePort(0, 1);
  c.StorePort(1, 2);
  c.StorePort(0, 3);
  EXPECT_EQ(c.Ports, (std::vector<std::int32_t>{3, 2}));
  EXPECT_THROW(c.StorePort(3, 4), EIdException);
  try {
    c.StorePort(-1, 4);
  } catch (const EIdException& e) {
    EXPECT_STREQ(e.what(), "Index out of range.");
  }
}

TEST_F(CookieRecords, HostChecks) {
  TIdCookieRFC2109 c(nullptr);
  c.DomainText = "10.0.0.1";
  EXPECT_TRUE(c.AcceptsHost("10.0.0.1"));
  EXPECT_FALSE(c.AcceptsHost("10.0.0.2"));
  EXPECT_FALSE(c.AcceptsHost("1.10.0.0.1"));
  c.DomainText = "0.0.1";  // no suffix match inside an address
  EXPECT_FALSE(c.AcceptsHost("10.0.0.1"));
  c.DomainText = "web.shop.test";
  EXPECT_TRUE(c.AcceptsHost("web.shop.test"));
  EXPECT_TRUE(c.AcceptsHost("WEB.shop.test"));  // host names ignore case
  EXPECT_TRUE(c.AcceptsHost("a.web.shop.test"));
  EXPECT_FALSE(c.AcceptsHost("shop.test"));
  c.HostOnly = true;
  EXPECT_FALSE(c.AcceptsHost("a.web.shop.test"));
  c.HostOnly = false;
  c.DomainText = ".SHOP.test";
  EXPECT_TRUE(c.AcceptsHost("shop.TEST"));
  EXPECT_TRUE(c.AcceptsHost("web.shop.test"));
  EXPECT_FALSE(c.AcceptsHost("webshop.test"));
}

TEST_F(CookieRecords, TakingContentOfANewerCookie) {
  Parse("a=1; path=/");
  TIdNetscapeCookie plain(nullptr);
  plain.ParseCookieText("a=9; path=/x");
  cookie_.TakeContentOf(&plain);
  cookie_.TakeContentOf(nullptr);
  EXPECT_EQ(cookie_.ValueText, "1");

  TIdCookieRFC2965 newer(nullptr);
  newer.ParseCookieText("A=2; path=/y; expires=Thu, 01 Jan 2099 00:00:00 GMT");
  cookie_.TakeContentOf(&newer);
  EXPECT_EQ(cookie_.NameText, "A");
  EXPECT_EQ(cookie_.ValueText, "2");
  EXPECT_EQ(cookie_.PathText, "/y");
  EXPECT_EQ(cookie_.Kind, ckRFC2965);
  // The rendering leaves a kept expiry out; the record takes it all the same.
  EXPECT_EQ(cookie_.ExpiryText, "Thu, 01 Jan 2099 00:00:00 GMT");

  // An empty value still names the cookie it replaces.
  TIdCookieRFC2109 emptied(nullptr);
  emptied.ParseCookieText("a=; path=/z");
  cookie_.TakeContentOf(&emptied);
  EXPECT_EQ(cookie_.NameText, "a");
  EXPECT_EQ(cookie_.ValueText, "");
  EXPECT_EQ(cookie_.PathText, "/z");
}

}  // namespace
}  // namespace vantro
