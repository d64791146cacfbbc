#include "signing/stored_message.h"

#include <gtest/gtest.h>

#include "runtime/failure.h"
#include "runtime/file_channels.h"
#include "tests/support/temp_folder.h"

namespace orvane::signing {
namespace {

class StoredMessage : public ::testing::Test {
 protected:
  Text read(const std::string& bytes) {
    testing::write_file(folder.path() / "message", bytes);
    return read_stored_message(*platform.files, folder.text("message"));
  }
  void TearDown() override {
    file_channels::abandon(1);
    file_channels::abandon(2);
  }

  testing::TempFolder folder;
  Platform platform = native_platform();
};

TEST_F(StoredMessage, BytesArePairedLowByteFirst) {
  EXPECT_EQ(read(""), u"");
  EXPECT_EQ(read("ABC"), (Text{0x4241, 0x0043}));
  EXPECT_EQ(read("ABCD"), (Text{0x4241, 0x4443}));
}

TEST_F(StoredMessage, OnlySpaceCodeUnitsAreTrimmed) {
  EXPECT_EQ(read(std::string(" \0A\0 \0", 6)), u"A");
  // 0x20 0x41 is one code unit, not a space.
  EXPECT_EQ(read(" A"), (Text{0x4120}));
  EXPECT_EQ(read(std::string("\t\0A\0", 4)), u"\tA");
}

TEST_F(StoredMessage, AMissingFileIsARuntimeFailureAndLeavesTheChannelClosed) {
  EXPECT_THROW(read_stored_message(*platform.files, folder.text("missing")), Failure);
  EXPECT_EQ(read("AB"), u"\u4241");
}

TEST_F(StoredMessage, RestoredContentComesBackByteForByte) {
  testing::write_file(folder.path() / "out.pdf", std::string(50, 'x'));
  write_restored_content(platform, folder.text("out.pdf"), u"caf\u00e9\u20ac", folder.text("m"));
  EXPECT_EQ(testing::read_file(folder.path() / "out.pdf"), "caf\xE9\x80");
}

TEST_F(StoredMessage, ContentOutsideTheCodePageIsWrittenAsCodeUnits) {
  write_restored_content(platform, folder.text("out"), u"a\u4e2d", folder.text("m"));
  EXPECT_EQ(testing::read_file(folder.path() / "out"), std::string("a\0\x2d\x4e", 4));
}

TEST_F(StoredMessage, NeverWritesOverTheMessageItCameFrom) {
  testing::write_file(folder.path() / "a.txt", std::string("message"));
  EXPECT_THROW(write_restored_content(platform, folder.text("./a.txt"), u"x", folder.text("a.txt")),
               Failure);
  EXPECT_EQ(testing::read_file(folder.path() / "a.txt"), "message");
}

}  // namespace
}  // namespace orvane::signing
