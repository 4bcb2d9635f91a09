#include "httpstate/IdAuthenticationManager.h"

namespace vantro {

void TIdAuthenticationManager::RememberCredentials(const TIdAuthentication& scheme,
                                                   const TIdURI& uri) {
  auto item = std::make_unique<TIdAuthenticationItem>();
  item->URI.SplitURI(uri.ComposePlainURI());
  item->Params.AddStrings(scheme.CredentialParams);
  Items.push_back(std::move(item));
}

}  // namespace vantro
