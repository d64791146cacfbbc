#include "runtime/text_stream.h"

#include <gtest/gtest.h>

#include "runtime/failure.h"
#include "tests/support/temp_folder.h"

namespace orvane {
namespace {

class TextStreams : public ::testing::Test {
 protected:
  testing::TempFolder folder;
  std::shared_ptr<FileSystem> files = native_file_system();
  const CodePage& code_page = windows_1252();
};

TEST_F(TextStreams, ReadsAnEmptyFileAsEmptyText) {
  testing::write_file(folder.path() / "empty", std::string());
  EXPECT_EQ(read_text_file(*files, code_page, folder.text("empty")), u"");
}

TEST_F(TextStreams, ReadingAMissingFileFailsWithFileOrPathNotFound) {
  try {
    read_text_file(*files, code_page, folder.text("missing.txt"));
    FAIL();
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 53);
    EXPECT_EQ(failure.description(), u"File not found");
  }
  try {
    read_text_file(*files, code_page, folder.text("missing/a.txt"));
    FAIL();
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 76);
  }
}

TEST_F(TextStreams, CreateReplacesAnExistingLongerFileWhole) {
  testing::write_file(folder.path() / "f.txt", std::string(100, 'x'));
  auto writer = TextFileWriter::create(*files, code_page, folder.text("f.txt"), {});
  writer.write(u"caf\u00e9 \u20ac ");
  writer.write_line(u"\u4e2d");
  writer.close();
  EXPECT_EQ(testing::read_file(folder.path() / "f.txt"), "caf\xE9 \x80 ?\r\n");
}

TEST_F(TextStreams, AWriterNotClosedLeavesTheEarlierFile) {
  testing::write_file(folder.path() / "f.txt", std::string("earlier"));
  {
    auto writer = TextFileWriter::create(*files, code_page, folder.text("f.txt"), {});
    writer.write(u"later");
  }
  EXPECT_EQ(testing::read_file(folder.path() / "f.txt"), "earlier");
}

TEST_F(TextStreams, AppendCreatesAMissingFileAndAddsToAnExistingOne) {
  for (int i = 0; i < 2; ++i) {
    auto writer = TextFileWriter::open_for_append(*files, code_page, folder.text("log.txt"));
    writer.write_line(u"");
    writer.write_line(i == 0 ? u"one" : u"two");
    writer.close();
  }
  EXPECT_EQ(testing::read_file(folder.path() / "log.txt"), "\r\none\r\n\r\ntwo\r\n");
}

TEST_F(TextStreams, LargeTextsRoundTrip) {
  Text text(3'000'000, u'a');
  for (std::size_t i = 0; i < text.size(); i += 1000) text[i] = 0x20AC;
  auto writer = TextFileWriter::create(*files, code_page, folder.text("big.txt"), {});
  writer.write(text);
  writer.close();
  EXPECT_EQ(read_text_file(*files, code_page, folder.text("big.txt")), text);
}

}  // namespace
}  // namespace orvane
