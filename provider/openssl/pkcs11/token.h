#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "provider/openssl/certificate.h"
#include "provider/openssl/pkcs11/module.h"
#include "provider/openssl/smart_card_store.h"

namespace orvane::provider::openssl::pkcs11 {

// The slots of one module as one reading of the store sees them. Its keys and sessions live as
// long as it does, and it keeps its module loaded.
struct Slots {
  std::shared_ptr<Pkcs11Module> module;
  SlotsPtr list;
  unsigned int count = 0;
};

// The slots of `module`. Fails with ModuleError when the module cannot list them.
std::shared_ptr<const Slots> list_slots(std::shared_ptr<Pkcs11Module> module);

// One token's certificates as the store reads them.
struct TokenReading {
  TokenState state = TokenState::read;
  std::string reason;  // why not `read`, for a listing
  CertificateList certificates;
};

// Reads the initialised token of `slot`, one of `slots`. A token that holds certificates and
// requires a login gets one: without a PIN on a token with a protected authentication path,
// else with the PIN of its PIN file in `store_root` (see pin_file.h). A token whose user PIN
// is locked or on its final try is never tried, so that a stored wrong PIN cannot block it.
// When the login cannot be made, every certificate of the token stands for a key that signing
// cannot reach, and signing fails with the login's smart-card code.
TokenReading read_token(const std::shared_ptr<const Slots>& slots, PKCS11_SLOT& slot,
                        const std::filesystem::path& store_root);

}  // namespace orvane::provider::openssl::pkcs11
