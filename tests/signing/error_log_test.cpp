#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "signing/sign.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/test_platform.h"

namespace orvane::signing {
namespace {

class ErrorLog : public ::testing::Test {
 protected:
  void configure_log_folder(const std::string& folder) {
    test.write_configuration("<SerialNumber>01</SerialNumber>\r\n<LogError>" + folder +
                             "</LogError>\r\n");
  }
  std::filesystem::path logs() const { return test.folder.path() / "logs"; }
  std::string log_of(const std::string& day) const {
    return testing::read_file(logs() / ("KPX_Error_Log_" + day + ".txt"));
  }

  testing::TestPlatform test;
};

TEST_F(ErrorLog, EntriesAreTimeStampedAndEachFollowsAnEmptyLine) {
  configure_log_folder(logs().string());
  Sign sign(test.platform, nullptr);
  sign.LogError(u"first");
  test.clock->set({2026, 12, 6, 21, 0, 5, 60});
  sign.LogError(u"");
  sign.LogError(u"two\r\nlines");
  EXPECT_EQ(log_of("06122026"),
            "\r\n 06/12/2026 20:35:44  - Orvane.dll : first\r\n"
            "\r\n 06/12/2026 21:00:05  - Orvane.dll : \r\n"
            "\r\n 06/12/2026 21:00:05  - Orvane.dll : two\r\nlines\r\n");
}

TEST_F(ErrorLog, ThePathIsFixedByTheFirstEntryForTheObjectsLife) {
  configure_log_folder(logs().string());
  Sign before_midnight(test.platform, nullptr);
  before_midnight.LogError(u"a");
  // Neither a new day nor a new folder moves an object that has resolved its path.
  configure_log_folder((test.folder.path() / "elsewhere").string());
  test.clock->set({2026, 12, 7, 0, 0, 1, 60});
  before_midnight.LogError(u"b");
  EXPECT_EQ(log_of("06122026"),
            "\r\n 06/12/2026 20:35:44  - Orvane.dll : a\r\n"
            "\r\n 07/12/2026 00:00:01  - Orvane.dll : b\r\n");

  configure_log_folder(logs().string());
  Sign after_midnight(test.platform, nullptr);
  after_midnight.LogError(u"c");
  EXPECT_EQ(log_of("07122026"), "\r\n 07/12/2026 00:00:01  - Orvane.dll : c\r\n");
}

TEST_F(ErrorLog, CreatesOnlyTheLastFolderLevel) {
  std::filesystem::create_directory(logs());
  configure_log_folder(logs().string());
  Sign(test.platform, nullptr).LogError(u"existing folder");
  EXPECT_TRUE(std::filesystem::exists(logs() / "KPX_Error_Log_06122026.txt"));

  configure_log_folder((test.folder.path() / "missing" / "logs").string());
  Sign(test.platform, nullptr).LogError(u"missing parent");
  EXPECT_FALSE(std::filesystem::exists(test.folder.path() / "missing"));
}

TEST_F(ErrorLog, AnUnresolvableFolderIsRetriedByTheNextEntry) {
  Sign sign(test.platform, nullptr);
  sign.LogError(u"no configuration file");
  configure_log_folder("");
  sign.LogError(u"empty folder value");
  configure_log_folder(logs().string());
  sign.LogError(u"resolved at last");
  EXPECT_EQ(log_of("06122026"), "\r\n 06/12/2026 20:35:44  - Orvane.dll : resolved at last\r\n");
}

TEST_F(ErrorLog, AFailingFolderResolutionIsReportedOnceAndThenDropped) {
  auto files = std::make_shared<testing::FaultyFileSystem>(test.platform.files);
  test.platform.files = files;
  configure_log_folder(logs().string());
  files->fail_file_exists(1, RuntimeError::device_io_error);
  Sign sign(test.platform, nullptr);
  sign.LogError(u"entry");
  // The report of the failed resolution resolves the path itself and is written, then the
  // entry follows.
  EXPECT_EQ(log_of("06122026"),
            "\r\n 06/12/2026 20:35:44  - Orvane.dll : Orvane.Dll : Error in CreateErrorLogFolder "
            ": Device I/O error\r\n"
            "\r\n 06/12/2026 20:35:44  - Orvane.dll : entry\r\n");
}

TEST_F(ErrorLog, ALogThatCannotBeWrittenIsReportedOnceAndThenDropped) {
  auto files = std::make_shared<testing::FaultyFileSystem>(test.platform.files);
  test.platform.files = files;
  configure_log_folder(logs().string());
  files->fail_appends(RuntimeError::disk_full);
  Sign sign(test.platform, nullptr);
  sign.LogError(u"entry");
  ASSERT_EQ(files->appends().size(), 2u);
  EXPECT_NE(files->appends()[0].bytes.find("Orvane.dll : entry"), std::string::npos);
  EXPECT_NE(files->appends()[1].bytes.find("Orvane.dll : Orvane.Dll : LogErrorErr : Disk full"),
            std::string::npos);

  files->fail_appends(std::nullopt);
  sign.LogError(u"later");
  EXPECT_EQ(log_of("06122026"), "\r\n 06/12/2026 20:35:44  - Orvane.dll : later\r\n");
}

TEST_F(ErrorLog, ALogNamePlantedAsALinkToAnotherFileGetsNothing) {
  configure_log_folder(logs().string());
  std::filesystem::create_directory(logs());
  const auto victim = test.folder.path() / "victim";
  testing::write_file(victim, std::string("victim's own\n"));
  const auto log = logs() / "KPX_Error_Log_06122026.txt";
  std::filesystem::create_symlink(victim, log);
  Sign(test.platform, nullptr).LogError(u"through a symbolic link");
  std::filesystem::remove(log);
  std::filesystem::create_hard_link(victim, log);
  Sign(test.platform, nullptr).LogError(u"through a second name");
  EXPECT_EQ(testing::read_file(victim), "victim's own\n");
}

TEST_F(ErrorLog, ConcurrentWritersLeaveEveryEntryWhole) {
  configure_log_folder(logs().string());
  std::filesystem::create_directory(logs());
  constexpr int writers = 4;
  constexpr int entries = 500;
  std::vector<pid_t> children;
  for (int w = 0; w < writers; ++w) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      Sign sign(test.platform, nullptr);
      const Text text = u"writer " + decimal_text(w) + u" " + Text(200, u'x');
      for (int e = 0; e < entries; ++e) sign.LogError(text);
      ::_exit(0);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::string log = log_of("06122026");
  const std::string prefix = "\r\n 06/12/2026 20:35:44  - Orvane.dll : writer ";
  const std::size_t entry_size = prefix.size() + 2 + 200 + 2;
  ASSERT_EQ(log.size(), entry_size * writers * entries);
  for (std::size_t at = 0; at < log.size(); at += entry_size) {
    ASSERT_EQ(log.compare(at, prefix.size(), prefix), 0) << "at " << at;
    ASSERT_EQ(log.compare(at + prefix.size() + 2, 202, std::string(200, 'x') + "\r\n"), 0);
  }
}

}  // namespace
}  // namespace orvane::signing
