#include "tcp/IdRFCReply.h"

#include "rtl/AnsiText.h"

namespace vantro {

void TIdRFCReply::SetNumericCode(int code) {
  numericCode_ = code;
  if (code > 0) textCode_ = IntToStr(code);
}

void TIdRFCReply::SetTextCode(const std::string& code) {
  textCode_ = code;
  if (!code.empty()) numericCode_ = StrToIntDef(code, 0);
}

void TIdRFCReply::Clear() {
  numericCode_ = 0;
  textCode_.clear();
  Text.Clear();
}

void TIdRFCReply::Assign(const TIdRFCReply& source) {
  numericCode_ = source.numericCode_;
  textCode_ = source.textCode_;
  Text.Clear();
  Text.AddStrings(source.Text);
}

}  // namespace vantro
