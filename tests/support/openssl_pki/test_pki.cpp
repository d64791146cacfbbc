#include "tests/support/openssl_pki/test_pki.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <stdexcept>
#include <string>

#include "provider/openssl/certificate_issuer.h"
#include "provider/openssl/pem_text.h"

namespace orvane::test_pki {
namespace {

using namespace provider::openssl;
namespace fs = std::filesystem;

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

KeyedCertificate issue(const Profile& profile, EvpPkeyPtr key, const KeyedCertificate* issuer) {
  return issue_certificate({"Orvane Tests", profile.common_name, profile.serial_hex,
                            profile.authority, profile.not_before(), profile.not_after()},
                           std::move(key), issuer);
}

// What is written for one certificate, made once.
struct Made {
  std::string serial;
  std::int64_t not_before = 0;
  std::int64_t not_after = 0;
  std::string certificate_pem;
  std::string key_pem;
};

Made pems_of(const Profile& profile, const KeyedCertificate& issued) {
  return {profile.serial_hex, profile.not_before(), profile.not_after(),
          certificate_pem(issued.certificate.get()), private_key_pem(issued.key.get())};
}

struct Material {
  KeyedCertificate intermediate_issuer;  // issues the personal certificates added later
  Made root, intermediate, user, ec_user, without_key, expired, not_yet_valid, duplicate_first,
      duplicate_second, leading_zero, untrusted_root, untrusted_user;
};

Material make_material() {
  Material made;
  const auto make = [](const Profile& profile, EvpPkeyPtr key, const KeyedCertificate* issuer,
                       Made& out) {
    KeyedCertificate issued = issue(profile, std::move(key), issuer);
    out = pems_of(profile, issued);
    return issued;
  };
  const KeyedCertificate root =
      make({"Orvane Test Root", "7F01", true, -1, 3650}, make_ec_key(), nullptr, made.root);
  made.intermediate_issuer = make({"Orvane Test Intermediate", "7F02", true, -1, 3650},
                                  make_ec_key(), &root, made.intermediate);
  const KeyedCertificate& intermediate = made.intermediate_issuer;
  // RSA only where the key type matters: its key takes long to make under the sanitizers.
  make({"Orvane Test User", "4A6B8C9D0E1F", false, -1, 3650}, make_rsa_key(2048), &intermediate,
       made.user);
  make({"Orvane Test EC User", "3E5C0001", false, -1, 3650}, make_ec_key(), &intermediate,
       made.ec_user);
  make({"Orvane Test Without Key", "2B000001", false, -1, 3650}, make_ec_key(), &intermediate,
       made.without_key);
  make({"Orvane Test Expired", "2B000002", false, -730, -365}, make_ec_key(), &intermediate,
       made.expired);
  make({"Orvane Test Not Yet Valid", "2B000003", false, 365, 730}, make_ec_key(), &intermediate,
       made.not_yet_valid);
  make({"Orvane Test Duplicate", "2B0000DD", false, -1, 3650}, make_ec_key(), &intermediate,
       made.duplicate_first);
  make({"Orvane Test Duplicate", "2B0000DD", false, -1, 3650}, make_ec_key(), &root,
       made.duplicate_second);
  make({"Orvane Test Leading Zero", "00C3A1B2D4", false, -1, 3650}, make_ec_key(), &intermediate,
       made.leading_zero);
  const KeyedCertificate untrusted_root = make({"Orvane Untrusted Root", "6601", true, -1, 3650},
                                               make_ec_key(), nullptr, made.untrusted_root);
  make({"Orvane Untrusted User", "6602", false, -1, 3650}, make_ec_key(), &untrusted_root,
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

std::vector<Text> add_personal_certificates(const TestPki& pki, int count) {
  std::vector<Text> serials;
  for (int i = 0; i < count; ++i) {
    char serial[16];
    std::snprintf(serial, sizeof serial, "5B%06X", i);
    char name[32];
    std::snprintf(name, sizeof name, "05-added-%06d", i);
    const Profile profile{"Orvane Test Added", serial, false, -1, 3650};
    const KeyedCertificate issued = issue(profile, make_ec_key(), &material().intermediate_issuer);
    serials.push_back(install(pems_of(profile, issued), pki.store_root / "My", name, true).serial);
  }
  return serials;
}

}  // namespace orvane::test_pki
