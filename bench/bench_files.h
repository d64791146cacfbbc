#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "signing/sign.h"
#include "tests/support/openssl_pki/test_pki.h"

namespace orvane::bench {

// The sizes the benchmarks sign and verify, with the names they report.
struct FileSize {
  const char* name;
  std::size_t bytes;
};
inline constexpr FileSize file_sizes[] = {
    {"1KiB", 1024}, {"1MiB", 1024 * 1024}, {"100MiB", 100 * 1024 * 1024}};

// What every benchmark of one process shares, made on first use and removed at exit: a
// temporary folder with the test PKI's store, a system directory and a Sign object over them.
struct BenchWorld {
  std::filesystem::path folder;
  test_pki::TestPki pki;
  std::unique_ptr<signing::Sign> sign;

  // A text file of `bytes` bytes in the folder (mostly ASCII, some Windows-1252), made once.
  Text file(const FileSize& size);
  Text path(const std::string& name) const;
};

BenchWorld& world();

}  // namespace orvane::bench
