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

TEST(BasicAuthentication, CredentialsReadBackThroughTheHeaderListRules) {
  TIdBasicAuthentication basic;
  basic.SetUserNameValue("  user  ");
  EXPECT_EQ(basic.UserNameValue(), "user");
  basic.SetUserNameValue("");
  EXPECT_EQ(basic.UserNameValue(), "");
  EXPECT_EQ(basic.CredentialParams.IndexOfHeader("Username"), -1);
}

TEST(BasicAuthentication, ChallengeParametersAndRealm) {
  TIdBasicAuthentication basic;
  Challenge(basic, "Digest realm=\"d\"\r\nBasic realm=\"Vantro site\", charset=\"UTF-8\"\r\n");
  EXPECT_EQ(basic.NextStep(), naAskOwner);
  EXPECT_EQ(basic.RealmText, "Vantro site");
  EXPECT_EQ(basic.CredentialParams.ValueOf("realm"), "\"Vantro site\"");
  EXPECT_EQ(basic.CredentialParams.ValueOf("charset"), "\"UTF-8\"");

  TIdBasicAuthentication commas;
  Challenge(commas, "Basic realm=a,b=c\r\n");
  commas.NextStep();
  EXPECT_EQ(commas.CredentialParams.Count(), 1);
  EXPECT_EQ(commas.CredentialParams.ValueOf("realm"), "a,b=c");
  EXPECT_EQ(commas.RealmText, ",b=");
}

TEST(BasicAuthentication, LowerCaseSchemeIsNotReadAndStepsDecide) {
  TIdBasicAuthentication basic;
  Challenge(basic, "basic realm=\"x\"\r\n");
  basic.SetUserNameValue("u");
  EXPECT_EQ(basic.NextStep(), naResend);
  EXPECT_EQ(basic.RealmText, "");
  EXPECT_EQ(basic.CredentialParams.Count(), 1);  // only the user name
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
  EXPECT_EQ(basic.CredentialParams.Count(), 0);
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
