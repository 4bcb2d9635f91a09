// Credential memory: what a finished scheme knew, kept per URL.
#pragma once

#include <memory>
#include <vector>

#include "http/IdURI.h"
#include "httpstate/IdAuthentication.h"
#include "rtl/StringList.h"

namespace vantro {

struct TIdAuthenticationItem {
  TIdURI URI;
  TStringList Params;
};

class TIdAuthenticationManager {
 public:
  // The URL is kept without user information and fragment.
  void RememberCredentials(const TIdAuthentication& scheme, const TIdURI& uri);

  std::vector<std::unique_ptr<TIdAuthenticationItem>> Items;
};

}  // namespace vantro
