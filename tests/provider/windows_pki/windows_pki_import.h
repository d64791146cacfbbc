#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "provider/cryptoapi/handles.h"

namespace orvane::testing {

// The bytes of a file of the test PKI.
std::vector<BYTE> read_pki_file(const std::filesystem::path& path);

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
  struct KeyContainer {
    std::wstring name;
    std::wstring provider;
    DWORD provider_type = 0;
    DWORD key_spec = 0;
  };

  void move_key_to_own_container(PCCERT_CONTEXT certificate);
  // Moves the key of `info` to a new container; its index in containers_.
  std::size_t move_key(const CRYPT_KEY_PROV_INFO& info);
  static bool holds_public_key(const KeyContainer& container, PCCERT_CONTEXT certificate);
  static const wchar_t* provider_name(const KeyContainer& container);
  bool commit();
  void remove();

  provider::cryptoapi::StoreHandle store_;
  std::vector<provider::cryptoapi::CertificateContextHandle> added_;
  std::vector<KeyContainer> containers_;
  // Wine's container of each moved key, to the index of its own container.
  std::map<std::wstring, std::size_t> moved_;
};

}  // namespace orvane::testing
