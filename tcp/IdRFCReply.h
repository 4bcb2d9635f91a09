// A numbered protocol reply ("250-...", "250 ..."): its code, as number and
// as text, and its lines.
#pragma once

#include <string>

#include "rtl/StringList.h"

namespace vantro {

class TIdRFCReply {
 public:
  int NumericCode() const { return numericCode_; }
  // Above 0 also sets TextCode to the number's text.
  void SetNumericCode(int code);
  const std::string& TextCode() const { return textCode_; }
  // A non-empty text also sets NumericCode (0 when it is no number).
  void SetTextCode(const std::string& code);
  TStringList Text;

  void Clear();
  void Assign(const TIdRFCReply& source);

 private:
  int numericCode_ = 0;
  std::string textCode_;
};

}  // namespace vantro
