#pragma once

#include <filesystem>
#include <string>

namespace orvane::provider::openssl {

// A file of a store folder that contributed nothing, and why.
struct SkippedFile {
  std::filesystem::path path;
  std::string reason;
};

}  // namespace orvane::provider::openssl
