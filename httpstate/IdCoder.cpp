#include "httpstate/IdCoder.h"

namespace vantro {

std::string TIdEncoder::EncodeText(std::string_view text) {
  TIdReadMemoryStream view(text);
  return Encode(view, kToEnd);
}

}  // namespace vantro
