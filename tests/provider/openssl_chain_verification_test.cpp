// Which certificates count as roots: the rule that decides which certificates a message
// carries, where a chain is taken to end, and which certificates `orvane store trust` takes.

#include <gtest/gtest.h>
#include <openssl/crypto.h>
#include <openssl/x509.h>

#include <ctime>
#include <string>

#include "provider/openssl/certificate_issuer.h"
#include "provider/openssl/chain_verification.h"

namespace orvane::provider::openssl {
namespace {

// `certificate` with the last octet of its signature changed.
X509Ptr with_damaged_signature(X509* certificate) {
  unsigned char* written = nullptr;
  const int length = i2d_X509(certificate, &written);
  const OpensslMemoryPtr<unsigned char> der(written);
  std::string bytes(reinterpret_cast<const char*>(der.get()), static_cast<std::size_t>(length));
  bytes.back() = static_cast<char>(bytes.back() ^ 0x01);
  const auto* cursor = reinterpret_cast<const unsigned char*>(bytes.data());
  return X509Ptr(d2i_X509(nullptr, &cursor, length));
}

TEST(IsRoot, IsSelfIssuedAndSignedByItsOwnKey) {
  const std::int64_t now = std::time(nullptr);
  const auto profile = [now](const char* name, const char* serial, bool authority) {
    return CertificateProfile{"Orvane Test", name, serial, authority, now - 60, now + 3600};
  };
  const KeyedCertificate root =
      issue_certificate(profile("Orvane Test Root", "01", true), make_ec_key(), nullptr);
  const KeyedCertificate signer =
      issue_certificate(profile("Orvane Test Signer", "02", false), make_ec_key(), &root);
  // The root's own name, another key: self-issued, yet signed by the root's key.
  const KeyedCertificate same_name =
      issue_certificate(profile("Orvane Test Root", "03", true), make_ec_key(), &root);
  const X509Ptr damaged = with_damaged_signature(root.certificate.get());
  ASSERT_NE(damaged, nullptr);

  EXPECT_TRUE(is_root(root.certificate.get()));
  EXPECT_FALSE(is_root(signer.certificate.get()));
  EXPECT_FALSE(is_root(same_name.certificate.get()));
  EXPECT_FALSE(is_root(damaged.get()));
}

}  // namespace
}  // namespace orvane::provider::openssl
