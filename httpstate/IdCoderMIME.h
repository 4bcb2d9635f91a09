// Base64 of RFC 2045: the standard alphabet, "=" as pad, no line breaks.
#pragma once

#include <string>
#include <string_view>

#include "httpstate/IdCoder3to4.h"

namespace vantro {

inline constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The reverse table of the standard alphabet, built once.
const TIdDecodeTable& MimeDecodeTable();

class TIdEncoderMIME : public TIdEncoder3to4 {
 public:
  TIdEncoderMIME() {
    Alphabet = kBase64Alphabet;
    PadChar = '=';
  }
  static std::string EncodeTextOnce(std::string_view text) {
    return vantro::EncodeTextOnce<TIdEncoderMIME>(text);
  }
};

class TIdDecoderMIME : public TIdDecoder4to3 {
 public:
  TIdDecoderMIME() {
    DecodeTable = MimeDecodeTable();
    PadChar = '=';
  }
};

}  // namespace vantro
