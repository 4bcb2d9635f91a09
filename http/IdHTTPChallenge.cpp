// The client's answers to redirects and to 401/407 challenges.
#include "http/IdHTTP.h"

namespace vantro {
namespace {

// The first challenge whose scheme name (the text before the first space)
// is registered.
const TIdAuthenticationClass* FirstKnownScheme(const TIdHeaderList& challenges) {
  for (int i = 0; i < challenges.Count(); ++i) {
    const std::string& value = challenges[i];
    if (const TIdAuthenticationClass* found = LookupAuthScheme(value.substr(0, value.find(' ')))) {
      return found;
    }
  }
  return nullptr;
}

// Runs the scheme's steps, asking the owner for credentials whenever the
// scheme wants them; user and password follow what the owner gives.
bool RunSchemeSteps(TIdCustomHTTP& http, TIdAuthentication& auth, std::string& user,
                    std::string& password, const TIdCustomHTTP::TIdOnAuthorization& askOwner,
                    bool& basicAuthentication) {
  for (;;) {
    switch (auth.NextStep()) {
      case naResend:
        return true;
      case naGiveUp:
        return false;
      case naAskOwner: {
        auth.SetUserNameValue(user);
        auth.SetPasswordValue(password);
        bool handled = false;
        askOwner(http, auth, handled);
        if (!handled) return false;
        basicAuthentication = true;
        user = auth.UserNameValue();
        password = auth.PasswordValue();
        break;
      }
    }
  }
}

}  // namespace

bool TIdCustomHTTP::NotifyRedirect(std::string& dest, TIdHTTPMethod& verb, int count) {
  bool handled = HandleRedirects;
  if (OnRedirect) {
    int numRedirect = count;
    OnRedirect(*this, dest, numRedirect, handled, verb);
  }
  return handled;
}

bool TIdCustomHTTP::AnswerServerChallenge(TIdHTTPRequest& request, TIdHTTPResponse& response) {
  ++AuthAttempts;
  const TIdHeaderList& challenges = response.WWWAuthenticate();
  if (!request.AuthObject) {
    const TIdAuthenticationClass* scheme = FirstKnownScheme(challenges);
    if (scheme == nullptr) return false;
    if (OnSelectAuthorization) OnSelectAuthorization(*this, scheme, challenges);
    if (scheme == nullptr) return false;
    request.AuthObject = scheme->Create();
  }
  if (!OnAuthorization) return false;

  // Credentials given for another scheme, host or port are not offered to
  // this one (a redirect led here); the owner may give some for it.
  const bool theirOrigin = credentials_.Selected();
  const std::string offeredUser = theirOrigin ? request.Username : std::string();
  const std::string offeredPassword = theirOrigin ? request.Password : std::string();
  std::string user = offeredUser, password = offeredPassword;
  TIdAuthentication& auth = *request.AuthObject;
  auth.SetUserNameValue(user);
  auth.SetPasswordValue(password);
  auth.CredentialParams.SetValueOf("Authorization", auth.BuildHeaderValue());
  auth.TakeChallenges(challenges);
  const bool resend =
      RunSchemeSteps(*this, auth, user, password, OnAuthorization, request.BasicAuthentication);
  if (!theirOrigin && !resend) return false;
  const bool given = user != offeredUser || password != offeredPassword;
  request.Username = std::move(user);
  request.Password = std::move(password);
  // What the owner gave is for this origin alone, in this call and later ones.
  if (given) credentials_.GivenFor(request, TargetOrigin());
  return resend;
}

bool TIdCustomHTTP::AnswerProxyChallenge(TIdHTTPRequest&, TIdHTTPResponse& response) {
  ++ProxyAuthAttempts;
  const TIdHeaderList& challenges = response.ProxyAuthenticate();
  if (!ProxyParams.AuthObject) {
    const TIdAuthenticationClass* scheme = FirstKnownScheme(challenges);
    if (scheme == nullptr) return false;
    if (OnSelectProxyAuthorization) OnSelectProxyAuthorization(*this, scheme, challenges);
    if (scheme == nullptr) return false;
    ProxyParams.AuthObject = scheme->Create();
  }
  // A 407 means the stored proxy password did not do.
  TIdAuthentication& auth = *ProxyParams.AuthObject;
  ProxyParams.ProxyPassword.clear();
  auth.Restart();
  if (!OnProxyAuthorization) return false;

  auth.SetUserNameValue(ProxyParams.ProxyUsername);
  auth.SetPasswordValue(ProxyParams.ProxyPassword);
  auth.TakeChallenges(challenges);
  bool unused = false;  // the proxy record has no Basic switch of its own to set
  return RunSchemeSteps(*this, auth, ProxyParams.ProxyUsername, ProxyParams.ProxyPassword,
                        OnProxyAuthorization, unused);
}

}  // namespace vantro
