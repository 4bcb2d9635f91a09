// The built-in Public Suffix List against Debian's libpsl reading the same
// list: a table of hosts, then every rule of the list and a host under it.
#include <gtest/gtest.h>
#include <libpsl.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "httpstate/IdPublicSuffix.h"

namespace vantro {
namespace {

class PublicSuffix : public testing::Test {
 protected:
  static void SetUpTestSuite() { psl_ = psl_load_file(VANTRO_PUBLIC_SUFFIX_LIST_PATH); }
  static void TearDownTestSuite() { psl_free(psl_); }

  // The labels of host's public suffix as libpsl finds it.
  static std::size_t ReferenceLabels(const std::string& host) {
    const char* suffix = psl_unregistrable_domain(psl_, host.c_str());
    if (suffix == nullptr) return 0;
    const std::string_view text(suffix);
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '.')) + 1;
  }
  static void ExpectAgrees(const std::string& host) {
    ASSERT_NE(psl_, nullptr);
    std::string lower = host;  // libpsl takes lower case only
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    EXPECT_EQ(PublicSuffixLabels(host), ReferenceLabels(lower)) << host;
    EXPECT_EQ(IsPublicSuffix(host), psl_is_public_suffix(psl_, lower.c_str()) != 0) << host;
  }

  static psl_ctx_t* psl_;
};

psl_ctx_t* PublicSuffix::psl_ = nullptr;

TEST_F(PublicSuffix, AgreesWithLibpslOnATableOfHosts) {
  for (const char* host : {"com",
                           "example.com",
                           "www.example.com",
                           "co.uk",
                           "foo.co.uk",
                           "a.b.foo.co.uk",
                           "uk",
                           "github.io",
                           "me.github.io",
                           "x.me.github.io",
                           "ck",
                           "foo.ck",
                           "www.ck",
                           "a.www.ck",
                           "kawasaki.jp",
                           "x.kawasaki.jp",
                           "a.x.kawasaki.jp",
                           "city.kawasaki.jp",
                           "www.city.kawasaki.jp",
                           "jp",
                           "tokyo.jp",
                           "example.tokyo.jp",
                           "unlisted",
                           "a.unlisted",
                           "localhost",
                           "xn--55qx5d.cn",
                           "a.xn--55qx5d.cn",
                           "xn--fiqs8s",
                           "a.xn--fiqs8s",
                           "WWW.Example.COM",
                           "CO.UK",
                           "blogspot.com",
                           "x.blogspot.com",
                           "s3.amazonaws.com",
                           "bucket.s3.amazonaws.com",
                           "example.c",
                           "c.om",
                           "moc",
                           "a.b.c.d.e.f.example.org"}) {
    ExpectAgrees(host);
  }
}

TEST_F(PublicSuffix, AgreesWithLibpslOnEveryRuleOfTheList) {
  std::ifstream list(VANTRO_PUBLIC_SUFFIX_LIST_PATH);
  ASSERT_TRUE(list.is_open());
  int rules = 0;
  for (std::string line; std::getline(list, line);) {
    line = line.substr(0, line.find_first_of(" \t\r"));
    if (line.empty() || line.rfind("//", 0) == 0) continue;
    // Names past ASCII reach the client as punycode; the table has some.
    if (std::any_of(line.begin(), line.end(), [](char c) { return (c & 0x80) != 0; })) continue;
    if (line[0] == '!') line.erase(0, 1);
    if (line.rfind("*.", 0) == 0) line.replace(0, 1, "x");
    ExpectAgrees(line);
    ExpectAgrees("sub." + line);
    ++rules;
  }
  EXPECT_GT(rules, 8000);
}

}  // namespace
}  // namespace vantro
