#include "http/IdHTTPCredentials.h"

namespace vantro {

TIdCredentialsByOrigin::Credentials TIdCredentialsByOrigin::Of(
    const TIdRequestHeaderInfo& request) {
  return {request.Username, request.Password};
}

bool TIdCredentialsByOrigin::Select(TIdRequestHeaderInfo& request, const std::string& origin,
                                    bool callStart) {
  if (callStart) callOrigin_ = origin;
  if (Of(request) != held_) {
    // Set by the caller since the last request: meant for this call's target,
    // over anything given for it before.
    caller_ = Of(request);
    given_.erase(callOrigin_);
  }
  const auto given = given_.find(origin);
  selected_ = given != given_.end() || origin == callOrigin_;
  if (selected_) Put(request, given != given_.end() ? given->second : caller_);
  held_ = Of(request);
  return selected_;
}

void TIdCredentialsByOrigin::GivenFor(const TIdRequestHeaderInfo& request,
                                      const std::string& origin) {
  given_[origin] = held_ = Of(request);
  selected_ = true;
}

void TIdCredentialsByOrigin::Put(TIdRequestHeaderInfo& request, const Credentials& credentials) {
  request.Username = credentials.User;
  request.Password = credentials.Password;
  // The scheme object builds the Authorization line: it must hold the same.
  if (TIdAuthentication* auth = request.AuthObject.get()) {
    if (auth->UserNameValue() != credentials.User) auth->SetUserNameValue(credentials.User);
    if (auth->PasswordValue() != credentials.Password) auth->SetPasswordValue(credentials.Password);
  }
}

}  // namespace vantro
