#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "provider/crypt_error.h"
#include "runtime/windows/owned.h"

namespace orvane::provider::cryptoapi {

// How a certificate's private key is reached, as its key-provider property says.
enum class KeyRoute {
  // A key of a key storage provider (provider type 0), used through NCrypt.
  key_storage_provider,
  // A key of one of Microsoft's software RSA providers, which cannot hash SHA-256: its
  // container is reopened in the AES-capable provider, which reads the same containers.
  aes_capable_provider,
  // A key of any other CSP (a smart-card or vendor one), used in the CSP that holds it.
  recorded_provider,
};

KeyRoute key_route(const CRYPT_KEY_PROV_INFO& info);

// A certificate's private key, open for signing: a CSP handle with AT_SIGNATURE or
// AT_KEYEXCHANGE, or an NCrypt key with CERT_NCRYPT_KEY_SPEC. Owns what it must release.
struct SigningKey {
  windows::ProviderHandle provider;
  windows::NCryptKeyHandle ncrypt_key;
  // A handle that the certificate context keeps and frees itself.
  HCRYPTPROV_OR_NCRYPT_KEY_HANDLE borrowed = 0;
  DWORD key_spec = AT_KEYEXCHANGE;

  bool is_ncrypt() const { return key_spec == CERT_NCRYPT_KEY_SPEC; }
  HCRYPTPROV_OR_NCRYPT_KEY_HANDLE handle() const;
};

// Opens the key of `certificate` as key_route says. No key property fails with NTE_NO_KEY;
// other failures as key_failure says. A smart card's key may ask for its PIN.
SigningKey acquire_signing_key(PCCERT_CONTEXT certificate);

// The code that a platform code met while a key is opened or used reads as, the same as the
// other back ends report: a key that is not there, a wrong or missing PIN, a cancelled prompt,
// a card that is not in its reader. Nothing for any other code.
std::optional<CryptError> key_error(std::uint32_t code);

// The failure for the platform's last error met while a key is opened or used: key_error's
// code where it has one, the platform's code otherwise.
Failure last_key_failure();

}  // namespace orvane::provider::cryptoapi
