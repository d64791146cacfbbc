#include "runtime/code_page.h"

#include <gtest/gtest.h>

#include "runtime/text_stream.h"
#include "tests/support/temp_folder.h"

namespace orvane {
namespace {

Bytes every_byte() {
  Bytes bytes(256);
  for (unsigned b = 0; b < 256; ++b) bytes[b] = static_cast<std::uint8_t>(b);
  return bytes;
}

TEST(Windows1252, EveryByteRoundTrips) {
  const Bytes bytes = every_byte();
  const Text text = decode_text(windows_1252(), bytes);
  ASSERT_EQ(text.size(), 256u);
  EXPECT_EQ(encode_text_exactly(windows_1252(), text), bytes);
}

TEST(Windows1252, MapsTheHighControlRangeAndKeepsTheUnassignedFive) {
  const Bytes bytes = {0x80, 0x81, 0x8D, 0x8F, 0x90, 0x9D, 0x9F, 0xA0, 0xE9};
  EXPECT_EQ(decode_text(windows_1252(), bytes),
            (Text{0x20AC, 0x0081, 0x008D, 0x008F, 0x0090, 0x009D, 0x0178, 0x00A0, 0x00E9}));
}

TEST(Windows1252, WritesAQuestionMarkForWhatItCannotRepresent) {
  const Text text = {u'a', 0x4E2D, 0x0080, 0x20AC, 0xD83D};
  EXPECT_EQ(encode_text(windows_1252(), text), (Bytes{'a', '?', '?', 0x80, '?'}));
  EXPECT_FALSE(encode_text_exactly(windows_1252(), text).has_value());
}

TEST(Windows1252, FindsWhatItCannotRepresentAnywhereInALongText) {
  for (std::size_t at = 0; at < 40; ++at) {
    Text text(40, u'x');
    text[at] = 0x4E2D;
    Bytes expected(40, 'x');
    expected[at] = '?';
    EXPECT_EQ(encode_text(windows_1252(), text), expected) << at;
    EXPECT_FALSE(encode_text_exactly(windows_1252(), text).has_value()) << at;
  }
}

TEST(Windows1252, TextFilesReadAndWrittenBackAreByteIdentical) {
  testing::TempFolder folder;
  const Bytes bytes = every_byte();
  testing::write_file(folder.path() / "in.bin", bytes);
  auto files = native_file_system();

  const Text text = read_text_file(*files, windows_1252(), folder.text("in.bin"));
  auto writer = TextFileWriter::create(*files, windows_1252(), folder.text("out.bin"), {});
  writer.write(text);
  writer.close();

  EXPECT_EQ(testing::read_file(folder.path() / "out.bin"), std::string(bytes.begin(), bytes.end()));
}

}  // namespace
}  // namespace orvane
