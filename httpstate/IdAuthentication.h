// Authentication schemes: the value of an Authorization (or
// Proxy-Authorization) line and what to do after a 401/407 challenge, with
// the registry that finds a scheme's class by its name.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "http/IdHeaderList.h"
#include "rtl/Persistent.h"
#include "tcp/IdException.h"

namespace vantro {

VANTRO_EXCEPTION(EIdAlreadyRegisteredAuthenticationMethod, EIdException);
// Credentials the scheme cannot carry (a colon in a Basic user name).
VANTRO_EXCEPTION(EIdInvalidCredentials, EIdException);

enum TIdAuthWhatsNext : unsigned char { naAskOwner = 0, naResend = 1, naGiveUp = 2 };

class TIdAuthentication : public TPersistent {
 public:
  TIdAuthentication();

  std::string ClassName() const override { return "TIdAuthentication"; }

  virtual TIdAuthWhatsNext EvaluateChallenge() = 0;
  virtual int StepCount() const { return 0; }
  virtual void SetPasswordValue(std::string_view text);
  virtual void SetUserNameValue(std::string_view text);
  virtual void Restart() {}
  virtual std::string BuildHeaderValue() = 0;
  virtual bool WantsKeepAlive() const = 0;

  // As given, byte for byte (RFC 7617 section 2: nothing is trimmed).
  const std::string& UserNameValue() const { return userName_; }
  const std::string& PasswordValue() const { return password_; }
  // Keeps a copy of the answer's WWW-Authenticate or Proxy-Authenticate values.
  void TakeChallenges(const TStringList& challenges);
  // The first challenge line whose scheme is scheme (letter case ignored,
  // RFC 9110 section 11.1).
  std::string ChallengeFor(std::string_view scheme) const;
  TIdAuthWhatsNext NextStep() { return EvaluateChallenge(); }

  int CurrentStep = 0;
  // The credentials as "Username" and "Password" lines (what the credential
  // memory keeps), and what the client stores beside them.
  TIdHeaderList CredentialParams;
  std::unique_ptr<TIdHeaderList> ChallengeList;
  // The parameters of the last challenge read, unquoted; never credentials.
  TIdHeaderList ChallengeParams;

 private:
  std::string userName_;
  std::string password_;
};

class TIdBasicAuthentication : public TIdAuthentication {
 public:
  std::string ClassName() const override { return "TIdBasicAuthentication"; }

  TIdAuthWhatsNext EvaluateChallenge() override;
  int StepCount() const override { return 1; }
  void Restart() override { CurrentStep = 0; }
  // Raises EIdInvalidCredentials for a user name holding a colon.
  std::string BuildHeaderValue() override;
  bool WantsKeepAlive() const override { return false; }

  std::string RealmText;
};

// A class reference: the class's name (for messages) and how to make one.
struct TIdAuthenticationClass {
  std::string ClassName;
  std::unique_ptr<TIdAuthentication> (*Create)();
};

template <class TScheme>
const TIdAuthenticationClass& AuthenticationClassOf() {
  static const TIdAuthenticationClass kClass{
      TScheme().ClassName(),
      []() -> std::unique_ptr<TIdAuthentication> { return std::make_unique<TScheme>(); }};
  return kClass;
}

// The registry starts with "Basic" registered; names ignore letter case.
void RegisterAuthScheme(std::string_view name, const TIdAuthenticationClass& schemeClass);
// Null when the name is not registered.
const TIdAuthenticationClass* LookupAuthScheme(std::string_view name);
// The name the HTTP exchange uses for the same lookup.
inline const TIdAuthenticationClass* FindAuthClass(std::string_view name) {
  return LookupAuthScheme(name);
}

}  // namespace vantro
