#include "provider/openssl/certificate_issuer.h"

#include <openssl/bn.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <ctime>
#include <stdexcept>
#include <vector>

namespace orvane::provider::openssl {
namespace {

using BignumPtr = std::unique_ptr<BIGNUM, Free<BN_free>>;
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, Free<X509_EXTENSION_free>>;

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("cannot ") + what);
}

void add_extension(X509* certificate, X509V3_CTX& context, int nid, const char* value) {
  const ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
  check(extension && X509_add_ext(certificate, extension.get(), -1) == 1,
        "add a certificate extension");
}

void add_name_entry(X509_NAME* name, const char* field, const std::string& value) {
  if (value.empty()) return;
  check(X509_NAME_add_entry_by_txt(name, field, MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(value.c_str()), -1, -1,
                                   0) == 1,
        "set a certificate name");
}

}  // namespace

EvpPkeyPtr make_ec_key() {
  // EVP_EC_gen would cast the constness off its argument, which clang warns about.
  char curve[] = "P-256";
  EvpPkeyPtr key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", curve));
  check(key != nullptr, "make an EC key");
  return key;
}

EvpPkeyPtr make_rsa_key(int bits) {
  EvpPkeyPtr key(EVP_RSA_gen(static_cast<unsigned int>(bits)));
  check(key != nullptr, "make an RSA key");
  return key;
}

KeyedCertificate issue_certificate(const CertificateProfile& profile, EvpPkeyPtr key,
                                   const KeyedCertificate* issuer) {
  X509Ptr certificate(X509_new());
  check(certificate != nullptr, "make a certificate");
  X509_set_version(certificate.get(), X509_VERSION_3);

  BIGNUM* serial = nullptr;
  check(BN_hex2bn(&serial, profile.serial_hex.c_str()) > 0, "read a serial number");
  const BignumPtr owned_serial(serial);
  check(BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(certificate.get())) != nullptr,
        "set a serial number");

  X509_NAME* subject = X509_get_subject_name(certificate.get());
  add_name_entry(subject, "O", profile.organisation);
  add_name_entry(subject, "CN", profile.common_name);
  X509* signer = issuer ? issuer->certificate.get() : certificate.get();
  EVP_PKEY* signing_key = issuer ? issuer->key.get() : key.get();
  X509_set_issuer_name(certificate.get(), X509_get_subject_name(signer));
  check(ASN1_TIME_set(X509_getm_notBefore(certificate.get()),
                      static_cast<std::time_t>(profile.not_before)) &&
            ASN1_TIME_set(X509_getm_notAfter(certificate.get()),
                          static_cast<std::time_t>(profile.not_after)),
        "set the validity period");
  X509_set_pubkey(certificate.get(), key.get());

  X509V3_CTX context;
  X509V3_set_ctx(&context, signer, certificate.get(), nullptr, nullptr, 0);
  add_extension(certificate.get(), context, NID_basic_constraints,
                profile.authority ? "critical,CA:TRUE" : "critical,CA:FALSE");
  add_extension(certificate.get(), context, NID_key_usage,
                profile.authority ? "critical,keyCertSign,cRLSign"
                                  : "critical,digitalSignature,nonRepudiation");
  add_extension(certificate.get(), context, NID_subject_key_identifier, "hash");
  add_extension(certificate.get(), context, NID_authority_key_identifier, "keyid:always");

  check(X509_sign(certificate.get(), signing_key, EVP_sha256()) > 0, "sign a certificate");
  return {std::move(certificate), std::move(key)};
}

std::string random_serial_hex(int bytes) {
  std::vector<unsigned char> random(static_cast<std::size_t>(bytes));
  check(bytes > 0 && RAND_bytes(random.data(), bytes) == 1, "make a random serial number");
  random[0] = static_cast<unsigned char>((random[0] & 0x7F) | 0x01);
  constexpr char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (const unsigned char octet : random) {
    hex.push_back(digits[octet >> 4]);
    hex.push_back(digits[octet & 0x0F]);
  }
  return hex;
}

}  // namespace orvane::provider::openssl
