#include "tests/provider/windows_pki/windows_pki_import.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "provider/cryptoapi/certificate.h"

namespace orvane::testing {
namespace {

using provider::cryptoapi::CertificateContextHandle;
using provider::cryptoapi::KeyHandle;
using provider::cryptoapi::ProviderHandle;
using provider::cryptoapi::StoreHandle;

[[noreturn]] void fail(const char* call) {
  throw std::runtime_error(std::string(call) + " failed with " + std::to_string(::GetLastError()));
}

StoreHandle open_user_store(const wchar_t* name) {
  StoreHandle store(
      ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, name));
  if (!store) fail("CertOpenStore");
  return store;
}

// A container name that no other run, nor another key of this one, has.
std::wstring unique_container_name() {
  static int count = 0;
  return L"orvane-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(::GetTickCount64()) + L"-" + std::to_wstring(++count);
}

}  // namespace

std::vector<BYTE> read_pki_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

UserStoreImport::UserStoreImport(const wchar_t* store) : store_(open_user_store(store)) {}

UserStoreImport::~UserStoreImport() {
  remove();
}

void UserStoreImport::import_pfx(const std::filesystem::path& pfx, const std::wstring& password) {
  std::vector<BYTE> bytes = read_pki_file(pfx);
  CRYPT_DATA_BLOB blob{static_cast<DWORD>(bytes.size()), bytes.data()};
  const StoreHandle imported(
      ::PFXImportCertStore(&blob, password.c_str(), CRYPT_EXPORTABLE | CRYPT_USER_KEYSET));
  if (!imported) fail("PFXImportCertStore");
  PCCERT_CONTEXT certificate = nullptr;
  try {
    while ((certificate = ::CertEnumCertificatesInStore(imported.get(), certificate)) != nullptr) {
      move_key_to_own_container(certificate);
      add(certificate);
    }
  } catch (...) {
    // Leaving the enumeration early leaves its current context to free.
    if (certificate != nullptr) ::CertFreeCertificateContext(certificate);
    throw;
  }
}

void UserStoreImport::add_certificate(const std::filesystem::path& der,
                                      const CRYPT_KEY_PROV_INFO* key) {
  const std::vector<BYTE> bytes = read_pki_file(der);
  const CertificateContextHandle certificate(::CertCreateCertificateContext(
      X509_ASN_ENCODING, bytes.data(), static_cast<DWORD>(bytes.size())));
  if (!certificate) fail("CertCreateCertificateContext");
  if (key != nullptr &&
      !::CertSetCertificateContextProperty(certificate.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, key)) {
    fail("CertSetCertificateContextProperty");
  }
  add(certificate.get());
}

void UserStoreImport::add(PCCERT_CONTEXT certificate) {
  PCCERT_CONTEXT added = nullptr;
  if (!::CertAddCertificateContextToStore(store_.get(), certificate,
                                          CERT_STORE_ADD_REPLACE_EXISTING, &added)) {
    fail("CertAddCertificateContextToStore");
  }
  added_.emplace_back(added);
  if (!commit()) fail("CertControlStore");
}

void UserStoreImport::move_key_to_own_container(PCCERT_CONTEXT certificate) {
  std::vector<BYTE> info_bytes =
      provider::cryptoapi::certificate_property(certificate, CERT_KEY_PROV_INFO_PROP_ID);
  if (info_bytes.empty()) return;
  CRYPT_KEY_PROV_INFO info = *reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(info_bytes.data());
  const std::wstring original_name = info.pwszContainerName ? info.pwszContainerName : L"";
  auto moved = moved_.find(original_name);
  if (moved == moved_.end()) {
    moved = moved_.emplace(original_name, move_key(info)).first;
  }
  const KeyContainer& container = containers_[moved->second];
  // Wine marks other certificates of the PFX with the key too; only the key's own has it.
  if (!holds_public_key(container, certificate)) {
    if (!::CertSetCertificateContextProperty(certificate, CERT_KEY_PROV_INFO_PROP_ID, 0, nullptr)) {
      fail("CertSetCertificateContextProperty");
    }
    return;
  }
  info.pwszContainerName = const_cast<wchar_t*>(container.name.c_str());
  info.dwKeySpec = container.key_spec;
  info.cProvParam = 0;
  info.rgProvParam = nullptr;
  if (!::CertSetCertificateContextProperty(certificate, CERT_KEY_PROV_INFO_PROP_ID, 0, &info)) {
    fail("CertSetCertificateContextProperty");
  }
}

std::size_t UserStoreImport::move_key(const CRYPT_KEY_PROV_INFO& info) {
  KeyContainer container{unique_container_name(), info.pwszProvName ? info.pwszProvName : L"",
                         info.dwProvType, info.dwKeySpec};
  std::vector<BYTE> key_blob;
  {
    ProviderHandle original;
    if (!::CryptAcquireContextW(original.put(), info.pwszContainerName, info.pwszProvName,
                                info.dwProvType, 0)) {
      fail("CryptAcquireContextW");
    }
    // Wine records a dwKeySpec of 3, which names no key: look for either kind.
    KeyHandle key;
    if (!::CryptGetUserKey(original.get(), container.key_spec, key.put())) {
      container.key_spec = AT_KEYEXCHANGE;
      if (!::CryptGetUserKey(original.get(), AT_KEYEXCHANGE, key.put())) {
        container.key_spec = AT_SIGNATURE;
        if (!::CryptGetUserKey(original.get(), AT_SIGNATURE, key.put())) fail("CryptGetUserKey");
      }
    }
    DWORD size = 0;
    if (!::CryptExportKey(key.get(), 0, PRIVATEKEYBLOB, 0, nullptr, &size)) fail("CryptExportKey");
    key_blob.resize(size);
    if (!::CryptExportKey(key.get(), 0, PRIVATEKEYBLOB, 0, key_blob.data(), &size)) {
      fail("CryptExportKey");
    }
  }
  HCRYPTPROV deleted = 0;
  ::CryptAcquireContextW(&deleted, info.pwszContainerName, info.pwszProvName, info.dwProvType,
                         CRYPT_DELETEKEYSET);

  ProviderHandle fresh;
  if (!::CryptAcquireContextW(fresh.put(), container.name.c_str(), provider_name(container),
                              container.provider_type, CRYPT_NEWKEYSET)) {
    fail("CryptAcquireContextW");
  }
  containers_.push_back(container);
  KeyHandle imported;
  const BOOL stored = ::CryptImportKey(fresh.get(), key_blob.data(),
                                       static_cast<DWORD>(key_blob.size()), 0, 0, imported.put());
  ::SecureZeroMemory(key_blob.data(), key_blob.size());
  if (!stored) fail("CryptImportKey");
  return containers_.size() - 1;
}

bool UserStoreImport::holds_public_key(const KeyContainer& container, PCCERT_CONTEXT certificate) {
  ProviderHandle provider;
  if (!::CryptAcquireContextW(provider.put(), container.name.c_str(), provider_name(container),
                              container.provider_type, 0)) {
    fail("CryptAcquireContextW");
  }
  DWORD size = 0;
  if (!::CryptExportPublicKeyInfo(provider.get(), container.key_spec, X509_ASN_ENCODING, nullptr,
                                  &size)) {
    fail("CryptExportPublicKeyInfo");
  }
  std::vector<BYTE> public_key(size);
  auto* key_info = reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(public_key.data());
  if (!::CryptExportPublicKeyInfo(provider.get(), container.key_spec, X509_ASN_ENCODING, key_info,
                                  &size)) {
    fail("CryptExportPublicKeyInfo");
  }
  return ::CertComparePublicKeyInfo(
             X509_ASN_ENCODING, &certificate->pCertInfo->SubjectPublicKeyInfo, key_info) != FALSE;
}

bool UserStoreImport::commit() {
  // Wine writes a system store out when its last reference goes, and the contexts kept here
  // are references: without this, other handles would not see the change until the end.
  return ::CertControlStore(store_.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr) != FALSE;
}

void UserStoreImport::remove() {
  // CertDeleteCertificateFromStore frees the context it is given, whatever it returns.
  for (auto& added : added_) ::CertDeleteCertificateFromStore(added.release());
  added_.clear();
  commit();
  for (const auto& container : containers_) {
    HCRYPTPROV deleted = 0;
    ::CryptAcquireContextW(&deleted, container.name.c_str(), provider_name(container),
                           container.provider_type, CRYPT_DELETEKEYSET);
  }
  containers_.clear();
  moved_.clear();
}

const wchar_t* UserStoreImport::provider_name(const KeyContainer& container) {
  return container.provider.empty() ? nullptr : container.provider.c_str();
}

}  // namespace orvane::testing
