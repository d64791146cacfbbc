#pragma once

#include <filesystem>

#include "cli/invocation.h"
#include "runtime/platform.h"

namespace orvane::cli {

// Where a command finds its stores and its configuration.
struct Settings {
  // --store, else $ORVANE_STORE_DIR, else the default store root; empty when none is known.
  std::filesystem::path store_root;
  // The native platform, with --system-dir (trailing separators stripped) as its system
  // directory when given.
  Platform platform;
  // KPXServiceControl.INI in that system directory, for messages.
  std::string configuration_file;
};

// The settings of `invocation`.
Settings resolve_settings(const Invocation& invocation);

}  // namespace orvane::cli
