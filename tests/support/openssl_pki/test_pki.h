#pragma once

// A throwaway PKI for tests, made at run time so that no private key is ever committed.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "runtime/text.h"

namespace orvane::test_pki {

// One certificate of the test PKI.
struct TestCertificate {
  // The serial number as the provider's SerialNumber shows it.
  Text serial;
  // Its PEM file.
  std::filesystem::path certificate;
  // Its unencrypted PKCS #8 PEM key file (owner-only), or empty when the store holds no key.
  std::filesystem::path private_key;
  // Its validity period, in seconds since 1970 UTC, both ends included.
  std::int64_t not_before = 0;
  std::int64_t not_after = 0;
};

// The test PKI as installed under one store root. The personal store (My/) lists, in this
// order: user, ec_user, without_key, expired, not_yet_valid, duplicate_first,
// duplicate_second, leading_zero, untrusted_user.
struct TestPki {
  std::filesystem::path store_root;
  TestCertificate root;              // Root/: the trusted root
  TestCertificate intermediate;      // CA/: issued by root; issues the users unless said otherwise
  TestCertificate user;              // RSA 2048
  TestCertificate ec_user;           // EC P-256, like every key below
  TestCertificate without_key;       // its key is not in the store
  TestCertificate expired;           // ended a year ago
  TestCertificate not_yet_valid;     // starts in a year
  TestCertificate duplicate_first;   // the same serial as duplicate_second
  TestCertificate duplicate_second;  // issued by the root itself
  TestCertificate leading_zero;      // a serial whose DER starts with a 00 octet
  TestCertificate untrusted_root;    // outside every store folder, so nothing trusts it
  TestCertificate untrusted_user;    // issued by untrusted_root
};

// Writes the test PKI into `store_root` (created if missing): Root/, CA/ and My/, and the
// untrusted root in untrusted/. Keys and certificates are made once per process and written
// again for every store root; they are valid from a day before the first call.
TestPki install_test_pki(const std::filesystem::path& store_root);

// Adds `count` more EC signing certificates with their keys to the personal store of `pki`,
// issued by its intermediate; their files sort before the others'. Returns their serial
// numbers in store order.
std::vector<Text> add_personal_certificates(const TestPki& pki, int count);

}  // namespace orvane::test_pki
