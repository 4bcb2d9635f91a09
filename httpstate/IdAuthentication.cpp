#include "httpstate/IdAuthentication.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "http/IdGlobal.h"
#include "httpstate/IdCoderMIME.h"
#include "rtl/AnsiText.h"
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

bool IsTokenChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
         std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// The auth-params after a challenge's scheme (RFC 9110 section 11.2): name =
// token or quoted-string, separated by commas; a quoted value keeps its
// commas and loses its quotes and backslashes. Reading stops at anything else.
std::vector<std::pair<std::string, std::string>> ReadAuthParams(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> params;
  std::size_t at = 0;
  auto skip = [&](std::string_view set) {
    while (at < text.size() && set.find(text[at]) != std::string_view::npos)
      ++at;
  };
  auto token = [&] {
    const std::size_t start = at;
    while (at < text.size() && IsTokenChar(text[at]))
      ++at;
    return std::string(text.substr(start, at - start));
  };
  for (;;) {
    skip(" \t,");
    std::string name = token();
    skip(" \t");
    if (name.empty() || at >= text.size() || text[at] != '=') return params;
    ++at;
    skip(" \t");
    std::string value;
    if (at < text.size() && text[at] == '"') {
      for (++at; at < text.size() && text[at] != '"'; ++at) {
        if (text[at] == '\\' && at + 1 < text.size()) ++at;
        value += text[at];
      }
      if (at >= text.size()) return params;  // no closing quote
      ++at;
    } else {
      value = token();
    }
    params.emplace_back(std::move(name), std::move(value));
  }
}

TAuthSchemeRegistry& AuthSchemeRegistry() {
  static TAuthSchemeRegistry registry;
  return registry;
}

}  // namespace

TIdAuthentication::TIdAuthentication() = default;

void TIdAuthentication::SetPasswordValue(std::string_view text) {
  password_.assign(text);
  CredentialParams.SetValueOf("Password", text);
}

void TIdAuthentication::SetUserNameValue(std::string_view text) {
  userName_.assign(text);
  CredentialParams.SetValueOf("Username", text);
}

void TIdAuthentication::TakeChallenges(const TStringList& challenges) {
  if (!ChallengeList) ChallengeList = std::make_unique<TIdHeaderList>();
  ChallengeList->Clear();
  ChallengeList->AddStrings(challenges);
}

std::string TIdAuthentication::ChallengeFor(std::string_view scheme) const {
  if (!ChallengeList) return {};
  for (int i = 0; i < ChallengeList->Count(); ++i) {
    const std::string& line = ChallengeList->Strings(i);
    if (SameText(std::string_view(line).substr(0, line.find(' ')), scheme)) return line;
  }
  return {};
}

TIdAuthWhatsNext TIdBasicAuthentication::EvaluateChallenge() {
  const std::string challenge = ChallengeFor("Basic");
  ChallengeParams.Clear();
  for (auto& [name, value] : ReadAuthParams(
           std::string_view(challenge).substr(std::min(challenge.find(' '), challenge.size()))))
    ChallengeParams.Add(name + ChallengeParams.Separator + value);
  RealmText = ChallengeParams.ValueOf("realm");

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
  // RFC 7617 section 2: the first colon ends the user name.
  if (UserNameValue().find(':') != std::string::npos)
    throw EIdInvalidCredentials(
        "A user name with a colon cannot be sent with Basic authentication.");
  return "Basic " + TIdEncoderMIME::EncodeTextOnce(UserNameValue() + ":" + PasswordValue());
}

void RegisterAuthScheme(std::string_view name, const TIdAuthenticationClass& schemeClass) {
  AuthSchemeRegistry().Register(name, schemeClass);
}

const TIdAuthenticationClass* LookupAuthScheme(std::string_view name) {
  return AuthSchemeRegistry().Lookup(name);
}

}  // namespace vantro
