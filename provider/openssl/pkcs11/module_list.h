#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "provider/openssl/smart_card_store.h"

namespace orvane::provider::openssl::pkcs11 {

// The modules whose tokens make the smart-card store, in the order they are read.
struct ModuleList {
  std::vector<std::filesystem::path> modules;
  std::vector<SkippedModule> skipped;
};

// The modules of the `module = PATH` lines of `pkcs11.conf` in `store_root` when it has any
// (lines that are neither blank, a # comment nor such a line are skipped); otherwise the
// modules that p11-kit registers for this user, less trust-policy modules. A module named
// twice, by any path to the same file, is read once. A pkcs11.conf, or a store root, that
// others could have changed (see store_safety.h) loads nothing at all.
ModuleList modules_to_read(const std::filesystem::path& store_root);

}  // namespace orvane::provider::openssl::pkcs11
