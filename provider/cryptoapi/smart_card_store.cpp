#include "provider/cryptoapi/smart_card_store.h"

#include <string>

#include "provider/cryptoapi/platform_error.h"

namespace orvane::provider::cryptoapi {
namespace {

// The names of the readers that hold a card that answers, as of now.
std::vector<std::wstring> readers_with_card() {
  windows::CardContextHandle context;
  // Fails at once where there is no smart-card service (Wine has none).
  if (::SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, context.put()) !=
      SCARD_S_SUCCESS) {
    return {};
  }
  std::vector<wchar_t> listing;
  for (int attempt = 0;; ++attempt) {
    LONG listed = SCARD_S_SUCCESS;
    const bool filled = windows::size_then_fill(listing, [&](wchar_t* data, DWORD* size) {
      // The platform counts characters here, the helper bytes.
      DWORD length = *size / sizeof(wchar_t);
      listed = ::SCardListReadersW(context.get(), nullptr, data, &length);
      *size = length * sizeof(wchar_t);
      return listed == SCARD_S_SUCCESS;
    });
    if (filled) break;
    // A reader plugged in between the two calls; try again a little.
    if (listed != static_cast<LONG>(SCARD_E_INSUFFICIENT_BUFFER) || attempt == 2) return {};
  }
  const std::wstring names(listing.begin(), listing.end());

  std::vector<std::wstring> readers;
  for (std::size_t start = 0; start < names.size();) {
    const std::size_t end = names.find(L'\0', start);
    if (end == start || end == std::wstring::npos) break;
    readers.push_back(names.substr(start, end - start));
    start = end + 1;
  }
  std::vector<SCARD_READERSTATEW> states(readers.size());
  for (std::size_t i = 0; i < readers.size(); ++i) {
    states[i].szReader = readers[i].c_str();
    states[i].dwCurrentState = SCARD_STATE_UNAWARE;
  }
  if (states.empty() ||
      ::SCardGetStatusChangeW(context.get(), 0, states.data(), static_cast<DWORD>(states.size())) !=
          SCARD_S_SUCCESS) {
    return {};
  }
  std::vector<std::wstring> with_card;
  for (std::size_t i = 0; i < readers.size(); ++i) {
    const DWORD state = states[i].dwEventState;
    if ((state & SCARD_STATE_PRESENT) != 0 && (state & SCARD_STATE_MUTE) == 0) {
      with_card.push_back(readers[i]);
    }
  }
  return with_card;
}

// The certificate that the card keeps with key `container`, if any, in `store` with the
// key-provider property of that key.
void add_key_certificate(NCRYPT_PROV_HANDLE provider, const std::wstring& container, DWORD key_spec,
                         HCERTSTORE store, CertificateList& certificates) {
  windows::NCryptKeyHandle key;
  if (::NCryptOpenKey(provider, key.put(), container.c_str(), key_spec, NCRYPT_SILENT_FLAG) !=
      ERROR_SUCCESS) {
    return;
  }
  std::vector<BYTE> der;
  if (!windows::size_then_fill(der,
                               [&](BYTE* data, DWORD* size) {
                                 return ::NCryptGetProperty(key.get(), NCRYPT_CERTIFICATE_PROPERTY,
                                                            data, data != nullptr ? *size : 0, size,
                                                            NCRYPT_SILENT_FLAG) == ERROR_SUCCESS;
                               }) ||
      der.empty()) {
    return;  // a key without a certificate
  }
  PCCERT_CONTEXT added = nullptr;
  if (!::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                          static_cast<DWORD>(der.size()), CERT_STORE_ADD_ALWAYS,
                                          &added)) {
    return;  // what the card holds is no certificate
  }
  windows::CertificateContextHandle certificate(added);
  CRYPT_KEY_PROV_INFO info{};
  info.pwszContainerName = const_cast<wchar_t*>(container.c_str());
  info.pwszProvName = const_cast<wchar_t*>(MS_SMART_CARD_KEY_STORAGE_PROVIDER);
  info.dwProvType = 0;  // a key storage provider's key
  info.dwKeySpec = key_spec;
  if (!::CertSetCertificateContextProperty(added, CERT_KEY_PROV_INFO_PROP_ID, 0, &info)) {
    throw last_platform_failure();
  }
  certificates.push_back(std::make_shared<CryptoapiCertificate>(std::move(certificate)));
}

void add_card_certificates(NCRYPT_PROV_HANDLE provider, const std::wstring& reader,
                           HCERTSTORE store, CertificateList& certificates) {
  // The provider's scope and fully qualified container names for one reader's card, so that
  // a key is looked for on that card only, whatever other cards are inserted.
  const std::wstring scope = L"\\\\.\\" + reader + L"\\";
  windows::NCryptMemory<void> state;
  for (;;) {
    NCryptKeyName* found = nullptr;
    void* position = state.release();
    const SECURITY_STATUS status =
        ::NCryptEnumKeys(provider, scope.c_str(), &found, &position, NCRYPT_SILENT_FLAG);
    state.reset(position);
    const windows::NCryptMemory<NCryptKeyName> name(found);
    if (status != ERROR_SUCCESS || !name || name.get()->pszName == nullptr) return;
    // A name the card gives is taken within this reader's scope, never as a key elsewhere.
    const std::wstring key_name = name.get()->pszName;
    const std::wstring container = key_name.starts_with(scope) ? key_name : scope + key_name;
    add_key_certificate(provider, container, name.get()->dwLegacyKeySpec, store, certificates);
  }
}

}  // namespace

CertificateList smart_card_certificates() {
  const std::vector<std::wstring> readers = readers_with_card();
  if (readers.empty()) return {};
  windows::NCryptProviderHandle provider;
  if (::NCryptOpenStorageProvider(provider.put(), MS_SMART_CARD_KEY_STORAGE_PROVIDER, 0) !=
      ERROR_SUCCESS) {
    return {};
  }
  // The contexts and their key property live in a store in memory, which stays while they do.
  const windows::StoreHandle store(::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
  if (!store) throw last_platform_failure();
  CertificateList certificates;
  for (const std::wstring& reader : readers) {
    add_card_certificates(provider.get(), reader, store.get(), certificates);
  }
  return certificates;
}

}  // namespace orvane::provider::cryptoapi
