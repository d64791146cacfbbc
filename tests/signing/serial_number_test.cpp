#include <gtest/gtest.h>

#include "signing/sign.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/test_platform.h"

namespace orvane::signing {
namespace {

class SerialNumber : public ::testing::Test {
 protected:
  std::filesystem::path log_file() const {
    return test.folder.path() / "logs" / "KPX_Error_Log_06122026.txt";
  }
  std::string configuration(const std::string& serial_part) const {
    return "<LogError>" + (test.folder.path() / "logs").string() + "</LogError>" + serial_part;
  }

  testing::TestPlatform test;
};

TEST_F(SerialNumber, NoConfigurationFileGivesNothingAndNoEntry) {
  Sign sign(test.platform, nullptr);
  EXPECT_EQ(sign.GetSerialNO(), u"");
  EXPECT_FALSE(std::filesystem::exists(test.folder.path() / "logs"));
}

TEST_F(SerialNumber, TheValueIsReturnedUntrimmedAndReadOnEveryCall) {
  Sign sign(test.platform, nullptr);
  test.write_configuration(configuration("<SerialNumber> 7A 01\r\n</SerialNumber>"));
  EXPECT_EQ(sign.GetSerialNO(), u" 7A 01\r\n");
  test.write_configuration(configuration("<SerialNumber></SerialNumber>"));
  EXPECT_EQ(sign.GetSerialNO(), u"");
  test.write_configuration(configuration("<serialnumber>7A</serialnumber>"));
  EXPECT_EQ(sign.GetSerialNO(), u"");
  EXPECT_FALSE(std::filesystem::exists(log_file()));
}

TEST_F(SerialNumber, AFailingCallGivesMinusOneAndOneEntry) {
  auto files = std::make_shared<testing::FaultyFileSystem>(test.platform.files);
  test.platform.files = files;
  test.write_configuration(configuration("<SerialNumber>7A</SerialNumber>"));
  files->fail_file_exists(1, RuntimeError::permission_denied);
  Sign sign(test.platform, nullptr);
  EXPECT_EQ(sign.GetSerialNO(), u"-1");
  EXPECT_EQ(testing::read_file(log_file()),
            "\r\n 06/12/2026 20:35:44  - Orvane.dll : Orvane.Dll : GetSerialNO : Permission "
            "denied\r\n");
  EXPECT_EQ(sign.GetSerialNO(), u"7A");
}

}  // namespace
}  // namespace orvane::signing
