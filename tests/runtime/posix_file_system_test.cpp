#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <functional>

#include "runtime/failure.h"
#include "runtime/platform.h"
#include "tests/support/failures.h"
#include "tests/support/temp_folder.h"

namespace orvane {
namespace {

using testing::failure_number;

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

mode_t mode_of(const std::filesystem::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0);
  return info.st_mode & 07777;
}

TEST(PosixFileSystem, AReplacementIsOwnerOnlyWhileWrittenAndTakesOnlyTheCallersPermissions) {
  testing::TempFolder folder;
  auto files = native_file_system();
  const mode_t earlier_mask = ::umask(022);
  const auto target = folder.path() / "f";
  const auto replace = [&] {
    auto output = files->open_for_replacing(folder.text("f"), {});
    output->write(Bytes{'n', 'e', 'w'});
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
      if (entry.path() != target) {
        EXPECT_EQ(mode_of(entry.path()), 0600u);
      }
    }
    output->commit();
    return mode_of(target);
  };
  // The caller's own file keeps its permission bits, never setuid, setgid or sticky.
  testing::write_file(target, std::string("old"));
  ASSERT_EQ(::chmod(target.c_str(), 07750), 0);
  EXPECT_EQ(replace(), 0750u);
  EXPECT_EQ(testing::read_file(target), "new");
  if (::geteuid() == 0) {
    // One that another user planted hands nothing on: the output is as a new file.
    ASSERT_EQ(::chown(target.c_str(), 12345, 12345), 0);
    ASSERT_EQ(::chmod(target.c_str(), 06777), 0);
    EXPECT_EQ(replace(), 0644u);
  }
  ::umask(earlier_mask);
  if (::geteuid() != 0) GTEST_SKIP() << "a file of another user needs root";
}

TEST(PosixFileSystem, AFolderCannotBeReplacedOrRead) {
  testing::TempFolder folder;
  auto files = native_file_system();
  EXPECT_GT(failure_number([&] { files->open_for_replacing(folder.text(), {}); }), 0);
  EXPECT_GT(failure_number([&] { files->open_for_reading(folder.text()); }), 0);
}

TEST(PosixFileSystem, PipesAndDevicesAreRefusedWithoutWaitingForAWriterOrAnEnd) {
  testing::TempFolder folder;
  auto files = native_file_system();
  ASSERT_EQ(::mkfifo((folder.path() / "pipe").c_str(), 0600), 0);
  // Opened the usual way, a pipe without a writer would hold the call for ever, and a device
  // would never end.
  EXPECT_EQ(failure_number([&] { files->open_for_reading(folder.text("pipe")); }), 75);
  EXPECT_EQ(failure_number([&] { files->open_for_reading(u"/dev/zero"); }), 75);
  EXPECT_GT(failure_number([&] { files->append(folder.text("pipe"), Bytes{'x'}); }), 0);
  EXPECT_EQ(failure_number([&] { files->append(u"/dev/null", Bytes{'x'}); }), 75);
}

// Runs `operation` in a child process whose files cannot grow beyond `limit` bytes, as on a
// disk that fills up there; returns the number of the failure it met, 0 for none.
int failure_number_on_a_full_disk(std::uint64_t limit, const std::function<void()>& operation) {
  const pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit full{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &full);
    ::_exit(failure_number(operation));
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(PosixFileSystem, AFullDiskLeavesNoPartialEntryAndNoPartialReplacement) {
  testing::TempFolder folder;
  auto files = native_file_system();
  const std::string earlier = "earlier entry\r\n";
  testing::write_file(folder.path() / "log", earlier);
  const Bytes entry(100, 'e');
  // Room for ten more bytes: the system writes those, then refuses the rest.
  EXPECT_EQ(failure_number_on_a_full_disk(earlier.size() + 10,
                                          [&] { files->append(folder.text("log"), entry); }),
            61);
  EXPECT_EQ(testing::read_file(folder.path() / "log"), earlier);

  EXPECT_EQ(failure_number_on_a_full_disk(50,
                                          [&] {
                                            auto output =
                                                files->open_for_replacing(folder.text("log"), {});
                                            output->write(entry);
                                            output->commit();
                                          }),
            61);
  EXPECT_EQ(testing::read_file(folder.path() / "log"), earlier);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST(PosixFileSystem, WritesAnyFileWhoseNameAndPathAreAsLongAsTheSystemAllows) {
  testing::TempFolder folder;
  auto files = native_file_system();
  const std::string name(255, 'n');
  auto output = files->open_for_replacing(folder.text(name), {});
  output->write(Bytes{'x'});
  output->commit();
  EXPECT_EQ(testing::read_file(folder.path() / name), "x");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);

  // A short name in a folder whose path leaves room for little more than it.
  std::filesystem::path deep = folder.path();
  while (deep.native().size() < PATH_MAX - 259) deep /= std::string(250, 'd');
  deep /= std::string(PATH_MAX - 4 - deep.native().size(), 'e');
  std::filesystem::create_directories(deep);
  const Text target = text_from_utf8((deep / "x").native());
  auto deep_output = files->open_for_replacing(target, {});
  deep_output->write(Bytes{'y'});
  deep_output->commit();
  EXPECT_EQ(files->open_for_reading(target)->size(), 1u);
}

TEST(PosixFileSystem, ANewFileNeverReplacesOneMadeMeanwhile) {
  testing::TempFolder folder;
  auto files = native_file_system();
  auto output = files->open_for_replacing(folder.text("f"), {});
  output->write(Bytes{'n', 'e', 'w'});
  std::uint8_t back[8] = {};
  EXPECT_EQ(output->read_back(1, back), 2u);
  EXPECT_EQ(std::string(back, back + 2), "ew");
  testing::write_file(folder.path() / "f", std::string("theirs"));
  EXPECT_EQ(failure_number([&] { output->commit_as_new(); }), 58);
  output.reset();
  EXPECT_EQ(testing::read_file(folder.path() / "f"), "theirs");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
  // A name that is the one its folder holds is no alias, as Linux file systems keep them.
  EXPECT_FALSE(files->is_alias(folder.text("f")));
  EXPECT_FALSE(files->is_alias(folder.text("missing")));
}

}  // namespace
}  // namespace orvane
