#include "provider/cryptoapi/key_container.h"

#include <vector>

#include "provider/cryptoapi/certificate.h"
#include "provider/store_administration.h"

namespace orvane::provider::cryptoapi {
namespace {

[[noreturn]] void fail(const std::string& what) {
  throw StoreError(what + " failed (Windows error " + std::to_string(::GetLastError()) + ")");
}

const wchar_t* provider_name(const KeyContainer& container) {
  return container.provider.empty() ? nullptr : container.provider.c_str();
}

std::vector<BYTE> public_key_of(HCRYPTPROV provider, DWORD key_spec) {
  std::vector<BYTE> info;
  windows::size_then_fill(info, [&](BYTE* data, DWORD* size) {
    return ::CryptExportPublicKeyInfo(provider, key_spec, X509_ASN_ENCODING,
                                      reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(data), size) != FALSE;
  });
  return info;
}

}  // namespace

std::wstring unique_container_name(const wchar_t* purpose) {
  GUID guid{};
  if (FAILED(::CoCreateGuid(&guid))) fail("making a key container name");
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return std::wstring(L"orvane-") + purpose + L"-" + text;
}

windows::ProviderHandle create_container(KeyContainer& container) {
  container.provider = MS_ENH_RSA_AES_PROV_W;
  container.provider_type = PROV_RSA_AES;
  windows::ProviderHandle provider;
  if (!::CryptAcquireContextW(provider.put(), container.name.c_str(), provider_name(container),
                              container.provider_type, CRYPT_NEWKEYSET)) {
    fail("creating a key container");
  }
  return provider;
}

windows::ProviderHandle open_container(const KeyContainer& container) {
  windows::ProviderHandle provider;
  if (!::CryptAcquireContextW(provider.put(), container.name.c_str(), provider_name(container),
                              container.provider_type, 0)) {
    fail("opening a key container");
  }
  return provider;
}

void delete_container(const KeyContainer& container) {
  HCRYPTPROV deleted = 0;
  ::CryptAcquireContextW(&deleted, container.name.c_str(), provider_name(container),
                         container.provider_type, CRYPT_DELETEKEYSET);
}

KeyContainer move_key(const CRYPT_KEY_PROV_INFO& info) {
  const KeyContainer original{info.pwszContainerName ? info.pwszContainerName : L"",
                              info.pwszProvName ? info.pwszProvName : L"", info.dwProvType,
                              info.dwKeySpec};
  KeyContainer moved{unique_container_name(L"key"), {}, 0, info.dwKeySpec};
  std::vector<BYTE> key_blob;
  {
    const windows::ProviderHandle provider = open_container(original);
    // Wine records a dwKeySpec of 3, which names no key: look for either kind.
    windows::KeyHandle key;
    if (!::CryptGetUserKey(provider.get(), moved.key_spec, key.put())) {
      moved.key_spec = AT_KEYEXCHANGE;
      if (!::CryptGetUserKey(provider.get(), AT_KEYEXCHANGE, key.put())) {
        moved.key_spec = AT_SIGNATURE;
        if (!::CryptGetUserKey(provider.get(), AT_SIGNATURE, key.put())) fail("reading a key");
      }
    }
    if (!windows::size_then_fill(key_blob, [&](BYTE* data, DWORD* size) {
          return ::CryptExportKey(key.get(), 0, PRIVATEKEYBLOB, 0, data, size) != FALSE;
        })) {
      fail("reading a key");
    }
  }
  delete_container(original);
  const windows::ProviderHandle fresh = create_container(moved);
  windows::KeyHandle imported;
  const BOOL stored = ::CryptImportKey(fresh.get(), key_blob.data(),
                                       static_cast<DWORD>(key_blob.size()), 0, 0, imported.put());
  ::SecureZeroMemory(key_blob.data(), key_blob.size());
  if (!stored) {
    delete_container(moved);
    fail("storing a key");
  }
  return moved;
}

bool holds_key_of(const KeyContainer& container, PCCERT_CONTEXT certificate) {
  HCRYPTPROV handle = 0;
  if (!::CryptAcquireContextW(&handle, container.name.c_str(), provider_name(container),
                              container.provider_type, 0)) {
    return false;
  }
  const windows::ProviderHandle provider(handle);
  std::vector<BYTE> key = public_key_of(provider.get(), container.key_spec);
  return !key.empty() && ::CertComparePublicKeyInfo(
                             X509_ASN_ENCODING, &certificate->pCertInfo->SubjectPublicKeyInfo,
                             reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(key.data())) != FALSE;
}

void bind_key(PCCERT_CONTEXT certificate, const KeyContainer& container) {
  CRYPT_KEY_PROV_INFO info{};
  info.pwszContainerName = const_cast<wchar_t*>(container.name.c_str());
  info.pwszProvName = const_cast<wchar_t*>(provider_name(container));
  info.dwProvType = container.provider_type;
  info.dwKeySpec = container.key_spec;
  if (!::CertSetCertificateContextProperty(certificate, CERT_KEY_PROV_INFO_PROP_ID, 0, &info)) {
    fail("binding a certificate to its key");
  }
}

bool container_of(PCCERT_CONTEXT certificate, KeyContainer& container) {
  const std::vector<BYTE> bytes = certificate_property(certificate, CERT_KEY_PROV_INFO_PROP_ID);
  if (bytes.size() < sizeof(CRYPT_KEY_PROV_INFO)) return false;
  const auto& info = *reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(bytes.data());
  // A key storage provider's key (type 0) is not a container of a legacy CSP.
  if (info.dwProvType == 0 || info.pwszContainerName == nullptr) return false;
  container = {info.pwszContainerName, info.pwszProvName ? info.pwszProvName : L"", info.dwProvType,
               info.dwKeySpec};
  return true;
}

}  // namespace orvane::provider::cryptoapi
