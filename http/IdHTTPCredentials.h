// Which scheme, host and port a request's user name and password may go to.
// Those the caller sets go where each call goes (and where its redirects stay
// on the same origin); those a URL or an authorization handler gave belong to
// the origin they were given for, and go back there in later calls, whatever
// the calls in between asked.
#pragma once

#include <map>
#include <string>

#include "http/IdHTTPHeaderInfo.h"

namespace vantro {

class TIdCredentialsByOrigin {
 public:
  // Before each request to origin: puts the credentials that belong there
  // into the request (and its scheme object); false when none do, and the
  // request's credentials must not go there.
  bool Select(TIdRequestHeaderInfo& request, const std::string& origin, bool callStart);
  // The request's user name and password were given for origin.
  void GivenFor(const TIdRequestHeaderInfo& request, const std::string& origin);
  // Whether the last request's credentials belong to its origin.
  bool Selected() const { return selected_; }

 private:
  struct Credentials {
    std::string User, Password;
    bool operator==(const Credentials&) const = default;
  };
  static Credentials Of(const TIdRequestHeaderInfo& request);
  void Put(TIdRequestHeaderInfo& request, const Credentials& credentials);

  Credentials caller_;
  std::string callOrigin_;
  // What the request held when this last looked: a change since is the caller's.
  Credentials held_;
  std::map<std::string, Credentials> given_;
  bool selected_ = false;
};

}  // namespace vantro
