#include "httpstate/IdAuthentication.h"

#include <mutex>

#include "http/IdGlobal.h"
#include "httpstate/IdCoderMIME.h"
#include "rtl/StringList.h"

namespace vantro {

namespace {

class TAuthSchemeRegistry {
 public:
  TAuthSchemeRegistry() { Register("Basic", AuthenticationClassOf<TIdBasicAuthentication>()); }

  void Register(std::string_view name, const TIdAuthenticationClass& schemeClass) {
    std::lock_guard lock(mutex_);
    const int at = entries_.IndexOf(name);
    if (at >= 0)
      throw EIdAlreadyRegisteredAuthenticationMethod(
          "This authentication method is already registered with class name " +
          entries_.Objects(at)->ClassName + ".");
    entries_.AddObject(std::string(name), &schemeClass);
  }

  const TIdAuthenticationClass* Lookup(std::string_view name) {
    std::lock_guard lock(mutex_);
    const int at = entries_.IndexOf(name);
    return at >= 0 ? entries_.Objects(at) : nullptr;
  }

 private:
  std::mutex mutex_;
  TObjectStringList<const TIdAuthenticationClass> entries_;
};

TAuthSchemeRegistry& AuthSchemeRegistry() {
  static TAuthSchemeRegistry registry;
  return registry;
}

}  // namespace

TIdAuthentication::TIdAuthentication() = default;

void TIdAuthentication::SetPasswordValue(std::string_view text) {
  CredentialParams.SetValueOf("Password", text);
}

void TIdAuthentication::SetUserNameValue(std::string_view text) {
  CredentialParams.SetValueOf("Username", text);
}

void TIdAuthentication::TakeChallenges(const TStringList& challenges) {
  if (!ChallengeList) ChallengeList = std::make_unique<TIdHeaderList>();
  ChallengeList->Clear();
  ChallengeList->AddStrings(challenges);
}

std::string TIdAuthentication::ChallengeFor(std::string_view scheme) const {
  if (!ChallengeList) return {};
  for (int i = 0; i < ChallengeList->Count(); ++i)
    if (TextPos(scheme, ChallengeList->Strings(i)) == 1) return ChallengeList->Strings(i);
  return {};
}

TIdAuthWhatsNext TIdBasicAuthentication::EvaluateChallenge() {
  std::string params = ChallengeFor("Basic");
  CutToken(params, " ");
  while (!params.empty()) {
    std::string param = CutToken(params, ", ");
    const std::size_t equals = param.find('=');
    if (equals != std::string::npos) param.replace(equals, 1, CredentialParams.Separator);
    CredentialParams.Add(std::move(param));
  }
  const std::string realm = CredentialParams.ValueOf("realm");
  RealmText = realm.size() >= 2 ? realm.substr(1, realm.size() - 2) : std::string();

  switch (CurrentStep) {
    case 0:
      return UserNameValue().empty() ? naAskOwner : naResend;
    case 1:
      return naGiveUp;
    default:
      return naResend;
  }
}

std::string TIdBasicAuthentication::BuildHeaderValue() {
  return "Basic " + TIdEncoderMIME::EncodeTextOnce(UserNameValue() + ":" + PasswordValue());
}

void RegisterAuthScheme(std::string_view name, const TIdAuthenticationClass& schemeClass) {
  AuthSchemeRegistry().Register(name, schemeClass);
}

const TIdAuthenticationClass* LookupAuthScheme(std::string_view name) {
  return AuthSchemeRegistry().Lookup(name);
}

}  // namespace vantro
