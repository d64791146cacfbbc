#include "config/configuration_file.h"

#include <gtest/gtest.h>

#include "config/system_directory.h"
#include "tests/support/test_platform.h"

namespace orvane::config {
namespace {

TEST(SystemDirectory, StopsAtTheFirstNul) {
  EXPECT_EQ(TrimAtNull(Text(u"C:\\WINDOWS\\system32\0   ", 24)), u"C:\\WINDOWS\\system32");
  EXPECT_EQ(TrimAtNull(u"/etc/orvane"), u"/etc/orvane");
  Platform platform = native_platform();
  platform.system_directory.clear();
  EXPECT_EQ(GetSystemDir(platform), u"");
}

TEST(ConfigurationFile, LivesInTheSystemDirectoryBehindOneSeparator) {
  Platform platform = native_platform();
  platform.system_directory = u"C:\\WINDOWS\\system32";
  platform.path_separator = u'\\';
  EXPECT_EQ(configuration_path(platform), u"C:\\WINDOWS\\system32\\KPXServiceControl.INI");
}

TEST(ConfigurationFile, ValuesAreReadAfreshAndCharacterForCharacter) {
  testing::TestPlatform test;
  XML xml(test.platform.files, windows_1252());
  const Text path = configuration_path(test.platform);
  const auto serial = [&] {
    return read_configuration_value(xml, *test.platform.files, path, serial_number_start_tag,
                                    serial_number_end_tag);
  };
  EXPECT_EQ(serial(), u"");
  test.write_configuration("<LogError>/var/log/x</LogError>\r\n<SerialNumber> 0A </SerialNumber>");
  EXPECT_EQ(serial(), u" 0A ");
  EXPECT_EQ(xml.sXmlData, u"");
  test.write_configuration("<SerialNumber>0B</SerialNumber>");
  EXPECT_EQ(serial(), u"0B");
}

}  // namespace
}  // namespace orvane::config
