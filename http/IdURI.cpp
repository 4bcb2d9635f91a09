#include "http/IdURI.h"

#include "http/IdGlobal.h"

namespace vantro {

void TIdURI::SplitPath(const std::string& work, bool withScheme) {
  int query = TextPos("?", work);
  int split = 0;
  if (query > 0) {
    split = LastPos("/", work, query);
  } else {
    // An "=" without a "?" starts the query as well.
    query = TextPos("=", work);
    split = LastPos("/", work, query > 0 ? query : -1);
  }
  const auto splitAt = static_cast<std::size_t>(split);
  DirPath = (withScheme ? "/" : "") + work.substr(0, splitAt);
  if (query > 0) {
    DocName = work.substr(0, static_cast<std::size_t>(query - 1));
    Query = work.substr(static_cast<std::size_t>(query - 1));
  } else {
    DocName = work;
  }
  DocName.erase(0, splitAt);
}

void TIdURI::SplitURI(std::string_view text) {
  URIText = text;
  ForwardSlashes(URIText);
  std::string work = URIText;
  for (std::string* field :
       {&DocName, &Scheme, &PortText, &DirPath, &HostName, &Fragment, &User, &UserPassword, &Query})
    field->clear();

  const int schemeEnd = TextPos("://", work);
  if (schemeEnd > 0) {
    Scheme = work.substr(0, static_cast<std::size_t>(schemeEnd - 1));
    work.erase(0, static_cast<std::size_t>(schemeEnd - 1) + 3);

    std::string authority = CutToken(work, "/");
    const int at = TextPos("@", authority);
    if (at > 0) {
      UserPassword = authority.substr(0, static_cast<std::size_t>(at - 1));
      authority.erase(0, static_cast<std::size_t>(at));
    }
    User = CutToken(UserPassword, ":");
    if (User.empty()) UserPassword.clear();
    HostName = CutToken(authority, ":");
    PortText = authority;

    SplitPath(work, true);
    Fragment = DocName;
    DocName = CutToken(Fragment, "#");
  } else {
    SplitPath(work, false);
  }

  if (Fragment.empty()) {
    Fragment = Query;
    Query = CutToken(Fragment, "#");
  }
}

std::string TIdURI::ComposeURI(TIdURIOptionalFieldsSet options) const {
  if (Scheme.empty()) throw EIdURIException("Protocol field is empty");
  std::string result = Scheme + "://";
  if ((options & wantUserInfo) && !User.empty()) {
    result += User;
    if (!UserPassword.empty()) result += ":" + UserPassword;
    result += "@";
  }
  if (HostName.empty()) throw EIdURIException("Host field is empty");
  result += HostName;
  if (!PortText.empty()) result += ":" + PortText;
  result += DirPath + DocName + Query;
  if ((options & wantFragment) && !Fragment.empty()) result += "#" + Fragment;
  return result;
}

}  // namespace vantro
