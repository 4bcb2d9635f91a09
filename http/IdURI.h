// Splits a URL into its parts and composes it back. The splitter is
// positional and forgiving: it never rejects a text, decodes or encodes
// nothing and keeps letter case.
#pragma once

#include <string>
#include <string_view>

#include "tcp/IdException.h"

namespace vantro {

class EIdURIException : public EIdException {
 public:
  using EIdException::EIdException;
};

enum TIdURIOptionalField : unsigned { wantUserInfo = 1u << 0, wantFragment = 1u << 1 };
using TIdURIOptionalFieldsSet = unsigned;

class TIdURI {
 public:
  TIdURI() = default;
  explicit TIdURI(std::string_view text) {
    if (!text.empty()) SplitURI(text);
  }

  void SplitURI(std::string_view text);
  std::string ComposeURI(TIdURIOptionalFieldsSet options) const;
  std::string ComposePlainURI() const { return ComposeURI(0); }

  std::string DocName;
  std::string Scheme;
  std::string URIText;
  std::string PortText;
  std::string DirPath;
  std::string HostName;
  std::string Fragment;
  std::string User;
  std::string UserPassword;
  std::string Query;

 private:
  // Fills DirPath, DocName and Query from the path part of a URL.
  void SplitPath(const std::string& work, bool withScheme);
};

}  // namespace vantro
