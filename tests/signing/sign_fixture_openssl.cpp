// The fixture's parts that only the OpenSSL back end and the openssl command have.

#include "tests/provider/openssl_cli.h"
#include "tests/signing/sign_fixture.h"

namespace orvane::signing {

namespace fs = std::filesystem;
using testing::quoted;
using testing::read_file;
using testing::run_openssl;

SignPki install_sign_pki(const fs::path& store_root) {
  return test_pki::install_test_pki(store_root);
}

const PkiRole& SignTest::other_signer() const {
  return pki.ec_user;
}

std::optional<std::string> SignTest::openssl_verify(
    const fs::path& der, const std::optional<std::string>& content) const {
  const fs::path content_file = test.folder.path() / "openssl-content.bin";
  const fs::path out = test.folder.path() / "openssl-out.bin";
  if (content) testing::write_file(content_file, *content);
  if (!run_openssl("cms -verify -binary -inform DER -in " + quoted(der) +
                   (content ? " -content " + quoted(content_file) : std::string()) + " -CAfile " +
                   quoted(pki.root.certificate) + " -out " + quoted(out))) {
    return std::nullopt;
  }
  return read_file(out);
}

std::string SignTest::openssl_sign(const std::string& content,
                                   const test_pki::TestCertificate& signer,
                                   const std::string& options) const {
  const fs::path content_file = test.folder.path() / "openssl-content.bin";
  const fs::path out = test.folder.path() / "openssl-message";
  testing::write_file(content_file, content);
  EXPECT_TRUE(run_openssl("cms -sign -binary -md sha256 -in " + quoted(content_file) + " -signer " +
                          quoted(signer.certificate) + " -inkey " + quoted(signer.private_key) +
                          " -certfile " + quoted(pki.intermediate.certificate) + " -out " +
                          quoted(out) + " " + options));
  return read_file(out);
}

std::vector<std::string> SignTest::signing_times(const fs::path& der) const {
  const fs::path printed = test.folder.path() / "printed.txt";
  EXPECT_TRUE(run_openssl("cms -cmsout -print -noout -inform DER -in " + quoted(der) + " -out " +
                          quoted(printed)));
  // The value follows its attribute's name: "object: signingTime (...)", "set:", "UTCTIME:...".
  std::vector<std::string> times;
  const std::string text = read_file(printed);
  for (auto at = text.find("signingTime"); at != std::string::npos;
       at = text.find("signingTime", at + 1)) {
    const auto value = text.find("TIME:", at);
    times.push_back(text.substr(value + 5, text.find('\n', value) - value - 5));
  }
  return times;
}

}  // namespace orvane::signing
