#include "provider/message_forms.h"

#include <gtest/gtest.h>

#include <vector>

#include "provider/base64.h"
#include "provider/content_bytes.h"

namespace orvane::provider {
namespace {

// Stands in for a DER parser: accepts one byte sequence and records every one it was shown.
struct Recorder {
  explicit Recorder(Bytes accepted_bytes) : accepted(std::move(accepted_bytes)) {}

  Bytes accepted;
  std::vector<Bytes> shown;

  DerParser parser() {
    return [this](ByteView der) {
      shown.emplace_back(der.begin(), der.end());
      return shown.back() == accepted;
    };
  }
};

// Bytes that no single-byte reading turns into text or Base64: 0x81 0x30 pairs into U+3081.
const Bytes message = {0x30, 0x81, 0x30, 0x81, 0x9D, 0x00, 0xC8};

TEST(MessageForms, TakeBase64TextFirst) {
  Recorder recorder{message};
  EXPECT_TRUE(parse_message_forms(base64_lines(message), windows_1252(), recorder.parser()));
  EXPECT_EQ(recorder.shown.size(), 1u);
}

TEST(MessageForms, TakeDerReadThroughTheCodePage) {
  Recorder recorder{message};
  EXPECT_TRUE(
      parse_message_forms(decode_text(windows_1252(), message), windows_1252(), recorder.parser()));
  ASSERT_EQ(recorder.shown.size(), 1u);  // not Base64, so the code page is the first form
}

TEST(MessageForms, TakeTheBytesOfAFileReadByteExact) {
  Recorder der{message};
  // Seven bytes read into a buffer one longer: the zero byte that fills the last unit goes.
  const Text paired = text_from_content_bytes(message);
  EXPECT_TRUE(parse_message_forms(paired, windows_1252(), der.parser()));
  EXPECT_EQ(der.shown.back(), message);

  // Base64 files of even and of odd length: the odd one gains a zero byte.
  for (const std::string ascii : {"MIEwgZ0AyA==\r\n", "MIEwgZ0AyA==\n"}) {
    Recorder base64{message};
    const Text base64_file = text_from_content_bytes(Bytes(ascii.begin(), ascii.end()));
    EXPECT_TRUE(parse_message_forms(base64_file, windows_1252(), base64.parser())) << ascii.size();
  }
}

TEST(MessageForms, CompleteDerThatEndedInSpacesTheReaderTrimmed) {
  // Files of odd and of even length: the last byte a space, or the last two a space code unit.
  for (const Bytes& file :
       {Bytes{0x30, 0x03, 0x41, 0x20, 0x20}, Bytes{0x30, 0x04, 0x41, 0x42, 0x20, 0x00},
        Bytes{0x30, 0x05, 0x41, 0x42, 0x20, 0x00, 0x20},
        Bytes{0x30, 0x06, 0x41, 0x42, 0x20, 0x00, 0x20, 0x00}}) {
    Recorder recorder{file};
    const Text read = Text(trim_spaces(text_from_content_bytes(file)));
    ASSERT_LT(read.size() * 2, file.size());
    EXPECT_TRUE(parse_message_forms(read, windows_1252(), recorder.parser())) << file.size();
  }
  // Only as many as its length says, and never more than a few.
  Recorder recorder{Bytes{0x30, 0x03, 0x41, 0x20, 0x21}};
  EXPECT_FALSE(parse_message_forms(text_from_content_bytes(Bytes{0x30, 0x03, 0x41, 0x20}),
                                   windows_1252(), recorder.parser()));
  Recorder far{Bytes{}};
  EXPECT_FALSE(parse_message_forms(text_from_content_bytes(Bytes{0x30, 0x82, 0x10, 0x00}),
                                   windows_1252(), far.parser()));
  for (const Bytes& shown : far.shown) EXPECT_LE(shown.size(), 4u);
}

TEST(MessageForms, RefuseTextThatIsNoneOfThem) {
  Recorder recorder{message};
  EXPECT_FALSE(parse_message_forms(u"not a message", windows_1252(), recorder.parser()));
  EXPECT_FALSE(parse_message_forms(u"", windows_1252(), recorder.parser()));
}

}  // namespace
}  // namespace orvane::provider
