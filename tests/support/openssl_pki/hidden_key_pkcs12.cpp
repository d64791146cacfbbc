#include "tests/support/openssl_pki/hidden_key_pkcs12.h"

#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/provider.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "provider/openssl/handles.h"

namespace orvane::test_pki {
namespace {

using namespace provider::openssl;

using BagStackPtr = SafeBagStackPtr;
using PartStackPtr = Pkcs7StackPtr;

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("hidden-key PKCS #12: cannot ") + what);
}

BioPtr read_file(const std::filesystem::path& path) {
  BioPtr bio(BIO_new_file(path.c_str(), "rb"));
  check(bio != nullptr, "read a PEM file");
  return bio;
}

}  // namespace

void write_pkcs12_with_key_in_encrypted_part(const TestCertificate& signer,
                                             const std::filesystem::path& file,
                                             const std::string& password, PartCipher cipher,
                                             int key_iterations) {
  if (cipher == PartCipher::legacy_rc2) {
    // Loading one provider by name stops the default one from loading by itself.
    static OSSL_PROVIDER* const default_algorithms = OSSL_PROVIDER_load(nullptr, "default");
    static OSSL_PROVIDER* const legacy_algorithms = OSSL_PROVIDER_load(nullptr, "legacy");
    check(default_algorithms != nullptr && legacy_algorithms != nullptr, "load RC2");
  }
  const X509Ptr certificate(
      PEM_read_bio_X509(read_file(signer.certificate).get(), nullptr, nullptr, nullptr));
  const EvpPkeyPtr key(
      PEM_read_bio_PrivateKey(read_file(signer.private_key).get(), nullptr, nullptr, nullptr));
  check(certificate && key, "read the signer");
  STACK_OF(PKCS12_SAFEBAG)* bags = nullptr;
  check(PKCS12_add_cert(&bags, certificate.get()) != nullptr, "add the certificate");
  const BagStackPtr owned_bags(bags);
  check(PKCS12_add_key(&bags, key.get(), 0, key_iterations, NID_aes_256_cbc, password.c_str()) !=
            nullptr,
        "add the key");
  STACK_OF(PKCS7)* parts = nullptr;
  const int part_scheme =
      cipher == PartCipher::aes_256 ? NID_aes_256_cbc : NID_pbe_WithSHA1And40BitRC2_CBC;
  check(PKCS12_add_safe(&parts, bags, part_scheme, 2048, password.c_str()) == 1, "encrypt");
  const PartStackPtr owned_parts(parts);
  const Pkcs12Ptr pkcs12(PKCS12_add_safes(parts, 0));
  check(pkcs12 &&
            PKCS12_set_mac(pkcs12.get(), password.c_str(), -1, nullptr, 0, 2048, EVP_sha256()) == 1,
        "seal");
  const BioPtr out(BIO_new_file(file.c_str(), "wb"));
  check(out && i2d_PKCS12_bio(out.get(), pkcs12.get()) == 1, "write the file");
}

}  // namespace orvane::test_pki
