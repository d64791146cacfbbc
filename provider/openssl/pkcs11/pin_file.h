#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "provider/crypt_error.h"
#include "provider/openssl/pkcs11/module.h"

namespace orvane::provider::openssl::pkcs11 {

// A token's PIN from its PIN file, or why there is none.
struct PinFile {
  std::unique_ptr<Pin> pin;  // null when the file gives none
  // Otherwise the code a login reports, and the reason a listing shows.
  CryptError error = CryptError::no_pin_presented;
  std::string problem;
};

// The PIN of the token `label` from `pins/<label>` in `store_root`: its first line, without
// the line end. Only the caller's own regular file, with no permission for group or others, in
// a pins/ folder and store root that others cannot change, is read, never through a symbolic
// link nor by waiting on a FIFO; any other is refused (E_ACCESSDENIED), as is one that cannot
// be read. A missing file, or a label that cannot name one, gives no PIN
// (SCARD_W_CARD_NOT_AUTHENTICATED).
PinFile read_pin_file(const std::filesystem::path& store_root, const std::string& label);

}  // namespace orvane::provider::openssl::pkcs11
