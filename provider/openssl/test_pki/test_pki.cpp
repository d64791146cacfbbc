#include "provider/openssl/test_pki/test_pki.h"

#include <openssl/bn.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <ctime>
#include <fstream>
#include <stdexcept>
#include <string>

#include "provider/openssl/handles.h"

namespace orvane::test_pki {
namespace {

using namespace provider::openssl;
namespace fs = std::filesystem;

using BignumPtr = std::unique_ptr<BIGNUM, Free<BN_free>>;
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, Free<X509_EXTENSION_free>>;

constexpr long day = 24 * 60 * 60;

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test PKI: cannot ") + what);
}

// The moment the validity periods are counted from: once per process, like the keys.
std::time_t reference_time() {
  static const std::time_t reference = std::time(nullptr);
  return reference;
}

struct Profile {
  const char* common_name;
  const char* serial_hex;  // also the serial number text, a DER sign octet included
  bool authority;
  long first_day;  // relative to the reference time
  long last_day;

  std::int64_t not_before() const { return reference_time() + first_day * day; }
  std::int64_t not_after() const { return reference_time() + last_day * day; }
};

struct Issued {
  X509Ptr certificate;
  EvpPkeyPtr key;
};

EvpPkeyPtr ec_key() {
  // EVP_EC_gen would cast the constness off its argument, which clang warns about.
  char curve[] = "P-256";
  EvpPkeyPtr key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", curve));
  check(key != nullptr, "make an EC key");
  return key;
}

void add_extension(X509* certificate, X509V3_CTX& context, int nid, const char* value) {
  const ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
  check(extension && X509_add_ext(certificate, extension.get(), -1) == 1, "add an extension");
}

// A certificate for `key`, signed by `issuer`, or by itself when there is none.
Issued issue(const Profile& profile, EvpPkeyPtr key, const Issued* issuer) {
  X509Ptr certificate(X509_new());
  check(certificate != nullptr, "make a certificate");
  X509_set_version(certificate.get(), X509_VERSION_3);

  BIGNUM* serial = nullptr;
  check(BN_hex2bn(&serial, profile.serial_hex) > 0, "read a serial");
  const BignumPtr owned_serial(serial);
  check(BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(certificate.get())) != nullptr,
        "set a serial");

  X509_NAME* subject = X509_get_subject_name(certificate.get());
  X509_NAME_add_entry_by_txt(subject, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("Orvane Tests"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(profile.common_name), -1, -1,
                             0);
  X509* signer = issuer ? issuer->certificate.get() : certificate.get();
  EVP_PKEY* signing_key = issuer ? issuer->key.get() : key.get();
  X509_set_issuer_name(certificate.get(), X509_get_subject_name(signer));
  check(ASN1_TIME_set(X509_getm_notBefore(certificate.get()),
                      static_cast<std::time_t>(profile.not_before())) &&
            ASN1_TIME_set(X509_getm_notAfter(certificate.get()),
                          static_cast<std::time_t>(profile.not_after())),
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

std::string pem_of_bio(BIO* bio) {
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);
  return std::string(data, static_cast<std::size_t>(length));
}

// What is written for one certificate, made once.
struct Made {
  std::string serial;
  std::int64_t not_before = 0;
  std::int64_t not_after = 0;
  std::string certificate_pem;
  std::string key_pem;
};

Made pems_of(const Profile& profile, const Issued& issued) {
  const BioPtr certificate(BIO_new(BIO_s_mem()));
  const BioPtr key(BIO_new(BIO_s_mem()));
  check(certificate && key && PEM_write_bio_X509(certificate.get(), issued.certificate.get()) &&
            PEM_write_bio_PKCS8PrivateKey(key.get(), issued.key.get(), nullptr, nullptr, 0, nullptr,
                                          nullptr),
        "write PEM");
  return {profile.serial_hex, profile.not_before(), profile.not_after(),
          pem_of_bio(certificate.get()), pem_of_bio(key.get())};
}

struct Material {
  Made root, intermediate, user, ec_user, without_key, expired, not_yet_valid, duplicate_first,
      duplicate_second, leading_zero, untrusted_root, untrusted_user;
};

Material make_material() {
  Material made;
  const auto make = [](const Profile& profile, EvpPkeyPtr key, const Issued* issuer, Made& out) {
    Issued issued = issue(profile, std::move(key), issuer);
    out = pems_of(profile, issued);
    return issued;
  };
  const Issued root =
      make({"Orvane Test Root", "7F01", true, -1, 3650}, ec_key(), nullptr, made.root);
  const Issued intermediate = make({"Orvane Test Intermediate", "7F02", true, -1, 3650}, ec_key(),
                                   &root, made.intermediate);
  // RSA only where the key type matters: its key takes long to make under the sanitizers.
  EvpPkeyPtr rsa_key(EVP_RSA_gen(2048));
  check(rsa_key != nullptr, "make an RSA key");
  make({"Orvane Test User", "4A6B8C9D0E1F", false, -1, 3650}, std::move(rsa_key), &intermediate,
       made.user);
  make({"Orvane Test EC User", "3E5C0001", false, -1, 3650}, ec_key(), &intermediate, made.ec_user);
  make({"Orvane Test Without Key", "2B000001", false, -1, 3650}, ec_key(), &intermediate,
       made.without_key);
  make({"Orvane Test Expired", "2B000002", false, -730, -365}, ec_key(), &intermediate,
       made.expired);
  make({"Orvane Test Not Yet Valid", "2B000003", false, 365, 730}, ec_key(), &intermediate,
       made.not_yet_valid);
  make({"Orvane Test Duplicate", "2B0000DD", false, -1, 3650}, ec_key(), &intermediate,
       made.duplicate_first);
  make({"Orvane Test Duplicate", "2B0000DD", false, -1, 3650}, ec_key(), &root,
       made.duplicate_second);
  make({"Orvane Test Leading Zero", "00C3A1B2D4", false, -1, 3650}, ec_key(), &intermediate,
       made.leading_zero);
  const Issued untrusted_root = make({"Orvane Untrusted Root", "6601", true, -1, 3650}, ec_key(),
                                     nullptr, made.untrusted_root);
  make({"Orvane Untrusted User", "6602", false, -1, 3650}, ec_key(), &untrusted_root,
       made.untrusted_user);
  return made;
}

const Material& material() {
  static const Material made = make_material();
  return made;
}

void write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  check(static_cast<bool>(out), "write a file");
}

// Writes the certificate as `<folder>/<name>.pem` and, when `with_key`, its key beside it,
// readable by the owner only, as the store insists.
TestCertificate install(const Made& made, const fs::path& folder, const std::string& name,
                        bool with_key) {
  TestCertificate installed{
      text_from_ascii(made.serial), folder / (name + ".pem"), {}, made.not_before, made.not_after};
  write(installed.certificate, made.certificate_pem);
  if (with_key) {
    installed.private_key = folder / (name + ".key");
    write(installed.private_key, made.key_pem);
    fs::permissions(installed.private_key, fs::perms::owner_read | fs::perms::owner_write);
  }
  return installed;
}

}  // namespace

TestPki install_test_pki(const fs::path& store_root) {
  const Material& made = material();
  const fs::path my = store_root / "My";
  TestPki pki;
  pki.store_root = store_root;
  pki.root = install(made.root, store_root / "Root", "root", false);
  pki.intermediate = install(made.intermediate, store_root / "CA", "intermediate", false);
  pki.user = install(made.user, my, "10-user", true);
  pki.ec_user = install(made.ec_user, my, "20-ec-user", true);
  pki.without_key = install(made.without_key, my, "30-without-key", false);
  pki.expired = install(made.expired, my, "40-expired", true);
  pki.not_yet_valid = install(made.not_yet_valid, my, "50-not-yet-valid", true);
  pki.duplicate_first = install(made.duplicate_first, my, "60-duplicate-first", true);
  pki.duplicate_second = install(made.duplicate_second, my, "61-duplicate-second", true);
  pki.leading_zero = install(made.leading_zero, my, "70-leading-zero", true);
  pki.untrusted_root = install(made.untrusted_root, store_root / "untrusted", "root", false);
  pki.untrusted_user = install(made.untrusted_user, my, "80-untrusted-user", true);
  return pki;
}

}  // namespace orvane::test_pki
