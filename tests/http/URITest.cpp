#include "http/IdURI.h"

#include <gtest/gtest.h>

#include "rtl/AnsiText.h"

namespace vantro {
namespace {

struct Parts {
  std::string Scheme, User, UserPassword, HostName, PortText, DirPath, DocName, Query, Fragment;
};

void ExpectParts(const TIdURI& uri, const Parts& want) {
  EXPECT_EQ(uri.Scheme, want.Scheme);
  EXPECT_EQ(uri.User, want.User);
  EXPECT_EQ(uri.UserPassword, want.UserPassword);
  EXPECT_EQ(uri.HostName, want.HostName);
  EXPECT_EQ(uri.PortText, want.PortText);
  EXPECT_EQ(uri.DirPath, want.DirPath);
  EXPECT_EQ(uri.DocName, want.DocName);
  EXPECT_EQ(uri.Query, want.Query);
  EXPECT_EQ(uri.Fragment, want.Fragment);
}

TEST(SplitURI, UrlsWithScheme) {
  ExpectParts(TIdURI("http://update.vantro.example/kivra/Version.txt"),
              {"http", "", "", "update.vantro.example", "", "/kivra/", "Version.txt", "", ""});
  ExpectParts(TIdURI("http://host"), {"http", "", "", "host", "", "/", "", "", ""});
  ExpectParts(TIdURI("http://host/"), {"http", "", "", "host", "", "/", "", "", ""});
  ExpectParts(TIdURI("ftp://user:pw@host:8080/a/b/c.txt"),
              {"ftp", "user", "pw", "host", "8080", "/a/b/", "c.txt", "", ""});
  ExpectParts(TIdURI("http://:pw@host/"), {"http", "", "", "host", "", "/", "", "", ""});
  ExpectParts(TIdURI("http://user@host/"), {"http", "user", "", "host", "", "/", "", "", ""});
  ExpectParts(TIdURI("http://h/a/b?x=/y"), {"http", "", "", "h", "", "/a/", "b", "?x=/y", ""});
  ExpectParts(TIdURI("http://h/b#top"), {"http", "", "", "h", "", "/", "b", "", "top"});
  ExpectParts(TIdURI("http://h/s?q=1#sec"), {"http", "", "", "h", "", "/", "s", "?q=1", "sec"});
  // An "=" without "?" starts the query.
  ExpectParts(TIdURI("http://h/dir/a=1/b"), {"http", "", "", "h", "", "/dir/", "a", "=1/b", ""});
}

TEST(SplitURI, PathsWithoutScheme) {
  ExpectParts(TIdURI("a/b?x=/y"), {"", "", "", "", "", "a/", "b", "?x=/y", ""});
  ExpectParts(TIdURI("/kivra/b#top"), {"", "", "", "", "", "/kivra/", "b#top", "", ""});
  ExpectParts(TIdURI("doc?q#frag"), {"", "", "", "", "", "", "doc", "?q", "frag"});
  ExpectParts(TIdURI("../up/"), {"", "", "", "", "", "../up/", "", "", ""});
}

TEST(SplitURI, BackslashesBecomeSlashesAndEveryFieldIsReplaced) {
  TIdURI uri("http://user:pw@h:1/a/b?q#f");
  uri.SplitURI("http:\\\\host\\dir\\doc.txt");
  EXPECT_EQ(uri.URIText, "http://host/dir/doc.txt");
  ExpectParts(uri, {"http", "", "", "host", "", "/dir/", "doc.txt", "", ""});
  uri.SplitURI("");
  ExpectParts(uri, {"", "", "", "", "", "", "", "", ""});
}

TEST(SplitURI, DoubleByteTrailBackslashStaysInCodePage936) {
  ScopedAnsiCodePage cp(936);
  TIdURI uri("http://h/\xb8\x5c/x");
  EXPECT_EQ(uri.DirPath, "/\xb8\x5c/");
  EXPECT_EQ(uri.DocName, "x");
}

TEST(ComposeURI, RebuildsWhatWasSplit) {
  const std::string full = "http://user:pw@host:8080/a/b/c.txt?x=1#frag";
  TIdURI uri(full);
  EXPECT_EQ(uri.ComposeURI(wantUserInfo | wantFragment), full);
  EXPECT_EQ(uri.ComposePlainURI(), "http://host:8080/a/b/c.txt?x=1");
  EXPECT_EQ(uri.ComposeURI(wantUserInfo), "http://user:pw@host:8080/a/b/c.txt?x=1");
  uri.UserPassword.clear();
  EXPECT_EQ(uri.ComposeURI(wantUserInfo), "http://user@host:8080/a/b/c.txt?x=1");
}

TEST(ComposeURI, RaisesOnMissingSchemeOrHost) {
  TIdURI uri("/path/only");
  try {
    uri.ComposePlainURI();
    FAIL();
  } catch (const EIdURIException& e) {
    EXPECT_STREQ(e.what(), "Protocol field is empty");
  }
  uri.Scheme = "http";
  try {
    uri.ComposePlainURI();
    FAIL();
  } catch (const EIdURIException& e) {
    EXPECT_STREQ(e.what(), "Host field is empty");
  }
}

}  // namespace
}  // namespace vantro
