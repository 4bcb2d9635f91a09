#include "httpstate/IdCoderMIME.h"

#include <gtest/gtest.h>

#include "tcp/IdException.h"

namespace vantro {
namespace {

std::string Decode(std::string_view text) {
  TIdDecoderMIME decoder;
  TMemoryStream out;
  decoder.DecodeToStream(text, out);
  return out.ToString();
}

void ExpectMessage(const std::function<void()>& call, const char* message) {
  try {
    call();
    ADD_FAILURE() << "no exception, expected " << message;
  } catch (const EIdException& e) {
    EXPECT_STREQ(e.what(), message);
  }
}

TEST(Base64, EncodesWholeTextsOnOneLine) {
  EXPECT_EQ(TIdEncoderMIME::EncodeTextOnce(""), "");
  EXPECT_EQ(TIdEncoderMIME::EncodeTextOnce("abc"), "YWJj");
  EXPECT_EQ(TIdEncoderMIME::EncodeTextOnce("ab"), "YWI=");
  EXPECT_EQ(TIdEncoderMIME::EncodeTextOnce("a"), "YQ==");
  EXPECT_EQ(TIdEncoderMIME::EncodeTextOnce("Aladdin:open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
  const std::string hundred(100, 'x');
  const std::string encoded = TIdEncoderMIME::EncodeTextOnce(hundred);
  EXPECT_EQ(encoded.size(), 136u);
  EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(TIdEncoderMIME::EncodeTextOnce("\xff\xfe\x80"), "//6A");
}

TEST(Base64, EncodeCountsMustBeWholeGroups) {
  TIdEncoderMIME encoder;
  TStringStream four("abcd");
  ExpectMessage([&] { encoder.Encode(four, 4); }, "Uneven size in Encode.");
  four.SetPosition(0);
  EXPECT_EQ(encoder.Encode(four, 6), "YWJjZA==");  // fewer bytes left than asked
  four.SetPosition(1);
  EXPECT_EQ(encoder.Encode(four, 3), "YmNk");
  EXPECT_EQ(four.Position(), 4);
  EXPECT_EQ(encoder.Encode(four, 3), "");
}

TEST(Base64, DecodesWhatItEncodes) {
  EXPECT_EQ(Decode("YWJj"), "abc");
  EXPECT_EQ(Decode("YWI="), "ab");
  EXPECT_EQ(Decode("YQ=="), "a");
  EXPECT_EQ(Decode(""), "");
  std::string all;
  for (int c = 0; c < 256; ++c)
    all += static_cast<char>(c);
  EXPECT_EQ(Decode(TIdEncoderMIME::EncodeTextOnce(all)), all);
}

TEST(Base64, APadEndsOnlyItsOwnGroup) {
  EXPECT_EQ(Decode("YQ==YWJj"), "aabc");
  EXPECT_EQ(Decode("YWI=YQ=="), "aba");
  EXPECT_EQ(Decode("YW=j"), "a");  // the third character is a pad: one byte
}

TEST(Base64, DecoderRejectsBadTextAndWritesNothing) {
  ExpectMessage([] { Decode("YWJjY"); }, "Uneven size in DecodeToStream.");
  using namespace std::string_literals;
  for (const std::string& bad : {"YW*j"s, "YWJj\xc3\xa9=="s, "=WJj"s, "Y=Jj"s, "YW=*"s, "YW\0j"s}) {
    TIdDecoderMIME decoder;
    TStringStream out("kept");
    ExpectMessage([&] { decoder.DecodeToStream(bad, out); }, "Invalid character in Base64 text.");
    EXPECT_EQ(out.DataString(), "kept") << bad;
  }
}

}  // namespace
}  // namespace vantro
