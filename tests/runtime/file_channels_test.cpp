#include "runtime/file_channels.h"

#include <gtest/gtest.h>

#include "runtime/failure.h"
#include "runtime/platform.h"
#include "tests/support/temp_folder.h"

namespace orvane {
namespace {

namespace channels = file_channels;

class FileChannels : public ::testing::Test {
 protected:
  void TearDown() override {
    channels::abandon(1);
    channels::abandon(2);
  }

  Bytes read_all(const std::string& name) {
    channels::open_for_binary_read(*files, 2, folder.text(name));
    Bytes bytes;
    for (std::uint64_t i = 1; i <= channels::length(2); ++i) {
      bytes.push_back(channels::get_byte(2, i));
    }
    channels::close(2);
    return bytes;
  }

  testing::TempFolder folder;
  std::shared_ptr<FileSystem> files = native_file_system();
};

TEST_F(FileChannels, ReadFilesOfZeroThreeAndFourBytes) {
  testing::write_file(folder.path() / "0", std::string());
  testing::write_file(folder.path() / "3", std::string("ABC"));
  testing::write_file(folder.path() / "4", std::string("ABCD"));
  EXPECT_EQ(read_all("0"), Bytes{});
  EXPECT_EQ(read_all("3"), (Bytes{'A', 'B', 'C'}));
  EXPECT_EQ(read_all("4"), (Bytes{'A', 'B', 'C', 'D'}));
}

TEST_F(FileChannels, BulkAndSingleReadsAgreeAcrossTheWindow) {
  std::string content(200'000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  testing::write_file(folder.path() / "big", content);
  channels::open_for_binary_read(*files, 2, folder.text("big"));
  Bytes bulk(content.size());
  channels::get_bytes(2, 1, bulk);
  for (std::size_t i = 0; i < content.size(); i += 9973) {
    EXPECT_EQ(channels::get_byte(2, i + 1), bulk[i]);
    EXPECT_EQ(bulk[i], static_cast<std::uint8_t>(content[i]));
  }
  EXPECT_THROW(channels::get_byte(2, content.size() + 1), Failure);
}

TEST_F(FileChannels, MissingFileFailsWithARuntimeNumber) {
  try {
    channels::open_for_binary_read(*files, 2, folder.text("missing"));
    FAIL() << "opened a missing file";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 53);
  }
  // The failed open left the channel free.
  testing::write_file(folder.path() / "present", std::string("x"));
  EXPECT_NO_THROW(channels::open_for_binary_read(*files, 2, folder.text("present")));
}

TEST_F(FileChannels, ClosingAChannelThatIsNotOpenIsNoFailure) {
  EXPECT_NO_THROW(channels::close(1));
  EXPECT_NO_THROW(channels::close(2));
  EXPECT_NO_THROW(channels::abandon(2));
}

TEST_F(FileChannels, ANumberThatIsOpenOrNotOpenIsRefused) {
  testing::write_file(folder.path() / "a", std::string("a"));
  channels::open_for_binary_read(*files, 2, folder.text("a"));
  EXPECT_THROW(channels::open_for_binary_read(*files, 2, folder.text("a")), Failure);
  EXPECT_THROW(channels::length(1), Failure);
  EXPECT_THROW(channels::open_for_binary_read(*files, 0, folder.text("a")), Failure);
}

TEST_F(FileChannels, WritingReplacesTheWholeFileOnClose) {
  testing::write_file(folder.path() / "out", std::string("a much longer earlier content"));
  channels::open_for_binary_write(*files, 1, folder.text("out"), {});
  channels::put_byte(1, 1, 'o');
  channels::put_byte(1, 2, 'k');
  EXPECT_EQ(testing::read_file(folder.path() / "out"), "a much longer earlier content");
  channels::close(1);
  EXPECT_EQ(testing::read_file(folder.path() / "out"), "ok");
}

TEST_F(FileChannels, AnAbandonedWriteLeavesTheEarlierFileAndNoTemporaryFile) {
  testing::write_file(folder.path() / "out", std::string("earlier"));
  channels::open_for_binary_write(*files, 1, folder.text("out"), {});
  channels::put_byte(1, 1, 'x');
  channels::abandon(1);
  EXPECT_EQ(testing::read_file(folder.path() / "out"), "earlier");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST_F(FileChannels, WritingIntoAMissingFolderFailsWithPathNotFound) {
  try {
    channels::open_for_binary_write(*files, 1, folder.text("no/such/file"), {});
    FAIL() << "opened a file in a missing folder";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 76);
  }
}

}  // namespace
}  // namespace orvane
