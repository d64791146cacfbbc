#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "signing/sign.h"
#include "tests/support/test_platform.h"

#ifdef _WIN32
#include "tests/signing/windows_sign_pki.h"
#else
#include "tests/support/openssl_pki/test_pki.h"
#endif

namespace orvane::signing {

// The methods' answers that callers compare against, spelled once for every suite of the core.
namespace answers {
inline const Text original_not_found = u"Original File Not Found Or Can't BE Accessed";
inline const Text signature_not_found =
    u"Digital Siganture File Not Found Or Can't Be Accessed for Original file :";
inline const Text not_valid = u"Signature or Certificate is not valid ";
inline const Text not_the_login_certificate =
    u"The file has not been signed with the certificate used for login.";
inline const Text no_certificate =
    u"Error: Certificate is either damaged, uninstalled or not present.";
inline const Text signing_error = u"Signing Error: ";
}  // namespace answers

#ifdef _WIN32
using SignPki = WindowsSignPki;
using PkiRole = WindowsPkiRole;
#else
using SignPki = test_pki::TestPki;
using PkiRole = test_pki::TestCertificate;
#endif

// A Sign object over the platform's default back end with the test PKI in its stores (on Linux
// a store of its own, under Wine the user's stores), a system directory whose configuration
// file names a log folder, a clock that the test sets (the real time at the start), and a work
// folder for the files it signs and verifies.
class SignTest : public ::testing::Test {
 protected:
  SignTest();

  // Writes `bytes` to `name` in the work folder; returns its path as callers pass it.
  Text write(const std::string& name, const std::string& bytes) const;
  std::filesystem::path path(const std::string& name) const { return work / name; }
  Text text_path(const std::string& name) const;
  // The names of the work folder's files, sorted.
  std::vector<std::string> work_files() const;
  // The work folder's files and their contents, by name.
  std::map<std::string, std::string> work_contents() const;

  // Rewrites the configuration file: the log folder and then `more`.
  void configure(const std::string& more) const;
  // Today's error log; "" when nothing has been logged.
  std::string log() const;
  // The entry texts of today's error log, without their time stamps.
  std::vector<std::string> log_entries() const;

  // The DER of a message text, in a file of the test's own.
  std::filesystem::path der_file(const Text& message, const std::string& name) const;

  // A signer other than `pki.user` with its key in the store: the EC one on Linux; RSA under
  // Wine, which keeps no CNG keys (the only kind that holds EC keys).
  const PkiRole& other_signer() const;

#ifndef _WIN32
  // The openssl command does not run under Wine: tests that check through it are Linux's.
  // The content that the openssl command finds in the DER message `der` after verifying it
  // against the test root (detached: against `content`); nothing when it does not verify.
  std::optional<std::string> openssl_verify(const std::filesystem::path& der,
                                            const std::optional<std::string>& content = {}) const;
  // The message that the openssl command makes over `content` as `signer`, with the test's
  // intermediate; `options` picks the form ("-outform DER", "-outform PEM", "-nodetach").
  std::string openssl_sign(const std::string& content, const test_pki::TestCertificate& signer,
                           const std::string& options) const;
  // The signing times that the openssl command prints for the DER message `der`.
  std::vector<std::string> signing_times(const std::filesystem::path& der) const;
#endif

  // Signs `file` in the work folder in file mode; the answer and the extension handed back.
  std::pair<Text, Text> sign_file(const std::string& file, const Text& serial, bool detached,
                                  const Text& extension = {});

  testing::TestPlatform test;
  std::filesystem::path work;
  SignPki pki;
  Sign sign;
};

// The test PKI where the default back end finds it; `store_root` where the back end has stores
// of its own.
SignPki install_sign_pki(const std::filesystem::path& store_root);

// `text` as UTF-16LE bytes, as the provider signs it.
std::string utf16le(const Text& text);

// Every byte value, then a little text: a binary file as users sign them.
std::string binary_sample();

}  // namespace orvane::signing
