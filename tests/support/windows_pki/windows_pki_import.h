#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "provider/cryptoapi/key_container.h"
#include "runtime/windows/owned.h"

namespace orvane::testing {

// The bytes of a file of the test PKI.
std::vector<BYTE> read_pki_file(const std::filesystem::path& path);
// The password of the PKI's PFX files in `pki_folder`.
std::wstring read_pfx_password(const std::filesystem::path& pki_folder);

// Certificates added to one of the current user's stores for a test, the personal store unless
// another is named ("Root" trusts them; Wine asks no confirmation for that); everything added
// goes again with this object.
class UserStoreImport {
 public:
  explicit UserStoreImport(const wchar_t* store = L"My");
  ~UserStoreImport();
  UserStoreImport(const UserStoreImport&) = delete;
  UserStoreImport& operator=(const UserStoreImport&) = delete;

  // The certificates of a PFX, each private key in a container of its own (Wine's import puts
  // every key in the user's one default container). Wine keeps only the key's certificate and
  // its chain; add other certificates one by one.
  void import_pfx(const std::filesystem::path& pfx, const std::wstring& password);
  // A DER certificate, without a key, or bound to the key that `key` names (which need not
  // exist).
  void add_certificate(const std::filesystem::path& der, const CRYPT_KEY_PROV_INFO* key = nullptr);
  // A certificate as it is, with its properties.
  void add(PCCERT_CONTEXT certificate);

 private:
  bool commit();
  void remove();

  windows::StoreHandle store_;
  std::vector<windows::CertificateContextHandle> added_;
  std::vector<provider::cryptoapi::KeyContainer> containers_;
};

}  // namespace orvane::testing
