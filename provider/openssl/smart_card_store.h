#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "provider/openssl/certificate.h"

namespace orvane::provider::openssl {

// Why a module of trust anchors is passed over; they hold roots, never signing keys.
inline constexpr char trust_policy_module[] = "a trust-policy module";

// A PKCS #11 module that the smart-card store did not read, and why.
struct SkippedModule {
  std::string module;  // its path or its p11-kit name; or "pkcs11.conf line N"
  std::string reason;
};

// How far the store got with a token.
enum class TokenState {
  read,              // its certificates, each with the token's key of the same CKA_ID if any
  keys_unavailable,  // its certificates; signing with them fails with the login's code
  skipped,           // not read at all
};

// One initialised token as the smart-card store read it.
struct SmartCardToken {
  std::filesystem::path module;  // the PKCS #11 module that showed it
  std::string label;             // without its trailing blanks
  std::string serial;
  TokenState state = TokenState::read;
  // Why the token was not read whole: a skipped token (shown twice, unreadable) adds no
  // certificate; for one whose keys are unavailable (PIN file missing, refused or readable by
  // others, user PIN blocked or on its final try, login refused) every certificate is listed.
  std::string reason;
  // Its certificates in the token's order, as the store lists them.
  CertificateList certificates;
};

// What the smart-card user store (location 4) holds, and what it passed over.
struct SmartCardContents {
  std::vector<SmartCardToken> tokens;  // in module order, then slot order
  std::vector<SkippedModule> skipped_modules;

  // Every token's certificates, token after token: the store's certificates.
  CertificateList certificates() const;
};

// Reads every initialised token of the modules that pkcs11.conf in `store_root` names, or else
// of those p11-kit registers (see pkcs11/module_list.h); a token whose serial number an earlier
// module showed already is skipped. A certificate has a key (the key-provider property) when
// the token holds a private key of the same CKA_ID once logged in (see pkcs11/token.h), and
// keeps the token's module loaded while it lives. Never prompts and never fails: what cannot
// be read is listed with its reason.
SmartCardContents load_smart_card_certificates(const std::filesystem::path& store_root);

}  // namespace orvane::provider::openssl
