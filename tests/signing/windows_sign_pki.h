#pragma once

#include <filesystem>

#include "runtime/text.h"

namespace orvane::signing {

// One certificate of the Windows test PKI: the tests know it by its serial-number text.
struct WindowsPkiRole {
  Text serial;
};

// The PKI that the host's openssl made at build time (sign-pki.txt names the roles), in the
// current user's stores for the whole run: the root in Root, the rest in My.
struct WindowsSignPki {
  std::filesystem::path store_root;  // empty: the CryptoAPI back end reads the user's stores
  WindowsPkiRole user;               // RSA, under the intermediate that the root issued
  WindowsPkiRole second_user;        // another such signer
  WindowsPkiRole expired;            // ended in 2021; its key is not in the store
  WindowsPkiRole without_key;        // valid, but its key is nowhere
};

}  // namespace orvane::signing
