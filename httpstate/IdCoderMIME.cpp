#include "httpstate/IdCoderMIME.h"

namespace vantro {

const TIdDecodeTable& MimeDecodeTable() {
  static const TIdDecodeTable table = [] {
    TIdDecodeTable t{};
    BuildDecodeTable(kBase64Alphabet, t);
    return t;
  }();
  return table;
}

}  // namespace vantro
