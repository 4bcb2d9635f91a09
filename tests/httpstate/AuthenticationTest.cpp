#include <gtest/gtest.h>

#include <string>

#include "http/IdURI.h"
#include "httpstate/IdAuthentication.h"
#include "httpstate/IdAuthenticationManager.h"

namespace vantro {
namespace {

void Challenge(TIdAuthentication& scheme, const std::string& lines) {
  TStringList challenges;
  challenges.SetText(lines);
  scheme.TakeChallenges(challenges);
}

TEST(AuthSchemeRegistry, FindsBasicInAnyCaseAndNothingElse) {
  const TIdAuthenticationClass* basic = LookupAuthScheme("Basic");
  ASSERT_NE(basic, nullptr);
  EXPECT_EQ(LookupAuthScheme("bAsIc"), basic);
  EXPECT_EQ(FindAuthClass("BASIC"), basic);
  EXPECT_EQ(LookupAuthScheme("Digest"), nullptr);
  EXPECT_EQ(LookupAuthScheme(""), nullptr);
  EXPECT_EQ(basic->Create()->ClassName(), "TIdBasicAuthentication");
}

TEST(AuthSchemeRegistry, RegisteringANameTwiceNamesTheClassThere) {
  try {
    RegisterAuthScheme("basic", AuthenticationClassOf<TIdBasicAuthentication>());
    FAIL();
  } catch (const EIdAlreadyRegisteredAuthenticationMethod& e) {
    EXPECT_STREQ(e.what(),
                 "This authentication method is already registered with class name "
                 "TIdBasicAuthentication.");
  }
}

TEST(BasicAuthentication, HeaderValueIsOneBase64Line) {
  TIdBasicAuthentication basic;
  basic.SetUserNameValue("Aladdin");
  basic.SetPasswordValue("open sesame");
  EXPECT_EQ(basic.BuildHeaderValue(), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");

  TIdBasicAuthentication empty;
  EXPECT_EQ(empty.BuildHeaderValue(), "Basic Og==");

  TIdBasicAuthentication longer;
  longer.SetUserNameValue(std::string(60, 'u'));
  longer.SetPasswordValue(std::string(60, 'p'));
  const std::string value = longer.BuildHeaderValue();
  EXPECT_EQ(value.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(value.size(), 6u + (121 + 2) / 3 * 4);
}

// RFC 7617: the credentials go out byte for byte; a colon cannot be in the
// user name.
TEST(BasicAuthentication, CredentialsGoOutAsGiven) {
  const struct {
    std::string User, Password, Base64;
  } cases[] = {
      {"  user  ", " pw ", "ICB1c2VyICA6IHB3IA=="},
      {"u", std::string("a\0b\x01\x7f\xff", 6), "dTphAGIBf/8="},
      {"\xe7\x94\xa8\xe6\x88\xb7", "\tpw\r\n", "55So5oi3Oglwdw0K"},
      {"", "", "Og=="},
  };
  for (const auto& c : cases) {
    TIdBasicAuthentication basic;
    basic.SetUserNameValue(c.User);
    basic.SetPasswordValue(c.Password);
    EXPECT_EQ(basic.UserNameValue(), c.User);
    EXPECT_EQ(basic.PasswordValue(), c.Password);
    EXPECT_EQ(basic.BuildHeaderValue(), "Basic " + c.Base64) << c.User;
  }
  TIdBasicAuthentication colon;
  colon.SetUserNameValue("dom:user");
  EXPECT_THROW(colon.BuildHeaderValue(), EIdInvalidCredentials);
  colon.SetUserNameValue("user");
  colon.SetPasswordValue("pass:word");  // a colon in the password is fine
  EXPECT_EQ(colon.BuildHeaderValue(), "Basic dXNlcjpwYXNzOndvcmQ=");
}

// RFC 9110 section 11.2; parameters never become credentials.
TEST(BasicAuthentication, ChallengeParametersAndRealm) {
  const struct {
    const char* Challenges;
    const char* Realm;
    const char* Charset;
  } cases[] = {
      {"Digest realm=\"d\"\r\nBasic realm=\"Vantro site\", charset=\"UTF-8\"\r\n", "Vantro site",
       "UTF-8"},
      {"Basic realm=\"Corp, Inc\"\r\n", "Corp, Inc", ""},
      {"Basic realm=\"a \\\"q\\\" \\\\ b\"\r\n", "a \"q\" \\ b", ""},
      {"basic REALM=plain,charset=UTF-8\r\n", "plain", "UTF-8"},
      {"Basic realm = \"spaced\" , charset = x\r\n", "spaced", "x"},
      {"Basic realm=\"unclosed\r\n", "", ""},
      {"Basic\r\n", "", ""},
      {"Basic dG9rZW42OA==\r\n", "", ""},
  };
  for (const auto& c : cases) {
    TIdBasicAuthentication basic;
    Challenge(basic, c.Challenges);
    EXPECT_EQ(basic.NextStep(), naAskOwner) << c.Challenges;
    EXPECT_EQ(basic.RealmText, c.Realm) << c.Challenges;
    EXPECT_EQ(basic.ChallengeParams.ValueOf("charset"), c.Charset) << c.Challenges;
  }

  // A challenge that names a user and a password gives no credentials.
  TIdBasicAuthentication basic;
  Challenge(basic, "Basic realm=\"r\", username=\"admin\", password=\"x\"\r\n");
  EXPECT_EQ(basic.NextStep(), naAskOwner);
  EXPECT_EQ(basic.UserNameValue(), "");
  EXPECT_EQ(basic.PasswordValue(), "");
  EXPECT_EQ(basic.ChallengeParams.ValueOf("username"), "admin");
  // Reading it again does not pile the parameters up.
  basic.NextStep();
  EXPECT_EQ(basic.ChallengeParams.Count(), 3);
}

TEST(BasicAuthentication, StepsDecide) {
  TIdBasicAuthentication basic;
  Challenge(basic, "basic realm=\"x\"\r\n");
  basic.SetUserNameValue("u");
  EXPECT_EQ(basic.NextStep(), naResend);
  EXPECT_EQ(basic.RealmText, "x");
  basic.CurrentStep = 1;
  EXPECT_EQ(basic.NextStep(), naGiveUp);
  basic.CurrentStep = 2;
  EXPECT_EQ(basic.NextStep(), naResend);
  basic.Restart();
  EXPECT_EQ(basic.CurrentStep, 0);
  EXPECT_EQ(basic.StepCount(), 1);
  EXPECT_FALSE(basic.WantsKeepAlive());
}

TEST(BasicAuthentication, WithoutChallengesNothingIsRead) {
  TIdBasicAuthentication basic;
  EXPECT_EQ(basic.ChallengeFor("Basic"), "");
  EXPECT_EQ(basic.NextStep(), naAskOwner);
  EXPECT_EQ(basic.ChallengeParams.Count(), 0);
}

TEST(CredentialMemory, KeepsThePlainUrlAndTheCredentials) {
  TIdBasicAuthentication basic;
  basic.SetUserNameValue("u");
  TIdAuthenticationManager memory;
  memory.RememberCredentials(basic, TIdURI("http://u:p@h:81/a/b?q#f"));
  ASSERT_EQ(memory.Items.size(), 1u);
  EXPECT_EQ(memory.Items[0]->URI.User, "");
  EXPECT_EQ(memory.Items[0]->URI.HostName, "h");
  EXPECT_EQ(memory.Items[0]->URI.Fragment, "");
  EXPECT_EQ(memory.Items[0]->Params.Text(), "Username: u\r\n");
}

}  // namespace
}  // namespace vantro
