#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/openssl_pki/test_pki.h"
#include "tests/support/temp_folder.h"

namespace orvane::testing {

// What one run of the orvane command gave back.
struct CommandResult {
  int status = -1;
  std::string out;
  std::string err;
};

// A test that runs the built orvane binary in a folder of its own, with a home folder, a
// temporary folder and a system directory there, and the test PKI's files ready to import.
class CliTest : public ::testing::Test {
 protected:
  CliTest();

  // Runs `orvane` with `arguments` in the test's folder, with `environment` added to an
  // environment that names no store ($ORVANE_STORE_DIR and $XDG_DATA_HOME unset).
  CommandResult orvane(const std::vector<std::string>& arguments,
                       const std::map<std::string, std::string>& environment = {}) const;
  // Runs `orvane --store STORE --system-dir SYSTEM` with `arguments`.
  CommandResult in_store(const std::vector<std::string>& arguments) const;

  // Makes `name`.p12 in the PKI folder from a certificate and its key, with the
  // intermediate certificate along (and the root, when `with_root`), protected by `password`
  // (may be empty).
  std::filesystem::path make_pkcs12(const test_pki::TestCertificate& certificate,
                                    const std::string& name, const std::string& password,
                                    bool with_root = false) const;
  // Writes `text` to `name` in the test's folder and returns its path.
  std::filesystem::path write(const std::string& name, const std::string& text) const;

  // Imports the test PKI's RSA user from a protected PKCS #12 file and trusts its root.
  void set_up_user_store() const;

  TempFolder folder;
  std::filesystem::path store = folder.path() / "store";
  std::filesystem::path system = folder.path() / "system";
  std::filesystem::path home = folder.path() / "home";
  std::filesystem::path temporary = folder.path() / "tmp";
  // The test PKI's files, outside the store: what a user receives.
  test_pki::TestPki pki = test_pki::install_test_pki(folder.path() / "pki");
  std::string user_serial = text_to_utf8(pki.user.serial);
};

// The file's permission bits, as in `ls -l`.
std::filesystem::perms permissions_of(const std::filesystem::path& path);

}  // namespace orvane::testing
