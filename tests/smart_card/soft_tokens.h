#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/openssl_pki/test_pki.h"

namespace orvane::testing {

// The SoftHSM2 module as Debian installs it.
inline const std::filesystem::path softhsm_module = "/usr/lib/softhsm/libsofthsm2.so";

// Whether and how a certificate's private key goes onto a token.
enum class TokenKey { none, plain, always_authenticate };

// SoftHSM2 tokens of one test, made with SoftHSM's and OpenSC's own tools, and the store root
// that reads them through the module named in its pkcs11.conf. SoftHSM reads its
// configuration from $SOFTHSM2_CONF, which the test's CTest environment sets; each test
// writes it again to point at a token folder of its own.
class SoftTokens {
 public:
  SoftTokens(const std::filesystem::path& folder, const std::filesystem::path& store_root);

  // Initialises a free slot's token as `label` with the user PIN `pin`.
  void create(const std::string& label, const std::string& pin);
  // Puts the certificate on the token `label` as CKA_ID `id` (hex), and its private key with the
  // same CKA_ID as `key` says: always_authenticate asks for the PIN again at every signature.
  void put(const std::string& label, const std::string& pin,
           const test_pki::TestCertificate& certificate, const std::string& id,
           TokenKey key = TokenKey::plain);
  // Adds `flags` (CKF_USER_PIN_...) to what every token reports of itself, as a card does when
  // its PIN counter runs low; SoftHSM itself never blocks a PIN.
  void add_token_flags(std::uint64_t flags);
  // Writes pins/<label> in the store root: `content`, readable as `permissions` say.
  void write_pin_file(const std::string& label, const std::string& content,
                      std::filesystem::perms permissions = std::filesystem::perms::owner_read |
                                                           std::filesystem::perms::owner_write);
  // Writes the store root's pkcs11.conf.
  void write_configuration(const std::string& text);

 private:
  std::filesystem::path folder_;
  std::filesystem::path store_root_;
};

// The modules p11-kit registers, as this test chooses them: for as long as it lives, p11-kit's
// module folders show exactly `modules` (file name → module configuration) to this process,
// whatever the machine registers. Needs a mount namespace of the process's own, which only a
// privileged process gets: `active()` says whether it has one (skip the test when not).
class RegisteredModules {
 public:
  RegisteredModules(const std::filesystem::path& folder,
                    const std::vector<std::pair<std::string, std::string>>& modules);
  ~RegisteredModules();
  RegisteredModules(const RegisteredModules&) = delete;
  RegisteredModules& operator=(const RegisteredModules&) = delete;

  bool active() const { return !mounted_.empty(); }

 private:
  std::vector<std::filesystem::path> mounted_;
};

// SoftHSM registered as its package registers it, and p11-kit's trust-policy module when
// `with_trust_module` says so.
RegisteredModules register_softhsm(const std::filesystem::path& folder, bool with_trust_module);

}  // namespace orvane::testing
