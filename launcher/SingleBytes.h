// Walking 8-bit text character by character in the ANSI code page.
#pragma once

#include <cstddef>
#include <string_view>

#include "rtl/AnsiText.h"

namespace vantro {

// Calls visit(index) for every byte of text that is a character of its own
// (not either byte of a double-byte character), in order, until visit returns
// true; then returns true. A lead byte at the very end stands alone.
template <class Visit>
bool FindSingleByte(std::string_view text, Visit visit) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      ++i;
    } else if (visit(i)) {
      return true;
    }
  }
  return false;
}

}  // namespace vantro
