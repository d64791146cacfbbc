#include <gtest/gtest.h>

#include <functional>

#include "runtime/failure.h"
#include "runtime/platform.h"
#include "tests/support/temp_folder.h"

namespace orvane {
namespace {

int failure_number(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const Failure& failure) {
    return failure.number();
  }
  return 0;
}

TEST(PosixFileSystem, TellsFilesFromFolders) {
  testing::TempFolder folder;
  auto files = native_file_system();
  testing::write_file(folder.path() / "f", std::string("x"));
  EXPECT_TRUE(files->file_exists(folder.text("f")));
  EXPECT_FALSE(files->folder_exists(folder.text("f")));
  EXPECT_TRUE(files->folder_exists(folder.text()));
  EXPECT_FALSE(files->file_exists(folder.text()));
  EXPECT_FALSE(files->file_exists(u""));
  EXPECT_FALSE(files->folder_exists(u""));
}

TEST(PosixFileSystem, CreatesOneFolderLevelOnly) {
  testing::TempFolder folder;
  auto files = native_file_system();
  files->create_folder(folder.text("logs"));
  EXPECT_TRUE(files->folder_exists(folder.text("logs")));
  EXPECT_EQ(failure_number([&] { files->create_folder(folder.text("logs")); }), 58);
  EXPECT_EQ(failure_number([&] { files->create_folder(folder.text("a/b")); }), 76);
  EXPECT_EQ(failure_number([&] { files->create_folder(u""); }), 76);
}

TEST(PosixFileSystem, AReplacementKeepsTheModeOfTheFileItReplaces) {
  testing::TempFolder folder;
  auto files = native_file_system();
  const auto target = folder.path() / "f";
  testing::write_file(target, std::string("old"));
  std::filesystem::permissions(
      target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  auto output = files->open_for_replacing(folder.text("f"));
  output->write(Bytes{'n', 'e', 'w'});
  output->commit();
  EXPECT_EQ(testing::read_file(target), "new");
  EXPECT_EQ(std::filesystem::status(target).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(PosixFileSystem, AFolderCannotBeReplacedOrRead) {
  testing::TempFolder folder;
  auto files = native_file_system();
  EXPECT_GT(failure_number([&] { files->open_for_replacing(folder.text()); }), 0);
  EXPECT_GT(failure_number([&] { files->open_for_reading(folder.text()); }), 0);
}

}  // namespace
}  // namespace orvane
