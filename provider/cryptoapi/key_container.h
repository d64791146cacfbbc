#pragma once

// Key containers of the legacy CSPs that imported keys live in, one container a key.

#include <windows.h>

#include <string>

#include "runtime/windows/owned.h"

namespace orvane::provider::cryptoapi {

// A key container of the current user, and the key in it.
struct KeyContainer {
  std::wstring name;
  std::wstring provider;
  DWORD provider_type = 0;
  DWORD key_spec = 0;
};

// A container name that no other one has: the platform's own import puts every key of a file
// into one default container under Wine, and a second import would then replace the first.
std::wstring unique_container_name(const wchar_t* purpose);

// Creates `container` empty, in the RSA provider that can hash SHA-256. Throws StoreError.
windows::ProviderHandle create_container(KeyContainer& container);

// Opens the existing `container`. Throws StoreError.
windows::ProviderHandle open_container(const KeyContainer& container);

// Deletes `container` with its key; nothing when it is gone already.
void delete_container(const KeyContainer& container);

// The key that `info` (a certificate's key-provider property) names, moved into a container of
// its own in the SHA-256-capable RSA provider, where it cannot be exported again; the old
// container is deleted. Throws StoreError.
KeyContainer move_key(const CRYPT_KEY_PROV_INFO& info);

// Whether the key in `container` is the one `certificate` was issued for.
bool holds_key_of(const KeyContainer& container, PCCERT_CONTEXT certificate);

// Sets `certificate`'s key-provider property to `container`. Throws StoreError.
void bind_key(PCCERT_CONTEXT certificate, const KeyContainer& container);

// The container of `certificate`'s key-provider property, if it names a legacy CSP's.
bool container_of(PCCERT_CONTEXT certificate, KeyContainer& container);

}  // namespace orvane::provider::cryptoapi
