#include "cli/settings.h"

#include "config/configuration_file.h"
#include "provider/store_administration.h"
#include "runtime/program.h"

namespace orvane::cli {

Settings resolve_settings(const Invocation& invocation) {
  Settings settings;
  settings.store_root =
      invocation.has_store ? path_from_utf8(invocation.store) : provider::default_store_root();
  settings.platform = native_platform();
  if (invocation.has_system_dir) {
    std::string directory = invocation.system_dir;
    // The component joins names with one separator of its own; a root ("/", "C:\\") stays.
    const char separator = static_cast<char>(settings.platform.path_separator);
    while (directory.size() > 1 && (directory.back() == '/' || directory.back() == separator) &&
           directory[directory.size() - 2] != ':') {
      directory.pop_back();
    }
    settings.platform.system_directory = text_from_utf8(directory);
  }
  settings.configuration_file = text_to_utf8(config::configuration_path(settings.platform));
  return settings;
}

}  // namespace orvane::cli
