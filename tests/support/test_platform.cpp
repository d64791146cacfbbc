#include "tests/support/test_platform.h"

namespace orvane::testing {

TestPlatform::TestPlatform() : clock(std::make_shared<FixedClock>(example_time)) {
  std::filesystem::create_directory(system_directory());
  platform = native_platform();
  platform.clock = clock;
  platform.system_directory = text_from_utf8(system_directory().string());
}

void TestPlatform::write_configuration(const std::string& text) const {
  write_file(system_directory() / "KPXServiceControl.INI", text);
}

}  // namespace orvane::testing
