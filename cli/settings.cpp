#include "cli/settings.h"

#include "config/configuration_file.h"
#include "provider/openssl/default_store_root.h"

namespace orvane::cli {

Settings resolve_settings(const Invocation& invocation) {
  Settings settings;
  settings.store_root = invocation.has_store ? std::filesystem::path(invocation.store)
                                             : provider::openssl::default_store_root();
  settings.platform = native_platform();
  if (invocation.has_system_dir) {
    std::string directory = invocation.system_dir;
    // The component joins names with one separator of its own; "/" alone stays the root.
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    settings.platform.system_directory = text_from_utf8(directory);
  }
  settings.configuration_file = text_to_utf8(config::configuration_path(settings.platform));
  return settings;
}

}  // namespace orvane::cli
