#include "provider/base64.h"

#include <gtest/gtest.h>

#include "provider/content_bytes.h"

namespace orvane::provider {
namespace {

Bytes bytes_of(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

TEST(Base64Lines, WritesLinesOf64CharactersEachEndedByCrLf) {
  EXPECT_EQ(base64_lines({}), u"");
  EXPECT_EQ(base64_lines(bytes_of("ab")), u"YWI=\r\n");
  const Text text = base64_lines(Bytes(100, 0xFF));
  EXPECT_EQ(text.size(), 136u + 3 * 2);  // 64 + 64 + 8 characters
  EXPECT_EQ(text.substr(62, 4), u"//\r\n");
  EXPECT_EQ(text.substr(text.size() - 4), u"==\r\n");
  // A whole last line ends with its own CR LF and no empty line follows.
  EXPECT_EQ(base64_lines(Bytes(48, 0)), Text(64, u'A') + u"\r\n");
}

TEST(DecodeBase64Text, ReadsWhatTheWriterWritesAndIgnoresArmourAndWhiteSpace) {
  Bytes every_byte(256);
  for (int i = 0; i < 256; ++i)
    every_byte[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(decode_base64_text(base64_lines(every_byte)), every_byte);

  EXPECT_EQ(decode_base64_text(
                TextView(u"-----BEGIN PKCS7-----\r\nYW\tJj\n ZA==\n-----END PKCS7-----\n")),
            bytes_of("abcd"));
  EXPECT_EQ(decode_base64_text(bytes_of("YWJjZA")), bytes_of("abcd"));  // padding left out
  EXPECT_EQ(decode_base64_text(TextView(u"")), Bytes{});
}

TEST(DecodeBase64Text, RefusesAnythingElse) {
  EXPECT_FALSE(decode_base64_text(TextView(u"YWJj*A==")));
  EXPECT_FALSE(decode_base64_text(TextView(u"YWJjZ")));      // one digit is no byte
  EXPECT_FALSE(decode_base64_text(TextView(u"YQ==YQ==")));   // data after padding
  EXPECT_FALSE(decode_base64_text(TextView(u"YWJj=")));      // padding that does not fit
  EXPECT_FALSE(decode_base64_text(TextView(u"\u0159WJj")));  // a code unit above 0x7F
  EXPECT_FALSE(decode_base64_text(Bytes{'Y', 'W', 0, 'J', 'j'}));
  // Within a run of whole groups too, and where only the low byte of a code unit is a digit.
  EXPECT_FALSE(decode_base64_text(TextView(u"YWJjYWJjYW\u0141jYWJj")));
  EXPECT_FALSE(decode_base64_text(TextView(u"YWJjYWJjYWJj*WJjYWJj")));
}

TEST(ContentBytes, AreTheCodeUnitsLowByteFirstAndComeBackWithAZeroHighByteWhenOdd) {
  const Text text = {u'A', 0x20AC, 0x0100};
  const ByteView bytes = content_bytes(text);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), (Bytes{0x41, 0x00, 0xAC, 0x20, 0x00, 0x01}));
  EXPECT_EQ(bytes.data(), reinterpret_cast<const std::uint8_t*>(text.data()));  // never a copy
  EXPECT_EQ(text_from_content_bytes(bytes), text);
  EXPECT_EQ(text_from_content_bytes(Bytes{0x41, 0x00, 0xFF}), (Text{u'A', 0x00FF}));
}

}  // namespace
}  // namespace orvane::provider
